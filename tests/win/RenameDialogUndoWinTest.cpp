// Undo from the rename dialog and the main window, a run cut short, a window closed under the
// dialog.
#include "RenameDialogFixture.h"

namespace {
class RenameDialogUndoTest : public RenameDialogTest {};
}  // namespace

TEST_F(RenameDialogUndoTest, MainWindowClosedWhileTheDialogIsShownKeepsTheSettings) {
  StoreRenameSettings({u"@元のフォルダ名", u"mine"}, {u"@元のファイル名", u"@通4"}, 0, 1, 1);
  Open();
  WhenShown(*rename_, [&] {
    Select(C(IdNameBox), 0);
    SetWindowPos(rename_->Handle(), nullptr, 20, 30, 500, 300, SWP_NOZORDER);
    // As the session's end or the taskbar would close it: the dialog goes with its owner.
    SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
  }, false);
  EXPECT_EQ(ShowRename(), IDCANCEL);
  EXPECT_FALSE(IsWindow(rename_->Handle()));
  EXPECT_EQ(StoredList(u"CopyToPath"), (List{u"@元のフォルダ名", u"mine"}));
  EXPECT_EQ(StoredList(u"CopyToFile"), (List{u"@元のファイル名", u"@通4"}));
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox2.ItemIndex"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox3.ItemIndex"), 0);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Width"), 500);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Left"), 20);
}

TEST_F(RenameDialogUndoTest, UndoFromTheDialogAndWithCtrlZInTheMainWindow) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:15:12", "X100");
  const std::u16string names[] = {u"IMG_0001.JPG", u"IMG_0002.JPG"};
  const std::u16string moved[] = {folder_ + u"2024\\0501\\20240501-090307.JPG",
                                  folder_ + u"2024\\0501\\20240501-091512.JPG"};
  std::string original[2];
  for (int i = 0; i < 2; ++i) original[i] = Bytes(folder_ + names[i]);
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4\\@月2@日2"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 1, 1, 1);
  Open();
  auto back = [&] {
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(Bytes(folder_ + names[i]), original[i]) << i;
      EXPECT_FALSE(Exists(moved[i])) << i;
    }
    EXPECT_FALSE(Exists(folder_ + u"2024")) << "the folders the run made are gone";
  };
  WhenShown(*rename_, [&] {
    HWND undo = C(IdUndoButton);
    EXPECT_EQ(Text(undo), u"元に戻す");
    EXPECT_FALSE(IsWindowEnabled(undo)) << "no run yet";
    // Beside テスト, as テスト is beside 実行.
    ControlRect u = RectIn(rename_->Handle(), undo), t = RectIn(rename_->Handle(), C(IdTestButton));
    EXPECT_EQ(u.top, t.top);
    EXPECT_LT(u.left + u.width, t.left);
    TestToEnd(*rename_);
    EXPECT_FALSE(IsWindowEnabled(undo)) << "a test run changes nothing";
    RunToEnd(*rename_);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Bytes(moved[i]), original[i]) << i << Show(rename_->LogLines());
    EXPECT_TRUE(IsWindowEnabled(undo));
    Click(undo);
    back();
    List lines = rename_->LogLines();
    ASSERT_EQ(lines.size(), 4u) << Show(lines);
    EXPECT_EQ(lines[1], u"元の場所に戻しました: " + folder_ + names[1]);
    EXPECT_EQ(lines[2], u"元の場所に戻しました: " + folder_ + names[0]);
    EXPECT_EQ(lines[3], u"2 個のファイルを元に戻しました。");
    EXPECT_FALSE(IsWindowEnabled(undo)) << "undone: nothing left to undo";
    EXPECT_EQ(beeps_, 0);
    // Moved again, then the dialog closes: Ctrl+Z in the main window takes it back.
    EXPECT_EQ(rename_->LogLines().back(), u"2 個のファイルを元に戻しました。");
    RunToEnd(*rename_);
    EXPECT_TRUE(Exists(moved[0])) << Show(rename_->LogLines());
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();
  EXPECT_EQ(Rows(), (List{u"2024"}));
  SetFocus(ListView());
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  NMLVKEYDOWN nm{};
  nm.hdr.hwndFrom = ListView();
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(ListView()));
  nm.hdr.code = LVN_KEYDOWN;
  nm.wVKey = 'Z';
  SendMessageW(main_->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  Pump();
  back();
  EXPECT_EQ(Rows(), (List{u"IMG_0001.JPG", u"IMG_0002.JPG"})) << "the panes show the photos back";
  auto status = [&] {
    wchar_t text[512] = {};
    SendMessageW(main_->StatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    return std::u16string(reinterpret_cast<const char16_t*>(text));
  };
  EXPECT_NE(status().find(u"2 個のファイルを元に戻しました。"), std::u16string::npos) << ToUtf8(status());
  // Again, with nothing left to undo: said where the eye is.
  SendMessageW(main_->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  Pump();
  EXPECT_NE(status().find(u"元に戻せる操作はありません。"), std::u16string::npos) << ToUtf8(status());
}

TEST_F(RenameDialogUndoTest, ARunCutShortIsOfferedForUndoOnceAtTheStart) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:15:12", "X100");
  const std::u16string names[] = {u"IMG_0001.JPG", u"IMG_0002.JPG"};
  const std::u16string filed[] = {folder_ + u"2024\\IMG_0001.JPG", folder_ + u"2024\\IMG_0002.JPG"};
  std::string original[2];
  for (int i = 0; i < 2; ++i) original[i] = Bytes(folder_ + names[i]);
  // A move that stopped after its first photo: the journal has the plan and nothing else.
  auto cutShort = [&] {
    std::vector<JournalPair> plan(2);
    for (int i = 0; i < 2; ++i) {
      plan[size_t(i)].source = folder_ + names[i];
      plan[size_t(i)].destination = filed[i];
      plan[size_t(i)].size = original[i].size();
    }
    auto writer = JournalWriter::Start(journals_, JournalAction::Move, plan, {folder_ + u"2024"});
    ASSERT_TRUE(writer);
    ASSERT_TRUE(CreateDirectoryW(W(folder_ + u"2024"), nullptr));
    // The run had said it was giving the first photo its name (a rename: no hash).
    writer->Arriving(0, "", original[0].size());
    ASSERT_TRUE(MoveFileW(W(folder_ + names[0]), W(filed[0])));
  };
  cutShort();
  StoreFolder(folder_);
  std::vector<std::u16string> asked;
  bool answer = false;
  Open();
  auto ask = [&] {
    asked.clear();
    main_->AskAboutCutShortRunWith([&](const std::u16string& q) {
      asked.push_back(q);
      return answer;
    });
  };
  // "Leave it": nothing moves, and the question is not asked again.
  ask();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find(u"途中で終わりました"), std::u16string::npos) << ToUtf8(asked[0]);
  EXPECT_TRUE(Exists(filed[0]));
  {
    wchar_t text[512] = {};
    SendMessageW(main_->StatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_NE(std::u16string(reinterpret_cast<const char16_t*>(text)).find(u"そのままにしました"), std::u16string::npos)
        << "the answer says what it did";
  }
  ask();
  EXPECT_TRUE(asked.empty());

  // Another run cut short, answered "undo": the photo that had arrived goes back, the
  // other never left, the folder the run made is gone, the panes show it.
  journals_.texts.clear();
  ASSERT_TRUE(MoveFileW(W(filed[0]), W(folder_ + names[0])));
  RemoveDirectoryW(W(folder_ + u"2024"));
  cutShort();
  answer = true;
  ask();
  ASSERT_EQ(asked.size(), 1u);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Bytes(folder_ + names[i]), original[i]) << i;
  EXPECT_FALSE(Exists(folder_ + u"2024"));
  EXPECT_EQ(Rows(), (List{u"IMG_0001.JPG", u"IMG_0002.JPG"}));
  ask();
  EXPECT_TRUE(asked.empty());
}
