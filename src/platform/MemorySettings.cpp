#include "platform/MemorySettings.h"

#include <algorithm>

#include "platform/Text.h"

namespace tess {
namespace {

std::vector<std::u16string> SplitPath(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::u16string current;
  for (char16_t c : path) {
    if (c == u'\\') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

bool Listed(const std::vector<std::u16string>& list, std::u16string_view name) {
  return std::any_of(list.begin(), list.end(), [&](const std::u16string& s) { return SameTextAscii(s, name); });
}

bool ListedPath(const std::vector<std::u16string>& list, std::u16string_view path) {
  std::vector<std::u16string> parts = SplitPath(path);
  return std::any_of(list.begin(), list.end(), [&](const std::u16string& s) {
    std::vector<std::u16string> other = SplitPath(s);
    return other.size() == parts.size() &&
           std::equal(parts.begin(), parts.end(), other.begin(),
                      [](const std::u16string& a, const std::u16string& b) { return SameTextAscii(a, b); });
  });
}

template <typename Pairs>
auto FindNamed(Pairs& pairs, std::u16string_view name) {
  return std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return SameTextAscii(p.first, name); });
}

class MemoryKey final : public SettingsKey {
 public:
  MemoryKey(MemorySettingsStore& store, std::shared_ptr<MemorySettingsStore::Node> node)
      : store_(store), node_(std::move(node)) {}

  std::optional<ValueInfo> QueryValue(std::u16string_view name) override {
    auto it = FindNamed(node_->values, name);
    if (it == node_->values.end()) return std::nullopt;
    return ValueInfo{it->second.type, it->second.data.size()};
  }
  std::optional<RawValue> ReadValue(std::u16string_view name) override {
    if (Listed(store_.failRead, name)) return std::nullopt;
    auto it = FindNamed(node_->values, name);
    if (it == node_->values.end()) return std::nullopt;
    return it->second;
  }
  bool WriteValue(std::u16string_view name, uint32_t type, const std::vector<uint8_t>& data) override {
    if (Listed(store_.failWrite, name)) return false;
    auto it = FindNamed(node_->values, name);
    if (it == node_->values.end()) {
      node_->values.emplace_back(std::u16string(name), RawValue{type, data});
    } else {
      it->second = RawValue{type, data};
    }
    return true;
  }
  std::optional<std::vector<std::u16string>> ValueNames() override {
    std::vector<std::u16string> names;
    for (const auto& v : node_->values) names.push_back(v.first);
    return names;
  }
  std::optional<std::vector<std::u16string>> SubKeyNames() override {
    std::vector<std::u16string> names;
    for (const auto& k : node_->subKeys) names.push_back(k.first);
    return names;
  }

 private:
  MemorySettingsStore& store_;
  std::shared_ptr<MemorySettingsStore::Node> node_;
};

}  // namespace

std::shared_ptr<MemorySettingsStore::Node> MemorySettingsStore::Find(std::u16string_view path, bool create) {
  std::shared_ptr<Node> node = root_;
  for (const std::u16string& part : SplitPath(path)) {
    auto it = FindNamed(node->subKeys, part);
    if (it != node->subKeys.end()) {
      node = it->second;
    } else if (create) {
      node->subKeys.emplace_back(part, std::make_shared<Node>());
      node = node->subKeys.back().second;
    } else {
      return nullptr;
    }
  }
  return node;
}

std::unique_ptr<SettingsKey> MemorySettingsStore::Open(std::u16string_view path, bool create) {
  if (ListedPath(failOpen, path)) return nullptr;
  std::shared_ptr<Node> node = Find(path, create);
  if (!node) return nullptr;
  return std::make_unique<MemoryKey>(*this, std::move(node));
}

bool MemorySettingsStore::KeyExists(std::u16string_view path) { return Find(path, false) != nullptr; }

bool MemorySettingsStore::DeleteTree(std::u16string_view path) {
  if (ListedPath(failDelete, path)) return false;
  std::vector<std::u16string> parts = SplitPath(path);
  if (parts.empty()) return false;  // the hive itself is not deleted
  std::u16string leaf = parts.back();
  parts.pop_back();
  std::shared_ptr<Node> parent = root_;
  for (const std::u16string& part : parts) {
    auto it = FindNamed(parent->subKeys, part);
    if (it == parent->subKeys.end()) return true;
    parent = it->second;
  }
  auto it = FindNamed(parent->subKeys, leaf);
  if (it != parent->subKeys.end()) parent->subKeys.erase(it);
  return true;
}

std::optional<RawValue> MemorySettingsStore::Get(std::u16string_view keyPath, std::u16string_view name) {
  std::shared_ptr<Node> node = Find(keyPath, false);
  if (!node) return std::nullopt;
  auto it = FindNamed(node->values, name);
  if (it == node->values.end()) return std::nullopt;
  return it->second;
}

void MemorySettingsStore::Set(std::u16string_view keyPath, std::u16string_view name, uint32_t type,
                              std::vector<uint8_t> data) {
  std::shared_ptr<Node> node = Find(keyPath, true);
  auto it = FindNamed(node->values, name);
  if (it == node->values.end()) {
    node->values.emplace_back(std::u16string(name), RawValue{type, std::move(data)});
  } else {
    it->second = RawValue{type, std::move(data)};
  }
}

}  // namespace tess
