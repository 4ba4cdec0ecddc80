#pragma once
// Whether the destinations of a run have room: the bytes going to each volume, added up as
// the volume will store them, against what it has free. Asked before the first file is
// touched, so that a full disk refuses the run instead of failing it half-way.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileTransfer.h"
#include "rename/RenamePhases.h"

namespace tess {

// One file a run will write: where it goes and the bytes it takes there.
struct SpaceDemand {
  std::u16string destination;
  uint64_t bytes = 0;
};

// A volume's share of a run.
struct VolumeNeed {
  // As the system names it ("D:\"); for a volume that cannot be told, the destination's drive.
  std::u16string root;
  uint64_t needed = 0;     // the room it must have free: the files, each rounded up to whole
                           // clusters, and the margin
  uint64_t freeBytes = 0;  // what it has free; 0 when not known
  bool known = false;      // the system told its free bytes
  bool isShort = false;    // known, and less free than needed
};

// The free room asked beyond the files' clusters (only of a volume that gets any bytes).
uint64_t SpaceMargin(uint64_t clusters);

// The volumes the destinations lie on, in the order first met, each with what it needs and
// whether it falls short. Files bound for one volume are added up, whichever folders they
// go to. A volume whose space cannot be told is never short: the check never refuses for
// want of an answer.
std::vector<VolumeNeed> CheckSpace(const std::vector<SpaceDemand>& demands, FileSystem& fs);

// What the batch writes: each copy its source's size, a move the same unless it stays on
// its volume (a rename, which takes no new room), and each backup its source's size.
std::vector<SpaceDemand> BatchSpaceDemands(const std::vector<phases::Pair>& batch, bool copy, FileSystem& fs,
                                           FileTransfer& io);

// A size as Explorer gives it: 1024-based, with one decimal, in the largest unit of TB, GB,
// MB and KB it reaches ("12.3 GB"); rounded up or down as asked, so that a need is never
// shown smaller than it is, nor room larger.
std::u16string FormatVolumeSize(uint64_t bytes, bool roundUp);
// "空き容量が足りません: D:\ (必要 12.3 GB、空き 8.1 GB)"
std::u16string SpaceShortLine(const VolumeNeed& need);
// A test's line per volume: what it needs, and what it has when that is known.
std::u16string SpaceNeededLine(const VolumeNeed& need);

}  // namespace tess
