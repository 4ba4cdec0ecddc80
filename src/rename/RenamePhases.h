#pragma once
// The rename run's phases and what they hand on: the plan (every destination, grouped
// into the files that share one name), the check (numbers and the disk, before any file
// is touched), the transfer (the journal, the file work, what really happened) and the
// summary (the log's lines). Only the run itself calls them.
#include <deque>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "history/ImportHistory.h"
#include "rename/RenameRun.h"
#include "rename/RunHistory.h"
#include "rename/TemplatePaths.h"

namespace tess::phases {

// One file of the batch: a selected photo, or a sidecar that follows one.
struct BatchFile {
  std::u16string source;
  std::u16string sourceKey;
  std::u16string suffix;  // what follows the stem in the destination: ".JPG", ".CR3.xmp"
  int listIndex = -1;     // the photo's place in the job; -1 for a sidecar
  TDateTime shot = 0;                   // the time it is filed by: corrected by its camera's rule
  const SourceRecord* entry = nullptr;  // a photo's entry, with that time
  int sequence = 0;                             // a photo's sequence number
  TDateTime recorded = 0;               // the time the photo records
  CorrectedTime correction = {};        // what its camera's rule did to it
  bool follows = false;                 // a photo without a date of its own, filed with its pair
};

enum class Fate { Go, Filed, InPlace, Trouble };

// Photos of one folder whose names differ only in extension (RAW+JPEG, a live photo's
// still and movie), with their sidecars: one stem, one number, one fate for the name.
struct NameGroup {
  std::vector<BatchFile> files;  // photos in shooting order, then sidecars
  size_t photoCount = 0;
  DestinationPath folder;
  std::u16string stem;
  std::u16string sourceFolder;
  std::u16string trouble;  // a line when none of its destinations can be used
  int firstListed = 0;
  // The backup's folder, the same levels under the backup template; none without a backup.
  std::optional<DestinationPath> backupFolder;
  // Decided by the check.
  int number = 1;
  std::vector<std::u16string> destinations;
  std::vector<Fate> fates;
  // With a backup: each file's backup path, and whether it goes there (Go) or is there (Filed).
  std::vector<std::u16string> backups;
  std::vector<Fate> backupFates;
};

// A photo the import history knows as filed by an earlier run.
struct ImportedPhoto {
  size_t listIndex = 0;  // its place in the job
  FoundImport found;
};

struct Plan {
  std::vector<NameGroup> groups;  // in shooting order of their first photo
  std::vector<std::u16string> dateless;  // sources left out for want of a date
  std::vector<ImportedPhoto> imported;   // left out as filed before, in the job's order
  size_t withoutMetadata = 0;
  std::vector<size_t> unfit;  // the places in the job of the photos without metadata
  // Sources whose camera rule would move them outside 1900..2999: left out, named.
  std::vector<std::u16string> unshiftable;
  // The entries of the photos whose time a rule corrected (the job's own stay as recorded).
  std::deque<SourceRecord> corrected;
};

struct Pair {
  std::u16string source;
  std::u16string destination;
  bool samePath = false;  // a case-only rename: the source's path names the destination itself
  bool numbered = false;  // under a numbered name
  bool sidecar = false;
  int listIndex = -1;  // the photo's place in the job; -1 for a sidecar
  // The backup copy's path, under the same name; empty when there is no backup or it holds
  // the photo already.
  std::u16string backup;
  // The destination holds the photo already (filed before): only the backup is written.
  bool mainFiled = false;
};

struct CheckedBatch {
  std::vector<Pair> batch;  // what is copied or moved, in the order of the log
  size_t numbered = 0;      // files that got a numbered name
  size_t sidecars = 0;      // sidecars in the batch
  size_t filed = 0;         // files whose destination already holds them
  size_t inPlace = 0;       // files whose destination is the file itself: counted apart
  size_t trouble = 0;       // photos whose destination cannot be used
};

struct RunReport {
  std::vector<bool> done;               // per pair of the batch
  size_t notHandled = 0;                // left alone by a cancel
  std::vector<std::u16string> notDone;  // one line per pair that did not arrive whole
};

// The look-up: for each photo of the job, where and when an earlier run filed it, as the
// history knows it by the photo's identity (what the listing and the metadata read gave:
// the card is not read again). A photo without a shooting date that the templates would
// file is known by its content hash: that file alone is read once, through fs. None when
// the job files imported photos too; a history that fails is given up (with its line)
// and answers none, so that a fault never leaves a photo out.
std::vector<std::optional<FoundImport>> FindImported(const RenameJob& job, RunHistory& history, FileSystem& fs);
// Builds every photo's destination folder and stem; photos without metadata are passed
// over (uncounted but for the summary), photos without a date are left out when a
// template needs one, photos found filed before (`imported`, by place in the job) are
// left out. Photos sharing a folder and a name but for the extension are one group; the
// sidecars beside a group's photos join it, so a group whose photos were all filed before
// is left out whole, sidecars and all, while one that keeps a photo keeps its sidecars.
Plan PlanDestinations(const RenameJob& job, FileSystem& fs,
                      const std::vector<std::optional<FoundImport>>& imported = {});
// Gives every group its number and every file its fate; the batch is what goes.
CheckedBatch CheckBatch(Plan& plan, bool copy, FileSystem& fs);
// Copies or moves the batch, verified, journalled when the control has a journal, and
// each photo that arrived recorded in the history when there is one.
RunReport RunBatch(const std::vector<Pair>& batch, bool copy, FileSystem& fs, FileTransfer& io,
                   const RenameRunControl& control, RenameLog& log, const RenameJob* job = nullptr,
                   RunHistory* history = nullptr);
// The system's reason for a failure, to follow its line; none when it told nothing useful.
std::u16string FaultReason(TransferFault fault);
// Warns of each destination folder (or, for one still to be made, its nearest existing
// parent) the system says no file can be made in. The count warned of.
size_t WarnUnwritable(const std::vector<Pair>& batch, FileSystem& fs, RenameLog& log);
// The last line of a run: what went (or goes), and what was left out and why.
std::u16string Summary(bool test, bool copy, size_t handled, const CheckedBatch& checked, const Plan& plan);
// Writes the pairs and the lines of the photos left out, in the order of the job.
void WritePlan(const Plan& plan, const RenameJob& job, RenameLog& log);
// What follows the summary when camera rules shifted photos: how many of each camera
// (those that arrived, given their source keys; all that go when null). Empty for none.
std::u16string ShiftedSummary(const Plan& plan, const std::unordered_set<std::u16string>* arrived);

}  // namespace tess::phases
