#include "rename/HistorySeed.h"

#include "exif/Exif.h"
#include "rename/RunUndo.h"

namespace tess {
namespace {

std::u16string FileNameOf(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<ImportEntry> FiledEntry(const RunJournal& run, const JournalPair& pair, const ReadPhotoIdentity& read) {
  if (!pair.event || (*pair.event != PairEvent::Verified && *pair.event != PairEvent::Moved)) return std::nullopt;
  if (pair.undone && *pair.undone == UndoResult::Restored) return std::nullopt;
  if (!pair.size) return std::nullopt;
  std::optional<PhotoIdentity> photo = read(pair.destination);
  if (!photo) photo = read(pair.source);
  if (!photo) return std::nullopt;
  photo->name = FileNameOf(pair.source);
  photo->size = *pair.size;
  photo->hash = pair.hash;
  if (!CanBeKeyed(*photo)) return std::nullopt;
  return ImportEntry{*photo, pair.source, pair.destination, run.name, run.time};
}

size_t SeedHistoryFromJournals(ImportHistory& history, JournalFolder& journals, const ReadPhotoIdentity& read) {
  if (history.Seeded()) return 0;
  std::vector<ImportEntry> entries;
  for (const std::u16string& name : journals.Names()) {
    std::optional<RunJournal> run = ReadRun(journals, name);
    if (!run) continue;
    for (const JournalPair& pair : run->pairs)
      if (std::optional<ImportEntry> entry = FiledEntry(*run, pair, read)) entries.push_back(std::move(*entry));
  }
  // Marked only once recorded: a seed cut short is done again, never half-remembered.
  if (history.Record(entries) != HistoryStatus::Ok || history.MarkSeeded() != HistoryStatus::Ok) return 0;
  return entries.size();
}

std::optional<PhotoIdentity> ReadPhotoIdentityFromFile(const std::u16string& path) {
  try {
    TExifData data;
    if (!data.LoadFromGraphic(path)) return std::nullopt;
    PhotoIdentity photo;
    for (double shot : {double(data.DateTimeOriginal()), double(data.DateTime()), double(data.DateTimeDigitized())}) {
      if (shot > 0) {
        photo.shot = shot;
        break;
      }
    }
    photo.make = data.CameraMake();
    photo.model = data.CameraModel();
    photo.serial = data.CameraSerial();
    return photo;
  } catch (...) {
    return std::nullopt;  // a file the reader cannot walk has no identity of its own
  }
}

}  // namespace tess
