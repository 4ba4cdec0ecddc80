#include "rename/RenamePhases.h"

#include <algorithm>
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

bool HasShotDate(const TExifFilesToListItem& entry) {
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

}  // namespace

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

}  // namespace tess::phases
