#pragma once
// The file list's owning lists of records, their order, and the filling of a record from
// a directory entry and the file's metadata.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "browse/FileColumns.h"
#include "exif/Thumbnail.h"
#include "platform/DateTime.h"
#include "platform/DirectoryList.h"
#include "records/FileRecord.h"

namespace tess {

// The index error of the record lists.
class EListError : public std::out_of_range {
 public:
  explicit EListError(int index);
  int Index() const { return index_; }

 private:
  int index_;
};

// An ordered list that owns its records: removing or clearing frees them.
template <class Item>
class OwningRecordList {
 public:
  OwningRecordList() = default;
  OwningRecordList(const OwningRecordList&) = delete;
  OwningRecordList& operator=(const OwningRecordList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // Appends the record; the list owns it from now on.
  int Add(std::unique_ptr<Item> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
  }
  Item* Get(int index) const {
    Check(index);
    return items_[static_cast<size_t>(index)].get();
  }
  Item* operator[](int index) const { return Get(index); }
  // Replaces the record at index without freeing it: the caller receives it.
  [[nodiscard]] std::unique_ptr<Item> Put(int index, std::unique_ptr<Item> item) {
    Check(index);
    std::swap(items_[static_cast<size_t>(index)], item);
    return item;
  }
  int IndexOf(const Item* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  // Takes the first occurrence of item out of the list and frees item in every case: an
  // item that is not in the list belongs to the caller, who hands it over by this call.
  int Remove(Item* item) {
    int index = IndexOf(item);
    if (index >= 0) {
      items_.erase(items_.begin() + index);
    } else {
      delete item;
    }
    return index;
  }
  void Delete(int index) { Remove(Get(index)); }
  void Clear() { items_.clear(); }

  // For sorting and walking.
  std::vector<std::unique_ptr<Item>>& Items() { return items_; }
  const std::vector<std::unique_ptr<Item>>& Items() const { return items_; }

 private:
  void Check(int index) const {
    if (index < 0 || index >= Count()) throw EListError(index);
  }
  std::vector<std::unique_ptr<Item>> items_;
};

class FileRecordList : public OwningRecordList<FileRecord> {};
// Records on their way into a list (from a listing on a worker).
using RecordBatch = std::vector<std::unique_ptr<FileRecord>>;

// One photo's metadata, read through a small seam so that tests feed values without
// photos. A reader lives only while one file is read.
class MetadataReader {
 public:
  virtual ~MetadataReader() = default;
  // True when the file is a JPEG, PSD or TIFF container; may throw.
  virtual bool LoadFromGraphic(const std::u16string& path) = 0;
  virtual TDateTime DateTime() = 0;
  virtual TDateTime DateTimeOriginal() = 0;
  virtual TDateTime DateTimeDigitized() = 0;
  virtual std::u16string CameraModel() = 0;
  virtual std::u16string CameraMake() = 0;
  // The zone the camera wrote for the shot ("+09:00"); empty when it wrote none.
  virtual std::u16string OffsetTimeOriginal() { return {}; }
  // The body's serial number (Exif BodySerialNumber); empty when the photo carries none.
  virtual std::u16string CameraSerial() { return {}; }
  // A video dated by its movie header: the header's time as written (no zone); else 0.
  virtual TDateTime MovieHeaderTime() { return 0; }
  // After a load: the file's first bytes as the load fetched them (empty when it read
  // elsewhere too, or keeps none), and the file's size (-1 when unknown).
  virtual std::span<const uint8_t> LoadedHead() { return {}; }
  virtual int64_t LoadedSize() { return -1; }
};
class MetadataSource {
 public:
  virtual ~MetadataSource() = default;
  virtual std::unique_ptr<MetadataReader> CreateReader() = 0;
};
// The program's metadata reader (TExifData).
MetadataSource& ExifMetadataSource();

// What a record takes from a file's metadata.
struct RecordMetadata {
  bool HasMetadata = false;
  TDateTime ExifDateTime = 0;
  TDateTime ExifDateTimeOriginal = 0;  // the shot date after the fallback chain
  TDateTime ExifDateTimeDigitized = 0;
  std::u16string ExifCameraModel;
  std::u16string ExifCameraMake;
  std::u16string ExifCameraSerial;
  TDateTime ExifMovieHeaderTime = 0;
};
// Reads the metadata of the file at path. Every failure of the load is swallowed: the file
// then has no metadata. Safe on any thread when the source's readers are.
RecordMetadata ReadRecordMetadata(const std::u16string& path, MetadataSource& metadata);
// The same, and with picture the stored picture found in the bytes the load fetched (see
// StoredPictureInHead: a photo's thumbnail from the same read as its date).
RecordMetadata ReadRecordMetadata(const std::u16string& path, MetadataSource& metadata, HeadPicture& picture,
                                  int minSide);
// Puts the metadata into the record, which is then no longer pending.
void ApplyRecordMetadata(FileRecord& record, RecordMetadata metadata);

using LocalTimeConversion = bool (*)(uint64_t fileTime, TDateTime& local);

// KiB units of a byte size, any remainder counting as one more; saturates at INT32_MAX.
int32_t SizeInKiB(uint64_t bytes);

// A record for one directory entry of folder (which ends with a separator): file times in
// local time, size, attributes, and the metadata when the file is a photo. Every failure
// of the metadata load is swallowed: the record then has no metadata. Without a source the
// metadata is left to read later (a file's record is then pending).
std::unique_ptr<FileRecord> MakeFileRecord(const DirectoryEntry& entry, const std::u16string& folder,
                                                     MetadataSource* metadata,
                                                     LocalTimeConversion toLocal = FileTimeToLocalDateTime);
inline std::unique_ptr<FileRecord> MakeFileRecord(const DirectoryEntry& entry, const std::u16string& folder,
                                                            MetadataSource& metadata = ExifMetadataSource(),
                                                            LocalTimeConversion toLocal = FileTimeToLocalDateTime) {
  return MakeFileRecord(entry, folder, &metadata, toLocal);
}
// MakeFileRecord, appended to list.
FileRecord* AddFileRecord(FileRecordList& list, const DirectoryEntry& entry, const std::u16string& folder,
                                   MetadataSource& metadata = ExifMetadataSource(),
                                   LocalTimeConversion toLocal = FileTimeToLocalDateTime);

// The rename item for a record listed in folder: the name, the folder and the metadata.
std::unique_ptr<SourceRecord> MakeRenameItem(const FileRecord& record, const std::u16string& folder);

// The one order of records: folders before files (after them when direction is -1), then
// the sort keys by CompareTextAscii times direction. Negative puts the first record first.
int32_t CompareRecordKeys(bool folder1, std::u16string_view key1, bool folder2, std::u16string_view key2,
                          int32_t direction);
// Orders two records by the sort state: negative puts item1 first.
int32_t CompareFileData(const FileRecord* item1, const FileRecord* item2, const FileSortState& sort);
// Sorts the records with CompareFileData; records with equal keys keep their order, so a
// refresh or a re-sort does not make tied rows (undated files, burst shots) change places.
void SortFileDataList(FileRecordList& list, const FileSortState& sort);
// The same order for records not in a list yet.
void SortRecords(RecordBatch& items, const FileSortState& sort);
// Merges run into items, both in the order of sort: the result is what a stable sort of items
// followed by run would give, at the cost of one pass.
void MergeSortedRecords(RecordBatch& items, RecordBatch run, const FileSortState& sort);
// Directory entries in the order the file list shows them by default (sorted by name,
// ascending, folders first), names equal but for ASCII case in code-unit order.
void SortEntriesAsListed(std::vector<DirectoryEntry>& entries);

}  // namespace tess
