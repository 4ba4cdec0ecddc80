#pragma once
// An in-memory settings hive: the settings seam without a registry, for tests and for the
// native command-line tool. Failures can be injected per key path or value name.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/SettingsKey.h"

namespace tess {

class MemorySettingsStore final : public SettingsStore {
 public:
  struct Node {
    std::vector<std::pair<std::u16string, RawValue>> values;  // in the order of first write
    std::vector<std::pair<std::u16string, std::shared_ptr<Node>>> subKeys;
  };

  // Injected failures (paths as passed to the store, compared without case).
  std::vector<std::u16string> failOpen;    // Open of these paths fails
  std::vector<std::u16string> failWrite;   // writes of values with these names fail
  std::vector<std::u16string> failRead;    // reads of values with these names fail
  std::vector<std::u16string> failDelete;  // DeleteTree of these paths fails

  std::unique_ptr<SettingsKey> Open(std::u16string_view path, bool create) override;
  bool KeyExists(std::u16string_view path) override;
  bool DeleteTree(std::u16string_view path) override;

  // Test conveniences: the value, or nullopt when the key or the value is missing.
  std::optional<RawValue> Get(std::u16string_view keyPath, std::u16string_view name);
  void Set(std::u16string_view keyPath, std::u16string_view name, uint32_t type, std::vector<uint8_t> data);

 private:
  std::shared_ptr<Node> Find(std::u16string_view path, bool create);
  std::shared_ptr<Node> root_ = std::make_shared<Node>();
};

}  // namespace tess
