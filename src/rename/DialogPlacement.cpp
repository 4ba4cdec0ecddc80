#include "rename/DialogPlacement.h"

#include <algorithm>
#include <cstdint>

namespace tess {

namespace {

bool Touches(const ScreenRect& a, const ScreenRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The work area whose centre lies nearest to r's centre (squared distance, in 64 bits).
const ScreenRect* Nearest(const ScreenRect& r, const std::vector<ScreenRect>& areas) {
  const ScreenRect* best = nullptr;
  int64_t bestDistance = 0;
  for (const ScreenRect& a : areas) {
    if (Touches(r, a) && (r.left + r.right) / 2 >= a.left && (r.left + r.right) / 2 < a.right &&
        (r.top + r.bottom) / 2 >= a.top && (r.top + r.bottom) / 2 < a.bottom)
      return &a;  // the one that holds its centre
    int64_t dx = (int64_t(r.left) + r.right) - (int64_t(a.left) + a.right);
    int64_t dy = (int64_t(r.top) + r.bottom) - (int64_t(a.top) + a.bottom);
    int64_t distance = dx * dx + dy * dy;
    if (!best || distance < bestDistance) {
      best = &a;
      bestDistance = distance;
    }
  }
  return best;
}

// r moved (not resized) to lie within area; its left and top edges win when it is larger.
ScreenRect KeepWithin(ScreenRect r, const ScreenRect& area) {
  const int w = r.Width(), h = r.Height();
  int left = std::max(std::min(r.left, area.right - w), area.left);
  int top = std::max(std::min(r.top, area.bottom - h), area.top);
  return ScreenRect{left, top, left + w, top + h};
}

}  // namespace

ScreenRect PlaceDialog(const std::optional<ScreenRect>& stored, int width, int height, const ScreenRect& owner,
                       const std::vector<ScreenRect>& workAreas) {
  if (stored) {
    for (const ScreenRect& a : workAreas)
      if (Touches(*stored, a)) return *stored;
    const ScreenRect* area = Nearest(*stored, workAreas);
    return area ? KeepWithin(*stored, *area) : *stored;
  }
  const int left = owner.left + (owner.Width() - width) / 2;
  const int top = owner.top + (owner.Height() - height) / 2;
  ScreenRect centred{left, top, left + width, top + height};
  const ScreenRect* area = Nearest(owner, workAreas);
  return area ? KeepWithin(centred, *area) : centred;
}

}  // namespace tess
