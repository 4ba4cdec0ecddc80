#include "rename/RenameRun.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/RenameTemplate.h"
#include "rename/RunJournal.h"
#include "rename/RunUndo.h"

namespace tess {

const char16_t* const kRenameNoFilesMessage = texts::kRunNoFiles;

namespace {

const char16_t* const kCopiedSuffix = texts::kRunCopiedSuffix;
const char16_t* const kMovedSuffix = texts::kRunMovedSuffix;
const char16_t* const kCopyFailed = texts::kRunCopyFailed;
const char16_t* const kMoveFailed = texts::kRunMoveFailed;
const char16_t* const kNoShotDate = texts::kRunNoShotDate;
const char16_t* const kInvalidCharacter = texts::kRunInvalidCharacter;
const char16_t* const kNameTooLong = texts::kRunNameTooLong;
const char16_t* const kFileInFolderPlace = texts::kRunFileInFolderPlace;
const char16_t* const kCannotCheck = texts::kRunCannotCheck;
const char16_t* const kNoFreeName = texts::kRunNoFreeName;
const char16_t* const kSourceMissing = texts::kRunSourceMissing;
const char16_t* const kAlreadyFiled = texts::kRunAlreadyFiled;
const char16_t* const kNotCopied = texts::kRunNotCopied;
const char16_t* const kNotMoved = texts::kRunNotMoved;
const char16_t* const kCopiedSourceStays = texts::kRunCopiedSourceStays;
const char16_t* const kNoJournal = texts::kRunNoJournal;
const char16_t* const kSourceGone = texts::kRunSourceGone;
const char16_t* const kItself = texts::kRunItself;
const char16_t* const kCannotWrite = texts::kRunCannotWrite;

// The system's reason for a failure, to follow its line; none when it told nothing useful.
std::u16string FaultReason(TransferFault fault) {
  switch (fault) {
    case TransferFault::AccessDenied: return std::u16string(u" (") + texts::kFaultAccessDenied + u")";
    case TransferFault::DiskFull: return std::u16string(u" (") + texts::kFaultDiskFull + u")";
    case TransferFault::WriteProtected: return std::u16string(u" (") + texts::kFaultWriteProtected + u")";
    case TransferFault::NotReady: return std::u16string(u" (") + texts::kFaultNotReady + u")";
    case TransferFault::NotFound:
    case TransferFault::Unknown: break;
  }
  return {};
}
const char16_t* const kVerifyFailed = texts::kRunVerifyFailed;
const char16_t* const kCancelledPrefix = texts::kRunCancelledPrefix;
const char16_t* const kCancelledSuffix = texts::kRunCancelledSuffix;

// Files that travel with a photo of the same name: metadata, thumbnails, voice memos,
// edits and low-resolution video.
constexpr const char16_t* kSidecarExtensions[] = {u"xmp", u"thm", u"wav", u"aae", u"lrv"};
// The longest name one level of a path may have (NTFS, FAT32's long names, exFAT).
constexpr size_t kMaxNameLength = 255;
// A stem with more numbered names than this taken is a sign of something wrong, not a burst.
constexpr int kMaxNumber = 9999;

std::u16string LowerAscii(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = AsciiLower(c);
  return out;
}

bool IsFolderMarker(const std::u16string& folderTemplate) {
  std::u16string lowered = LowerAscii(folderTemplate);
  return lowered == u"@folder" || lowered == u"@元のフォルダ名";
}

bool IsFileMarker(const std::u16string& nameTemplate) {
  std::u16string lowered = LowerAscii(nameTemplate);
  return lowered == u"@file" || lowered == u"@元のファイル名";
}

bool HasShotDate(const TExifFilesToListItem& entry) {
  DateTimeParts parts;
  return entry.ExifDateTimeOriginal != 0 && DecodeDateTime(entry.ExifDateTimeOriginal, parts);
}

// Windows drops the dots and blanks that end a name: the log must show what the disk will.
void TrimNameEnd(std::u16string& name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
}

// A device name (CON, NUL, COM1, ...; with any extension) opens the device, not a file:
// it gets "_" after its base name.
void MendReservedName(std::u16string& name) {
  static constexpr const char16_t* kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
  size_t dot = name.find(u'.');
  size_t end = dot == std::u16string::npos ? name.size() : dot;
  while (end > 0 && name[end - 1] == u' ') --end;
  std::u16string_view base(name.data(), end);
  bool reserved = false;
  for (const char16_t* device : kDevices) reserved = reserved || SameTextAscii(base, device);
  if (base.size() == 4 && (SameTextAscii(base.substr(0, 3), u"COM") || SameTextAscii(base.substr(0, 3), u"LPT"))) {
    char16_t d = base[3];
    reserved = reserved || (d >= u'1' && d <= u'9') || d == u'¹' || d == u'²' || d == u'³';
  }
  if (reserved) name.insert(end, 1, u'_');
}

// A destination path as levels under a root, so that a template's "." and ".." are
// resolved without ever climbing above its drive or share.
struct DestinationPath {
  std::u16string root;  // "C:", "\\server\share", or empty (a path from the root of the drive in use)
  bool relative = false;
  std::vector<std::u16string> levels;

  std::u16string Folder() const {
    std::u16string out = root;
    for (size_t i = 0; i < levels.size(); ++i) {
      if (i > 0 || !relative) out += u'\\';
      out += levels[i];
    }
    if (levels.empty() && !relative && root.empty()) out += u'\\';
    return out;
  }
  std::u16string Join(const std::u16string& name) const {
    std::u16string folder = Folder();
    if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
    return folder + name;
  }
  void Up() {
    if (!levels.empty()) levels.pop_back();
  }
};

// Splits a folder that exists (a photo's own folder) into root and levels, as it is.
DestinationPath SplitFolder(const std::u16string& folder) {
  DestinationPath path;
  size_t i = 0;
  if (folder.size() >= 2 && IsPathSeparator(folder[0]) && IsPathSeparator(folder[1])) {
    // "\\server\share": both names belong to the root.
    size_t server = folder.find_first_of(u"\\/", 2);
    size_t share = server == std::u16string::npos ? server : folder.find_first_of(u"\\/", server + 1);
    if (share == std::u16string::npos) share = folder.size();
    path.root = u"\\\\" + folder.substr(2, share - 2);
    for (char16_t& c : path.root)
      if (c == u'/') c = u'\\';
    i = share;
  } else if (folder.size() >= 2 && folder[1] == u':') {
    path.root = folder.substr(0, 2);
    i = 2;
  } else if (folder.empty() || !IsPathSeparator(folder[0])) {
    path.relative = true;
  }
  while (i < folder.size()) {
    size_t end = i;
    while (end < folder.size() && !IsPathSeparator(folder[end])) ++end;
    std::u16string level = folder.substr(i, end - i);
    if (level == u"..")
      path.Up();
    else if (!level.empty() && level != u".")
      path.levels.push_back(level);
    i = end + 1;
  }
  return path;
}

// What a line of a template becomes below `path`: the template's own "." and ".." move
// within the path, every other level is expanded with values fit for a name, loses its
// trailing dots and blanks, is dropped when nothing is left and mended when it names a
// device. The last level of a name template is returned rather than added.
std::u16string AddTemplateLevels(DestinationPath& path, const std::u16string& templateText,
                                 const TExifFilesToListItem& entry, int sequence, bool lastIsName) {
  std::vector<std::u16string> parts;
  size_t i = 0;
  while (true) {
    size_t end = i;
    while (end < templateText.size() && !IsPathSeparator(templateText[end])) ++end;
    parts.push_back(templateText.substr(i, end - i));
    if (end >= templateText.size()) break;
    i = end + 1;
  }
  std::u16string name;
  for (size_t p = 0; p < parts.size(); ++p) {
    const bool isName = lastIsName && p + 1 == parts.size();
    if (isName) {
      name = ExpandRenameTemplateForName(parts[p], entry, sequence);
      break;
    }
    if (parts[p] == u".") continue;
    if (parts[p] == u"..") {
      path.Up();
      continue;
    }
    std::u16string level = ExpandRenameTemplateForName(parts[p], entry, sequence);
    TrimNameEnd(level);
    if (level.empty()) continue;
    MendReservedName(level);
    path.levels.push_back(std::move(level));
  }
  return name;
}

// The destination folder of a photo by the folder template.
DestinationPath DestinationFolder(const std::u16string& folderTemplate, const TExifFilesToListItem& entry,
                                  int sequence) {
  const std::u16string& source = entry.ExpandFolder;
  if (IsFolderMarker(folderTemplate)) return SplitFolder(source);
  DestinationPath path;
  std::u16string rest = folderTemplate;
  if (rest.size() >= 2 && rest[0] == u'\\' && rest[1] == u'\\') {
    // A network path: its server and share are the root, never climbed out of.
    path.root = u"\\\\";
    size_t at = 2;
    for (int part = 0; part < 2; ++part) {
      size_t end = at;
      while (end < rest.size() && !IsPathSeparator(rest[end])) ++end;
      std::u16string name = ExpandRenameTemplateForName(rest.substr(at, end - at), entry, sequence);
      TrimNameEnd(name);
      path.root += (part == 1 ? u"\\" : u"") + name;
      at = end < rest.size() ? end + 1 : end;
    }
    AddTemplateLevels(path, rest.substr(at), entry, sequence, false);
    return path;
  }
  if (!rest.empty() && rest[0] == u'\\') {
    path.root = source.substr(0, 2);  // the photo's drive
    rest.erase(0, 1);
  } else if (rest.size() >= 3 && rest[1] == u':' && rest[2] == u'\\') {
    path.root = rest.substr(0, 2);
    rest.erase(0, 3);
  } else {
    path = SplitFolder(source);
  }
  AddTemplateLevels(path, rest, entry, sequence, false);
  return path;
}

// ---- Plan: every destination, grouped into the files that share one name ----

// One file of the batch: a selected photo, or a sidecar that follows one.
struct BatchFile {
  std::u16string source;
  std::u16string sourceKey;
  std::u16string suffix;  // what follows the stem in the destination: ".JPG", ".CR3.xmp"
  int listIndex = -1;     // the photo's place in the rename lists; -1 for a sidecar
  TDateTime shot = 0;
  const TExifFilesToListItem* entry = nullptr;  // a photo's entry
  int sequence = 0;                             // a photo's sequence number
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
  // Decided by the check.
  int number = 1;
  std::vector<std::u16string> destinations;
  std::vector<Fate> fates;
};

struct Plan {
  std::vector<NameGroup> groups;  // in shooting order of their first photo
  std::vector<std::u16string> dateless;  // sources left out for want of a date
  size_t withoutMetadata = 0;
};

// True when `name` is a sidecar of the stem: the stem, then a sidecar extension alone or
// after one of the photos' extensions ("IMG_1.xmp", "IMG_1.CR3.xmp"), compared without
// case; `suffix` gets what follows the stem, as written.
bool IsSidecarOf(const std::u16string& name, const std::u16string& stemKey,
                 const std::vector<std::u16string>& photoSuffixKeys, std::u16string& suffix) {
  std::u16string key = CaseFold(name);
  if (key.size() != name.size() || key.size() <= stemKey.size() + 1 || key.compare(0, stemKey.size(), stemKey) != 0 || key[stemKey.size()] != u'.')
    return false;
  std::u16string rest = key.substr(stemKey.size());
  for (const char16_t* extension : kSidecarExtensions) {
    std::u16string ext = u"." + std::u16string(extension);
    bool match = rest == ext;
    for (const std::u16string& photoSuffix : photoSuffixKeys) match = match || rest == photoSuffix + ext;
    if (match) {
      suffix = name.substr(name.size() - rest.size());
      return true;
    }
  }
  return false;
}

// Builds every photo's destination folder and stem; entries without metadata leave both
// lists (uncounted but for the summary), photos without a date are left out when a
// template needs one. Photos sharing a folder and a name but for the extension are one
// group; the sidecars beside a group's photos join it.
Plan PlanDestinations(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                      FileSystem& fs) {
  Plan plan;
  const bool needsDate = (!IsFolderMarker(settings.folderTemplate) && TemplateUsesShotDate(settings.folderTemplate)) ||
                         (!IsFileMarker(settings.nameTemplate) && TemplateUsesShotDate(settings.nameTemplate));
  std::unordered_map<std::u16string, size_t> groupOf;  // by the key of source folder and stem
  std::unordered_set<std::u16string> withoutMetadata;   // selected sidecars among them are not left out
  int sequence = 0;
  for (size_t i = 0; i < sources.size();) {
    // The two lists are parallel; a shorter entry list ends the walk rather than the program.
    if (static_cast<int>(i) >= entries.Count()) {
      sources.resize(i);
      break;
    }
    TExifFilesToListItem* entry = entries.Get(static_cast<int>(i));
    if (!entry->IsExifExist) {
      withoutMetadata.insert(FileSystemPathKey(sources[i]));
      sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
      entries.Delete(static_cast<int>(i));
      ++plan.withoutMetadata;
      continue;
    }
    const std::u16string& source = sources[i];
    if (needsDate && !HasShotDate(*entry)) {
      // A "0000" folder would hold every undated photo of every card.
      plan.dateless.push_back(source);
      ++i;
      continue;
    }
    ++sequence;
    const std::u16string sourceStem = NameWithoutExtension(entry->Name);
    const std::u16string groupKey = FileSystemPathKey(entry->ExpandFolder) + u'\\' + CaseFold(sourceStem);
    BatchFile file{source, FileSystemPathKey(source), NameExtension(entry->Name), static_cast<int>(i),
                   entry->ExifDateTimeOriginal, entry, sequence};
    auto found = groupOf.find(groupKey);
    if (found != groupOf.end()) {
      plan.groups[found->second].files.push_back(std::move(file));
      ++i;
      continue;
    }
    NameGroup group;
    group.firstListed = static_cast<int>(i);
    group.sourceFolder = entry->ExpandFolder;
    groupOf.emplace(groupKey, plan.groups.size());
    group.files.push_back(std::move(file));
    plan.groups.push_back(std::move(group));
    ++i;
  }

  // A group's name is its first photo's in shooting order (date with sub-seconds, then path).
  auto shotOrder = [](const BatchFile& a, const BatchFile& b) {
    if (a.shot != b.shot) return a.shot < b.shot;
    return a.source < b.source;
  };
  for (NameGroup& group : plan.groups) {
    std::stable_sort(group.files.begin(), group.files.end(), shotOrder);
    group.photoCount = group.files.size();
    const BatchFile& first = group.files.front();
    const TExifFilesToListItem& entry = *first.entry;
    group.folder = DestinationFolder(settings.folderTemplate, entry, first.sequence);
    std::u16string stem;
    if (IsFileMarker(settings.nameTemplate)) {
      stem = NameWithoutExtension(entry.Name);
    } else {
      stem = AddTemplateLevels(group.folder, settings.nameTemplate, entry, first.sequence, true);
      if (first.suffix.empty()) TrimNameEnd(stem);
      // A name made of nothing (no model, an empty template) would be the extension alone.
      if (stem.empty()) stem = NameWithoutExtension(entry.Name);
    }
    std::u16string whole = stem + first.suffix;
    MendReservedName(whole);
    group.stem = whole.substr(0, whole.size() - first.suffix.size());
  }
  std::stable_sort(plan.groups.begin(), plan.groups.end(), [&](const NameGroup& a, const NameGroup& b) {
    return shotOrder(a.files.front(), b.files.front());
  });

  // Sidecars: asked of the disk once per source folder.
  std::unordered_set<std::u16string> inBatch;
  for (const NameGroup& group : plan.groups)
    for (const BatchFile& f : group.files) inBatch.insert(f.sourceKey);
  // Each folder's names with their folded forms, sorted by those: a group looks only at the
  // names that begin with its stem (a card folder of 3,000 photos asked 3,000 times over
  // took half a minute under Wine).
  struct FolderNames {
    std::vector<std::u16string> names;                  // by name
    std::vector<std::pair<std::u16string, size_t>> keys;  // folded name, place in `names`
  };
  std::map<std::u16string, FolderNames> folderNames;
  for (NameGroup& group : plan.groups) {
    std::u16string folderKey = FileSystemPathKey(group.sourceFolder);
    auto names = folderNames.find(folderKey);
    if (names == folderNames.end()) {
      FolderNames listed;
      listed.names = fs.FileNames(group.sourceFolder).value_or(std::vector<std::u16string>{});
      std::sort(listed.names.begin(), listed.names.end());
      for (size_t i = 0; i < listed.names.size(); ++i) listed.keys.emplace_back(CaseFold(listed.names[i]), i);
      std::sort(listed.keys.begin(), listed.keys.end());
      names = folderNames.emplace(folderKey, std::move(listed)).first;
    }
    const std::u16string& first = group.files.front().source;
    std::u16string firstName = first.substr(first.find_last_of(u"\\/") + 1);
    std::u16string stemKey = CaseFold(NameWithoutExtension(firstName));
    std::vector<std::u16string> photoSuffixKeys;
    for (const BatchFile& f : group.files) photoSuffixKeys.push_back(CaseFold(f.suffix));
    std::u16string folder = group.sourceFolder;
    if (!folder.empty() && !IsPathSeparator(folder.back())) folder += u'\\';
    const std::u16string prefix = stemKey + u'.';
    std::vector<size_t> candidates;
    for (auto it = std::lower_bound(names->second.keys.begin(), names->second.keys.end(), std::make_pair(prefix, size_t(0)));
         it != names->second.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
      candidates.push_back(it->second);
    std::sort(candidates.begin(), candidates.end());
    for (size_t candidate : candidates) {
      const std::u16string& name = names->second.names[candidate];
      std::u16string suffix;
      if (!IsSidecarOf(name, stemKey, photoSuffixKeys, suffix)) continue;
      BatchFile sidecar{folder + name, FileSystemPathKey(folder + name), suffix, -1, group.files.front().shot};
      if (!inBatch.insert(sidecar.sourceKey).second) continue;
      if (withoutMetadata.count(sidecar.sourceKey)) --plan.withoutMetadata;
      group.files.push_back(std::move(sidecar));
    }
  }
  return plan;
}

// ---- Check: numbers and the disk, before any file is touched ----

struct Pair {
  std::u16string source;
  std::u16string destination;
  bool samePath = false;  // a case-only rename: the source's path names the destination itself
  bool numbered = false;  // under a numbered name
  bool sidecar = false;
};

std::u16string NumberedName(const NameGroup& group, int number, const std::u16string& suffix) {
  std::u16string stem = group.stem;
  if (number > 1) stem += u" (" + PadNumber(number, 1) + u")";
  return group.folder.Join(stem + suffix);
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

struct CheckedBatch {
  std::vector<Pair> batch;  // what is copied or moved, in the order of the log
  size_t numbered = 0;      // files that got a numbered name
  size_t sidecars = 0;      // sidecars in the batch
  size_t filed = 0;         // files whose destination already holds them
  size_t inPlace = 0;       // files whose destination is the file itself: counted apart
  size_t trouble = 0;       // photos whose destination cannot be used
};

// Gives every group the first number under which each of its files either finds its name
// free or finds its own bytes already there (filed before, under the plain or a numbered
// name): a name held by another file of the batch or by a different file on disk is never
// used, so nothing is ever replaced and a burst keeps its shooting order. The disk is
// asked once per destination whose folder exists; bytes are compared only where a file of
// that name is found.
CheckedBatch CheckBatch(Plan& plan, bool copy, FileSystem& fs) {
  CheckedBatch checked;
  std::unordered_set<std::u16string> claimed;  // keys of every source and every destination given out
  for (const NameGroup& group : plan.groups)
    for (const BatchFile& f : group.files) claimed.insert(f.sourceKey);
  // Stems given out: two shots of one second never share a stem, even where their
  // extensions differ (a HEIC+MOV beside a CR3+JPEG), or they would pass for one pair.
  std::unordered_set<std::u16string> claimedStems;
  // The numbers given out per folder and stem: a burst of n shots asks for n numbers of one
  // stem, and the ones taken are passed over without building their names.
  std::unordered_map<std::u16string, std::unordered_set<int>> numbersGiven;
  FolderCheck folders(fs);

  for (NameGroup& group : plan.groups) {
    const std::u16string plainName = NumberedName(group, 1, group.files.front().suffix);
    std::u16string folder = group.folder.Folder();
    bool folderExists = false;
    if (const char16_t* problem = folders.Problem(folder, folderExists)) {
      group.trouble = problem + plainName;
      continue;
    }
    if (HasForbiddenCharacter(group.folder, group.stem + group.files.front().suffix)) {
      group.trouble = kInvalidCharacter + plainName;
      continue;
    }
    bool decided = false;
    std::unordered_set<int>& given = numbersGiven[FileSystemPathKey(folder) + u'\\' + CaseFold(group.stem)];
    for (int number = 1; number <= kMaxNumber && !decided && group.trouble.empty(); ++number) {
      if (given.count(number)) continue;
      std::vector<std::u16string> destinations;
      std::vector<Fate> fates;
      bool taken = claimedStems.count(FileSystemPathKey(NumberedName(group, number, u"|"))) > 0;
      for (const BatchFile& f : group.files) {
        if (taken) break;
        std::u16string destination = NumberedName(group, number, f.suffix);
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
              group.trouble = kCannotCheck + destination;
            } else if (state != PathState::Missing) {
              if (!fs.SameFile(f.source, destination))
                taken = true;
              else if (copy)
                fate = Fate::Filed;
            }
          }
        } else if (claimed.count(key)) {
          taken = true;
        } else if (folderExists) {
          PathState state = fs.Probe(destination);
          if (state == PathState::Unknown) {
            group.trouble = kCannotCheck + destination;
          } else if (state == PathState::Folder) {
            taken = true;
          } else if (state == PathState::File) {
            if (fs.SameContent(f.source, destination))
              fate = Fate::Filed;
            else
              taken = true;
          }
        }
        destinations.push_back(std::move(destination));
        fates.push_back(fate);
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
      if (taken || !group.trouble.empty()) continue;
      group.number = number;
      group.destinations = std::move(destinations);
      group.fates = std::move(fates);
      decided = true;
    }
    if (!group.trouble.empty()) continue;
    if (!decided) {
      group.trouble = kNoFreeName + plainName;
      continue;
    }
    for (const std::u16string& destination : group.destinations) {
      if (HasLongLevel(destination)) {
        group.trouble = kNameTooLong + destination;
        break;
      }
    }
    if (!group.trouble.empty()) continue;
    for (const std::u16string& destination : group.destinations) claimed.insert(FileSystemPathKey(destination));
    claimedStems.insert(FileSystemPathKey(NumberedName(group, group.number, u"|")));
    given.insert(group.number);
  }

  // The batch in the order of the lists, each group's files together.
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
      switch (group->fates[i]) {
        case Fate::Go:
          checked.batch.push_back({f.source, group->destinations[i], f.sourceKey == FileSystemPathKey(group->destinations[i]),
                                   group->number > 1, f.listIndex < 0});
          if (group->number > 1) ++checked.numbered;
          if (f.listIndex < 0) ++checked.sidecars;
          break;
        case Fate::Filed: ++checked.filed; break;
        case Fate::InPlace: ++checked.inPlace; break;
        case Fate::Trouble: break;
      }
    }
  }
  return checked;
}

// ---- Run: the journal, the file work, then what really happened ----

struct RunReport {
  std::vector<bool> done;               // per pair of the batch
  size_t notHandled = 0;                // left alone by a cancel
  std::vector<std::u16string> notDone;  // one line per pair that did not arrive whole
};

// Follows the file work for the journal (each pair's outcome as soon as it is known, with
// what arrived), and passes everything on to whoever else watches the run.
class JournalObserver final : public TransferObserver {
 public:
  JournalObserver(JournalWriter& journal, TransferObserver* next) : journal_(journal), next_(next) {}
  void OnProgress(const TransferProgress& progress) override {
    if (next_) next_->OnProgress(progress);
  }
  void OnPairContent(size_t index, uint64_t size, const std::string& hash) override {
    size_ = size;
    hash_ = hash;
    journal_.Arriving(index, hash, size);
    if (next_) next_->OnPairContent(index, size, hash);
  }
  void OnTemporary(size_t index, const std::u16string& path) override {
    journal_.Temporary(index, path);
    if (next_) next_->OnTemporary(index, path);
  }
  void OnPairStep(size_t index, const TransferPair& pair, PairStep step) override {
    switch (step) {
      case PairStep::Verified: journal_.Event(index, PairEvent::Verified, hash_, size_); break;
      case PairStep::Renamed: journal_.Event(index, PairEvent::Moved, hash_, size_); break;
      case PairStep::SourceRemoved: journal_.Event(index, PairEvent::Moved); break;
      case PairStep::Failed: journal_.Event(index, PairEvent::Failed); break;
      case PairStep::Planned:
      case PairStep::Written: break;  // the copy still has its temporary name
    }
    if (next_) next_->OnPairStep(index, pair, step);
  }

 private:
  JournalWriter& journal_;
  TransferObserver* next_;
  std::optional<uint64_t> size_;
  std::string hash_;
};

// Every pair's outcome comes from the copy itself: a pair is done only once its copy was
// read back and matched its source (or it was renamed within its volume), and a move's
// source went only after that. Whatever did not arrive left no partial file behind and its
// source where it was; the folders the batch created and left empty are gone. The journal
// has the whole batch before the first file is touched.
RunReport RunBatch(const std::vector<Pair>& batch, bool copy, FileSystem& fs, FileTransfer& io,
                   const RenameRunControl& control, RenameLog& log) {
  std::vector<TransferPair> pairs;
  pairs.reserve(batch.size());
  for (const Pair& p : batch) pairs.push_back({p.source, p.destination});
  TransferOptions options;
  options.observer = control.observer;
  options.cancel = control.cancel;
  std::unique_ptr<JournalWriter> journal;
  std::optional<JournalObserver> journalObserver;
  if (control.journal) {
    std::vector<JournalPair> planned;
    std::vector<std::u16string> destinations;
    for (const Pair& p : batch) {
      JournalPair& pair = planned.emplace_back();
      pair.source = p.source;
      pair.destination = p.destination;
      destinations.push_back(p.destination);
    }
    // Temporary files of runs cut short into these folders go before new ones are made.
    std::vector<std::u16string> folders;
    for (const std::u16string& d : destinations) folders.push_back(ParentFolder(d));
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    RemoveLeftTemporaries(*control.journal, fs, folders, log);
    journal = JournalWriter::Start(*control.journal, copy ? JournalAction::Copy : JournalAction::Move, planned,
                                   PlanMissingFolders(destinations, fs));
    // The photos matter more than their undo: the run goes on, and says so.
    if (!journal) log.WriteLine(kNoJournal + control.journal->Location());
    else options.observer = &journalObserver.emplace(*journal, control.observer);
  }
  std::vector<TransferFault> faults;
  options.faults = &faults;
  std::vector<PairResult> results =
      TransferFiles(pairs, copy ? TransferAction::Copy : TransferAction::Move, fs, io, options);

  RunReport report;
  report.done.assign(batch.size(), false);
  for (size_t i = 0; i < batch.size(); ++i) {
    const std::u16string& source = batch[i].source;
    switch (results[i]) {
      case PairResult::Done: report.done[i] = true; break;
      case PairResult::NotStarted:
      case PairResult::Cancelled: ++report.notHandled; break;
      case PairResult::VerifyFailed:
      case PairResult::SourceChanged: report.notDone.push_back(kVerifyFailed + source); break;
      // Both whole: nothing lost, nothing removed; a second run finds the copy filed.
      case PairResult::SourceStays: report.notDone.push_back(kCopiedSourceStays + source + FaultReason(faults[i])); break;
      // Taken away meanwhile (another run of the same card): named as such, not as still there.
      case PairResult::ReadFailed:
        if (fs.Probe(source) == PathState::Missing) {
          report.notDone.push_back(kSourceGone + source);
          break;
        }
        [[fallthrough]];
      case PairResult::WriteFailed:
      case PairResult::DestinationTaken:
        report.notDone.push_back((copy ? kNotCopied : kNotMoved) + source + FaultReason(faults[i]));
        break;
    }
  }
  if (journal) {
    const size_t done = static_cast<size_t>(std::count(report.done.begin(), report.done.end(), true));
    journal->End(report.notHandled ? "cancelled" : report.notDone.empty() ? "done" : "failed", done);
  }
  return report;
}

std::u16string Count(size_t n) { return PadNumber(static_cast<long long>(n), 1) + texts::kSummaryCount; }

// Warns of each destination folder (or, for one still to be made, its nearest existing
// parent) the system says no file can be made in. The count warned of.
size_t WarnUnwritable(const std::vector<Pair>& batch, FileSystem& fs, RenameLog& log) {
  std::unordered_set<std::u16string> asked;
  size_t warned = 0;
  for (const Pair& p : batch) {
    std::u16string folder = ParentFolder(p.destination);
    while (!folder.empty() && !fs.IsFolder(folder)) folder = ParentFolder(folder);
    if (folder.empty() || !asked.insert(FileSystemPathKey(folder)).second) continue;
    if (std::optional<TransferFault> fault = fs.CannotWriteIn(folder)) {
      log.WriteLine(kCannotWrite + folder + FaultReason(*fault));
      ++warned;
    }
  }
  return warned;
}

// The last line of a run: what went (or goes), and what was left out and why.
std::u16string Summary(bool test, bool copy, size_t handled, const CheckedBatch& checked, const Plan& plan) {
  std::u16string verb = copy ? texts::kSummaryCopy : texts::kSummaryMove;
  std::u16string line = test ? texts::kSummaryTest + verb + texts::kSummaryPlanned : texts::kSummary + verb + u" ";
  line += Count(handled);
  std::u16string detail;
  if (checked.numbered) detail += texts::kSummaryNumbered + Count(checked.numbered);
  if (checked.sidecars) detail += std::u16string(detail.empty() ? u"" : texts::kSummarySeparator) + std::u16string(texts::kSummarySidecars) + Count(checked.sidecars);
  if (!detail.empty()) line += u" (" + detail + u")";
  if (checked.filed) line += texts::kSummaryFiled + Count(checked.filed);
  if (checked.inPlace) line += texts::kSummaryItself + Count(checked.inPlace);
  const size_t leftOut = plan.withoutMetadata + plan.dateless.size() + checked.trouble;
  if (leftOut) {
    std::u16string why;
    auto add = [&](const char16_t* reason, size_t n) {
      if (!n) return;
      if (!why.empty()) why += texts::kSummarySeparator;
      why += reason + Count(n);
    };
    add(texts::kSummaryNoMetadata, plan.withoutMetadata);
    add(texts::kSummaryNoDate, plan.dateless.size());
    add(texts::kSummaryTrouble, checked.trouble);
    line += texts::kSummaryLeftOut + Count(leftOut) + u" (" + why + u")";
  }
  return line;
}

// Writes the pairs and the lines of the photos left out, in the order of the lists.
void WritePlan(const Plan& plan, const TRenameSourceList& sources, RenameLog& log) {
  std::vector<const NameGroup*> listed;
  for (const NameGroup& group : plan.groups) listed.push_back(&group);
  std::stable_sort(listed.begin(), listed.end(),
                   [](const NameGroup* a, const NameGroup* b) { return a->firstListed < b->firstListed; });
  std::unordered_set<std::u16string> dateless(plan.dateless.begin(), plan.dateless.end());
  size_t next = 0;
  auto writeDatelessBefore = [&](int listIndex) {
    for (; next < sources.size() && static_cast<int>(next) < listIndex; ++next)
      if (dateless.count(sources[next])) log.WriteLine(kNoShotDate + sources[next]);
  };
  for (const NameGroup* group : listed) {
    writeDatelessBefore(group->firstListed);
    if (!group->trouble.empty()) {
      log.WriteLine(group->trouble);
      continue;
    }
    for (size_t i = 0; i < group->files.size(); ++i) {
      if (group->fates[i] == Fate::Filed) {
        log.WriteLine(kAlreadyFiled + group->destinations[i]);
        continue;
      }
      if (group->fates[i] == Fate::InPlace) {
        log.WriteLine(kItself + group->files[i].source);
        continue;
      }
      log.WriteLine(group->files[i].source);
      log.WriteLine(group->destinations[i]);
      log.WriteLine(u"");
    }
  }
  writeDatelessBefore(static_cast<int>(sources.size()));
}

}  // namespace

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, RenameLog& log, const RenameRunControl& control) {
  return DoExifRename(settings, sources, entries, isSkipCopy, log, PlatformFileSystem(), PlatformFileTransfer(),
                      control);
}

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, RenameLog& log, FileSystem& fs, FileTransfer& io,
                           const RenameRunControl& control) {
  log.Clear();
  Plan plan = PlanDestinations(settings, sources, entries, fs);
  if (plan.groups.empty()) {
    for (const std::u16string& source : plan.dateless) log.WriteLine(kNoShotDate + source);
    log.WriteLine(kRenameNoFilesMessage);
    log.Beep();
    return RenameOutcome::NoFiles;
  }

  const bool copy = settings.actionIndex <= 0;
  const char16_t* failure = copy ? kCopyFailed : kMoveFailed;
  CheckedBatch checked = CheckBatch(plan, copy, fs);
  WritePlan(plan, sources, log);

  if (isSkipCopy) {
    // A folder the real run could not write into is said now, not found out then.
    const size_t unwritable = WarnUnwritable(checked.batch, fs, log);
    log.WriteLine(Summary(true, copy, checked.batch.size(), checked, plan));
    if (checked.trouble || unwritable) {
      log.Beep();
      return RenameOutcome::Refused;
    }
    return RenameOutcome::Planned;
  }

  RunReport report;
  if (!checked.batch.empty()) report = RunBatch(checked.batch, copy, fs, io, control, log);
  for (const std::u16string& line : report.notDone) log.WriteLine(line);
  const size_t done = static_cast<size_t>(std::count(report.done.begin(), report.done.end(), true));
  const size_t handled = done;
  // The summary counts what arrived, not what was planned.
  checked.numbered = checked.sidecars = 0;
  for (size_t i = 0; i < checked.batch.size(); ++i) {
    if (!report.done[i]) continue;
    checked.numbered += checked.batch[i].numbered;
    checked.sidecars += checked.batch[i].sidecar;
  }
  const bool failed = !report.notDone.empty() || checked.trouble > 0;
  if (!failed || handled > 0 || report.notHandled > 0)
    log.WriteLine(PadNumber(static_cast<long long>(handled), 1) + (copy ? kCopiedSuffix : kMovedSuffix));

  // The lists keep only the photos not filed, so that running again retries exactly those.
  std::unordered_set<std::u16string> settled;
  for (size_t i = 0; i < checked.batch.size(); ++i)
    if (report.done[i]) settled.insert(FileSystemPathKey(checked.batch[i].source));
  for (const NameGroup& group : plan.groups)
    for (size_t i = 0; i < group.files.size() && i < group.fates.size(); ++i)
      if (group.fates[i] == Fate::Filed || group.fates[i] == Fate::InPlace) settled.insert(group.files[i].sourceKey);
  for (size_t i = sources.size(); i-- > 0;) {
    if (static_cast<int>(i) < entries.Count() && settled.count(FileSystemPathKey(sources[i]))) {
      sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
      entries.Delete(static_cast<int>(i));
    }
  }

  if (failed) log.WriteLine(failure);
  log.WriteLine(Summary(false, copy, handled, checked, plan));
  // A stop ends the log with what was not done: those photos are all still at their source.
  if (report.notHandled > 0)
    log.WriteLine(kCancelledPrefix + PadNumber(static_cast<long long>(report.notHandled), 1) + kCancelledSuffix);
  if (failed) {
    log.Beep();
    return RenameOutcome::Failed;
  }
  return report.notHandled > 0 ? RenameOutcome::Cancelled : RenameOutcome::Done;
}

}  // namespace tess
