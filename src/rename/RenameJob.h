#pragma once
// One EXIF rename as a value: the photos, what is done with them, the two templates and
// whether it is only a test. Whoever starts a rename builds one (the file list from its
// selection or from the whole card below the shown folder, the command-line tool from its
// paths); the rename dialog keeps it while it is open and the run reads it.
#include <cstddef>
#include <string>
#include <vector>

#include "records/FileRecord.h"
#include "rename/ClockRules.h"

namespace tess {

enum class RenameAction { Copy, Move };

enum class RenameMode {
  Test,  // the log tells everything a real run will do; no file is touched
  Real,  // the files are copied or moved, each copy verified
};

struct RenamePhoto {
  std::u16string source;        // the path the file is copied or moved from
  SourceRecord record;  // its name, the folder it was listed in, its metadata
};

struct RenameJob {
  std::vector<RenamePhoto> photos;  // in the order they were listed
  RenameAction action = RenameAction::Copy;
  std::u16string folderTemplate;  // the destination-folder template; empty for none
  std::u16string nameTemplate;    // the file-name template; empty for none
  RenameMode mode = RenameMode::Test;
  // Files the photos the import history knows as filed before, instead of leaving them out.
  bool includeImported = false;
  // Cameras whose clock was wrong: the run files their photos by the corrected time.
  ClockRules clockRules;
  // A second destination-folder template: every photo is also written there, under the same
  // name, from the same read of the card. Empty for none.
  std::u16string backupFolderTemplate;
};

// The photos of a job (by their place in it) that a run is done with: those it filed,
// found filed before or found where they belong, and those without metadata, which no
// rename takes. A test run files none.
struct SettledPhotos {
  std::vector<size_t> filed;
  std::vector<size_t> withoutMetadata;
};

// The job's photos without those settled, in their order: what running again retries.
std::vector<RenamePhoto> PhotosLeft(const std::vector<RenamePhoto>& photos, const SettledPhotos& settled);

}  // namespace tess
