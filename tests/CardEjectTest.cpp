// 完了後にカードを取り出す: which runs end with the eject, which drives come out, and the
// line each gives.
#include <gtest/gtest.h>

#include "rename/CardEject.h"

using namespace tess;

TEST(CardEject, OnlyARealRunThatFiledEverything) {
  struct Case {
    bool asked;
    RenameMode mode;
    RenameOutcome outcome;
    bool ejects;
  } cases[] = {
      {true, RenameMode::Real, RenameOutcome::Done, true},
      {false, RenameMode::Real, RenameOutcome::Done, false},
      {true, RenameMode::Test, RenameOutcome::Planned, false},
      {true, RenameMode::Test, RenameOutcome::Done, false},
      {true, RenameMode::Real, RenameOutcome::Failed, false},     // a failure or a refused run
      {true, RenameMode::Real, RenameOutcome::Cancelled, false},  // photos still on the card
      {true, RenameMode::Real, RenameOutcome::NoFiles, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EjectsAfterRun(c.asked, c.mode, c.outcome), c.ejects)
        << c.asked << " " << int(c.mode) << " " << int(c.outcome);
}

TEST(CardEject, TheDrivesOfThePhotosEachOnce) {
  std::vector<RenamePhoto> photos;
  for (const char16_t* source : {u"E:\\DCIM\\a.jpg", u"e:\\DCIM\\b.jpg", u"F:/DCIM/c.jpg", u"\\\\nas\\photos\\d.jpg",
                                 u"\\\\nas\\photos\\x\\e.jpg", u"relative.jpg"})
    photos.push_back({source, {}});
  EXPECT_EQ(SourceDrives(photos), (std::vector<std::u16string>{u"E:\\", u"F:\\", u"\\\\nas\\photos"}));
  EXPECT_TRUE(SourceDrives({}).empty());
}

TEST(CardEject, ALineForEveryOutcome) {
  struct Case {
    CardEjectResult result;
    const char16_t* line;
  } cases[] = {
      {{CardEjectOutcome::Ejected, {}}, u"カードを取り出しました: E:\\"},
      {{CardEjectOutcome::NotRemovable, {}}, u"カードを取り出しませんでした: E:\\ (取り外せるドライブではありません)"},
      {{CardEjectOutcome::InUse, {}}, u"カードを取り出せませんでした: E:\\ (ほかのプログラムがドライブのファイルを開いています)"},
      {{CardEjectOutcome::Failed, u"デバイスの準備ができていません。"}, u"カードを取り出せませんでした: E:\\ (デバイスの準備ができていません。)"},
      {{CardEjectOutcome::Failed, {}}, u"カードを取り出せませんでした: E:\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(CardEjectLine(u"E:\\", c.result), c.line);
}
