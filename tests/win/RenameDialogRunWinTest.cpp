// Runs from the rename dialog: the photos handed over, テスト, copy and move checked on disk,
// the dialog answering while a run goes.
#include "RenameDialogFixture.h"

namespace {
class RenameDialogRunTest : public RenameDialogTest {};
}  // namespace

TEST_F(RenameDialogRunTest, ButtonAndMenuItemsHandTheRightFilesOver) {
  Photo(u"a.jpg", "2024:05:01 09:03:07", "X");
  Photo(u"b.jpg", "2024:05:02 09:03:07", "X");
  fx::WriteFile(folder_ + u"c.txt", fx::Text("text"));
  StoreFolder(folder_);
  Open();
  ASSERT_EQ(Rows(), (List{u"a.jpg", u"b.jpg", u"c.txt"}));
  List handed;
  rename_->OnShown = [&] {
    handed = JobSources();
    rename_->EndModal(IDCANCEL);
  };

  // Without a selection nothing is shown.
  SetFocus(ListView());
  EXPECT_FALSE(main_->FileList().ExifRenameFiles());
  EXPECT_TRUE(handed.empty());

  // The list focused: only its selection, in row order.
  main_->FileList().SelectRow(2);
  ListView_SetItemState(ListView(), 0, LVIS_SELECTED, LVIS_SELECTED);
  SetFocus(ListView());
  PressExifRenameButton();
  EXPECT_EQ(handed, (List{folder_ + u"a.jpg", folder_ + u"c.txt"}));
  EXPECT_TRUE(main_->FileList().ExifRenameFilesExist());
  ASSERT_EQ(rename_->Job().photos.size(), 2u);
  EXPECT_EQ(rename_->Job().photos[0].record.Folder, folder_);
  EXPECT_FALSE(rename_->Job().photos[1].record.HasMetadata);
  EXPECT_EQ(GetFocus(), ListView()) << "the list has the focus again after the dialog";

  // The tree focused: every item of the shown folder.
  main_->FileList().ClearSelection();
  main_->FileList().SelectRow(1);
  SetFocus(main_->FolderTree().Handle());
  PressExifRenameButton();
  EXPECT_EQ(handed, (List{folder_ + u"a.jpg", folder_ + u"b.jpg", folder_ + u"c.txt"}));

  // The pop-up items: the list's hand the selection over, the tree's the whole folder.
  struct Item { int id; List expected; } items[] = {
      {cmdExifRenameOne, {folder_ + u"c.txt"}},
      {cmdExifRenameSelection, {folder_ + u"c.txt"}},
      {cmdExifRenameFolder, {folder_ + u"a.jpg", folder_ + u"b.jpg", folder_ + u"c.txt"}},
  };
  for (const Item& item : items) {
    main_->FileList().ClearSelection();
    main_->FileList().SelectRow(2);
    handed.clear();
    SendMessageW(main_->Handle(), WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
    FinishCardRead();
    EXPECT_EQ(handed, item.expected) << item.id;
  }
  struct Caption { int menu, id; } captions[] = {{1, cmdExifRenameOne}, {3, cmdExifRenameSelection}, {4, cmdExifRenameFolder}};
  for (const Caption& c : captions) {
    wchar_t caption[64] = {};
    GetMenuStringW(main_->PopupMenu(c.menu), static_cast<UINT>(c.id), caption, 63, MF_BYCOMMAND);
    EXPECT_STREQ(caption, L"Exifリネーム") << c.menu;
  }

  main_->FileList().ClearSelection();
  main_->FileList().SelectRow(2);
  EXPECT_FALSE(main_->FileList().ExifRenameFilesExist()) << "a text file has no metadata";
}

// A card's DCIM chosen in the tree: its photos live in sub-folders, and the tree's command
// and the camera button take them all, folder by folder; hidden folders stay out.
TEST_F(RenameDialogRunTest, TheTreesCommandTakesTheSubFoldersToo) {
  Photo(u"top.jpg", "2024:05:01 09:03:07", "X");
  CreateDirectoryW(W(folder_ + u"100CANON"), nullptr);
  CreateDirectoryW(W(folder_ + u"101CANON"), nullptr);
  CreateDirectoryW(W(folder_ + u".thumbs"), nullptr);
  SetFileAttributesW(W(folder_ + u".thumbs"), FILE_ATTRIBUTE_HIDDEN);
  Photo(u"101CANON\\IMG_0200.JPG", "2024:05:01 10:00:00", "X");
  Photo(u"100CANON\\IMG_0101.JPG", "2024:05:01 09:10:00", "X");
  Photo(u"100CANON\\IMG_0100.JPG", "2024:05:01 09:05:00", "X");
  Photo(u".thumbs\\t.jpg", "2024:05:01 09:05:00", "X");
  StoreFolder(folder_);
  Open();
  List handed;
  rename_->OnShown = [&] {
    handed = JobSources();
    rename_->EndModal(IDCANCEL);
  };
  const List all{folder_ + u"top.jpg", folder_ + u"100CANON\\IMG_0100.JPG", folder_ + u"100CANON\\IMG_0101.JPG",
                 folder_ + u"101CANON\\IMG_0200.JPG"};
  SendMessageW(main_->Handle(), WM_COMMAND, MAKEWPARAM(cmdExifRenameFolder, 0), 0);
  FinishCardRead();
  EXPECT_EQ(handed, all) << Show(handed);
  handed.clear();
  SetFocus(main_->FolderTree().Handle());
  PressExifRenameButton();
  EXPECT_EQ(handed, all) << Show(handed);
  ASSERT_EQ(rename_->Job().photos.size(), 4u);
  EXPECT_EQ(rename_->Job().photos[2].record.Folder, folder_ + u"100CANON\\");
  EXPECT_TRUE(rename_->Job().photos[3].record.HasMetadata) << "read as the list reads its files";
}

TEST_F(RenameDialogRunTest, TestCopyAndMoveFromTheWindowCheckedOnDisk) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:15:12", "X100");
  Photo(u"IMG_0003.JPG", "2024:05:02 10:00:00", "D70");
  fx::WriteFile(folder_ + u"broken.jpg", fx::Text("not a photo at all"));
  fx::WriteFile(folder_ + u"notes.txt", fx::Text("notes"));
  CreateDirectoryW(W(folder_ + u"sub"), nullptr);
  const std::u16string names[] = {u"IMG_0001.JPG", u"IMG_0002.JPG", u"IMG_0003.JPG"};
  std::string original[3];
  for (int i = 0; i < 3; ++i) original[i] = Bytes(folder_ + names[i]);
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4\\@月2@日2", u"@モデル\\@年4\\@月2@日2"},
                      {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 1, 1);
  Open();
  ASSERT_EQ(Rows().size(), 6u);

  const std::u16string copies[] = {folder_ + u"2024\\0501\\20240501-090307.JPG",
                                   folder_ + u"2024\\0501\\20240501-091512.JPG",
                                   folder_ + u"2024\\0502\\20240502-100000.JPG"};
  const std::u16string moves[] = {folder_ + u"X100\\2024\\0501\\20240501-090307.JPG",
                                  folder_ + u"X100\\2024\\0501\\20240501-091512.JPG",
                                  folder_ + u"D70\\2024\\0502\\20240502-100000.JPG"};
  auto pairs = [&](const std::u16string (&destinations)[3]) {
    List lines;
    for (int i = 0; i < 3; ++i) {
      lines.push_back(folder_ + names[i]);
      lines.push_back(destinations[i]);
      lines.push_back(u"");
    }
    return lines;
  };
  List afterCopy, afterMove;
  // The shown folder's node is open: the new folders must appear under it.
  FolderTreeView& tree = main_->FolderTree();
  HTREEITEM node = tree.FindFolderNode(folder_);
  ASSERT_TRUE(node);
  TreeView_Expand(tree.Handle(), node, TVE_EXPAND);
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  ASSERT_EQ(tree.Children(node).size(), 1u);
  WhenShown(*rename_, [&] {
    // テスト: exactly the pairs, nothing on disk, the files without metadata left out.
    TestToEnd(*rename_);
    EXPECT_EQ(Body(rename_->LogLines()), pairs(copies)) << Show(rename_->LogLines());
    EXPECT_EQ(rename_->Job().photos.size(), 3u);
    EXPECT_FALSE(Exists(folder_ + u"2024"));
    EXPECT_EQ(beeps_, 0);

    // 実行 with copy: the count line, new nested folders, the panes show them.
    RunToEnd(*rename_);
    List expected = pairs(copies);
    expected.push_back(u"3 個のファイルをコピー/リネームしました。");
    EXPECT_EQ(Body(rename_->LogLines()), expected) << Show(rename_->LogLines());
    EXPECT_TRUE(rename_->Job().photos.empty()) << "every photo filed: none left to retry";
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Bytes(copies[i]), original[i]) << i;
      EXPECT_TRUE(Exists(folder_ + names[i])) << i;
    }
    afterCopy = Rows();
    // The log's end is in view.
    HWND memo = C(IdLog);
    int length = GetWindowTextLengthW(memo);
    DWORD end = 0;
    SendMessageW(memo, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(static_cast<int>(end), length);
    EXPECT_GT(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_FALSE(IsWindowEnabled(main_->Handle())) << "still modal after the run";
    // 実行 again: nothing left, and no failure: the batch is done, and how to start another.
    RunToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines(), (List{texts::kRunBatchDone}));
    EXPECT_EQ(beeps_, 1) << "nothing to do, as for an empty selection";
    beeps_ = 0;
    TestToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines(), (List{texts::kRunBatchDone})) << "テスト says the same";
    beeps_ = 0;
    Select(C(IdActionBox), 1);
    Select(C(IdFolderBox), 2);
    Click(C(IdCloseButton));
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();
  WhenShown(*rename_, [&] {
    // 実行 with move into other new folders, from a new showing.
    RunToEnd(*rename_);
    List expected = pairs(moves);
    expected.push_back(u"3 個のファイルを移動/リネームしました。");
    EXPECT_EQ(Body(rename_->LogLines()), expected) << Show(rename_->LogLines());
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Bytes(moves[i]), original[i]) << i;
      EXPECT_FALSE(Exists(folder_ + names[i])) << i;
    }
    afterMove = Rows();
    EXPECT_EQ(beeps_, 0);
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();

  EXPECT_EQ(afterCopy, (List{u"2024", u"sub", u"broken.jpg", u"IMG_0001.JPG", u"IMG_0002.JPG", u"IMG_0003.JPG",
                             u"notes.txt"}));
  EXPECT_EQ(afterMove, (List{u"2024", u"D70", u"sub", u"X100", u"broken.jpg", u"notes.txt"}));
  // Nothing lost: every photo is where a run put it, byte for byte, and the rest untouched.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Bytes(copies[i]), original[i]) << i;
    EXPECT_EQ(Bytes(moves[i]), original[i]) << i;
  }
  EXPECT_EQ(Bytes(folder_ + u"notes.txt"), "notes");
  EXPECT_EQ(Bytes(folder_ + u"broken.jpg"), "not a photo at all");
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(std::wstring(W(folder_)))))
    if (entry.is_regular_file()) ++files;
  EXPECT_EQ(files, 8u);
  // The tree reads the new folders on its worker.
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  List nodes;
  for (HTREEITEM n : tree.Children(node)) nodes.push_back(tree.NodeText(n));
  EXPECT_EQ(nodes, (List{u"2024", u"D70", u"sub", u"X100"})) << "the tree shows the new folders";
}

TEST_F(RenameDialogRunTest, CameraTextPaddedWithNulsKeepsTheLogLinesApart) {
  fx::PhotoFields f;
  f.dateTimeOriginal = "2024:05:01 09:03:07";
  f.model = std::string("EOS\0\0", 5);
  fx::WriteFile(folder_ + u"IMG.JPG", fx::PhotoJpeg(f));
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@モデル"}, {u"@元のファイル名"}, 0, 1, 0);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  WhenShown(*rename_, [&] { TestToEnd(*rename_); });
  PressExifRenameButton();
  List log = rename_->LogLines();
  ASSERT_GE(log.size(), 3u) << Show(log);
  EXPECT_EQ(log[0], folder_ + u"IMG.JPG");
  EXPECT_EQ(log[1].substr(0, folder_.size() + 3), folder_ + u"EOS");
  EXPECT_EQ(log[1].substr(log[1].size() - 8), u"\\IMG.JPG") << "the destination line is whole";
  EXPECT_EQ(log[2], u"");
  EXPECT_FALSE(Exists(folder_ + u"EOS"));
}

// A real run goes on a worker: the dialog answers, shows its progress, reads 中止 on its
// close button, and Esc stops the run without losing or half-writing a photo.
TEST_F(RenameDialogRunTest, TheDialogAnswersWhileTheRunGoesAndEscStopsIt) {
  const int count = 40;
  std::vector<std::string> original;
  for (int i = 0; i < count; ++i) {
    std::u16string name = u"IMG_" + PadNumber(1000 + i, 4) + u".JPG";
    Photo(name, "2024:05:01 09:03:07", "X");
    original.push_back(Bytes(folder_ + name));
  }
  StoreFolder(folder_);
  StoreRenameSettings({kFolderMarker, u"out"}, {kFileMarker}, 0, 1, 0);
  SlowTransfer slow;
  transfer_ = &slow;
  Open();
  main_->FileList().SelectAll();
  SetFocus(ListView());
  int filesChanged = 0;
  rename_->OnFilesChanged = [&] { ++filesChanged; };
  List captions;
  WhenShown(*rename_, [&] {
    Click(C(IdRunButton));
    ASSERT_TRUE(rename_->Running());
    EXPECT_EQ(Text(C(IdCloseButton)), u"中止");
    EXPECT_FALSE(IsWindowEnabled(C(IdRunButton)));
    EXPECT_FALSE(IsWindowEnabled(C(IdTestButton)));
    EXPECT_FALSE(IsWindowEnabled(C(IdFolderBox)));
    EXPECT_TRUE(IsWindowVisible(C(IdProgress)));
    EXPECT_FALSE(IsWindowEnabled(main_->Handle())) << "the panes stay locked";
    // The window's thread is free: it handles messages and the progress comes in.
    PumpWhile([&] {
      std::u16string caption = rename_->Caption();
      if (captions.empty() || captions.back() != caption) captions.push_back(caption);
      return SendMessageW(C(IdProgress), PBM_GETPOS, 0, 0) < 100;
    });
    EXPECT_GE(SendMessageW(C(IdProgress), PBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(rename_->Running());
    // The log's pairs are shown at the start, before the files are done.
    EXPECT_GE(rename_->LogLines().size(), size_t(count * 3));
    // Esc, as a person would press it.
    SendMessageW(rename_->Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PumpWhile([&] { return rename_->Running(); });
    EXPECT_FALSE(rename_->Running());
    EXPECT_TRUE(rename_->Showing()) << "中止 stops the run, not the dialog";
    EXPECT_EQ(Text(C(IdCloseButton)), u"閉じる");
    EXPECT_TRUE(IsWindowEnabled(C(IdRunButton)));
    EXPECT_EQ(rename_->Caption(), u"リネーム画面");
    List log = rename_->LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(0, 8), u"中止しました: ") << Show(log);
    EXPECT_EQ(filesChanged, 1);
  });
  PressExifRenameButton();
  EXPECT_GE(captions.size(), 2u) << "progress shown as it goes";
  EXPECT_NE(captions.back().find(u"ファイル"), std::u16string::npos) << ToUtf8(captions.back());
  size_t filed = 0;
  for (int i = 0; i < count; ++i) {
    std::u16string name = u"IMG_" + PadNumber(1000 + i, 4) + u".JPG";
    EXPECT_EQ(Bytes(folder_ + name), original[i]) << "a copy leaves its source whole: " << i;
    if (Exists(folder_ + u"out\\" + name)) {
      ++filed;
      EXPECT_EQ(Bytes(folder_ + u"out\\" + name), original[i]) << i;
    }
  }
  EXPECT_GT(filed, 0u);
  EXPECT_LT(filed, size_t(count));
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(std::wstring(W(folder_)))))
    EXPECT_EQ(entry.path().filename().wstring().find(L".tessarine"), std::wstring::npos) << entry.path();
}

TEST_F(RenameDialogRunTest, SecondMoveFindsNothingLeftAndLosesNothing) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:02 10:00:00", "X100");
  std::string original[2] = {Bytes(folder_ + u"IMG_0001.JPG"), Bytes(folder_ + u"IMG_0002.JPG")};
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@モデル\\@年4\\@月2@日2"}, {u"@元のファイル名"}, 1, 1, 0);
  Open();
  const std::u16string moved[2] = {folder_ + u"X100\\2024\\0501\\IMG_0001.JPG",
                                   folder_ + u"X100\\2024\\0502\\IMG_0002.JPG"};
  WhenShown(*rename_, [&] {
    RunToEnd(*rename_);
    ASSERT_EQ(Body(rename_->LogLines()).back(), u"2 個のファイルを移動/リネームしました。") << Show(rename_->LogLines());
    // 実行 again: every photo is filed, none is left to retry; no failure is claimed.
    RunToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines(), (List{texts::kRunBatchDone})) << Show(rename_->LogLines());
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Bytes(moved[i]), original[i]) << i;
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(std::wstring(W(folder_)))))
    if (entry.is_regular_file()) ++files;
  EXPECT_EQ(files, 2u);
}

// After a click on テスト the focus is on that button: Enter must run the test again, not the
// default 実行 (a real move the user did not ask for).
TEST_F(RenameDialogRunTest, EnterOnTheFocusedTestButtonOnlyTests) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  const std::string original = Bytes(folder_ + u"IMG_0001.JPG");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4"}, {u"@元のファイル名"}, 1, 1, 0);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  WhenShown(*rename_, [&] {
    SetFocus(C(IdTestButton));
    PostKey(VK_RETURN);
    // The run goes on its worker (closing while it goes would stop it instead): the dialog's
    // own loop handles the key, and the close comes once the run has ended.
    CloseWhenRunEnds(*rename_);
  }, false);
  PressExifRenameButton();
  EXPECT_EQ(Body(rename_->LogLines()), (List{folder_ + u"IMG_0001.JPG", folder_ + u"2024\\IMG_0001.JPG", u""}))
      << Show(rename_->LogLines());
  EXPECT_EQ(Bytes(folder_ + u"IMG_0001.JPG"), original) << "the photo stays where it was";
  EXPECT_FALSE(Exists(folder_ + u"2024"));
}
