#include "rename/SpaceCheck.h"

#include <map>
#include <unordered_map>

#include "platform/DestinationFolders.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"

namespace tess {

namespace {

// A cluster size the system did not tell: the usual one of NTFS and exFAT volumes of today.
constexpr uint64_t kDefaultCluster = 4096;
constexpr uint64_t kMargin = 16ull << 20;

uint64_t RoundUp(uint64_t bytes, uint64_t cluster) {
  if (bytes == 0) return 0;  // an empty file takes a directory entry only
  uint64_t clusters = bytes / cluster + (bytes % cluster != 0);
  return clusters > UINT64_MAX / cluster ? UINT64_MAX : clusters * cluster;
}

uint64_t AddCapped(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

// The drive or share a path names, for a volume the system could not tell about.
std::u16string RootOfPath(const std::u16string& path) {
  if (path.size() >= 2 && path[1] == u':') return path.substr(0, 2) + u"\\";
  if (path.size() > 2 && (path[0] == u'\\' || path[0] == u'/') && path[1] == path[0]) {
    size_t server = path.find_first_of(u"\\/", 2);
    if (server == std::u16string::npos) return path;
    size_t share = path.find_first_of(u"\\/", server + 1);
    return share == std::u16string::npos ? path + u"\\" : path.substr(0, share + 1);
  }
  if (!path.empty() && (path[0] == u'/' || path[0] == u'\\')) return path.substr(0, 1);
  return {};
}

}  // namespace

uint64_t SpaceMargin(uint64_t clusters) {
  // The clusters count the files' data only. Their directory entries and the file
  // system's own records, the folders the run makes and the journal it may keep on the
  // same disk take room too, and another program may write meanwhile: 1 % covers the
  // records of thousands of small files, 16 MiB a disk nearly full before the run. A disk
  // left without a byte to spare would fail the next program that writes to it.
  if (clusters == 0) return 0;
  return AddCapped(clusters / 100, kMargin);
}

std::vector<VolumeNeed> CheckSpace(const std::vector<SpaceDemand>& demands, FileSystem& fs) {
  struct Volume {
    VolumeNeed need;
    uint64_t cluster = kDefaultCluster;
    uint64_t clusters = 0;
  };
  std::vector<Volume> volumes;
  // Asked once per destination folder: a run of thousands of photos goes to a few.
  std::unordered_map<std::u16string, size_t> volumeOfFolder;
  // Two volumes may share a root's name (two mounts under Wine's one drive): their sizes
  // tell them apart.
  std::map<std::pair<std::u16string, uint64_t>, size_t> volumeByRoot;
  for (const SpaceDemand& demand : demands) {
    std::u16string folder = ParentFolder(demand.destination);
    if (folder.empty()) folder = demand.destination;
    const std::u16string folderKey = FileSystemPathKey(folder);
    auto found = volumeOfFolder.find(folderKey);
    size_t index;
    if (found != volumeOfFolder.end()) {
      index = found->second;
    } else {
      std::optional<VolumeSpace> space = fs.SpaceOf(folder);
      std::pair<std::u16string, uint64_t> key =
          space ? std::pair{FileSystemPathKey(space->root), space->totalBytes}
                : std::pair{u"?" + FileSystemPathKey(RootOfPath(folder)), uint64_t{0}};
      auto byRoot = volumeByRoot.find(key);
      if (byRoot != volumeByRoot.end()) {
        index = byRoot->second;
      } else {
        Volume volume;
        volume.need.root = space ? space->root : RootOfPath(folder);
        volume.need.known = space.has_value();
        if (space) {
          volume.need.freeBytes = space->freeBytes;
          if (space->clusterBytes > 0) volume.cluster = space->clusterBytes;
        }
        index = volumes.size();
        volumes.push_back(std::move(volume));
        volumeByRoot.emplace(std::move(key), index);
      }
      volumeOfFolder.emplace(folderKey, index);
    }
    Volume& volume = volumes[index];
    volume.clusters = AddCapped(volume.clusters, RoundUp(demand.bytes, volume.cluster));
  }
  std::vector<VolumeNeed> needs;
  for (Volume& volume : volumes) {
    volume.need.needed = AddCapped(volume.clusters, SpaceMargin(volume.clusters));
    volume.need.isShort = volume.need.known && volume.need.freeBytes < volume.need.needed;
    needs.push_back(std::move(volume.need));
  }
  return needs;
}

std::vector<SpaceDemand> BatchSpaceDemands(const std::vector<phases::Pair>& batch, bool copy, FileSystem& fs,
                                           FileTransfer& io) {
  std::vector<SpaceDemand> demands;
  demands.reserve(batch.size());
  // One answer per pair of folders: asking the system costs a walk up each path.
  std::map<std::pair<std::u16string, std::u16string>, bool> sameVolume;
  for (const phases::Pair& pair : batch) {
    // A backup is always a copy: it takes the photo's bytes on its own volume.
    const std::optional<uint64_t> size = pair.backup.empty() && pair.mainFiled ? std::nullopt : fs.FileSize(pair.source);
    // Filed at its destination before: nothing goes there.
    if (pair.mainFiled) {
      demands.push_back({pair.backup, size.value_or(0)});
      continue;
    }
    SpaceDemand demand{pair.destination, 0};
    bool renamed = false;
    if (!copy) {
      if (pair.samePath) {
        renamed = true;
      } else {
        auto key = std::pair{FileSystemPathKey(ParentFolder(pair.source)), FileSystemPathKey(ParentFolder(pair.destination))};
        auto found = sameVolume.find(key);
        if (found == sameVolume.end()) found = sameVolume.emplace(key, io.SameVolume(pair.source, pair.destination)).first;
        renamed = found->second;
      }
    }
    if (!renamed) demand.bytes = size.value_or(0);
    demands.push_back(std::move(demand));
    if (!pair.backup.empty()) demands.push_back({pair.backup, size.value_or(0)});
  }
  return demands;
}

std::u16string FormatVolumeSize(uint64_t bytes, bool roundUp) {
  static constexpr std::pair<uint64_t, const char16_t*> kUnits[] = {
      {1ull << 40, u" TB"}, {1ull << 30, u" GB"}, {1ull << 20, u" MB"}, {1ull << 10, u" KB"}};
  size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && bytes < kUnits[unit].first) ++unit;
  const uint64_t size = kUnits[unit].first;
  // In tenths of the unit, without overflow: the remainder is below the unit (at most 2^40).
  const uint64_t scaledRest = bytes % size * 10;
  uint64_t tenths = bytes / size * 10 + scaledRest / size;
  if (roundUp && scaledRest % size != 0) ++tenths;
  return PadNumber(static_cast<long long>(tenths / 10), 1) + u"." + PadNumber(static_cast<long long>(tenths % 10), 1) +
         kUnits[unit].second;
}

std::u16string SpaceShortLine(const VolumeNeed& need) {
  return texts::kSpaceShort + need.root + texts::kSpaceShortNeeded + FormatVolumeSize(need.needed, true) +
         texts::kSpaceShortFree + FormatVolumeSize(need.freeBytes, false) + u")";
}

std::u16string SpaceNeededLine(const VolumeNeed& need) {
  std::u16string line = texts::kSpaceNeeded + need.root + u" " + FormatVolumeSize(need.needed, true);
  if (!need.known) return line + texts::kSpaceFreeUnknown;
  return line + texts::kSpaceNeededFree + FormatVolumeSize(need.freeBytes, false) + u")";
}

}  // namespace tess
