// The window settings and the earlier key's move on the real registry, under a throwaway
// key (HKCU\Software\Quenfold\TessarineTest-<pid>) so the user's own settings are never
// touched.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/WindowSettings.h"
#include "platform/win/WinText.h"
#include "rename/RenameSettings.h"

using namespace tess;

namespace {

class RegistrySettings : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\Quenfold\\TessarineTest-" + FromNumber(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, W(root_));  // left over by a crashed run
    store_ = MakeUserSettingsStore(root_);
  }
  void TearDown() override {
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, W(root_));
    EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
    // The parent goes too, but only when empty: a key with sub-keys is never deleted here.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quenfold");
  }

  static std::u16string FromNumber(unsigned long n) {
    std::u16string s;
    do {
      s.insert(s.begin(), char16_t(u'0' + n % 10));
      n /= 10;
    } while (n);
    return s;
  }
  std::wstring Full(std::u16string_view path) const { return WStr(JoinKeyPath(root_, path)); }
  bool Exists(std::u16string_view path) const {
    HKEY key;
    std::wstring full = Full(path.substr(path.find_first_not_of(u'\\')));
    if (RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }
  void SetRaw(std::u16string_view path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    std::wstring full = Full(path.substr(path.find_first_not_of(u'\\')));
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void SetDword(std::u16string_view path, const wchar_t* name, DWORD value) {
    SetRaw(path, name, REG_DWORD, &value, sizeof value);
  }
  std::wstring GetRaw(std::u16string_view path, const wchar_t* name, DWORD& type) {
    std::wstring full = Full(path.substr(path.find_first_not_of(u'\\')));
    wchar_t buf[256] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    type = REG_NONE;
    if (RegGetValueW(HKEY_CURRENT_USER, full.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, buf, &size) !=
        ERROR_SUCCESS)
      return L"<missing>";
    return std::wstring(buf, size / sizeof(wchar_t));
  }

  std::u16string root_;
  std::unique_ptr<SettingsStore> store_;
};

// The real registry, with the reads of one value name failing while `failing` is set: a
// value that cannot be read at the first start, as a damaged or locked hive gives.
class FailingReadStore final : public SettingsStore {
 public:
  FailingReadStore(SettingsStore& real, std::u16string name) : real_(real), name_(std::move(name)) {}
  bool failing = true;
  std::unique_ptr<SettingsKey> Open(std::u16string_view path, bool create) override {
    std::unique_ptr<SettingsKey> key = real_.Open(path, create);
    if (!key) return nullptr;
    return std::make_unique<Key>(std::move(key), *this);
  }
  bool KeyExists(std::u16string_view path) override { return real_.KeyExists(path); }
  bool DeleteTree(std::u16string_view path) override { return real_.DeleteTree(path); }

 private:
  class Key final : public SettingsKey {
   public:
    Key(std::unique_ptr<SettingsKey> real, FailingReadStore& store) : real_(std::move(real)), store_(store) {}
    std::optional<ValueInfo> QueryValue(std::u16string_view name) override { return real_->QueryValue(name); }
    std::optional<RawValue> ReadValue(std::u16string_view name) override {
      if (store_.failing && name == store_.name_) return std::nullopt;
      return real_->ReadValue(name);
    }
    bool WriteValue(std::u16string_view name, uint32_t type, const std::vector<uint8_t>& data) override {
      return real_->WriteValue(name, type, data);
    }
    std::optional<std::vector<std::u16string>> ValueNames() override { return real_->ValueNames(); }
    std::optional<std::vector<std::u16string>> SubKeyNames() override { return real_->SubKeyNames(); }

   private:
    std::unique_ptr<SettingsKey> real_;
    FailingReadStore& store_;
  };
  SettingsStore& real_;
  std::u16string name_;
};

}  // namespace

TEST_F(RegistrySettings, MultiStringLayoutAndTypes) {
  auto key = store_->Open(kRenameWindowKey, true);
  ASSERT_TRUE(key);
  ASSERT_TRUE(WriteMultiString(*key, u"CopyToPath", {u"A", u"", u"@年4"}));
  DWORD type;
  EXPECT_EQ(GetRaw(kRenameWindowKey, L"CopyToPath", type), std::wstring(L"A\0\0@年4\0\0", 8));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  std::vector<std::u16string> list;
  EXPECT_EQ(ReadMultiString(*key, u"CopyToPath", list), ReadResult::Ok);
  EXPECT_EQ(list, (std::vector<std::u16string>{u"A", u"@年4"}));

  ASSERT_TRUE(WriteMultiString(*key, u"Empty", {}));
  EXPECT_EQ(GetRaw(kRenameWindowKey, L"Empty", type), std::wstring(L"\0", 1));
  SetRaw(kRenameWindowKey, L"AsText", REG_SZ, L"X", 4);
  list.clear();
  EXPECT_EQ(ReadMultiString(*key, u"AsText", list), ReadResult::Unreadable);
  const BYTE odd[] = {'Q', 0, 0, 0, 'R'};
  SetRaw(kRenameWindowKey, L"Odd", REG_BINARY, odd, sizeof odd);
  EXPECT_EQ(ReadMultiString(*key, u"Odd", list), ReadResult::Ok);
  EXPECT_EQ(list, std::vector<std::u16string>{u"Q"});
  EXPECT_EQ(ReadMultiString(*key, u"Absent", list), ReadResult::Missing);
}

TEST_F(RegistrySettings, MainWindowFirstStartPartialValuesAndRoundTrip) {
  MainWindowSettings s;
  ReadMainWindowSettings(*store_, s);
  EXPECT_TRUE(Exists(kProductKey));
  EXPECT_TRUE(Exists(kMainWindowKey));
  EXPECT_EQ(s.selectFolder, u"");
  EXPECT_EQ(s.placement.width, 644);

  // Column 2 missing, SelectFolder of the wrong type.
  SetDword(kProductKey, L"SelectFolder", 5);
  const DWORD values[] = {10, 20, 300, 400, 50, 60};
  const wchar_t* names[] = {L"Top", L"Left", L"Height", L"Width", L"ColumnWidth0", L"ColumnWidth1"};
  for (int i = 0; i < 6; ++i) SetDword(kMainWindowKey, names[i], values[i]);
  SetDword(kMainWindowKey, L"ColumnWidth3", 70);
  SetDword(kMainWindowKey, L"FolderTreeWidth", 80);
  s = MainWindowSettings{};
  s.selectFolder = u"stale";
  ReadMainWindowSettings(*store_, s);
  EXPECT_EQ(s.selectFolder, u"");
  EXPECT_EQ(s.placement.top, 10);
  EXPECT_EQ(s.placement.width, 400);
  EXPECT_EQ(s.columnWidths[1], 60);
  EXPECT_EQ(s.columnWidths[2], kFileColumns[2].defaultWidth);
  EXPECT_EQ(s.columnWidths[3], kFileColumns[3].defaultWidth);
  EXPECT_EQ(s.folderTreeWidth, 220);

  s.selectFolder = u"C:\\写真\\";
  s.columnWidths[2] = 77;
  ASSERT_TRUE(WriteMainWindowSettings(*store_, s));
  DWORD type;
  EXPECT_EQ(GetRaw(kProductKey, L"SelectFolder", type), std::wstring(L"C:\\写真\\\0", 7));
  EXPECT_EQ(type, DWORD(REG_SZ));
  MainWindowSettings read;
  ReadMainWindowSettings(*store_, read);
  EXPECT_EQ(read.selectFolder, u"C:\\写真\\");
  EXPECT_EQ(read.columnWidths[2], 77);
  EXPECT_EQ(read.columnWidths[3], kFileColumns[3].defaultWidth);
  EXPECT_EQ(read.folderTreeWidth, 220);
}

TEST_F(RegistrySettings, RenameAndListEditWindows) {
  RenameWindowSettings r;
  ReadRenameWindowSettings(*store_, r);
  EXPECT_TRUE(Exists(kRenameWindowKey));
  EXPECT_EQ(r.folderTemplates, RenameWindowSettings::BuiltInFolderTemplates());
  r.placement = {1, 2, 3, 4};
  r.folderTemplates = {u"@元のフォルダ名", u"@年4"};
  r.fileTemplates = {u"", u""};
  r.itemIndex[0] = 1;
  r.itemIndex[1] = -1;
  r.itemIndex[2] = 3;
  ASSERT_TRUE(WriteRenameWindowSettings(*store_, r));
  RenameWindowSettings read;
  ReadRenameWindowSettings(*store_, read);
  EXPECT_EQ(read.placement.height, 3);
  EXPECT_EQ(read.folderTemplates, r.folderTemplates);
  EXPECT_EQ(read.fileTemplates, RenameWindowSettings::BuiltInFileTemplates());
  EXPECT_EQ(read.itemIndex[1], -1);
  EXPECT_EQ(read.itemIndex[2], 3);

  ListEditWindowSettings l;
  l.placement = {0, 0, 231, 505};
  SetDword(kListEditWindowKey, L"Top", 9);
  ReadListEditWindowSettings(*store_, l);
  EXPECT_EQ(l.placement.top, 9);
  EXPECT_EQ(l.placement.height, 231);
  l.placement = {5, 6, 7, 8};
  ASSERT_TRUE(WriteListEditWindowSettings(*store_, l));
  ListEditWindowSettings back;
  ReadListEditWindowSettings(*store_, back);
  EXPECT_EQ(back.placement.width, 8);
}

TEST_F(RegistrySettings, EarlierKeyMovesWithNestedSubKeys) {
  const std::u16string oldMain = u"\\Software\\Quenfold\\Brevikon\\MainWindow";
  const std::u16string oldDeep = u"\\Software\\Quenfold\\Brevikon\\RenameWindow\\A\\B";
  SetRaw(kEarlierProductKey, L"SelectFolder", REG_SZ, L"D:\\DCIM\\", 18);
  SetRaw(kEarlierProductKey, L"", REG_SZ, L"dflt", 10);
  SetDword(oldMain, L"Top", 123);
  SetDword(oldMain, L"Left", 45);
  SetRaw(oldDeep, L"List", REG_MULTI_SZ, L"x\0y\0", 10);
  const BYTE blob[] = {0, 1, 2, 0xFF};
  SetRaw(oldDeep, L"Blob", REG_BINARY, blob, sizeof blob);

  MainWindowSettings s;
  ReadMainWindowSettings(*store_, s);
  EXPECT_FALSE(Exists(kEarlierProductKey));
  EXPECT_EQ(s.selectFolder, u"D:\\DCIM\\");
  EXPECT_EQ(s.placement.top, 123);
  EXPECT_EQ(s.placement.left, 45);
  EXPECT_EQ(s.placement.height, 408);
  DWORD type;
  EXPECT_EQ(GetRaw(kProductKey, L"", type), std::wstring(L"dflt\0", 5));
  const std::u16string newDeep = u"\\Software\\Quenfold\\Tessarine\\RenameWindow\\A\\B";
  EXPECT_EQ(GetRaw(newDeep, L"List", type), std::wstring(L"x\0y\0\0", 5));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(GetRaw(newDeep, L"Blob", type).size(), 2u);
  EXPECT_EQ(type, DWORD(REG_BINARY));

  // Both keys: the earlier one is left alone.
  SetDword(oldMain, L"Top", 999);
  MainWindowSettings again;
  ReadMainWindowSettings(*store_, again);
  EXPECT_EQ(again.placement.top, 123);
  EXPECT_TRUE(Exists(oldMain));
}

TEST_F(RegistrySettings, AFailedMoveIsTriedAgainAtTheNextStart) {
  const std::u16string oldMain = u"\\Software\\Quenfold\\Brevikon\\MainWindow";
  SetRaw(kEarlierProductKey, L"SelectFolder", REG_SZ, L"D:\\DCIM\\", 18);
  SetDword(oldMain, L"Top", 123);
  SetDword(oldMain, L"Left", 45);
  SetDword(oldMain, L"Height", 456);
  FailingReadStore store(*store_, u"Height");

  // First start: the copy fails; the shows and closes of every window leave no product key.
  MainWindowSettings first;
  ReadMainWindowSettings(store, first);
  EXPECT_EQ(first.placement.top, 0);
  RenameWindowSettings rename;
  ReadRenameWindowSettings(store, rename);
  WriteRenameWindowSettings(store, rename);
  first.placement.top = 7;
  WriteMainWindowSettings(store, first);
  EXPECT_FALSE(Exists(kProductKey));
  EXPECT_TRUE(Exists(oldMain));

  // Second start: the move succeeds and the earlier settings take effect.
  store.failing = false;
  MainWindowSettings second;
  ReadMainWindowSettings(store, second);
  EXPECT_EQ(second.placement.top, 123);
  EXPECT_EQ(second.placement.height, 456);
  EXPECT_EQ(second.selectFolder, u"D:\\DCIM\\");
  EXPECT_FALSE(Exists(kEarlierProductKey));
}
