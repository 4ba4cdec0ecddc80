// The settings seam's typed values, the multi-string format, the windows' read and write
// groups and the move of the earlier product key, on the in-memory hive.
#include <gtest/gtest.h>

#include "app/WindowSettings.h"
#include "platform/MemorySettings.h"
#include "platform/Text.h"
#include "rename/RenameSettings.h"

using namespace tess;

namespace {

std::vector<uint8_t> Bytes(std::u16string_view chars) {
  std::vector<uint8_t> out;
  for (char16_t c : chars) {
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
  }
  return out;
}

std::vector<uint8_t> Dword(int32_t v) {
  uint32_t u = uint32_t(v);
  return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

using List = std::vector<std::u16string>;

std::string Show(const List& list) {
  std::string s = "[";
  for (const auto& e : list) s += ToUtf8(e) + "|";
  return s + "]";
}

}  // namespace

// ---- Multi-string format ----

TEST(MultiString, EncodedLayout) {
  struct Case { List list; std::u16string_view chars; } cases[] = {
      {{}, std::u16string_view(u"\0", 1)},
      {{u"a", u"b"}, std::u16string_view(u"a\0b\0\0", 5)},
      {{u"A", u"", u"B"}, std::u16string_view(u"A\0\0B\0\0", 6)},
      {{u"@年4"}, std::u16string_view(u"@年4\0\0", 5)},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeMultiString(c.list), Bytes(c.chars)) << Show(c.list);
}

TEST(MultiString, DecodedEntries) {
  auto odd = [](std::u16string_view chars, uint8_t extra) {
    std::vector<uint8_t> b = Bytes(chars);
    b.push_back(extra);
    return b;
  };
  struct Case { const char* what; std::vector<uint8_t> data; List expected; } cases[] = {
      {"two entries", Bytes(std::u16string_view(u"a\0b\0\0", 5)), {u"a", u"b"}},
      {"empty entry dropped, later ones kept", Bytes(std::u16string_view(u"A\0\0B\0\0", 6)), {u"A", u"B"}},
      {"only NULs", Bytes(std::u16string_view(u"\0\0\0", 3)), {}},
      {"single NUL", Bytes(std::u16string_view(u"\0", 1)), {}},
      {"no final NUL: tail dropped", Bytes(std::u16string_view(u"A\0BC", 4)), {u"A"}},
      {"no NUL at all", Bytes(u"ABC"), {}},
      {"walk goes past a double NUL", Bytes(std::u16string_view(u"A\0\0\0B\0", 6)), {u"A", u"B"}},
      {"odd last byte ignored", odd(std::u16string_view(u"A\0", 2), 0x42), {u"A"}},
      {"odd byte completing nothing", odd(std::u16string_view(u"AB", 2), 0x00), {}},
      {"one byte", {0x41}, {}},
      {"non-ASCII", Bytes(std::u16string_view(u"日付\0\0", 4)), {u"日付"}},
  };
  for (const Case& c : cases) {
    List list;
    DecodeMultiString(c.data, list);
    EXPECT_EQ(list, c.expected) << c.what;
  }
}

TEST(MultiString, ReadByValueType) {
  struct Case { uint32_t type; std::vector<uint8_t> data; ReadResult result; } cases[] = {
      {RegMultiSz, Bytes(std::u16string_view(u"x\0\0", 3)), ReadResult::Ok},
      {RegBinary, Bytes(std::u16string_view(u"x\0\0", 3)), ReadResult::Ok},
      {RegNone, Bytes(std::u16string_view(u"x\0\0", 3)), ReadResult::Ok},
      {RegSz, Bytes(std::u16string_view(u"x\0", 2)), ReadResult::Unreadable},
      {RegExpandSz, Bytes(std::u16string_view(u"x\0", 2)), ReadResult::Unreadable},
      {RegDword, Dword(7), ReadResult::Unreadable},
      {RegQword, {1, 0, 0, 0, 0, 0, 0, 0}, ReadResult::Unreadable},
      {RegMultiSz, {}, ReadResult::Missing},
      {RegSz, {}, ReadResult::Missing},  // no data: missing before its type matters
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    store.Set(u"K", u"V", c.type, c.data);
    auto key = store.Open(u"K", false);
    List list{u"kept"};
    EXPECT_EQ(ReadMultiString(*key, u"V", list), c.result) << "type " << c.type;
    EXPECT_EQ(list, (c.result == ReadResult::Ok ? List{u"kept", u"x"} : List{u"kept"})) << "type " << c.type;
  }
  MemorySettingsStore store;
  auto key = store.Open(u"K", true);
  List list;
  EXPECT_EQ(ReadMultiString(*key, u"absent", list), ReadResult::Missing);
}

TEST(MultiString, WrittenAsMultiSzAndReadBack) {
  MemorySettingsStore store;
  auto key = store.Open(u"\\K", true);
  ASSERT_TRUE(WriteMultiString(*key, u"L", {u"A", u"", u"B"}));
  auto raw = store.Get(u"K", u"L");
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->type, RegMultiSz);
  EXPECT_EQ(raw->data.size(), 12u);
  List list;
  EXPECT_EQ(ReadMultiString(*key, u"L", list), ReadResult::Ok);
  EXPECT_EQ(list, (List{u"A", u"B"}));

  ASSERT_TRUE(WriteMultiString(*key, u"E", {}));
  EXPECT_EQ(store.Get(u"K", u"E")->data, Bytes(std::u16string_view(u"\0", 1)));
  List empty;
  EXPECT_EQ(ReadMultiString(*key, u"E", empty), ReadResult::Ok);
  EXPECT_TRUE(empty.empty());
}

TEST(TypedValues, IntegersAndStrings) {
  MemorySettingsStore store;
  store.Set(u"K", u"dword", RegDword, Dword(-1));
  store.Set(u"K", u"short", RegDword, {1, 0});
  store.Set(u"K", u"text", RegSz, Bytes(u"12"));  // a number stored as text is not an integer
  store.Set(u"K", u"unterminated", RegSz, Bytes(u"C:\\A\\"));
  store.Set(u"K", u"inner", RegSz, Bytes(std::u16string_view(u"ab\0cd\0", 6)));
  store.Set(u"K", u"expand", RegExpandSz, Bytes(std::u16string_view(u"%X%\0", 4)));
  auto key = store.Open(u"K", false);
  int32_t i = 5;
  EXPECT_EQ(ReadInteger(*key, u"dword", i), ReadResult::Ok);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(ReadInteger(*key, u"short", i), ReadResult::Unreadable);
  EXPECT_EQ(ReadInteger(*key, u"text", i), ReadResult::Unreadable);
  EXPECT_EQ(ReadInteger(*key, u"none", i), ReadResult::Missing);
  EXPECT_EQ(i, -1);
  std::u16string s;
  EXPECT_EQ(ReadString(*key, u"unterminated", s), ReadResult::Ok);
  EXPECT_EQ(s, u"C:\\A\\");
  EXPECT_EQ(ReadString(*key, u"inner", s), ReadResult::Ok);
  EXPECT_EQ(s, u"ab");
  EXPECT_EQ(ReadString(*key, u"expand", s), ReadResult::Ok);
  EXPECT_EQ(s, u"%X%");
  EXPECT_EQ(ReadString(*key, u"dword", s), ReadResult::Unreadable);

  ASSERT_TRUE(WriteString(*key, u"w", u"C:\\"));
  EXPECT_EQ(store.Get(u"K", u"w")->data, Bytes(std::u16string_view(u"C:\\\0", 4)));
  ASSERT_TRUE(WriteInteger(*key, u"n", -2));
  EXPECT_EQ(store.Get(u"K", u"n")->type, RegDword);
  EXPECT_EQ(store.Get(u"K", u"n")->data, Dword(-2));
}

// ---- Window groups ----

TEST(MainWindowSettingsStore, FirstStartKeepsDefaultsAndCreatesTheKeys) {
  MemorySettingsStore store;
  MainWindowSettings s;
  s.selectFolder = u"left over";
  ReadMainWindowSettings(store, s);
  MainWindowSettings defaults;
  EXPECT_EQ(s.selectFolder, u"");
  EXPECT_EQ(s.placement.height, 408);
  EXPECT_EQ(s.placement.width, 644);
  EXPECT_EQ(std::vector<int32_t>(s.columnWidths.begin(), s.columnWidths.end()), (std::vector<int32_t>{180, 180, 180, 180, 0}))
      << "the import date column off";
  EXPECT_EQ(s.folderTreeWidth, 220);
  EXPECT_TRUE(store.KeyExists(kProductKey));
  EXPECT_TRUE(store.KeyExists(kMainWindowKey));
  EXPECT_EQ(store.Open(kMainWindowKey, false)->ValueNames()->size(), 0u);
  EXPECT_FALSE(store.KeyExists(kRenameWindowKey));

  RenameWindowSettings r;
  ReadRenameWindowSettings(store, r);
  EXPECT_EQ(r.folderTemplates, RenameWindowSettings::BuiltInFolderTemplates());
  EXPECT_EQ(r.fileTemplates.front(), u"@元のファイル名");
  EXPECT_TRUE(store.KeyExists(kRenameWindowKey));
  ListEditWindowSettings l;
  ReadListEditWindowSettings(store, l);
  EXPECT_TRUE(store.KeyExists(kListEditWindowKey));
}

TEST(MainWindowSettingsStore, ReadingStopsAtTheFirstMissingOrNonIntegerValue) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::u16string, RawValue>> stored;
    WindowPlacement placement;
    std::vector<int32_t> columns;
    int32_t tree;
  } cases[] = {
      {"only Top and Left", {{u"Top", {RegDword, Dword(10)}}, {u"Left", {RegDword, Dword(20)}}},
       {10, 20, 408, 644}, {180, 180, 180, 180, 0}, 220},
      {"column 2 missing",
       {{u"Top", {RegDword, Dword(1)}}, {u"Left", {RegDword, Dword(2)}}, {u"Height", {RegDword, Dword(300)}},
        {u"Width", {RegDword, Dword(500)}}, {u"ColumnWidth0", {RegDword, Dword(90)}},
        {u"ColumnWidth1", {RegDword, Dword(91)}}, {u"ColumnWidth3", {RegDword, Dword(93)}},
        {u"FolderTreeWidth", {RegDword, Dword(150)}}},
       {1, 2, 300, 500}, {90, 91, 180, 180, 0}, 220},
      {"height stored as text", {{u"Top", {RegDword, Dword(5)}}, {u"Height", {RegSz, Bytes(std::u16string_view(u"9\0", 2))}},
        {u"Left", {RegDword, Dword(6)}}, {u"Width", {RegDword, Dword(7)}}},
       {5, 6, 408, 644}, {180, 180, 180, 180, 0}, 220},
      {"everything", {{u"Top", {RegDword, Dword(-8)}}, {u"Left", {RegDword, Dword(-9)}}, {u"Height", {RegDword, Dword(3)}},
        {u"Width", {RegDword, Dword(4)}}, {u"ColumnWidth0", {RegDword, Dword(0)}},
        {u"ColumnWidth1", {RegDword, Dword(1)}}, {u"ColumnWidth2", {RegDword, Dword(2)}},
        {u"columnwidth3", {RegDword, Dword(3)}}, {u"FolderTreeWidth", {RegDword, Dword(4)}},
        {u"ColumnWidth4", {RegDword, Dword(130)}}},
       {-8, -9, 3, 4}, {0, 1, 2, 3, 130}, 4},
      // The import date column's width stands on its own: settings from before it lack it,
      // and its absence ends no other group.
      {"only the import date column", {{u"ColumnWidth4", {RegDword, Dword(130)}}},
       {0, 0, 408, 644}, {180, 180, 180, 180, 130}, 220},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    for (const auto& [name, value] : c.stored) store.Set(kMainWindowKey, name, value.type, value.data);
    MainWindowSettings s;
    ReadMainWindowSettings(store, s);
    EXPECT_EQ(s.placement.top, c.placement.top) << c.what;
    EXPECT_EQ(s.placement.left, c.placement.left) << c.what;
    EXPECT_EQ(s.placement.height, c.placement.height) << c.what;
    EXPECT_EQ(s.placement.width, c.placement.width) << c.what;
    EXPECT_EQ(std::vector<int32_t>(s.columnWidths.begin(), s.columnWidths.end()), c.columns) << c.what;
    EXPECT_EQ(s.folderTreeWidth, c.tree) << c.what;
  }
}

TEST(MainWindowSettingsStore, SelectFolderOfAnotherTypeReadsAsMissing) {
  MemorySettingsStore store;
  store.Set(kProductKey, u"SelectFolder", RegDword, Dword(3));
  store.Set(kMainWindowKey, u"Top", RegDword, Dword(77));
  MainWindowSettings s;
  s.selectFolder = u"D:\\";
  ReadMainWindowSettings(store, s);
  EXPECT_EQ(s.selectFolder, u"");
  EXPECT_EQ(s.placement.top, 77);  // the rest of the show still takes place

  store.Set(kProductKey, u"SelectFolder", RegSz, Bytes(std::u16string_view(u"D:\\写真\\\0", 6)));
  ReadMainWindowSettings(store, s);
  EXPECT_EQ(s.selectFolder, u"D:\\写真\\");
}

TEST(MainWindowSettingsStore, WriteThenReadRoundTrips) {
  MemorySettingsStore store;
  MainWindowSettings written;
  written.selectFolder = u"C:\\DCIM\\";
  written.placement = {11, 12, 13, 14};
  for (size_t i = 0; i < written.columnWidths.size(); ++i) written.columnWidths[i] = 100 + int32_t(i);
  written.folderTreeWidth = 99;
  EXPECT_TRUE(WriteMainWindowSettings(store, written));
  MainWindowSettings read;
  ReadMainWindowSettings(store, read);
  EXPECT_EQ(read.selectFolder, written.selectFolder);
  EXPECT_EQ(read.placement.top, 11);
  EXPECT_EQ(read.placement.width, 14);
  EXPECT_EQ(read.columnWidths[3], 103);
  EXPECT_EQ(read.folderTreeWidth, 99);
  EXPECT_EQ(store.Get(kMainWindowKey, u"ColumnWidth2")->type, RegDword);
}

TEST(MainWindowSettingsStore, TheListOrderIsKeptAndTakenOnlyWhole) {
  MemorySettingsStore store;
  MainWindowSettings written;
  written.sort.SortColumn = ColumnShotDate;
  written.sort.SortDirection[ColumnShotDate] = -1;
  EXPECT_TRUE(WriteMainWindowSettings(store, written));
  EXPECT_EQ(store.Get(kMainWindowKey, u"SortColumn")->type, RegDword);
  EXPECT_EQ(store.Get(kMainWindowKey, u"SortDirection1")->type, RegDword);
  MainWindowSettings read;
  ReadMainWindowSettings(store, read);
  EXPECT_EQ(read.sort.SortColumn, ColumnShotDate);
  EXPECT_EQ(read.sort.SortDirection, written.sort.SortDirection);

  // Settings of an earlier version have no order; a half-stored one is not taken either.
  MemorySettingsStore partial;
  partial.Set(kMainWindowKey, u"SortColumn", RegDword, Dword(2));
  partial.Set(kMainWindowKey, u"SortDirection0", RegDword, Dword(-1));
  MainWindowSettings defaults;
  ReadMainWindowSettings(partial, defaults);
  EXPECT_EQ(defaults.sort.SortColumn, ColumnName);
  EXPECT_EQ(defaults.sort.SortDirection, FileSortState::Ascending());
}

TEST(MainWindowSettingsStore, AWriteFailureEndsOnlyItsGroup) {
  MainWindowSettings s;
  s.selectFolder = u"C:\\X\\";
  {
    MemorySettingsStore store;
    store.failWrite = {u"Height"};
    EXPECT_FALSE(WriteMainWindowSettings(store, s));
    EXPECT_TRUE(store.Get(kProductKey, u"SelectFolder"));
    EXPECT_TRUE(store.Get(kMainWindowKey, u"Top"));
    EXPECT_TRUE(store.Get(kMainWindowKey, u"Left"));
    for (auto name : {u"Width", u"ColumnWidth0", u"ColumnWidth3", u"FolderTreeWidth"})
      EXPECT_FALSE(store.Get(kMainWindowKey, name)) << ToUtf8(name);
  }
  {
    // The folder cannot be stored: the window still closes, and the placement is stored.
    MemorySettingsStore store;
    store.failWrite = {u"SelectFolder"};
    EXPECT_FALSE(WriteMainWindowSettings(store, s));
    EXPECT_TRUE(store.Get(kMainWindowKey, u"FolderTreeWidth"));
  }
  {
    MemorySettingsStore store;
    store.failOpen = {kProductKey};
    EXPECT_FALSE(WriteMainWindowSettings(store, s));
    EXPECT_TRUE(store.Get(kMainWindowKey, u"Top"));
  }
}

TEST(RenameWindowSettingsStore, ReadGroupsAndFallbacks) {
  MemorySettingsStore store;
  store.Set(kRenameWindowKey, u"Top", RegDword, Dword(40));
  store.Set(kRenameWindowKey, u"Height", RegDword, Dword(41));  // Left missing: Height is not read
  store.Set(kRenameWindowKey, u"CopyToPath", RegMultiSz, Bytes(std::u16string_view(u"A\0\0B\0\0", 6)));
  store.Set(kRenameWindowKey, u"CopyToFile", RegSz, Bytes(std::u16string_view(u"X\0", 2)));
  store.Set(kRenameWindowKey, u"ComboBox1.ItemIndex", RegDword, Dword(1));
  store.Set(kRenameWindowKey, u"ComboBox2.ItemIndex", RegSz, Bytes(std::u16string_view(u"1\0", 2)));
  store.Set(kRenameWindowKey, u"ComboBox3.ItemIndex", RegDword, Dword(-1));
  RenameWindowSettings s;
  s.placement = {1, 2, 3, 4};
  s.itemIndex[1] = 5;
  ReadRenameWindowSettings(store, s);
  EXPECT_EQ(s.placement.top, 40);
  EXPECT_EQ(s.placement.left, 2);
  EXPECT_EQ(s.placement.height, 3);
  EXPECT_EQ(s.folderTemplates, (List{u"A", u"B"}));
  EXPECT_EQ(s.fileTemplates, RenameWindowSettings::BuiltInFileTemplates());  // string type: built-in list
  EXPECT_EQ(s.itemIndex[0], 1);
  EXPECT_EQ(s.itemIndex[1], 0);  // unreadable index selects entry 0
  EXPECT_EQ(s.itemIndex[2], -1);

  // Lists holding no entry, or nothing at all, give the built-in lists.
  store.Set(kRenameWindowKey, u"CopyToPath", RegMultiSz, Bytes(std::u16string_view(u"\0\0\0", 3)));
  store.Set(kRenameWindowKey, u"CopyToFile", RegMultiSz, {});
  s.folderTemplates = {u"edited"};
  s.fileTemplates = {u"edited"};
  ReadRenameWindowSettings(store, s);
  EXPECT_EQ(s.folderTemplates, RenameWindowSettings::BuiltInFolderTemplates());
  EXPECT_EQ(s.fileTemplates, RenameWindowSettings::BuiltInFileTemplates());
}

TEST(RenameWindowSettingsStore, WriteGroupsAreIndependent) {
  RenameWindowSettings s;
  s.placement = {1, 2, 3, 4};
  s.folderTemplates = {u"@年4", u"", u"@モデル"};
  s.fileTemplates = {};
  s.itemIndex[0] = 1;
  s.itemIndex[1] = -1;
  s.itemIndex[2] = 2;
  struct Case { const char* what; std::u16string failing; std::vector<std::u16string> present, absent; } cases[] = {
      {"placement fails at Left", u"Left",
       {u"Top", u"ComboBox1.ItemIndex", u"ComboBox3.ItemIndex", u"CopyToPath", u"CopyToFile"},
       {u"Left", u"Height", u"Width"}},
      {"indices fail at the second", u"ComboBox2.ItemIndex",
       {u"Width", u"ComboBox1.ItemIndex", u"CopyToPath", u"CopyToFile"},
       {u"ComboBox2.ItemIndex", u"ComboBox3.ItemIndex"}},
      {"folder list fails", u"CopyToPath", {u"Width", u"ComboBox3.ItemIndex", u"CopyToFile"}, {u"CopyToPath"}},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    store.failWrite = {c.failing};
    EXPECT_FALSE(WriteRenameWindowSettings(store, s)) << c.what;
    for (const auto& name : c.present) EXPECT_TRUE(store.Get(kRenameWindowKey, name)) << c.what << " " << ToUtf8(name);
    for (const auto& name : c.absent) EXPECT_FALSE(store.Get(kRenameWindowKey, name)) << c.what << " " << ToUtf8(name);
  }

  MemorySettingsStore store;
  ASSERT_TRUE(WriteRenameWindowSettings(store, s));
  EXPECT_EQ(store.Get(kRenameWindowKey, u"CopyToPath")->data,
            Bytes(std::u16string_view(u"@年4\0\0@モデル\0\0", 11)));
  RenameWindowSettings read;
  ReadRenameWindowSettings(store, read);
  EXPECT_EQ(read.placement.width, 4);
  EXPECT_EQ(read.folderTemplates, (List{u"@年4", u"@モデル"}));  // the empty entry does not come back
  EXPECT_EQ(read.fileTemplates, RenameWindowSettings::BuiltInFileTemplates());  // stored empty list
  EXPECT_EQ(read.itemIndex[1], -1);
  EXPECT_EQ(read.itemIndex[2], 2);
}

TEST(WindowSettingsStore, AKeyThatCannotBeOpenedSkipsEverything) {
  MemorySettingsStore store;
  store.Set(kRenameWindowKey, u"Top", RegDword, Dword(9));
  store.Set(kListEditWindowKey, u"Top", RegDword, Dword(9));
  store.failOpen = {kRenameWindowKey, u"Software\\Quenfold\\Tessarine\\ListEditWindow"};
  RenameWindowSettings r;
  r.folderTemplates = {u"current"};
  ReadRenameWindowSettings(store, r);
  EXPECT_EQ(r.placement.top, 0);
  EXPECT_EQ(r.folderTemplates, List{u"current"});
  EXPECT_FALSE(WriteRenameWindowSettings(store, r));
  ListEditWindowSettings l;
  ReadListEditWindowSettings(store, l);
  EXPECT_EQ(l.placement.top, 0);
  EXPECT_FALSE(WriteListEditWindowSettings(store, l));
}

TEST(ListEditWindowSettingsStore, PlacementGroup) {
  MemorySettingsStore store;
  ListEditWindowSettings s;
  s.placement = {5, 6, 7, 8};
  store.failWrite = {u"Height"};
  EXPECT_FALSE(WriteListEditWindowSettings(store, s));
  store.failWrite.clear();
  ListEditWindowSettings read;
  read.placement = {0, 0, 231, 505};
  ReadListEditWindowSettings(store, read);
  EXPECT_EQ(read.placement.top, 5);
  EXPECT_EQ(read.placement.left, 6);
  EXPECT_EQ(read.placement.height, 231);
  EXPECT_EQ(read.placement.width, 505);
  EXPECT_TRUE(WriteListEditWindowSettings(store, s));
  ReadListEditWindowSettings(store, read);
  EXPECT_EQ(read.placement.width, 8);
}

// ---- Migration of the earlier product key ----

namespace {
constexpr char16_t kOldMain[] = u"\\Software\\Quenfold\\Brevikon\\MainWindow";
constexpr char16_t kOldRename[] = u"\\Software\\Quenfold\\Brevikon\\RenameWindow";
constexpr char16_t kOldDeep[] = u"\\Software\\Quenfold\\Brevikon\\RenameWindow\\Nested\\Deeper";

void FillEarlierKey(MemorySettingsStore& store) {
  store.Set(kEarlierProductKey, u"SelectFolder", RegSz, Bytes(std::u16string_view(u"E:\\old\\\0", 8)));
  store.Set(kEarlierProductKey, u"", RegSz, Bytes(std::u16string_view(u"default\0", 8)));
  store.Set(kOldMain, u"Top", RegDword, Dword(31));
  store.Set(kOldMain, u"Left", RegDword, Dword(32));
  store.Set(kOldMain, u"Height", RegDword, Dword(333));
  store.Set(kOldRename, u"CopyToPath", RegMultiSz, Bytes(std::u16string_view(u"P\0\0", 3)));
  store.Set(kOldDeep, u"Blob", RegBinary, {1, 2, 3});
  store.Open(u"\\Software\\Quenfold\\Brevikon\\EmptyKey", true);
}
}  // namespace

TEST(SettingsMigration, OnlyTheEarlierKeyMovesAndTakesEffectInTheSameShow) {
  MemorySettingsStore store;
  FillEarlierKey(store);
  MainWindowSettings s;
  ReadMainWindowSettings(store, s);
  EXPECT_FALSE(store.KeyExists(kEarlierProductKey));
  EXPECT_TRUE(store.KeyExists(u"Software\\Quenfold"));
  EXPECT_EQ(s.selectFolder, u"E:\\old\\");
  EXPECT_EQ(s.placement.top, 31);
  EXPECT_EQ(s.placement.height, 333);
  EXPECT_EQ(s.placement.width, 644);
  EXPECT_EQ(store.Get(kProductKey, u"")->data, Bytes(std::u16string_view(u"default\0", 8)));
  auto deep = store.Get(u"\\Software\\Quenfold\\Tessarine\\RenameWindow\\Nested\\Deeper", u"Blob");
  ASSERT_TRUE(deep);
  EXPECT_EQ(deep->type, RegBinary);
  EXPECT_EQ(deep->data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(store.KeyExists(u"\\Software\\Quenfold\\Tessarine\\EmptyKey"));
  RenameWindowSettings r;
  ReadRenameWindowSettings(store, r);
  EXPECT_EQ(r.folderTemplates, List{u"P"});
}

TEST(SettingsMigration, BothKeysOrNoEarlierKeyLeaveEverythingAlone) {
  MemorySettingsStore store;
  FillEarlierKey(store);
  store.Set(kMainWindowKey, u"Top", RegDword, Dword(1));
  MainWindowSettings s;
  ReadMainWindowSettings(store, s);
  EXPECT_EQ(s.placement.top, 1);
  EXPECT_EQ(s.placement.left, 0);
  EXPECT_EQ(s.selectFolder, u"");
  EXPECT_TRUE(store.Get(kOldMain, u"Top"));
  EXPECT_FALSE(store.KeyExists(u"\\Software\\Quenfold\\Tessarine\\RenameWindow"));

  MemorySettingsStore empty;
  EXPECT_TRUE(MigrateEarlierSettings(empty));
  EXPECT_FALSE(empty.KeyExists(kProductKey));
}

TEST(SettingsMigration, AFailedCopyKeepsTheEarlierKey) {
  struct Case { const char* what; std::vector<std::u16string> failWrite, failRead; } cases[] = {
      {"a nested value cannot be written", {u"Blob"}, {}},
      {"a value cannot be read", {}, {u"Height"}},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    FillEarlierKey(store);
    store.failWrite = c.failWrite;
    store.failRead = c.failRead;
    EXPECT_FALSE(MigrateEarlierSettings(store)) << c.what;
    EXPECT_FALSE(store.KeyExists(kProductKey)) << c.what << ": the partial copy is removed";
    EXPECT_TRUE(store.Get(kOldDeep, u"Blob")) << c.what;
    EXPECT_TRUE(store.Get(kOldMain, u"Height")) << c.what;
    // Once the fault is gone, the next start moves everything.
    store.failWrite.clear();
    store.failRead.clear();
    EXPECT_TRUE(MigrateEarlierSettings(store)) << c.what;
    EXPECT_TRUE(store.Get(u"\\Software\\Quenfold\\Tessarine\\RenameWindow\\Nested\\Deeper", u"Blob")) << c.what;
    EXPECT_FALSE(store.KeyExists(kEarlierProductKey)) << c.what;
  }
  // The earlier key cannot be deleted: its values are already under the current key, and
  // nothing is lost.
  MemorySettingsStore store;
  FillEarlierKey(store);
  store.failDelete = {kEarlierProductKey};
  EXPECT_FALSE(MigrateEarlierSettings(store));
  EXPECT_TRUE(store.Get(kMainWindowKey, u"Top"));
  EXPECT_TRUE(store.Get(kOldMain, u"Top"));
}

TEST(SettingsMigration, AFailedMoveIsTriedAgainAtTheNextShow) {
  MemorySettingsStore store;
  FillEarlierKey(store);
  store.failRead = {u"Height"};

  // First start: the copy fails. The windows show their defaults, and neither their shows
  // nor their closes bring the product key back.
  MainWindowSettings first;
  ReadMainWindowSettings(store, first);
  EXPECT_EQ(first.placement.top, 0);
  EXPECT_EQ(first.selectFolder, u"");
  RenameWindowSettings rename;
  ReadRenameWindowSettings(store, rename);
  ListEditWindowSettings listEdit;
  ReadListEditWindowSettings(store, listEdit);
  EXPECT_FALSE(WriteListEditWindowSettings(store, listEdit));
  EXPECT_FALSE(WriteRenameWindowSettings(store, rename));
  first.placement.top = 77;
  EXPECT_FALSE(WriteMainWindowSettings(store, first));
  EXPECT_FALSE(store.KeyExists(kProductKey));
  EXPECT_TRUE(store.Get(kOldMain, u"Height"));

  // Second start, the fault gone: the earlier settings arrive whole.
  store.failRead.clear();
  MainWindowSettings second;
  ReadMainWindowSettings(store, second);
  EXPECT_EQ(second.placement.top, 31);
  EXPECT_EQ(second.placement.height, 333);
  EXPECT_EQ(second.selectFolder, u"E:\\old\\");
  EXPECT_FALSE(store.KeyExists(kEarlierProductKey));
  EXPECT_TRUE(store.Get(u"\\Software\\Quenfold\\Tessarine\\RenameWindow\\Nested\\Deeper", u"Blob"));
}

TEST(MainWindowSettingsStore, FileListViewIsKeptAndAnUnknownOneReadsAsDetails) {
  MemorySettingsStore store;
  MainWindowSettings s;
  s.fileListView = 1;
  ASSERT_TRUE(WriteMainWindowSettings(store, s));
  EXPECT_EQ(store.Get(kMainWindowKey, u"FileListView")->data, Dword(1));
  MainWindowSettings read;
  ReadMainWindowSettings(store, read);
  EXPECT_EQ(read.fileListView, 1);
  for (const RawValue& stored : {RawValue{RegDword, Dword(7)}, RawValue{RegSz, Bytes(std::u16string_view(u"1\0", 2))}}) {
    store.Set(kMainWindowKey, u"FileListView", stored.type, stored.data);
    MainWindowSettings other;
    ReadMainWindowSettings(store, other);
    EXPECT_EQ(other.fileListView, 0);
  }
}

TEST(MainWindowSettingsStore, PreviewPaneAndItsWidthAreKeptAndAWidthOutOfRangeReadsAsTheDefault) {
  MemorySettingsStore store;
  MainWindowSettings s;
  s.previewPane = 1;
  s.previewWidth = 333;
  ASSERT_TRUE(WriteMainWindowSettings(store, s));
  MainWindowSettings read;
  ReadMainWindowSettings(store, read);
  EXPECT_EQ(read.previewPane, 1);
  EXPECT_EQ(read.previewWidth, 333);
  struct Case {
    int32_t pane, width;
  } cases[] = {{1, 5}, {1, 100000}, {2, 300}, {1, -300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.pane) + " " + std::to_string(c.width));
    store.Set(kMainWindowKey, u"PreviewPane", RegDword, Dword(static_cast<uint32_t>(c.pane)));
    store.Set(kMainWindowKey, u"PreviewWidth", RegDword, Dword(static_cast<uint32_t>(c.width)));
    MainWindowSettings other;
    ReadMainWindowSettings(store, other);
    EXPECT_EQ(other.previewPane, 0) << "a pair with a value out of range is not taken";
    EXPECT_EQ(other.previewWidth, MainWindowSettings{}.previewWidth);
  }
}
