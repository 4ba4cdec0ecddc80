#pragma once
// Fakes for filling file records without disks or photos: a directory of made-up entries
// and a metadata source that answers per path.
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "exif/Exif.h"
#include "platform/DirectoryList.h"
#include "platform/Text.h"

namespace tess::testing {

// What the metadata reader answers for one file.
struct FakePhoto {
  bool recognised = true;
  double dateTime = MissingDate;
  double dateTimeOriginal = MissingDate;
  double dateTimeDigitized = MissingDate;
  std::u16string model;
  std::u16string make;
  bool loadThrows = false;    // the load raises
  bool valuesThrow = false;   // the load succeeds, reading the first value raises
};

class FakeMetadataSource : public MetadataSource {
 public:
  std::map<std::u16string, FakePhoto> photos;  // by full path; absent: not a container
  std::vector<std::u16string> loadedPaths;
  int readersAlive = 0;

  std::unique_ptr<MetadataReader> CreateReader() override { return std::make_unique<Reader>(*this); }

 private:
  class Reader : public MetadataReader {
   public:
    explicit Reader(FakeMetadataSource& owner) : owner_(owner) { ++owner_.readersAlive; }
    ~Reader() override { --owner_.readersAlive; }
    bool LoadFromGraphic(const std::u16string& path) override {
      owner_.loadedPaths.push_back(path);
      auto it = owner_.photos.find(path);
      if (it == owner_.photos.end()) return false;
      photo_ = it->second;
      if (photo_.loadThrows) throw std::runtime_error("stream read error");
      return photo_.recognised;
    }
    TDateTime DateTime() override {
      if (photo_.valuesThrow) throw std::runtime_error("bad value");
      return photo_.dateTime;
    }
    TDateTime DateTimeOriginal() override { return photo_.dateTimeOriginal; }
    TDateTime DateTimeDigitized() override { return photo_.dateTimeDigitized; }
    std::u16string CameraModel() override { return photo_.model; }
    std::u16string CameraMake() override { return photo_.make; }

   private:
    FakeMetadataSource& owner_;
    FakePhoto photo_;
  };
};

// Entries by folder; Find answers the exact path folder + name (regardless of letter case
// when ignoreCase is set, as Windows file systems answer).
class FakeDirectoryLister : public DirectoryLister {
 public:
  std::map<std::u16string, std::vector<DirectoryEntry>> folders;
  bool ignoreCase = false;

  void AddFile(const std::u16string& folder, DirectoryEntry entry) { folders[folder].push_back(std::move(entry)); }

  bool List(const std::u16string& folder, std::vector<DirectoryEntry>& entries) override {
    auto it = folders.find(folder);
    if (it == folders.end()) return false;
    entries.insert(entries.end(), it->second.begin(), it->second.end());
    return true;
  }
  std::optional<DirectoryEntry> Find(const std::u16string& path) override {
    for (const auto& [folder, entries] : folders)
      for (const DirectoryEntry& e : entries)
        if (folder + e.name == path || (ignoreCase && Folded(folder + e.name) == Folded(path))) return e;
    return std::nullopt;
  }
  std::u16string FullPath(const std::u16string& path) override { return path; }

 private:
  static std::u16string Folded(std::u16string s) {
    for (auto& c : s) c = UpperCaseLetter(c);
    return s;
  }
};

}  // namespace tess::testing
