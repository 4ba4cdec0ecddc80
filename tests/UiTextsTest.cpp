// What an error box shows: the user's own text for the program's errors, Japanese for
// everything else; a programmer's English what() never reaches the user.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "app/Eject.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"

using namespace tess;

TEST(UserErrorText, ShowsJapaneseForEveryError) {
  EUserError window(texts::kErrorWindow);
  EVolumeError volume(u'E', 5, u"アクセスが拒否されました。");
  std::runtime_error english("the main window could not be created");
  std::bad_alloc memory;
  std::out_of_range range("vector::_M_range_check");
  struct Case {
    const std::exception* error;
    std::u16string shown;
  } cases[] = {
      {&window, u"ウィンドウを作成できませんでした。"},
      {&volume, u"ドライブ E: を取り外せませんでした。\r\nアクセスが拒否されました。"},
      {&english, u"予期しないエラーが発生しました。"},
      {&memory, u"メモリが不足しています。"},
      {&range, u"予期しないエラーが発生しました。"},
  };
  for (const Case& c : cases) EXPECT_EQ(UserErrorText(*c.error), c.shown) << c.error->what();
  // The program's own errors carry the same text in what(), for logs and debuggers.
  EXPECT_EQ(FromUtf8(window.what()), u"ウィンドウを作成できませんでした。");
}
