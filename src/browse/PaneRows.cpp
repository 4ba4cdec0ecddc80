#include "browse/PaneRows.h"

#include <algorithm>

namespace tess {

int PaneRowHeight(int textHeight, int iconHeight, int dpi) {
  if (dpi <= 0) dpi = 96;
  // Two pixels above and below at 96 DPI, rounded as the DPI grows.
  const int margin = (2 * dpi + 48) / 96;
  return std::max(textHeight, iconHeight) + 2 * margin;
}

}  // namespace tess
