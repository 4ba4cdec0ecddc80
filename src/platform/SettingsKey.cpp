#include "platform/SettingsKey.h"

namespace tess {

std::u16string JoinKeyPath(std::u16string_view parent, std::u16string_view child) {
  std::u16string path(parent);
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  size_t start = 0;
  while (start < child.size() && child[start] == u'\\') ++start;
  if (!path.empty()) path += u'\\';
  path.append(child.substr(start));
  return path;
}

bool CopyKeyTree(SettingsStore& store, std::u16string_view from, std::u16string_view to) {
  std::unique_ptr<SettingsKey> source = store.Open(from, false);
  if (!source) return false;
  std::unique_ptr<SettingsKey> target = store.Open(to, true);
  if (!target) return false;
  std::optional<std::vector<std::u16string>> values = source->ValueNames();
  if (!values) return false;
  for (const std::u16string& name : *values) {
    std::optional<RawValue> value = source->ReadValue(name);
    if (!value || !target->WriteValue(name, value->type, value->data)) return false;
  }
  std::optional<std::vector<std::u16string>> subKeys = source->SubKeyNames();
  if (!subKeys) return false;
  // Close both keys before descending: the registry's depth is bounded (512 levels), but
  // there is no reason to hold a handle per level.
  source.reset();
  target.reset();
  for (const std::u16string& sub : *subKeys) {
    if (!CopyKeyTree(store, JoinKeyPath(from, sub), JoinKeyPath(to, sub))) return false;
  }
  return true;
}

// ---- Typed values ----

ReadResult ReadInteger(SettingsKey& key, std::u16string_view name, int32_t& value) {
  std::optional<SettingsKey::ValueInfo> info = key.QueryValue(name);
  if (!info) return ReadResult::Missing;
  if (info->type != RegDword) return ReadResult::Unreadable;
  std::optional<RawValue> raw = key.ReadValue(name);
  if (!raw || raw->type != RegDword || raw->data.size() != 4) return ReadResult::Unreadable;
  const std::vector<uint8_t>& d = raw->data;
  value = int32_t(uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24);
  return ReadResult::Ok;
}

bool WriteInteger(SettingsKey& key, std::u16string_view name, int32_t value) {
  uint32_t v = uint32_t(value);
  return key.WriteValue(name, RegDword, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

namespace {
std::vector<uint8_t> Utf16Bytes(std::u16string_view text, size_t extraNuls) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + extraNuls) * 2);
  for (char16_t c : text) {
    bytes.push_back(uint8_t(c));
    bytes.push_back(uint8_t(c >> 8));
  }
  bytes.insert(bytes.end(), extraNuls * 2, 0);
  return bytes;
}

char16_t CharAt(const std::vector<uint8_t>& data, size_t i) {
  return char16_t(data[2 * i] | (data[2 * i + 1] << 8));
}
}  // namespace

ReadResult ReadString(SettingsKey& key, std::u16string_view name, std::u16string& value) {
  std::optional<SettingsKey::ValueInfo> info = key.QueryValue(name);
  if (!info) return ReadResult::Missing;
  if (info->type != RegSz && info->type != RegExpandSz) return ReadResult::Unreadable;
  std::optional<RawValue> raw = key.ReadValue(name);
  if (!raw || (raw->type != RegSz && raw->type != RegExpandSz)) return ReadResult::Unreadable;
  // Stored strings normally carry their NUL, but nothing guarantees it.
  std::u16string text;
  size_t n = raw->data.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = CharAt(raw->data, i);
    if (c == 0) break;
    text += c;
  }
  value = std::move(text);
  return ReadResult::Ok;
}

bool WriteString(SettingsKey& key, std::u16string_view name, std::u16string_view value) {
  return key.WriteValue(name, RegSz, Utf16Bytes(value, 1));
}

std::vector<uint8_t> EncodeMultiString(const std::vector<std::u16string>& list) {
  std::u16string chars;
  for (const std::u16string& entry : list) {
    chars += entry;
    chars += u'\0';
  }
  return Utf16Bytes(chars, 1);
}

void DecodeMultiString(const std::vector<uint8_t>& data, std::vector<std::u16string>& list) {
  size_t n = data.size() / 2;
  std::u16string current;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = CharAt(data, i);
    if (c != 0) {
      current += c;
    } else if (!current.empty()) {
      list.push_back(std::move(current));
      current.clear();
    }
  }
}

bool WriteMultiString(SettingsKey& key, std::u16string_view name, const std::vector<std::u16string>& list) {
  return key.WriteValue(name, RegMultiSz, EncodeMultiString(list));
}

namespace {
bool IsStringOrIntegerType(uint32_t type) {
  return type == RegSz || type == RegExpandSz || type == RegDword || type == RegDwordBigEndian || type == RegQword;
}
}  // namespace

ReadResult ReadMultiString(SettingsKey& key, std::u16string_view name, std::vector<std::u16string>& list) {
  std::optional<SettingsKey::ValueInfo> info = key.QueryValue(name);
  if (!info || info->size == 0) return ReadResult::Missing;
  if (IsStringOrIntegerType(info->type)) return ReadResult::Unreadable;
  std::optional<RawValue> raw = key.ReadValue(name);
  if (!raw || IsStringOrIntegerType(raw->type)) return ReadResult::Unreadable;
  if (raw->data.empty()) return ReadResult::Missing;
  DecodeMultiString(raw->data, list);
  return ReadResult::Ok;
}

}  // namespace tess
