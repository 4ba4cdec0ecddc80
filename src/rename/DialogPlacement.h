#pragma once
// Where a dialog opens: over its owner the first time, where it was left after that, and
// never on a monitor that is no longer there. Kept apart from the window so that it is
// tested natively.
#include <optional>
#include <vector>

namespace tess {

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const ScreenRect&) const = default;
};

// stored: the placement kept from an earlier showing (its size already the dialog's);
// without one the dialog of width x height is centred over owner. workAreas: each monitor's
// work area. A stored placement that still touches a monitor is kept as it is; one whose
// monitor is gone is moved whole onto the nearest monitor; a centred dialog is kept whole on
// its owner's monitor.
ScreenRect PlaceDialog(const std::optional<ScreenRect>& stored, int width, int height, const ScreenRect& owner,
                       const std::vector<ScreenRect>& workAreas);

}  // namespace tess
