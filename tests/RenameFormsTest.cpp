// The rename dialog's and the list editor's decisions without their windows: what a
// showing selects, what an edited list becomes, the lines of a text area, and where a
// resize puts every control.
#include <gtest/gtest.h>

#include "platform/MemorySettings.h"
#include "platform/Text.h"
#include "rename/RenameForms.h"

using namespace tess;

namespace {

using List = std::vector<std::u16string>;

std::vector<uint8_t> Dword(int32_t v) {
  uint32_t u = uint32_t(v);
  return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

std::string Show(const List& list) {
  std::string s = "[";
  for (const auto& e : list) s += ToUtf8(e) + "|";
  return s + "]";
}

}  // namespace

namespace tess {
void PrintTo(const ControlRect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}
}  // namespace tess

TEST(RenameFormShow, SelectionsFitTheListsAndTheMarkersComeFirst) {
  struct Case {
    const char* what;
    List storedFolders;  // empty: nothing stored
    int storedIndex;     // FolderBox.ItemIndex; INT32_MIN: not stored
    List folders;        // after the showing
    int index;
  } cases[] = {
      {"nothing stored: built-in list, entry 0", {}, INT32_MIN, RenameWindowSettings::BuiltInFolderTemplates(), 0},
      {"stored list with the marker", {kFolderMarker, u"@年4"}, 1, {kFolderMarker, u"@年4"}, 1},
      {"marker missing: put first, same template stays selected", {u"@年4", u"@モデル"}, 1,
       {kFolderMarker, u"@年4", u"@モデル"}, 2},
      {"marker missing, entry 0 selected", {u"@年4"}, 0, {kFolderMarker, u"@年4"}, 1},
      {"marker further down is not first", {u"@年4", kFolderMarker}, 0, {kFolderMarker, u"@年4", kFolderMarker}, 1},
      // Never blank: a blank folder template would rename the photos where they lie.
      {"index past the end: entry 0, the marker", {u"@年4"}, 1, {kFolderMarker, u"@年4"}, 0},
      {"index -1: entry 0", {kFolderMarker, u"@年4"}, -1, {kFolderMarker, u"@年4"}, 0},
      {"another negative index: entry 0", {kFolderMarker}, -7, {kFolderMarker}, 0},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    if (!c.storedFolders.empty()) ASSERT_TRUE(WriteMultiString(*store.Open(kRenameWindowKey, true), u"CopyToPath", c.storedFolders));
    if (c.storedIndex != INT32_MIN) store.Set(kRenameWindowKey, u"ComboBox2.ItemIndex", RegDword, Dword(c.storedIndex));
    RenameWindowSettings state;
    ShowRenameFormState(&store, state);
    EXPECT_EQ(state.folderTemplates, c.folders) << c.what << " " << Show(state.folderTemplates);
    EXPECT_EQ(state.itemIndex[1], c.index) << c.what;
    EXPECT_EQ(state.fileTemplates, RenameWindowSettings::BuiltInFileTemplates()) << c.what;
    EXPECT_EQ(state.itemIndex[2], 0) << c.what;
  }
}

TEST(RenameFormShow, ActionIndexAndUnopenableKey) {
  MemorySettingsStore store;
  store.Set(kRenameWindowKey, u"ComboBox1.ItemIndex", RegDword, Dword(2));
  RenameWindowSettings state;
  ShowRenameFormState(&store, state);
  EXPECT_EQ(state.itemIndex[0], -1) << "a third action does not exist";

  // A key that cannot be opened keeps what the dialog showed before; the markers still come first.
  store.failOpen = {kRenameWindowKey};
  state.folderTemplates = {u"@年4"};
  state.fileTemplates = {kFileMarker, u"x"};
  state.itemIndex[0] = 1;
  state.itemIndex[1] = 0;
  state.itemIndex[2] = 1;
  state.placement = {5, 6, 7, 8};
  ShowRenameFormState(&store, state);
  EXPECT_EQ(state.folderTemplates, (List{kFolderMarker, u"@年4"}));
  EXPECT_EQ(state.fileTemplates, (List{kFileMarker, u"x"}));
  EXPECT_EQ(state.itemIndex[0], 1);
  EXPECT_EQ(state.itemIndex[1], 1);
  EXPECT_EQ(state.itemIndex[2], 1);
  EXPECT_EQ(state.placement.width, 8);
}

TEST(RenameFormRun, JobFromTheDropDowns) {
  TemplateChoice folders{{kFolderMarker, u"@年4"}, 1};
  TemplateChoice files{{kFileMarker}, -1};
  RenameJob s;
  s.action = RenameAction::Move;
  ChooseForJob(s, -1, folders, files);
  EXPECT_EQ(s.folderTemplate, u"@年4");
  EXPECT_EQ(s.nameTemplate, u"") << "no selection is an empty template";
  EXPECT_EQ(s.action, RenameAction::Copy) << "no action selected copies";
  folders.index = 2;
  ChooseForJob(s, 1, folders, files);
  EXPECT_EQ(s.folderTemplate, u"");
  EXPECT_EQ(s.action, RenameAction::Move);
  EXPECT_EQ(ActionAt(0), RenameAction::Copy);
  EXPECT_EQ(ActionAt(2), RenameAction::Move);
  EXPECT_EQ(s.backupFolderTemplate, u"") << "no backup unless chosen";
  ChooseForJob(s, 0, folders, files, TemplateChoice{{u"", u"E:\\Backup\\@年4"}, 1});
  EXPECT_EQ(s.backupFolderTemplate, u"E:\\Backup\\@年4");
  ChooseForJob(s, 0, folders, files, TemplateChoice{{u"", u"E:\\Backup\\@年4"}, 0});
  EXPECT_EQ(s.backupFolderTemplate, u"");
}

// The backup list and the eject box: kept under their own names, empty and off by default,
// the empty entry (no backup) always first and selected when nothing else fits.
TEST(RenameFormShow, BackupListAndEjectBox) {
  struct Case {
    const char* what;
    List stored;      // empty: nothing stored
    int storedIndex;  // ComboBox4.ItemIndex; INT32_MIN: not stored
    List items;
    int index;
  } cases[] = {
      {"nothing stored: no backup", {}, INT32_MIN, {u""}, 0},
      // The registry's lists keep no empty entry: the stored index counts the one shown first.
      {"a stored list keeps its selection", {u"E:\\B", u"F:\\B"}, 2, {u"", u"E:\\B", u"F:\\B"}, 2},
      {"no backup selected", {u"E:\\B"}, 0, {u"", u"E:\\B"}, 0},
      {"index past the end: no backup", {u"E:\\B"}, 5, {u"", u"E:\\B"}, 0},
      {"index -1: no backup", {u"E:\\B"}, -1, {u"", u"E:\\B"}, 0},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    if (!c.stored.empty()) ASSERT_TRUE(WriteMultiString(*store.Open(kRenameWindowKey, true), u"BackupToPath", c.stored));
    if (c.storedIndex != INT32_MIN) store.Set(kRenameWindowKey, u"ComboBox4.ItemIndex", RegDword, Dword(c.storedIndex));
    RenameWindowSettings state;
    ShowRenameFormState(&store, state);
    EXPECT_EQ(state.backupTemplates, c.items) << c.what << " " << Show(state.backupTemplates);
    EXPECT_EQ(state.backupIndex, c.index) << c.what;
    EXPECT_FALSE(state.ejectWhenDone) << c.what;
  }
  MemorySettingsStore store;
  RenameWindowSettings state;
  state.backupTemplates = {u"", u"E:\\B"};
  state.backupIndex = 1;
  state.ejectWhenDone = true;
  ASSERT_TRUE(WriteRenameWindowSettings(store, state));
  RenameWindowSettings read;
  ShowRenameFormState(&store, read);
  EXPECT_EQ(read.backupTemplates, (List{u"", u"E:\\B"}));
  EXPECT_EQ(read.backupIndex, 1) << "the chosen backup comes back chosen";
  EXPECT_TRUE(read.ejectWhenDone);
  state.backupIndex = 0;
  ASSERT_TRUE(WriteRenameWindowSettings(store, state));
  ShowRenameFormState(&store, read);
  EXPECT_EQ(read.backupIndex, 0) << "no backup comes back as no backup";
}

TEST(ListEditor, CaptionDecidesTheList) {
  EXPECT_EQ(ListForCaption(u"コピー先一覧の編集"), TemplateListKind::Folders);
  EXPECT_EQ(ListForCaption(u"ファイル名一覧の編集"), TemplateListKind::Files);
  EXPECT_EQ(ListForCaption(u"一覧の編集"), TemplateListKind::Files);
  EXPECT_EQ(ListForCaption(u"コピー先一覧の編集 "), TemplateListKind::Files);
  EXPECT_EQ(ListForCaption(CaptionForList(TemplateListKind::Folders)), TemplateListKind::Folders);
  EXPECT_EQ(ListForCaption(u"バックアップ先一覧の編集"), TemplateListKind::Backups);
  EXPECT_EQ(ListForCaption(CaptionForList(TemplateListKind::Backups)), TemplateListKind::Backups);
  // The editor never shows the backup list's empty entry, which stands for no backup.
  EXPECT_EQ(EditableLines({u"", u"D:\\B"}, TemplateListKind::Backups), (List{u"D:\\B"}));
  EXPECT_EQ(EditableLines({u"", u"D:\\B"}, TemplateListKind::Folders), (List{u"", u"D:\\B"}));
}

TEST(ListEditor, EditedListAndSelection) {
  struct Case {
    const char* what;
    List lines;
    std::optional<std::u16string> remembered;
    TemplateListKind kind;
    List items;
    int index;
  } cases[] = {
      {"unchanged list keeps the entry", {u"a", u"b", u"c"}, u"b", TemplateListKind::Files, {u"a", u"b", u"c"}, 1},
      {"line deleted above: the same template", {u"b", u"c"}, u"b", TemplateListKind::Files, {u"b", u"c"}, 0},
      {"lines added above: the same template", {u"x", u"y", u"a", u"b"}, u"b", TemplateListKind::Files,
       {u"x", u"y", u"a", u"b"}, 3},
      {"template gone: entry 0", {u"a", u"c"}, u"b", TemplateListKind::Files, {u"a", u"c"}, 0},
      {"nothing was selected: entry 0", {u"a", u"b"}, std::nullopt, TemplateListKind::Files, {u"a", u"b"}, 0},
      {"an empty template selected", {u"x", u""}, u"", TemplateListKind::Folders, {u"x", u""}, 1},
      {"emptied folder list keeps each folder", {}, u"@年4", TemplateListKind::Folders, {kFolderMarker}, 0},
      {"emptied name list keeps each name", {}, u"x", TemplateListKind::Files, {kFileMarker}, 0},
      // The backup list: its one empty entry first (no backup), whatever lines were typed.
      {"backup list gets its empty entry", {u"D:\\B", u"", u"E:\\B"}, u"E:\\B", TemplateListKind::Backups,
       {u"", u"D:\\B", u"E:\\B"}, 2},
      {"no backup stays selected", {u"D:\\B"}, u"", TemplateListKind::Backups, {u"", u"D:\\B"}, 0},
      {"emptied backup list: no backup", {}, u"D:\\B", TemplateListKind::Backups, {u""}, 0},
  };
  for (const Case& c : cases) {
    TemplateChoice choice = ApplyEditedList(c.lines, c.remembered, c.kind);
    EXPECT_EQ(choice.items, c.items) << c.what << " " << Show(choice.items);
    EXPECT_EQ(choice.index, c.index) << c.what;
  }
}

TEST(ListEditor, LinesOfATextArea) {
  struct Case { std::u16string text; List lines; } cases[] = {
      {u"", {}},
      {u"a", {u"a"}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\r\nb\r\n", {u"a", u"b"}},
      {u"a\r\n\r\nb", {u"a", u"", u"b"}},
      {u"a\nb\rc\r\n", {u"a", u"b", u"c"}},
      {u"\r\n", {u""}},
      {u"a\r\n\r\n", {u"a", u""}},
      {u"@年4\\@月2 日\r\n", {u"@年4\\@月2 日"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << ToUtf8(c.text);
  // Every list comes back as it went in, empty entries included.
  for (const List& list : {List{}, List{u""}, List{u"a"}, List{u"a", u""}, List{u"", u""}, List{u"", u"b", u""}})
    EXPECT_EQ(SplitLines(JoinLines(list)), list) << Show(list);
  EXPECT_EQ(JoinLines({u"a", u"b"}), u"a\r\nb");
}

TEST(RenameFormLayout, ControlsFollowTheWindowSize) {
  // The smallest client area the dialog takes: the log keeps its designed 103 pixels with the
  // progress strip and the buttons' row (元に戻す included) below it.
  std::vector<ControlRect> r = RenameFormLayout(505, kRenameFormMinClientHeight);
  EXPECT_EQ(r[rcActionBox], (ControlRect{64, 8, 335, 21}));
  EXPECT_EQ(r[rcClockRulesButton], (ControlRect{402, 8, 90, 21})) << "right-aligned as the ... buttons";
  EXPECT_EQ(r[rcFolderBox], (ControlRect{64, 35, 400, 21}));
  EXPECT_EQ(r[rcEditFoldersButton], (ControlRect{467, 35, 25, 21}));
  EXPECT_EQ(r[rcNameBox], (ControlRect{64, 62, 400, 21}));
  EXPECT_EQ(r[rcEditNamesButton], (ControlRect{467, 62, 25, 21}));
  EXPECT_EQ(r[rcBackupBox], (ControlRect{64, 89, 400, 21}));
  EXPECT_EQ(r[rcEditBackupsButton], (ControlRect{467, 89, 25, 21}));
  EXPECT_EQ(r[rcEjectWhenDone], (ControlRect{64, 116, 425, 21})) << "a row of its own, as wide as the log";
  EXPECT_EQ(r[rcLog], (ControlRect{64, 143, 425, 103}));
  EXPECT_EQ(r[rcCloseButton], (ControlRect{414, 266, 75, 25}));
  EXPECT_EQ(r[rcRunButton], (ControlRect{331, 266, 75, 25}));
  EXPECT_EQ(r[rcTestButton], (ControlRect{248, 266, 75, 25}));
  EXPECT_EQ(r[rcUndoButton], (ControlRect{165, 266, 75, 25}));
  EXPECT_EQ(r[rcCloseButton].top - (r[rcLog].top + r[rcLog].height), kRenameProgressStrip);
  EXPECT_EQ(r[rcCloseButton].top + r[rcCloseButton].height + 8, kRenameFormMinClientHeight);
  // A taller dialog gives all of its extra height to the log.
  EXPECT_EQ(RenameFormLayout(505, kRenameFormMinClientHeight + 100)[rcLog].height, 203);
  for (RenameControl fixed : {rcActionLabel, rcFolderLabel, rcNameLabel}) EXPECT_EQ(r[fixed], RenameDesignRect(fixed));

  // Labels wider than the design's gap push every control beside them to the right; the
  // right edges stay where they were.
  r = RenameFormLayout(505, kRenameFormMinClientHeight, 66, 15);
  for (RenameControl label : {rcActionLabel, rcFolderLabel, rcNameLabel, rcBackupLabel}) {
    EXPECT_EQ(r[label].width, 66);
    EXPECT_EQ(r[label].height, 15);
    for (RenameControl beside : {rcActionBox, rcFolderBox, rcNameBox, rcBackupBox, rcEjectWhenDone, rcLog})
      EXPECT_GE(r[beside].left, r[label].left + r[label].width) << label << " under " << beside;
  }
  EXPECT_EQ(r[rcActionBox], (ControlRect{80, 8, 319, 21}));
  EXPECT_EQ(r[rcNameBox], (ControlRect{80, 62, 384, 21}));
  EXPECT_EQ(r[rcLog].left + r[rcLog].width, 489);
  // Narrow labels keep the design's left.
  EXPECT_EQ(RenameFormLayout(505, kRenameFormMinClientHeight, 30, 13)[rcFolderBox].left, 64);

  // Too small a window never gives a negative size.
  r = RenameFormLayout(50, 60);
  for (const ControlRect& c : r) {
    EXPECT_GE(c.width, 0);
    EXPECT_GE(c.height, 0);
  }
}

TEST(ListEditFormLayout, ControlsFollowTheClientArea) {
  // The design's client area: the text area keeps its 505 pixels, the token table beside it.
  std::vector<ControlRect> r = ListEditFormLayout(kListEditFormClientWidth, 231);
  EXPECT_EQ(r[lcListText], (ControlRect{0, 0, 505, 186}));
  EXPECT_EQ(r[lcTokenTable], (ControlRect{513, 0, kTokenTableWidth, 186}));
  EXPECT_EQ(r[lcCancelButton], (ControlRect{890, 198, 75, 25}));
  EXPECT_EQ(r[lcOkButton], (ControlRect{807, 198, 75, 25}));
  // Narrower: the table takes at most half.
  r = ListEditFormLayout(800, 600);
  EXPECT_EQ(r[lcListText], (ControlRect{0, 0, 396, 555}));
  EXPECT_EQ(r[lcTokenTable], (ControlRect{404, 0, 396, 555}));
  EXPECT_EQ(r[lcCancelButton], (ControlRect{717, 567, 75, 25}));
  EXPECT_EQ(r[lcOkButton], (ControlRect{634, 567, 75, 25}));
  r = ListEditFormLayout(10, 10);
  EXPECT_EQ(r[lcListText].height, 0);
  for (const ControlRect& c : r) EXPECT_GE(c.width, 0);
}
