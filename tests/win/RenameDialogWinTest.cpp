// The rename dialog's controls, its settings, the template list editor and the clock table.
#include "RenameDialogFixture.h"

TEST_F(RenameDialogTest, ControlsTabOrderButtonsAndModality) {
  Open();
  bool ran = false;
  WhenShown(*rename_, [&] {
    ran = true;
    HWND dialog = rename_->Handle();
    EXPECT_EQ(Text(dialog), u"リネーム画面");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main_->Handle()) << "owned by the main window";
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(IsWindowEnabled(main_->Handle())) << "modal: the main window takes no input meanwhile";

    struct Expected { RenameDialogControlId id; const char16_t* text; const wchar_t* cls; } controls[] = {
        {IdActionLabel, u"動作:", L"Static"},   {IdFolderLabel, u"コピー先:", L"Static"}, {IdNameLabel, u"ファイル名:", L"Static"},
        {IdEditFoldersButton, u"...", L"Button"},     {IdEditNamesButton, u"...", L"Button"},       {IdRunButton, u"実行", L"Button"},
        {IdCloseButton, u"閉じる", L"Button"},   {IdTestButton, u"テスト", L"Button"},     {IdLog, u"", L"Edit"},
        {IdIncludeImported, u"取り込み済みも含める", L"Button"}, {IdBackupLabel, u"バックアップ先:", L"Static"},
        {IdEditBackupsButton, u"...", L"Button"},     {IdEjectWhenDone, u"完了後にカードを取り出す", L"Button"},
    };
    for (const Expected& e : controls) {
      HWND c = C(e.id);
      ASSERT_TRUE(c) << e.id;
      EXPECT_EQ(Text(c), e.text) << e.id;
      wchar_t cls[64] = {};
      GetClassNameW(c, cls, 63);
      EXPECT_STREQ(cls, e.cls) << e.id;
    }
    EXPECT_EQ(ShownItems(C(IdActionBox)), (List{u"コピー", u"移動/リネーム"}));
    // Labels sit where they were designed and are as wide as their text.
    EXPECT_EQ(RectIn(dialog, C(IdFolderLabel)).left, 8);
    EXPECT_EQ(RectIn(dialog, C(IdFolderLabel)).top, 41);
    EXPECT_GT(RectIn(dialog, C(IdNameLabel)).width, 20);
    for (auto [label, box] : {std::pair{IdNameLabel, IdNameBox}, std::pair{IdBackupLabel, IdBackupBox}})
      EXPECT_LE(RectIn(dialog, C(label)).left + RectIn(dialog, C(label)).width, RectIn(dialog, C(box)).left)
          << "clear of the drop-downs";
    EXPECT_EQ(RectIn(dialog, C(IdEjectWhenDone)).left, RectIn(dialog, C(IdBackupBox)).left) << "under the drop-downs";

    // Drop-downs take selection only; the log scrolls both ways and is not wrapped.
    EXPECT_EQ(GetWindowLongW(C(IdFolderBox), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    LONG memo = GetWindowLongW(C(IdLog), GWL_STYLE);
    EXPECT_TRUE((memo & WS_HSCROLL) && (memo & WS_VSCROLL) && (memo & ES_MULTILINE) && (memo & ES_AUTOHSCROLL));

    // Tab order from the first drop-down, which has the focus.
    EXPECT_EQ(GetFocus(), C(IdActionBox));
    RenameDialogControlId order[] = {IdActionBox, static_cast<RenameDialogControlId>(IdClockRulesButton), IdFolderBox,
                                     IdEditFoldersButton, IdNameBox, IdEditNamesButton, IdBackupBox, IdEditBackupsButton,
                                     IdEjectWhenDone, IdLog, IdRunButton, IdCloseButton,
                                     IdTestButton, IdIncludeImported, IdActionBox};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
      EXPECT_EQ(GetNextDlgTabItem(dialog, C(order[i]), FALSE), C(order[i + 1])) << "after " << order[i];
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IdRunButton) << "実行 is the default button";
    EXPECT_EQ(GetDlgCtrlID(C(IdCloseButton)), IDCANCEL) << "閉じる is the cancel button";
  });
  EXPECT_EQ(ShowRename(), IDCANCEL);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(IsWindowVisible(rename_->Handle()));
  EXPECT_TRUE(IsWindowEnabled(main_->Handle()));

  // Keys: Esc closes; Enter presses 実行, whose run finds no file; the close box closes.
  WhenShown(*rename_, [] { PostKey(VK_ESCAPE); }, false);
  EXPECT_EQ(ShowRename(), IDCANCEL);
  WhenShown(*rename_, [&] {
    PostKey(VK_RETURN);
    // The run goes on its worker (closing while it goes would stop it instead): the dialog's
    // own loop handles the key, and the close comes once the run has ended.
    CloseWhenRunEnds(*rename_);
  }, false);
  beeps_ = 0;
  EXPECT_EQ(ShowRename(), IDCANCEL);
  EXPECT_EQ(rename_->LogLines(), (List{u"ファイルが見つかりません。"}));
  EXPECT_EQ(beeps_, 1);
  EXPECT_FALSE(rename_->Showing());
}

TEST_F(RenameDialogTest, ShowingReadsAndClosingWritesTheFourGroups) {
  {
    auto key = store_->Open(kRenameWindowKey, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteInteger(*key, u"Top", 30));
    ASSERT_TRUE(WriteInteger(*key, u"Left", 40));
    ASSERT_TRUE(WriteInteger(*key, u"Height", 360));
    ASSERT_TRUE(WriteInteger(*key, u"Width", 600));
    ASSERT_TRUE(WriteMultiString(*key, u"CopyToPath", {u"@年4", u"", u"@モデル"}));
    ASSERT_TRUE(WriteString(*key, u"CopyToFile", u"@年4"));  // of string type: unreadable as a list
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox1.ItemIndex", 5));
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox2.ItemIndex", 1));
    ASSERT_TRUE(WriteMultiString(*key, u"BackupToPath", {u"E:\\Backup\\@年4"}));
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox4.ItemIndex", 1));
  }
  Open();
  SetWindowTextW(C(IdLog), L"old log");
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    EXPECT_EQ(rc.left, 40);
    EXPECT_EQ(rc.top, 30);
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 360);
    EXPECT_EQ(Text(C(IdLog)), u"") << "the log starts empty";
    EXPECT_EQ(ShownItems(C(IdFolderBox)), (List{u"@元のフォルダ名", u"@年4", u"@モデル"}));
    EXPECT_EQ(Selected(C(IdFolderBox)), 2) << "the stored entry stays selected below the marker";
    EXPECT_EQ(ShownItems(C(IdNameBox)), RenameWindowSettings::BuiltInFileTemplates());
    EXPECT_EQ(Selected(C(IdNameBox)), 0) << "a missing index selects entry 0";
    EXPECT_EQ(Selected(C(IdActionBox)), -1) << "an index past the end selects nothing";
    EXPECT_EQ(Text(C(IdActionBox)), u"");
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdIncludeImported), BST_UNCHECKED) << "off unless stored on";
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdEjectWhenDone), BST_UNCHECKED) << "off unless stored on";
    EXPECT_EQ(ShownItems(C(IdBackupBox)), (List{u"", u"E:\\Backup\\@年4"})) << "no backup comes first";
    EXPECT_EQ(Selected(C(IdBackupBox)), 1);

    // Every change of size lays the controls out again.
    for (SIZE size : {SIZE{600, 360}, SIZE{700, 420}, SIZE{380, 260}}) {
      SetWindowPos(rename_->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
      rc = Outer(rename_->Handle());
      // The labels as large as their texts; the controls beside them after the widest.
      ControlRect label = RectIn(rename_->Handle(), C(IdNameLabel));
      RECT client{};
      GetClientRect(rename_->Handle(), &client);
      std::vector<ControlRect> expected = RenameFormLayout(client.right, client.bottom, label.width, label.height);
      EXPECT_GE(RectIn(rename_->Handle(), C(IdLog)).height, 103) << "the log keeps its seven lines";
      const std::pair<RenameControl, RenameDialogControlId> checked[] = {
          {rcEditFoldersButton, IdEditFoldersButton}, {rcEditNamesButton, IdEditNamesButton}, {rcLog, IdLog},
          {rcCloseButton, IdCloseButton},   {rcRunButton, IdRunButton},     {rcTestButton, IdTestButton},
          {rcIncludeImported, IdIncludeImported}, {rcEditBackupsButton, IdEditBackupsButton},
          {rcEjectWhenDone, IdEjectWhenDone}};
      for (auto [control, id] : checked) EXPECT_EQ(RectIn(rename_->Handle(), C(id)), expected[control]) << id;
      for (auto [control, id] : {std::pair{rcActionBox, IdActionBox}, std::pair{rcNameBox, IdNameBox},
                                 std::pair{rcBackupBox, IdBackupBox}}) {
        ControlRect r = RectIn(rename_->Handle(), C(id));
        EXPECT_EQ(r.left, expected[control].left);
        EXPECT_EQ(r.width, expected[control].width) << id << " at width " << size.cx;
      }
    }
    SetWindowPos(rename_->Handle(), nullptr, 12, 34, 640, 390, SWP_NOZORDER);
    Select(C(IdActionBox), 1);
    Select(C(IdNameBox), -1);
    SendMessageW(C(IdIncludeImported), BM_CLICK, 0, 0);
    SendMessageW(C(IdEjectWhenDone), BM_CLICK, 0, 0);
    Select(C(IdBackupBox), 0);
  });
  ShowRename();
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"EjectWhenDone"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox4.ItemIndex"), 0);
  EXPECT_EQ(StoredList(u"BackupToPath"), (List{u"E:\\Backup\\@年4"})) << "the empty entry is the dialog's own";
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"IncludeImported"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Top"), 34);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Left"), 12);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Height"), 390);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Width"), 640);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox1.ItemIndex"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox2.ItemIndex"), 2);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox3.ItemIndex"), -1) << "no selection is stored as -1";
  EXPECT_EQ(StoredList(u"CopyToPath"), (List{u"@元のフォルダ名", u"@年4", u"@モデル"}));
  EXPECT_EQ(StoredList(u"CopyToFile"), RenameWindowSettings::BuiltInFileTemplates());

  // The next showing comes back as it was left.
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    EXPECT_EQ(rc.left, 12);
    EXPECT_EQ(rc.right - rc.left, 640);
    EXPECT_EQ(Selected(C(IdActionBox)), 1);
    // A template drop-down is never shown blank: a stored -1 selects entry 0, the marker
    // that keeps each name, never an empty template.
    EXPECT_EQ(Selected(C(IdNameBox)), 0);
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdIncludeImported), BST_CHECKED) << "kept";
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdEjectWhenDone), BST_CHECKED) << "kept";
    EXPECT_EQ(Selected(C(IdBackupBox)), 0) << "no backup, kept";
    // What the box says reaches the job of the next run.
    rename_->OnTestButton();
  });
  ShowRename();
  EXPECT_TRUE(rename_->Job().includeImported);
  EXPECT_EQ(rename_->Job().backupFolderTemplate, u"");
  // A backup chosen reaches the job.
  WhenShown(*rename_, [&] {
    Select(C(IdBackupBox), 1);
    rename_->OnTestButton();
  });
  ShowRename();
  EXPECT_EQ(rename_->Job().backupFolderTemplate, u"E:\\Backup\\@年4");
}

TEST_F(RenameDialogTest, FirstShowingWithoutSettings) {
  Open();
  EXPECT_EQ(Selected(C(IdFolderBox)), 1) << "created with the second entries selected";
  // The main window somewhere away from the screen's corner.
  SetWindowPos(main_->Handle(), nullptr, 150, 120, 644, 408, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(main_->Handle(), SW_SHOWNA);
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    RECT owner = Outer(main_->Handle());
    EXPECT_LE(std::abs((rc.left + rc.right) - (owner.left + owner.right)), 1) << "centred over the main window";
    EXPECT_LE(std::abs((rc.top + rc.bottom) - (owner.top + owner.bottom)), 1);
    RECT client{};
    GetClientRect(rename_->Handle(), &client);
    EXPECT_EQ(client.right, 505);
    EXPECT_EQ(client.bottom, kRenameFormMinClientHeight) << "the log's seven lines with the progress strip below";
    EXPECT_EQ(RectIn(rename_->Handle(), C(IdLog)).height, 103);
    EXPECT_EQ(ShownItems(C(IdFolderBox)), RenameWindowSettings::BuiltInFolderTemplates());
    for (RenameDialogControlId id : {IdActionBox, IdFolderBox, IdNameBox}) EXPECT_EQ(Selected(C(id)), 0) << id;
    EXPECT_TRUE(store_->KeyExists(kRenameWindowKey));
  });
  ShowRename();

  // A placement far off the screen is brought back; a tiny size is raised to a usable one.
  {
    auto key = store_->Open(kRenameWindowKey, true);
    ASSERT_TRUE(WriteInteger(*key, u"Top", -5000));
    ASSERT_TRUE(WriteInteger(*key, u"Left", 90000));
    ASSERT_TRUE(WriteInteger(*key, u"Height", 3));
    ASSERT_TRUE(WriteInteger(*key, u"Width", 2));
  }
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    // Moved whole onto the screen there is.
    EXPECT_EQ(rc.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rc.top, 0);
    EXPECT_GE(rc.right - rc.left, 300);
    EXPECT_GE(rc.bottom - rc.top, 200);
  });
  ShowRename();
}

TEST_F(RenameDialogTest, ListEditorRoundTrips) {
  StoreRenameSettings({u"@元のフォルダ名", u"A", u"B", u"C"}, {u"@元のファイル名", u"N"}, 0, 2, 1);
  Open();
  struct Step {
    const char* what;
    RenameDialogControlId button;
    const char16_t* newText;  // what the user leaves in the editor; null: unchanged
    bool ok;
    List items;              // the drop-down afterwards
    int selected;
  } steps[] = {
      {"OK without changes", IdEditFoldersButton, nullptr, true, {u"@元のフォルダ名", u"A", u"B", u"C"}, 2},
      {"cancel keeps list and selection", IdEditFoldersButton, u"X\r\nY", false, {u"@元のフォルダ名", u"A", u"B", u"C"}, 2},
      // The choice follows its template's text, never its position.
      {"line deleted above: the choice stays on its text", IdEditFoldersButton, u"@元のフォルダ名\r\nB\r\nC", true,
       {u"@元のフォルダ名", u"B", u"C"}, 1},
      {"new template typed at the end", IdEditFoldersButton, u"@元のフォルダ名\r\nB\r\nC\r\n@年4\\@月2@日2", true,
       {u"@元のフォルダ名", u"B", u"C", u"@年4\\@月2@日2"}, 1},
      {"the chosen template deleted: entry 0, never blank", IdEditFoldersButton, u"D", true, {u"D"}, 0},
      {"template gone again: entry 0", IdEditFoldersButton, u"E\r\n\r\nF", true, {u"E", u"", u"F"}, 0},
      {"name list emptied", IdEditNamesButton, u"", true, {u"@元のファイル名"}, 0},
  };
  WhenShown(*rename_, [&] {
    for (const Step& s : steps) {
      HWND combo = C(s.button == IdEditFoldersButton ? IdFolderBox : IdNameBox);
      List before = ShownItems(combo);
      bool edited = false;
      WhenShown(*edit_, [&] {
        edited = true;
        HWND memo = edit_->Control(IdListText);
        EXPECT_EQ(edit_->Caption(), s.button == IdEditFoldersButton ? u"コピー先一覧の編集" : u"ファイル名一覧の編集") << s.what;
        EXPECT_EQ(SplitLines(Text(memo)), before) << s.what << ": the editor shows the drop-down's entries";
        EXPECT_EQ(GetFocus(), memo);
        EXPECT_EQ(SendMessageW(memo, EM_GETSEL, 0, 0), 0) << "caret at the top, nothing selected";
        EXPECT_FALSE(IsWindowEnabled(rename_->Handle())) << "modal over the rename dialog";
        if (s.newText) SetWindowTextW(memo, reinterpret_cast<const wchar_t*>(s.newText));
        Click(edit_->Control(s.ok ? IdOkButton : IdCancelButton));
      });
      Click(C(s.button));
      EXPECT_TRUE(edited) << s.what;
      EXPECT_EQ(ShownItems(combo), s.items) << s.what << " " << Show(ShownItems(combo));
      EXPECT_EQ(Selected(combo), s.selected) << s.what;
    }
  });
  ShowRename();
  EXPECT_EQ(StoredList(u"CopyToPath"), (List{u"E", u"F"})) << "empty entries are not read back";

  // A list the user emptied keeps each file's folder: the next showing adds no second marker.
  WhenShown(*rename_, [&] {
    WhenShown(*edit_, [&] {
      SetWindowTextW(edit_->Control(IdListText), L"");
      Click(edit_->Control(IdOkButton));
    });
    Select(C(IdFolderBox), 0);
    Click(C(IdEditFoldersButton));
    EXPECT_EQ(ShownItems(C(IdFolderBox)), (List{u"@元のフォルダ名"}));
    EXPECT_EQ(Selected(C(IdFolderBox)), 0);
  });
  ShowRename();
  WhenShown(*rename_, [&] { EXPECT_EQ(ShownItems(C(IdFolderBox)), (List{u"@元のフォルダ名"})); });
  ShowRename();
}

TEST_F(RenameDialogTest, ListEditorPlacementSizeAndKeys) {
  Open();
  WhenShown(*rename_, [&] {
    WhenShown(*edit_, [&] {
      HWND dialog = edit_->Handle();
      EXPECT_EQ(GetWindow(dialog, GW_OWNER), rename_->Handle());
      EXPECT_EQ(Text(edit_->Control(IdOkButton)), u"OK");
      EXPECT_EQ(Text(edit_->Control(IdCancelButton)), u"キャンセル");
      EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDOK);
      EXPECT_EQ(GetNextDlgTabItem(dialog, edit_->Control(IdListText), FALSE), edit_->Control(IdTokenTable));
      EXPECT_EQ(GetNextDlgTabItem(dialog, edit_->Control(IdTokenTable), FALSE), edit_->Control(IdOkButton));
      EXPECT_EQ(GetNextDlgTabItem(dialog, edit_->Control(IdOkButton), FALSE), edit_->Control(IdCancelButton));
      // Japanese text typed through the input method lands in the text area.
      HWND memo = edit_->Control(IdListText);
      HIMC context = ImmGetContext(memo);
      EXPECT_TRUE(context) << "the text area takes input from the input method";
      if (context) ImmReleaseContext(memo, context);
      SendMessageW(memo, EM_SETSEL, 0, 0);
      for (wchar_t c : std::wstring(L"@元号2")) SendMessageW(memo, WM_IME_CHAR, c, 1);
      Pump();
      EXPECT_EQ(SplitLines(Text(memo)).front(), u"@元号2@元のフォルダ名");
      for (SIZE size : {SIZE{600, 400}, SIZE{300, 200}}) {
        SetWindowPos(dialog, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client{};
        GetClientRect(dialog, &client);
        std::vector<ControlRect> expected = ListEditFormLayout(client.right, client.bottom);
        EXPECT_EQ(RectIn(dialog, memo), expected[lcListText]);
        EXPECT_EQ(RectIn(dialog, edit_->Control(IdOkButton)), expected[lcOkButton]);
        EXPECT_EQ(RectIn(dialog, edit_->Control(IdCancelButton)), expected[lcCancelButton]);
        EXPECT_EQ(RectIn(dialog, edit_->Control(IdTokenTable)), expected[lcTokenTable]);
      }
      SetWindowPos(dialog, nullptr, 50, 60, 450, 350, SWP_NOZORDER);
      PostKey(VK_ESCAPE);  // from the text area: cancel
    }, false);
    watched = edit_.get();
    Click(C(IdEditFoldersButton));
    watched = rename_.get();
    EXPECT_EQ(ShownItems(C(IdFolderBox)), RenameWindowSettings::BuiltInFolderTemplates()) << "cancelled";

    // The stored placement comes back; Tab then Enter on OK takes the text.
    WhenShown(*edit_, [&] {
      RECT rc = Outer(edit_->Handle());
      EXPECT_EQ(rc.left, 50);
      EXPECT_EQ(rc.top, 60);
      EXPECT_EQ(rc.right - rc.left, 450);
      EXPECT_EQ(rc.bottom - rc.top, 350);
      SetWindowTextW(edit_->Control(IdListText), L"@年4");
      PostKey(VK_TAB);
      PostMessageW(edit_->Control(IdOkButton), WM_KEYDOWN, VK_RETURN, 1);
      PostMessageW(edit_->Control(IdOkButton), WM_KEYUP, VK_RETURN, 0xC0000001);
    }, false);
    Click(C(IdEditNamesButton));
    EXPECT_EQ(ShownItems(C(IdNameBox)), (List{u"@年4"}));
  });
  ShowRename();
  EXPECT_EQ(StoredInteger(kListEditWindowKey, u"Left"), 50);
  EXPECT_EQ(StoredInteger(kListEditWindowKey, u"Width"), 450);
}

TEST_F(RenameDialogTest, TestMarksUnknownTokensAndTheEditorListsTheTokensWithTheFirstPhotosValues) {
  Photo(u"IMG_0007.JPG", "2024:05:01 09:03:07", "X100");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年@月"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 1, 1);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  List rows;
  std::u16string typed;
  WhenShown(*rename_, [&] {
    TestToEnd(*rename_);
    // The run goes as it always did ("@" dropped, the folder named "年月"); the slips follow.
    List expected{folder_ + u"IMG_0007.JPG", folder_ + u"年月\\20240501-090307.JPG", u"", u"まとめ (テスト): コピー予定 1 個",
                  u"不明なトークン: @年", u"不明なトークン: @月"};
    EXPECT_EQ(WithoutSpaceLines(rename_->LogLines()), expected) << Show(rename_->LogLines());
    EXPECT_FALSE(Exists(folder_ + u"年月"));
    // The editor's token table, its examples from the selected photo; a double-click types one.
    WhenShown(*edit_, [&] {
      for (const auto& row : edit_->TokenRows()) rows.push_back(row[0] + u"|" + row[1] + u"|" + row[3]);
      HWND memo = edit_->Control(IdListText);
      SetWindowTextW(memo, L"x");
      SendMessageW(memo, EM_SETSEL, 1, 1);
      edit_->InsertToken(0);  // the first row: the four-digit year
      typed = Text(memo);
      Click(edit_->Control(IdCancelButton));
    });
    Click(C(IdEditNamesButton));
  });
  PressExifRenameButton();
  auto has = [&](const std::u16string& row) { return std::find(rows.begin(), rows.end(), row) != rows.end(); };
  for (const char16_t* row : {u"@年4|@y4|2024", u"@月2|@m2|05", u"@秒2|@s2|07", u"@モデル|@model|X100",
                              u"@元のファイル名|@file|IMG_0007", u"@通1 / @番1|@num1|1"})
    EXPECT_TRUE(has(row)) << ToUtf8(row) << " in " << Show(rows);
  EXPECT_EQ(typed, u"x@年4");
}

// A camera an hour behind: the 時刻補正 table sets its rule from a reference photo (bad input
// refused, nothing kept), テスト shows the correction, 実行 files by it, and the rule is kept
// for the next start; the other camera's photo is untouched.
TEST_F(RenameDialogTest, TheClockTableSetsARuleFromAReferencePhoto) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:00:00", "R6");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:30:00", "R6");
  Photo(u"IMG_0003.JPG", "2024:05:01 10:15:00", "X100");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4@月2@日2"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 1, 1);
  Open();
  for (int i = 0; i < 3; ++i) main_->FileList().SelectRow(i);
  SetFocus(ListView());
  bool tableShown = false;
  rename_->OnClockTableShown = [&](ClockTableDialog& table) {
    tableShown = true;
    ASSERT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.Cell(0, 0), u"Maker R6");
    EXPECT_EQ(table.Cell(0, 1), u"2");
    EXPECT_EQ(table.Cell(0, 3), u"2024/05/01 09:00:00");
    EXPECT_EQ(table.Cell(0, 4), u"2024/05/01 09:30:00");
    EXPECT_EQ(table.Cell(1, 0), u"Maker X100");
    table.SelectRow(0);
    // A shift that cannot be read: said, and OK keeps the dialog open with nothing kept.
    SetWindowTextW(table.Control(IdClockShift), L"+1h");
    wchar_t buffer[512] = {};
    GetWindowTextW(table.Control(IdClockMessage), buffer, 511);
    EXPECT_NE(U16(buffer).find(u"時刻のずれを読めません"), std::u16string::npos) << ToUtf8(U16(buffer));
    Click(table.Control(IdClockOk));
    EXPECT_EQ(table.ModalResult(), 0) << "refused";
    EXPECT_TRUE(ReadClockRules(*store_).rules.empty());
    // The reference photo: IMG_0001 showed 09:00 when the clock on the wall said 10:00.
    SendMessageW(table.Control(IdClockPhoto), CB_SETCURSEL, 0, 0);
    SetWindowTextW(table.Control(IdClockTime), L"2024/05/01 10:00:00");
    Click(table.Control(IdClockCompute));
    GetWindowTextW(table.Control(IdClockShift), buffer, 511);
    EXPECT_EQ(U16(buffer), u"+1:00:00");
    EXPECT_EQ(table.Cell(0, 5), u"+1:00:00");
    EXPECT_EQ(table.Cell(0, 7), u"2024/05/01 10:00:00 - 2024/05/01 10:30:00") << "the corrected span as typed";
    Click(table.Control(IdClockOk));
    EXPECT_EQ(table.ModalResult(), IDOK);
    if (!table.ModalResult()) table.EndModal(IDCANCEL);
  };
  List tested, filed;
  WhenShown(*rename_, [&] {
    Click(GetDlgItem(rename_->Handle(), IdClockRulesButton));
    EXPECT_EQ(rename_->LogLines().front(), u"時刻補正あり: Maker R6 (+1:00:00)") << "the dialog names the cameras with a rule";
    TestToEnd(*rename_);
    tested = rename_->LogLines();
    RunToEnd(*rename_);
    filed = rename_->LogLines();
  });
  PressExifRenameButton();
  EXPECT_TRUE(tableShown);
  const std::u16string out = folder_ + u"20240501\\";
  EXPECT_EQ(Body(tested), (List{folder_ + u"IMG_0001.JPG", out + u"20240501-100000.JPG",
                                u"2024/05/01 09:00:00 → 10:00:00 (+1:00:00, Maker R6)", u"",
                                folder_ + u"IMG_0002.JPG", out + u"20240501-103000.JPG",
                                u"2024/05/01 09:30:00 → 10:30:00 (+1:00:00, Maker R6)", u"",
                                folder_ + u"IMG_0003.JPG", out + u"20240501-101500.JPG", u""}))
      << Show(tested);
  EXPECT_EQ(tested.back(), u"まとめ (テスト): コピー予定 3 個、時刻補正 2 個 (Maker R6 2 個)");
  EXPECT_TRUE(Exists(out + u"20240501-100000.JPG"));
  EXPECT_TRUE(Exists(out + u"20240501-103000.JPG"));
  EXPECT_TRUE(Exists(out + u"20240501-101500.JPG"));
  EXPECT_FALSE(filed.empty());
  // Kept for the next start: a new store over the same key reads the rule.
  std::unique_ptr<SettingsStore> again = MakeUserSettingsStore(root_);
  ClockRules kept = ReadClockRules(*again);
  ASSERT_EQ(kept.rules.size(), 1u);
  EXPECT_EQ(CameraLabel(kept.rules[0].camera), u"Maker R6");
  EXPECT_EQ(kept.rules[0].shiftSeconds, 3600);
}

// The choices a run goes with are kept as it starts, not only when the dialog closes: a run
// cut short by the computer stopping leaves them for the next showing. テスト keeps nothing.
TEST_F(RenameDialogTest, ARunKeepsItsChoicesAsItStarts) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:00:00", "R6");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4@月2@日2"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 0, 0);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  WhenShown(*rename_, [&] {
    Select(rename_->Control(IdFolderBox), 1);
    Select(rename_->Control(IdNameBox), 1);
    TestToEnd(*rename_);
    EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox2.ItemIndex"), 0) << "a test keeps nothing";
    RunToEnd(*rename_);
    EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox2.ItemIndex"), 1);
    EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox3.ItemIndex"), 1);
  });
  PressExifRenameButton();
  EXPECT_TRUE(Exists(folder_ + u"20240501\\20240501-090000.JPG"));
}
