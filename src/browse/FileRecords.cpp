#include "browse/FileRecords.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <iterator>

#include "exif/Exif.h"
#include "platform/Text.h"

namespace tess {

namespace {

std::string IndexMessage(int index) { return "List index out of bounds (" + std::to_string(index) + ")"; }

class ExifReader final : public MetadataReader {
 public:
  bool LoadFromGraphic(const std::u16string& path) override {
    // The stream stays with the reader: its first block is the head a thumbnail is found in.
    stream_.reset();
    stream_ = std::make_unique<TFileStream>(path);
    return data_.LoadFromGraphic(*stream_);
  }
  std::span<const uint8_t> LoadedHead() override { return stream_ ? stream_->HeldHead() : std::span<const uint8_t>(); }
  int64_t LoadedSize() override { return stream_ ? stream_->Size() : -1; }
  TDateTime DateTime() override { return data_.DateTime(); }
  TDateTime DateTimeOriginal() override { return data_.DateTimeOriginal(); }
  TDateTime DateTimeDigitized() override { return data_.DateTimeDigitized(); }
  std::u16string CameraModel() override { return data_.CameraModel(); }
  std::u16string CameraMake() override { return data_.CameraMake(); }
  std::u16string OffsetTimeOriginal() override { return data_.OffsetTimeOriginal(); }
  std::u16string CameraSerial() override { return data_.CameraSerial(); }
  TDateTime MovieHeaderTime() override { return data_.MovieHeaderTime(); }

 private:
  std::unique_ptr<TFileStream> stream_;
  TExifData data_;
};

class ExifSource final : public MetadataSource {
 public:
  std::unique_ptr<MetadataReader> CreateReader() override { return std::make_unique<ExifReader>(); }
};

// "Not greater than 0" also catches a NaN, which has no date either.
bool HasDate(TDateTime v) { return v > 0; }

}  // namespace

EListError::EListError(int index) : std::out_of_range(IndexMessage(index)), index_(index) {}

MetadataSource& ExifMetadataSource() {
  static ExifSource source;
  return source;
}

int32_t SizeInKiB(uint64_t bytes) {
  // Whole 64-bit size: a video over 4 GiB keeps its real size instead of wrapping.
  uint64_t units = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
  return units > uint64_t(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(units);
}

RecordMetadata ReadRecordMetadata(const std::u16string& path, MetadataSource& metadata) {
  HeadPicture none;
  return ReadRecordMetadata(path, metadata, none, 0);
}

RecordMetadata ReadRecordMetadata(const std::u16string& path, MetadataSource& metadata, HeadPicture& picture,
                                  int minSide) {
  RecordMetadata out;
  try {
    std::unique_ptr<MetadataReader> reader = metadata.CreateReader();
    out.HasMetadata = reader->LoadFromGraphic(path);
    if (minSide > 0) picture = StoredPictureInHead(reader->LoadedHead(), reader->LoadedSize(), minSide);
    if (out.HasMetadata) {
      out.ExifDateTime = reader->DateTime();
      out.ExifDateTimeOriginal = reader->DateTimeOriginal();
      out.ExifDateTimeDigitized = reader->DateTimeDigitized();
      out.ExifCameraModel = reader->CameraModel();
      out.ExifCameraMake = reader->CameraMake();
      out.ExifCameraSerial = reader->CameraSerial();
      out.ExifMovieHeaderTime = reader->MovieHeaderTime();
      if (!HasDate(out.ExifDateTimeOriginal)) out.ExifDateTimeOriginal = out.ExifDateTime;
      if (!HasDate(out.ExifDateTimeOriginal)) out.ExifDateTimeOriginal = out.ExifDateTimeDigitized;
    }
  } catch (...) {
    // A file the reader cannot walk is shown without metadata; a failure after the load
    // keeps what was stored before it.
  }
  return out;
}

void ApplyRecordMetadata(FileRecord& record, RecordMetadata metadata) {
  record.HasMetadata = metadata.HasMetadata;
  record.ExifDateTime = metadata.ExifDateTime;
  record.ExifDateTimeOriginal = metadata.ExifDateTimeOriginal;
  record.ExifDateTimeDigitized = metadata.ExifDateTimeDigitized;
  record.ExifCameraModel = std::move(metadata.ExifCameraModel);
  record.ExifCameraMake = std::move(metadata.ExifCameraMake);
  record.ExifCameraSerial = std::move(metadata.ExifCameraSerial);
  record.ExifMovieHeaderTime = metadata.ExifMovieHeaderTime;
  record.MetadataPending = false;
}

std::unique_ptr<FileRecord> MakeFileRecord(const DirectoryEntry& entry, const std::u16string& folder,
                                                     MetadataSource* metadata, LocalTimeConversion toLocal) {
  auto record = std::make_unique<FileRecord>();
  record->IconIndex = -1;
  TDateTime value;
  record->CreateDate = toLocal(entry.creationTime, value) ? value : 0;
  record->ModifyDate = toLocal(entry.lastWriteTime, value) ? value : 0;
  record->Attrib = entry.attributes;
  record->Name = entry.name;
  record->Size = record->IsFolder() ? -1 : SizeInKiB(entry.size);
  record->ByteSize = record->IsFolder() ? 0 : entry.size;
  record->ExifDateTimeOriginal = 0;
  if (!metadata) {
    record->MetadataPending = true;
    return record;
  }
  ApplyRecordMetadata(*record, ReadRecordMetadata(folder + entry.name, *metadata));
  return record;
}

FileRecord* AddFileRecord(FileRecordList& list, const DirectoryEntry& entry, const std::u16string& folder,
                                   MetadataSource& metadata, LocalTimeConversion toLocal) {
  std::unique_ptr<FileRecord> record = MakeFileRecord(entry, folder, metadata, toLocal);
  FileRecord* raw = record.get();
  list.Add(std::move(record));
  return raw;
}

std::unique_ptr<SourceRecord> MakeRenameItem(const FileRecord& record, const std::u16string& folder) {
  auto item = std::make_unique<SourceRecord>();
  item->Name = record.Name;
  item->Folder = folder;
  item->HasMetadata = record.HasMetadata;
  item->ExifDateTime = record.ExifDateTime;
  item->ExifDateTimeOriginal = record.ExifDateTimeOriginal;
  item->ExifDateTimeDigitized = record.ExifDateTimeDigitized;
  item->ExifCameraModel = record.ExifCameraModel;
  item->ExifCameraMake = record.ExifCameraMake;
  item->ExifCameraSerial = record.ExifCameraSerial;
  item->ExifMovieHeaderTime = record.ExifMovieHeaderTime;
  item->Size = record.Size;
  item->ByteSize = record.ByteSize;
  return item;
}

int32_t CompareRecordKeys(bool folder1, std::u16string_view key1, bool folder2, std::u16string_view key2,
                          int32_t direction) {
  if (folder1 != folder2) return folder1 ? -direction : direction;
  return CompareTextAscii(key1, key2) * direction;
}

int32_t CompareFileData(const FileRecord* item1, const FileRecord* item2, const FileSortState& sort) {
  std::u16string scratch1, scratch2;
  return CompareRecordKeys(item1->IsFolder(), ColumnSortKey(*item1, sort.SortColumn, scratch1), item2->IsFolder(),
                           ColumnSortKey(*item2, sort.SortColumn, scratch2), sort.Direction());
}

namespace {

// A record with its sort key, each key built once instead of twice per comparison: a folder
// of thousands of photos sorts without formatting dates again. Text keys are views into the
// records, which stay where they are while their pointers move; only keys that have to be
// built (dates) are kept aside, in a deque, whose elements never move either.
struct KeyedRecord {
  std::u16string_view key;
  bool folder;
  std::unique_ptr<FileRecord> item;
};

std::vector<KeyedRecord> KeyRecords(RecordBatch& items, int32_t column, std::deque<std::u16string>& built) {
  std::vector<KeyedRecord> keyed;
  keyed.reserve(items.size());
  std::u16string scratch;
  for (auto& item : items) {
    std::u16string_view key = ColumnSortKey(*item, column, scratch);
    if (!key.empty() && key.data() == scratch.data()) {
      built.push_back(std::move(scratch));
      key = built.back();
      scratch = std::u16string();
    }
    bool folder = item->IsFolder();
    keyed.push_back({key, folder, std::move(item)});
  }
  return keyed;
}

}  // namespace

void SortFileDataList(FileRecordList& list, const FileSortState& sort) {
  SortRecords(list.Items(), sort);
}

namespace {

// Compares records by a column whose key the records hold: nothing is built or copied.
struct StoredKeyLess {
  int32_t column, direction;
  bool operator()(const std::unique_ptr<FileRecord>& a, const std::unique_ptr<FileRecord>& b) const {
    std::u16string unused;
    return CompareRecordKeys(a->IsFolder(), ColumnSortKey(*a, column, unused), b->IsFolder(),
                             ColumnSortKey(*b, column, unused), direction) < 0;
  }
};

}  // namespace

void SortRecords(RecordBatch& items, const FileSortState& sort) {
  const int32_t d = sort.Direction();
  if (ColumnKeyIsStored(sort.SortColumn)) {
    std::stable_sort(items.begin(), items.end(), StoredKeyLess{sort.SortColumn, d});
    return;
  }
  std::deque<std::u16string> built;
  std::vector<KeyedRecord> keyed = KeyRecords(items, sort.SortColumn, built);
  std::stable_sort(keyed.begin(), keyed.end(), [d](const KeyedRecord& a, const KeyedRecord& b) {
    return CompareRecordKeys(a.folder, a.key, b.folder, b.key, d) < 0;
  });
  for (size_t i = 0; i < keyed.size(); ++i) items[i] = std::move(keyed[i].item);
}

void MergeSortedRecords(RecordBatch& items, RecordBatch run, const FileSortState& sort) {
  if (run.empty()) return;
  if (items.empty()) {
    items = std::move(run);
    return;
  }
  const int32_t d = sort.Direction();
  RecordBatch merged;
  merged.reserve(items.size() + run.size());
  if (ColumnKeyIsStored(sort.SortColumn)) {
    // Ties keep the rows already there first, as a stable sort of the two together would.
    std::merge(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()),
               std::make_move_iterator(run.begin()), std::make_move_iterator(run.end()), std::back_inserter(merged),
               StoredKeyLess{sort.SortColumn, d});
    items = std::move(merged);
    return;
  }
  std::deque<std::u16string> builtItems, builtRun;
  std::vector<KeyedRecord> a = KeyRecords(items, sort.SortColumn, builtItems);
  std::vector<KeyedRecord> b = KeyRecords(run, sort.SortColumn, builtRun);
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (CompareRecordKeys(b[j].folder, b[j].key, a[i].folder, a[i].key, d) < 0) merged.push_back(std::move(b[j++].item));
    else merged.push_back(std::move(a[i++].item));
  }
  for (; i < a.size(); ++i) merged.push_back(std::move(a[i].item));
  for (; j < b.size(); ++j) merged.push_back(std::move(b[j].item));
  items = std::move(merged);
}

void SortEntriesAsListed(std::vector<DirectoryEntry>& entries) {
  auto isFolder = [](const DirectoryEntry& e) { return (e.attributes & FILE_ATTRIBUTE_DIRECTORY_) != 0; };
  std::sort(entries.begin(), entries.end(), [&](const DirectoryEntry& a, const DirectoryEntry& b) {
    int32_t order = CompareRecordKeys(isFolder(a), a.name, isFolder(b), b.name, 1);
    // Names that differ only in ASCII case (a case-sensitive file system) in a fixed order.
    return order != 0 ? order < 0 : a.name < b.name;
  });
}

}  // namespace tess
