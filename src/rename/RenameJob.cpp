#include "rename/RenameJob.h"

namespace tess {

std::vector<RenamePhoto> PhotosLeft(const std::vector<RenamePhoto>& photos, const SettledPhotos& settled) {
  std::vector<bool> gone(photos.size(), false);
  for (const std::vector<size_t>* list : {&settled.filed, &settled.withoutMetadata})
    for (size_t i : *list)
      if (i < gone.size()) gone[i] = true;
  std::vector<RenamePhoto> left;
  for (size_t i = 0; i < photos.size(); ++i)
    if (!gone[i]) left.push_back(photos[i]);
  return left;
}

}  // namespace tess
