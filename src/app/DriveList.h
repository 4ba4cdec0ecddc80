#pragma once
// The entries of the drive drop-down and the rules by which a rebuild selects one: built
// from the present-drive mask and what each drive's volume answered, so the rules are the
// same whichever system supplies the answers.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tess {

struct DriveEntry {
  std::u16string root;   // "E:\"
  bool readable = false; // the volume information could be read: the entry has a label and an icon
  std::u16string label;  // cut at its first NUL
  int image = -1;        // position among the entries that have an image; -1 without one
  // What the drop-down shows: "E:\ [PHOTOS]", "E:\ []" for an empty label, the bare root
  // for a drive whose volume cannot be read.
  std::u16string Text() const;
};

// The volume label a drive answers, or nothing when its volume information cannot be read.
using VolumeLabelQuery = std::function<std::optional<std::u16string>(const std::u16string& root)>;

// One entry for each bit set in the mask (bit 0 is A:, bit 25 is Z:), in letter order; image
// positions counted over the readable entries only.
std::vector<DriveEntry> BuildDriveEntries(uint32_t driveMask, const VolumeLabelQuery& labelOf);

// The selection a rebuild leaves. selectIndex is what the drop-down is told to select
// (-1: nothing, when the remembered position lies beyond the new last entry); result is the
// rebuild's answer (-1 when neither the folder rule nor the position rule chose).
struct DriveSelection {
  int selectIndex = -1;
  int result = -1;
};
// entries: the new texts. selectFolder: the folder whose drive a first build selects (its first
// three characters compared exactly with an entry's). remembered: the position selected before
// the rebuild, -1 before the first build; every later rebuild keeps the selection there.
DriveSelection ChooseDriveSelection(const std::vector<std::u16string>& entryTexts, const std::u16string& selectFolder,
                                    int remembered);

// The drive letter of a path ("E:\DCIM\" gives 'E'), upper-cased; 0 when the path does not
// start with a drive letter and a colon.
char16_t DriveLetterOf(const std::u16string& path);

// True when path lies on the drive of the given letter (ASCII case ignored).
bool IsOnDrive(const std::u16string& path, char16_t letter);

// Where the panes go when the folder they show has vanished (a card pulled, a drive gone):
// the entry at preferred if its root still exists, else the first entry whose root exists;
// -1 when none does.
int FallbackDriveEntry(const std::vector<std::u16string>& entryTexts, int preferred,
                       const std::function<bool(const std::u16string& root)>& rootExists);

}  // namespace tess
