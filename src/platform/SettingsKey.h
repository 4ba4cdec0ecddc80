#pragma once
// The settings seam: keys and typed values in the current user's settings hive (the
// registry on Windows), plus the typed reads and writes the windows use on top of it.
// Paths are backslash-separated and relative to the hive; a leading backslash is allowed
// and ignored. Key and value names compare without regard to case, as in the registry.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tess {

// Value types, with the registry's numbers so that raw data copies carry their type as is.
enum : uint32_t {
  RegNone = 0,
  RegSz = 1,
  RegExpandSz = 2,
  RegBinary = 3,
  RegDword = 4,
  RegDwordBigEndian = 5,
  RegMultiSz = 7,
  RegQword = 11,
};

struct RawValue {
  uint32_t type = RegNone;
  std::vector<uint8_t> data;
};

// One open key. Every call reports failure instead of throwing.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  // Type and data size of a value; nullopt when it does not exist or cannot be queried.
  struct ValueInfo {
    uint32_t type = RegNone;
    uint64_t size = 0;
  };
  virtual std::optional<ValueInfo> QueryValue(std::u16string_view name) = 0;
  virtual std::optional<RawValue> ReadValue(std::u16string_view name) = 0;
  virtual bool WriteValue(std::u16string_view name, uint32_t type, const std::vector<uint8_t>& data) = 0;
  // Names of the key's values (the unnamed default value as "") and of its direct sub-keys;
  // nullopt when the enumeration fails.
  virtual std::optional<std::vector<std::u16string>> ValueNames() = 0;
  virtual std::optional<std::vector<std::u16string>> SubKeyNames() = 0;
};

// The hive.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens a key, creating it (and its missing parents) when `create` is set; null on failure.
  virtual std::unique_ptr<SettingsKey> Open(std::u16string_view path, bool create) = 0;
  virtual bool KeyExists(std::u16string_view path) = 0;
  // Deletes the key with all its values and sub-keys. False when it could not be deleted
  // (a key that does not exist counts as deleted).
  virtual bool DeleteTree(std::u16string_view path) = 0;
};

// The current user's hive; `rootPath` (relative to it) is put in front of every path, so
// tests can work under a throwaway key. Off Windows an in-memory store that keeps nothing.
std::unique_ptr<SettingsStore> MakeUserSettingsStore(std::u16string rootPath = u"");

// Copies every value of `from` and, recursively, every sub-key with its values into `to`
// (created when missing). False at the first failure; what was copied before it stays.
bool CopyKeyTree(SettingsStore& store, std::u16string_view from, std::u16string_view to);

// Joins two key paths with one backslash.
std::u16string JoinKeyPath(std::u16string_view parent, std::u16string_view child);

// ---- Typed values ----

enum class ReadResult { Ok, Missing, Unreadable };

// A 32-bit REG_DWORD of exactly four bytes; anything else is unreadable.
ReadResult ReadInteger(SettingsKey& key, std::u16string_view name, int32_t& value);
bool WriteInteger(SettingsKey& key, std::u16string_view name, int32_t value);

// REG_SZ or REG_EXPAND_SZ (not expanded), up to the first NUL; other types are unreadable.
ReadResult ReadString(SettingsKey& key, std::u16string_view name, std::u16string& value);
bool WriteString(SettingsKey& key, std::u16string_view name, std::u16string_view value);

// The multi-string format of the template lists: every entry followed by one NUL, one more
// NUL after the last entry (an empty list is a single NUL). Little-endian UTF-16 bytes.
std::vector<uint8_t> EncodeMultiString(const std::vector<std::u16string>& list);
// Appends the entries of raw data: an odd last byte is ignored, a NUL ends the current entry,
// empty entries are dropped, characters after the last NUL are dropped, and the walk goes on
// past a double NUL.
void DecodeMultiString(const std::vector<uint8_t>& data, std::vector<std::u16string>& list);

bool WriteMultiString(SettingsKey& key, std::u16string_view name, const std::vector<std::u16string>& list);
// Ok: the stored entries were appended. Missing (list unchanged): no such value, or no data.
// Unreadable (list unchanged): a string or integer value, or a read that failed.
ReadResult ReadMultiString(SettingsKey& key, std::u16string_view name, std::vector<std::u16string>& list);

}  // namespace tess
