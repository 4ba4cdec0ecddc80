#include "rename/RenamePhases.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/RenameTemplate.h"

namespace tess::phases {

namespace {

const char16_t* const kInvalidCharacter = texts::kRunInvalidCharacter;
const char16_t* const kNameTooLong = texts::kRunNameTooLong;
const char16_t* const kFileInFolderPlace = texts::kRunFileInFolderPlace;
const char16_t* const kCannotCheck = texts::kRunCannotCheck;
const char16_t* const kNoFreeName = texts::kRunNoFreeName;
const char16_t* const kSourceMissing = texts::kRunSourceMissing;
const char16_t* const kCannotWrite = texts::kRunCannotWrite;
const char16_t* const kBackupIsDestination = texts::kRunBackupIsDestination;
// The longest name one level of a path may have (NTFS, FAT32's long names, exFAT).
constexpr size_t kMaxNameLength = 255;
// Numbers go on as far as names are taken: a 10,000-photo card under one name gets
// "(10000)". The bound only keeps the counter from overflowing.
constexpr int kMaxNumber = std::numeric_limits<int>::max() - 1;

std::u16string NumberedName(const DestinationPath& folder, const NameGroup& group, int number,
                            const std::u16string& suffix) {
  std::u16string stem = group.stem;
  if (number > 1) stem += u" (" + PadNumber(number, 1) + u")";
  return folder.Join(stem + suffix);
}

std::u16string NumberedName(const NameGroup& group, int number, const std::u16string& suffix) {
  return NumberedName(group.folder, group, number, suffix);
}

// The state of every folder a destination needs, asked once per folder: a file in the
// place of one, or a state that cannot be told, makes the destination unusable.
class FolderCheck {
 public:
  explicit FolderCheck(FileSystem& fs) : fs_(fs) {}
  // Empty when the folder serves (it exists, or can be made); else the line's reason.
  const char16_t* Problem(const std::u16string& folder, bool& exists) {
    exists = false;
    std::u16string walk = folder;
    bool first = true;
    while (!walk.empty()) {
      PathState state = State(walk);
      if (state == PathState::Folder) {
        exists = first;
        return nullptr;
      }
      if (state == PathState::File) return kFileInFolderPlace;
      if (state == PathState::Unknown) return kCannotCheck;
      walk = ParentFolder(walk);
      first = false;
    }
    return nullptr;  // up to the root: a missing drive shows when the copy cannot be made
  }

 private:
  PathState State(const std::u16string& folder) {
    std::u16string key = FileSystemPathKey(folder);
    auto it = states_.find(key);
    if (it != states_.end()) return it->second;
    PathState state = ParentFolder(folder).empty() ? PathState::Folder : fs_.Probe(folder);
    states_.emplace(key, state);
    return state;
  }
  FileSystem& fs_;
  std::unordered_map<std::u16string, PathState> states_;
};

bool HasLongLevel(const std::u16string& path) {
  size_t run = 0;
  for (char16_t c : path) {
    run = IsPathSeparator(c) ? 0 : run + 1;
    if (run > kMaxNameLength) return true;
  }
  return false;
}

bool HasForbiddenCharacter(const DestinationPath& folder, const std::u16string& name) {
  auto bad = [](const std::u16string& level) {
    return std::any_of(level.begin(), level.end(), [](char16_t c) { return c != u'\\' && IsForbiddenNameCharacter(c); });
  };
  return std::any_of(folder.levels.begin(), folder.levels.end(), bad) || bad(name);
}

// Every name given out so far, and the numbers given out per folder and stem.
struct Claims {
  std::unordered_set<std::u16string> paths;  // keys of every source and every destination given out
  // Stems given out: two shots of one second never share a stem, even where their
  // extensions differ (a HEIC+MOV beside a CR3+JPEG), or they would pass for one pair.
  std::unordered_set<std::u16string> stems;
  // The numbers given out per folder and stem: a burst of n shots asks for n numbers of one
  // stem, and the ones taken are passed over without building their names.
  std::unordered_map<std::u16string, std::unordered_set<int>> numbersGiven;
};

// The fate of one file under a destination name: `taken` when the name holds another
// file, `trouble` a line when the disk cannot tell.
Fate FileFate(const BatchFile& f, const std::u16string& destination, bool copy, bool folderExists,
              const Claims& claims, FileSystem& fs, std::u16string& trouble, bool& taken) {
  std::u16string key = FileSystemPathKey(destination);
  Fate fate = Fate::Go;
  if (key == f.sourceKey) {
    // A copy onto the file itself must never be made: the photo is where it
    // belongs already.
    if (FileSystemPath(destination) == FileSystemPath(f.source)) {
      fate = Fate::InPlace;
    } else {
      // Another spelling of the source's own name (a change of letter case): a real
      // rename, unless a case-sensitive folder holds a different file under it.
      PathState state = fs.Probe(destination);
      if (state == PathState::Unknown) {
        trouble = kCannotCheck + destination;
      } else if (state != PathState::Missing) {
        if (!fs.SameFile(f.source, destination))
          taken = true;
        else if (copy)
          fate = Fate::Filed;
      }
    }
  } else if (claims.paths.count(key)) {
    taken = true;
  } else if (folderExists) {
    PathState state = fs.Probe(destination);
    if (state == PathState::Unknown) {
      trouble = kCannotCheck + destination;
    } else if (state == PathState::Folder) {
      taken = true;
    } else if (state == PathState::File) {
      if (fs.SameContent(f.source, destination))
        fate = Fate::Filed;
      else
        taken = true;
    }
  }
  return fate;
}

// Tries one number for the group: true, with its destinations and fates, when each of its
// files finds its name free or its own bytes there, at the destination and at the backup:
// a name taken at either gives the next number at both.
bool TryNumber(NameGroup& group, int number, bool copy, bool folderExists, bool backupFolderExists,
               const Claims& claims, FileSystem& fs) {
  std::vector<std::u16string> destinations, backups;
  std::vector<Fate> fates, backupFates;
  bool taken = claims.stems.count(FileSystemPathKey(NumberedName(group, number, u"|"))) > 0;
  if (group.backupFolder)
    taken = taken || claims.stems.count(FileSystemPathKey(NumberedName(*group.backupFolder, group, number, u"|"))) > 0;
  for (const BatchFile& f : group.files) {
    if (taken) break;
    std::u16string destination = NumberedName(group, number, f.suffix);
    Fate fate = FileFate(f, destination, copy, folderExists, claims, fs, group.trouble, taken);
    destinations.push_back(std::move(destination));
    fates.push_back(fate);
    if (taken || !group.trouble.empty()) break;
    if (!group.backupFolder) continue;
    std::u16string backup = NumberedName(*group.backupFolder, group, number, f.suffix);
    // A source is never its own backup: that name is taken.
    Fate backupFate = Fate::Go;
    if (FileSystemPathKey(backup) == f.sourceKey)
      taken = true;
    else
      backupFate = FileFate(f, backup, true, backupFolderExists, claims, fs, group.trouble, taken);
    backups.push_back(std::move(backup));
    backupFates.push_back(backupFate);
    if (taken || !group.trouble.empty()) break;
  }
  if (taken && number == 1) {
    // A name taken by a photo that is gone from its source was most likely moved
    // there by an earlier run: nothing to number, nothing to copy.
    for (const BatchFile& f : group.files) {
      if (f.listIndex >= 0 && fs.Probe(f.source) == PathState::Missing) {
        group.trouble = kSourceMissing + f.source;
        break;
      }
    }
  }
  if (taken || !group.trouble.empty()) return false;
  group.number = number;
  group.destinations = std::move(destinations);
  group.fates = std::move(fates);
  group.backups = std::move(backups);
  group.backupFates = std::move(backupFates);
  return true;
}

// Gives one group its number and its files their fates, or the line why none can go.
void CheckGroup(NameGroup& group, bool copy, FolderCheck& folders, Claims& claims, FileSystem& fs) {
  const std::u16string plainName = NumberedName(group, 1, group.files.front().suffix);
  std::u16string folder = group.folder.Folder();
  bool folderExists = false;
  if (const char16_t* problem = folders.Problem(folder, folderExists)) {
    group.trouble = problem + plainName;
    return;
  }
  if (HasForbiddenCharacter(group.folder, group.stem + group.files.front().suffix)) {
    group.trouble = kInvalidCharacter + plainName;
    return;
  }
  bool backupFolderExists = false;
  std::unordered_set<int>* backupGiven = nullptr;
  if (group.backupFolder) {
    const std::u16string backupFolder = group.backupFolder->Folder();
    const std::u16string plainBackup = NumberedName(*group.backupFolder, group, 1, group.files.front().suffix);
    if (FileSystemPathKey(backupFolder) == FileSystemPathKey(folder)) {
      group.trouble = kBackupIsDestination + plainBackup;
      return;
    }
    if (const char16_t* problem = folders.Problem(backupFolder, backupFolderExists)) {
      group.trouble = problem + plainBackup;
      return;
    }
    if (HasForbiddenCharacter(*group.backupFolder, group.stem + group.files.front().suffix)) {
      group.trouble = kInvalidCharacter + plainBackup;
      return;
    }
    backupGiven = &claims.numbersGiven[FileSystemPathKey(backupFolder) + u'\\' + CaseFold(group.stem)];
  }
  bool decided = false;
  std::unordered_set<int>& given = claims.numbersGiven[FileSystemPathKey(folder) + u'\\' + CaseFold(group.stem)];
  for (int number = 1; number <= kMaxNumber && !decided && group.trouble.empty(); ++number) {
    if (given.count(number) || (backupGiven && backupGiven->count(number))) continue;
    decided = TryNumber(group, number, copy, folderExists, backupFolderExists, claims, fs);
  }
  if (!group.trouble.empty()) return;
  if (!decided) {
    group.trouble = kNoFreeName + plainName;
    return;
  }
  for (const auto* paths : {&group.destinations, &group.backups}) {
    for (const std::u16string& destination : *paths) {
      if (HasLongLevel(destination)) {
        group.trouble = kNameTooLong + destination;
        return;
      }
    }
  }
  for (const std::u16string& destination : group.destinations) claims.paths.insert(FileSystemPathKey(destination));
  for (const std::u16string& backup : group.backups) claims.paths.insert(FileSystemPathKey(backup));
  claims.stems.insert(FileSystemPathKey(NumberedName(group, group.number, u"|")));
  given.insert(group.number);
  if (group.backupFolder) {
    claims.stems.insert(FileSystemPathKey(NumberedName(*group.backupFolder, group, group.number, u"|")));
    backupGiven->insert(group.number);
  }
}

// The batch in the order of the job, each group's files together, and what the summary counts.
void ListBatch(Plan& plan, CheckedBatch& checked) {
  std::vector<NameGroup*> listed;
  for (NameGroup& group : plan.groups) listed.push_back(&group);
  std::stable_sort(listed.begin(), listed.end(),
                   [](const NameGroup* a, const NameGroup* b) { return a->firstListed < b->firstListed; });
  for (NameGroup* group : listed) {
    if (!group->trouble.empty()) {
      checked.trouble += group->photoCount;
      group->fates.assign(group->files.size(), Fate::Trouble);
      continue;
    }
    for (size_t i = 0; i < group->files.size(); ++i) {
      const BatchFile& f = group->files[i];
      const bool toBackup = i < group->backupFates.size() && group->backupFates[i] == Fate::Go;
      const Fate fate = group->fates[i];
      // Filed at its destination but not yet at the backup: the backup catches up.
      if (fate == Fate::Go || ((fate == Fate::Filed || fate == Fate::InPlace) && toBackup)) {
        Pair pair;
        pair.source = f.source;
        pair.destination = group->destinations[i];
        pair.samePath = f.sourceKey == FileSystemPathKey(group->destinations[i]);
        pair.numbered = group->number > 1;
        pair.sidecar = f.listIndex < 0;
        pair.listIndex = f.listIndex;
        if (toBackup) pair.backup = group->backups[i];
        pair.mainFiled = fate != Fate::Go;
        checked.batch.push_back(std::move(pair));
        if (group->number > 1) ++checked.numbered;
        if (f.listIndex < 0) ++checked.sidecars;
        continue;
      }
      if (fate == Fate::Filed) ++checked.filed;
      if (fate == Fate::InPlace) ++checked.inPlace;
    }
  }
}

}  // namespace

// Gives every group the first number under which each of its files either finds its name
// free or finds its own bytes already there (filed before, under the plain or a numbered
// name): a name held by another file of the batch or by a different file on disk is never
// used, so nothing is ever replaced and a burst keeps its shooting order. The disk is
// asked once per destination whose folder exists; bytes are compared only where a file of
// that name is found.
CheckedBatch CheckBatch(Plan& plan, bool copy, FileSystem& fs) {
  CheckedBatch checked;
  Claims claims;
  for (const NameGroup& group : plan.groups)
    for (const BatchFile& f : group.files) claims.paths.insert(f.sourceKey);
  FolderCheck folders(fs);
  for (NameGroup& group : plan.groups) CheckGroup(group, copy, folders, claims, fs);
  ListBatch(plan, checked);
  return checked;
}

std::vector<std::optional<FoundImport>> FindImported(const RenameJob& job, RunHistory& history, FileSystem& fs) {
  std::vector<std::optional<FoundImport>> found(job.photos.size());
  if (job.includeImported) return found;
  // A photo without a date is filed only when no template asks for one; then it is known by
  // its content, read once here.
  const bool needsDate = TemplatesNeedShotDate(job.folderTemplate, job.nameTemplate);
  std::vector<PhotoIdentity> photos;
  std::vector<size_t> places;
  for (size_t i = 0; i < job.photos.size(); ++i) {
    const SourceRecord& record = job.photos[i].record;
    PhotoIdentity photo = IdentityOf(record);
    if (!CanLookUp(record)) {
      if (needsDate || !record.HasMetadata || record.MetadataPending || record.IsFolder()) continue;
      std::optional<std::string> hash = fs.ContentHash(job.photos[i].source);
      if (!hash) continue;  // unreadable now: the run says so when it gets there
      photo.shot = 0;
      photo.hash = std::move(*hash);
    }
    photos.push_back(std::move(photo));
    places.push_back(i);
  }
  if (photos.empty()) return found;
  ImportHistory* store = history.Get();
  if (!store) return found;
  std::vector<std::optional<FoundImport>> answers;
  if (HistoryStatus status = store->Find(photos, answers); status != HistoryStatus::Ok) {
    history.GiveUp(status);
    return found;
  }
  for (size_t k = 0; k < places.size() && k < answers.size(); ++k) found[places[k]] = std::move(answers[k]);
  return found;
}

// A folder the real run could not write into is said at the test, not found out at the run.
size_t WarnUnwritable(const std::vector<Pair>& batch, FileSystem& fs, RenameLog& log) {
  std::unordered_set<std::u16string> asked;
  size_t warned = 0;
  auto warn = [&](const std::u16string& destination) {
    std::u16string folder = ParentFolder(destination);
    while (!folder.empty() && !fs.IsFolder(folder)) folder = ParentFolder(folder);
    if (folder.empty() || !asked.insert(FileSystemPathKey(folder)).second) return;
    if (std::optional<TransferFault> fault = fs.CannotWriteIn(folder)) {
      log.WriteLine(kCannotWrite + folder + FaultReason(*fault));
      ++warned;
    }
  };
  for (const Pair& p : batch) {
    if (!p.mainFiled) warn(p.destination);
    if (!p.backup.empty()) warn(p.backup);
  }
  return warned;
}

}  // namespace tess::phases
