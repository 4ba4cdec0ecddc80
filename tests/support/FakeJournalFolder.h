#pragma once
// Journals kept in memory, with one opening at a time as the real folder allows.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/JournalFolder.h"

namespace tess::testing {

class FakeJournalFolder final : public JournalFolder {
 public:
  std::map<std::u16string, std::string> texts;
  std::set<std::u16string> open;
  bool failOpen = false;

  std::vector<std::u16string> Names() override {
    std::vector<std::u16string> names;
    for (const auto& t : texts) names.push_back(t.first);
    return names;
  }
  std::optional<std::string> Read(const std::u16string& name) override {
    auto it = texts.find(name);
    if (it == texts.end()) return std::nullopt;
    return it->second;
  }
  std::unique_ptr<JournalFile> Open(const std::u16string& name) override {
    if (failOpen || open.count(name)) return nullptr;
    open.insert(name);
    texts[name];
    return std::make_unique<File>(*this, name);
  }
  bool Remove(const std::u16string& name) override { return texts.erase(name) > 0; }
  std::u16string Location() override { return u"(memory)"; }

 private:
  class File final : public JournalFile {
   public:
    File(FakeJournalFolder& folder, std::u16string name) : folder_(folder), name_(std::move(name)) {}
    ~File() override { folder_.open.erase(name_); }
    bool Append(std::string_view bytes) override {
      folder_.texts[name_].append(bytes);
      return true;
    }
    bool Sync() override { return true; }

   private:
    FakeJournalFolder& folder_;
    std::u16string name_;
  };
};

}  // namespace tess::testing
