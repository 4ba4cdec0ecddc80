// The settings seam on the registry, under HKEY_CURRENT_USER.
#include <windows.h>

#include <utility>

#include "platform/SettingsKey.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY key) : key_(key) {}
  RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Close();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { Close(); }
  HKEY get() const { return key_; }

 private:
  void Close() {
    if (key_) RegCloseKey(key_);  // nothing useful to do if closing fails
    key_ = nullptr;
  }
  HKEY key_ = nullptr;
};

// The W functions take a NUL-terminated name.
std::wstring Name(std::u16string_view name) { return WStr(name); }

class RegistryKey final : public SettingsKey {
 public:
  explicit RegistryKey(RegKey key) : key_(std::move(key)) {}

  std::optional<ValueInfo> QueryValue(std::u16string_view name) override {
    std::wstring n = Name(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_.get(), n.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    return ValueInfo{type, size};
  }

  std::optional<RawValue> ReadValue(std::u16string_view name) override {
    std::wstring n = Name(name);
    // The value can grow between the size query and the read; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD type = 0, size = 0;
      if (RegQueryValueExW(key_.get(), n.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
      RawValue value;
      value.data.resize(size);
      DWORD got = size;
      LSTATUS status = RegQueryValueExW(key_.get(), n.c_str(), nullptr, &type, size ? value.data.data() : nullptr, &got);
      if (status == ERROR_MORE_DATA) continue;
      if (status != ERROR_SUCCESS || got > size) return std::nullopt;
      value.type = type;
      value.data.resize(got);
      return value;
    }
    return std::nullopt;
  }

  bool WriteValue(std::u16string_view name, uint32_t type, const std::vector<uint8_t>& data) override {
    if (data.size() > 0xFFFFFFFFu) return false;
    std::wstring n = Name(name);
    return RegSetValueExW(key_.get(), n.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                          DWORD(data.size())) == ERROR_SUCCESS;
  }

  std::optional<std::vector<std::u16string>> ValueNames() override {
    DWORD maxLen = 0;
    if (RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return Enumerate(maxLen, [this](DWORD i, wchar_t* buf, DWORD* len) {
      return RegEnumValueW(key_.get(), i, buf, len, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::optional<std::vector<std::u16string>> SubKeyNames() override {
    DWORD maxLen = 0;
    if (RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return Enumerate(maxLen, [this](DWORD i, wchar_t* buf, DWORD* len) {
      return RegEnumKeyExW(key_.get(), i, buf, len, nullptr, nullptr, nullptr, nullptr);
    });
  }

 private:
  template <typename EnumFn>
  static std::optional<std::vector<std::u16string>> Enumerate(DWORD maxLen, EnumFn enumOne) {
    std::vector<std::u16string> names;
    std::wstring buf(size_t(maxLen) + 1, L'\0');
    for (DWORD i = 0;; ++i) {
      DWORD len = DWORD(buf.size());
      LSTATUS status = enumOne(i, buf.data(), &len);
      if (status == ERROR_NO_MORE_ITEMS) return names;
      if (status == ERROR_MORE_DATA) {
        // A longer name appeared since the size query: grow and retry this index.
        buf.assign(buf.size() * 2 + 256, L'\0');
        --i;
        continue;
      }
      if (status != ERROR_SUCCESS) return std::nullopt;
      names.push_back(U16(buf.data(), len));
    }
  }

  RegKey key_;
};

class RegistryStore final : public SettingsStore {
 public:
  explicit RegistryStore(std::u16string rootPath) : root_(std::move(rootPath)) {}

  std::unique_ptr<SettingsKey> Open(std::u16string_view path, bool create) override {
    std::wstring full = FullPath(path);
    HKEY key = nullptr;
    LSTATUS status;
    if (create) {
      status = RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    } else {
      status = RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    }
    if (status != ERROR_SUCCESS || !key) return nullptr;
    return std::make_unique<RegistryKey>(RegKey(key));
  }

  bool KeyExists(std::u16string_view path) override {
    std::wstring full = FullPath(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegKey owned(key);
    return true;
  }

  bool DeleteTree(std::u16string_view path) override {
    std::wstring full = FullPath(path);
    if (full.empty()) return false;  // never the whole hive
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, full.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

 private:
  // The registry refuses a leading backslash in a sub-key path.
  std::wstring FullPath(std::u16string_view path) const {
    std::u16string full = JoinKeyPath(root_, path);
    size_t start = full.find_first_not_of(u'\\');
    full.erase(0, start == std::u16string::npos ? full.size() : start);
    while (!full.empty() && full.back() == u'\\') full.pop_back();
    return WStr(full);
  }

  std::u16string root_;
};

}  // namespace

std::unique_ptr<SettingsStore> MakeUserSettingsStore(std::u16string rootPath) {
  return std::make_unique<RegistryStore>(std::move(rootPath));
}

}  // namespace tess
