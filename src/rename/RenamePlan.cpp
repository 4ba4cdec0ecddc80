#include "rename/RenamePhases.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/RenameTemplate.h"

namespace tess::phases {

namespace {

// Files that travel with a photo of the same name: metadata, thumbnails, voice memos,
// edits and low-resolution video.
constexpr const char16_t* kSidecarExtensions[] = {u"xmp", u"thm", u"wav", u"aae", u"lrv"};

bool HasShotDate(const SourceRecord& entry) {
  DateTimeParts parts;
  return entry.ExifDateTimeOriginal != 0 && DecodeDateTime(entry.ExifDateTimeOriginal, parts);
}


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

// Files a camera writes for one shot beside its JPEG or HEIC: raws, movies, the image formats.
// A file among them that gives no date (a raw the reader cannot walk) is filed with its pair.
constexpr const char16_t* kShotExtensions[] = {
    u"3fr", u"ari", u"arw", u"bay", u"cr2", u"cr3", u"crw", u"dcr", u"dcs", u"dng", u"erf", u"fff", u"gpr",
    u"iiq", u"k25", u"kdc", u"mdc", u"mef", u"mos", u"mrw", u"nef", u"nrw", u"orf", u"pef", u"ptx", u"raf",
    u"raw", u"rw2", u"rwl", u"rwz", u"sr2", u"srf", u"srw", u"x3f", u"jpg", u"jpeg", u"heic", u"heif", u"hif",
    u"avif", u"tif", u"tiff", u"png", u"webp", u"psd", u"mov", u"mp4", u"m4v", u"3gp", u"mts", u"m2ts", u"avi"};

bool IsShotFile(const SourceRecord& entry) {
  if (entry.IsFolder()) return false;
  std::u16string extension = CaseFold(NameExtension(entry.Name));
  if (extension.empty()) return false;
  for (const char16_t* shot : kShotExtensions)
    if (extension == u"." + std::u16string(shot)) return true;
  return false;
}

// Two files of one stem are one shot only when their recorded times agree this closely: a
// camera counter that wrapped, or two cameras, give an older photo the same name.
constexpr double kOneShotSeconds = 2.0;

bool OneShot(TDateTime a, TDateTime b) { return std::abs(a - b) * 86400.0 <= kOneShotSeconds + 0.0005; }

// Photos in the job's order, grouped by source folder and stem; `withoutMetadata` gets the
// keys of the photos passed over for want of metadata. A dated photo joins a group of its
// stem only when it is the same shot; one without a date of its own follows the first
// group of its stem, taking its date and name.
// The groups of each source folder and stem.
using GroupsByStem = std::unordered_map<std::u16string, std::vector<size_t>>;

std::u16string GroupKeyOf(const SourceRecord& entry) {
  return FileSystemPathKey(entry.Folder) + u'\\' + CaseFold(NameWithoutExtension(entry.Name));
}

void AddGroup(Plan& plan, GroupsByStem& groupsOf, const std::u16string& key, BatchFile file) {
  NameGroup group;
  group.firstListed = file.listIndex;
  group.sourceFolder = file.entry->Folder;
  groupsOf[key].push_back(plan.groups.size());
  group.files.push_back(std::move(file));
  plan.groups.push_back(std::move(group));
}

// The photos without a date of their own: each follows the first group of its stem, else is
// passed over (no metadata), left out (a template needs the date) or grouped by its name.
void GroupUndated(const RenameJob& job, const std::vector<size_t>& undated, bool needsDate,
                  const std::vector<int>& sequenceOf, Plan& plan, GroupsByStem& groupsOf,
                  std::unordered_set<std::u16string>& withoutMetadata) {
  for (size_t i : undated) {
    const SourceRecord* entry = &job.photos[i].record;
    const std::u16string& source = job.photos[i].source;
    const std::u16string key = GroupKeyOf(*entry);
    auto found = groupsOf.find(key);
    const bool canFollow = found != groupsOf.end() && (entry->HasMetadata || IsShotFile(*entry));
    if (canFollow) {
      NameGroup& group = plan.groups[found->second.front()];
      const BatchFile& lead = group.files.front();
      BatchFile file{source, FileSystemPathKey(source), NameExtension(entry->Name), static_cast<int>(i),
                     lead.shot, lead.entry, lead.sequence};
      file.recorded = lead.recorded;
      file.follows = true;
      group.firstListed = std::min(group.firstListed, static_cast<int>(i));
      group.files.push_back(std::move(file));
      continue;
    }
    if (!entry->HasMetadata) {
      withoutMetadata.insert(FileSystemPathKey(source));
      plan.unfit.push_back(i);
      ++plan.withoutMetadata;
      continue;
    }
    if (needsDate) {
      // A "0000" folder would hold every undated photo of every card.
      plan.dateless.push_back(source);
      continue;
    }
    BatchFile file{source, FileSystemPathKey(source), NameExtension(entry->Name), static_cast<int>(i),
                   entry->ExifDateTimeOriginal, entry, sequenceOf[i]};
    file.recorded = entry->ExifDateTimeOriginal;
    AddGroup(plan, groupsOf, key, std::move(file));
  }
}

void GroupPhotos(const RenameJob& job, Plan& plan, std::unordered_set<std::u16string>& withoutMetadata,
                 const std::vector<std::optional<FoundImport>>& imported) {
  const bool needsDate = TemplatesNeedShotDate(job.folderTemplate, job.nameTemplate);
  GroupsByStem groupsOf;
  // Sequence numbers in the job's order, for the photos that go by their own metadata.
  std::vector<int> sequenceOf(job.photos.size(), 0);
  std::vector<size_t> undated;
  int sequence = 0;
  for (size_t i = 0; i < job.photos.size(); ++i) {
    const SourceRecord* entry = &job.photos[i].record;
    const std::u16string& source = job.photos[i].source;
    // Left out before it is grouped, so that its pair partner not filed yet still goes,
    // under a name of its own shot.
    if (i < imported.size() && imported[i]) {
      plan.imported.push_back({i, *imported[i]});
      continue;
    }
    const bool dated = entry->HasMetadata && HasShotDate(*entry);
    if (entry->HasMetadata && (dated || !needsDate)) sequenceOf[i] = ++sequence;
    if (!dated) {
      undated.push_back(i);
      continue;
    }
    CorrectedTime correction = job.clockRules.Correct(*entry);
    if (correction.outOfRange) {
      plan.unshiftable.push_back(source);
      continue;
    }
    const SourceRecord* filedBy = entry;
    if (correction.changed) {
      // The templates read the corrected time; the job's record keeps the recorded one.
      plan.corrected.push_back(*entry);
      plan.corrected.back().ExifDateTimeOriginal = correction.time;
      filedBy = &plan.corrected.back();
    }
    BatchFile file{source, FileSystemPathKey(source), NameExtension(entry->Name), static_cast<int>(i),
                   correction.time, filedBy, sequenceOf[i]};
    file.recorded = entry->ExifDateTimeOriginal;
    file.correction = correction;
    const std::u16string key = GroupKeyOf(*entry);
    bool joined = false;
    for (size_t g : groupsOf[key]) {
      if (!OneShot(plan.groups[g].files.front().recorded, file.recorded)) continue;
      plan.groups[g].files.push_back(std::move(file));
      joined = true;
      break;
    }
    if (!joined) AddGroup(plan, groupsOf, key, std::move(file));
  }
  GroupUndated(job, undated, needsDate, sequenceOf, plan, groupsOf, withoutMetadata);
}

// A group's name is its first photo's in shooting order (date with sub-seconds, then path).
bool ShotOrder(const BatchFile& a, const BatchFile& b) {
  if (a.shot != b.shot) return a.shot < b.shot;
  return a.source < b.source;
}

// The group's destination folder and stem, from its first photo in shooting order.
void NameGroupByTemplates(const RenameJob& job, NameGroup& group) {
  std::stable_sort(group.files.begin(), group.files.end(), ShotOrder);
  group.photoCount = group.files.size();
  const BatchFile& first = group.files.front();
  const SourceRecord& entry = *first.entry;
  group.folder = DestinationFolder(job.folderTemplate, entry, first.sequence);
  std::u16string stem;
  if (IsTemplateMarker(job.nameTemplate, MarkerKind::KeepName)) {
    stem = NameWithoutExtension(entry.Name);
  } else {
    stem = AddTemplateLevels(group.folder, job.nameTemplate, entry, first.sequence, true);
    if (first.suffix.empty()) TrimNameEnd(stem);
    // A name made of nothing (no model, an empty template) would be the extension alone.
    if (stem.empty()) stem = NameWithoutExtension(entry.Name);
  }
  std::u16string whole = stem + first.suffix;
  MendReservedName(whole);
  group.stem = whole.substr(0, whole.size() - first.suffix.size());
  if (!job.backupFolderTemplate.empty()) {
    // The same name below the backup's folder, with the same levels the name template adds.
    DestinationPath backup = DestinationFolder(job.backupFolderTemplate, entry, first.sequence);
    if (!IsTemplateMarker(job.nameTemplate, MarkerKind::KeepName))
      AddTemplateLevels(backup, job.nameTemplate, entry, first.sequence, true);
    group.backupFolder = std::move(backup);
  }
}

// Each folder's names with their folded forms, sorted by those: a group looks only at the
// names that begin with its stem (a card folder of 3,000 photos asked 3,000 times over
// took half a minute under Wine).
struct FolderNames {
  std::vector<std::u16string> names;                  // by name
  std::vector<std::pair<std::u16string, size_t>> keys;  // folded name, place in `names`
};

// Sidecars: asked of the disk once per source folder.
class SidecarFinder {
 public:
  SidecarFinder(const Plan& plan, FileSystem& fs) : fs_(fs) {
    for (const NameGroup& group : plan.groups)
      for (const BatchFile& f : group.files) inBatch_.insert(f.sourceKey);
  }
  // Adds the sidecars beside the group's photos that are in no group yet; a selected one
  // without metadata is then no longer left out.
  void AddTo(NameGroup& group, Plan& plan, const std::unordered_set<std::u16string>& withoutMetadata) {
    const FolderNames& names = NamesIn(group.sourceFolder);
    const std::u16string& first = group.files.front().source;
    std::u16string firstName = first.substr(first.find_last_of(u"\\/") + 1);
    std::u16string stemKey = CaseFold(NameWithoutExtension(firstName));
    std::vector<std::u16string> photoSuffixKeys;
    for (const BatchFile& f : group.files) photoSuffixKeys.push_back(CaseFold(f.suffix));
    std::u16string folder = group.sourceFolder;
    if (!folder.empty() && !IsPathSeparator(folder.back())) folder += u'\\';
    const std::u16string prefix = stemKey + u'.';
    std::vector<size_t> candidates;
    for (auto it = std::lower_bound(names.keys.begin(), names.keys.end(), std::make_pair(prefix, size_t(0)));
         it != names.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
      candidates.push_back(it->second);
    std::sort(candidates.begin(), candidates.end());
    for (size_t candidate : candidates) {
      const std::u16string& name = names.names[candidate];
      std::u16string suffix;
      if (!IsSidecarOf(name, stemKey, photoSuffixKeys, suffix)) continue;
      BatchFile sidecar{folder + name, FileSystemPathKey(folder + name), suffix, -1, group.files.front().shot};
      if (!inBatch_.insert(sidecar.sourceKey).second) continue;
      if (withoutMetadata.count(sidecar.sourceKey)) --plan.withoutMetadata;
      group.files.push_back(std::move(sidecar));
    }
  }

 private:
  const FolderNames& NamesIn(const std::u16string& sourceFolder) {
    std::u16string folderKey = FileSystemPathKey(sourceFolder);
    auto names = folderNames_.find(folderKey);
    if (names == folderNames_.end()) {
      FolderNames listed;
      listed.names = fs_.FileNames(sourceFolder).value_or(std::vector<std::u16string>{});
      std::sort(listed.names.begin(), listed.names.end());
      for (size_t i = 0; i < listed.names.size(); ++i) listed.keys.emplace_back(CaseFold(listed.names[i]), i);
      std::sort(listed.keys.begin(), listed.keys.end());
      names = folderNames_.emplace(folderKey, std::move(listed)).first;
    }
    return names->second;
  }

  FileSystem& fs_;
  std::unordered_set<std::u16string> inBatch_;
  std::map<std::u16string, FolderNames> folderNames_;
};

}  // namespace

Plan PlanDestinations(const RenameJob& job, FileSystem& fs, const std::vector<std::optional<FoundImport>>& imported) {
  Plan plan;
  std::unordered_set<std::u16string> withoutMetadata;  // selected sidecars among them are not left out
  GroupPhotos(job, plan, withoutMetadata, imported);
  for (NameGroup& group : plan.groups) NameGroupByTemplates(job, group);
  std::stable_sort(plan.groups.begin(), plan.groups.end(), [](const NameGroup& a, const NameGroup& b) {
    return ShotOrder(a.files.front(), b.files.front());
  });
  SidecarFinder sidecars(plan, fs);
  for (NameGroup& group : plan.groups) sidecars.AddTo(group, plan, withoutMetadata);
  return plan;
}

}  // namespace tess::phases
