// UTC to local time off Windows: localtime_r applies the zone's rule for that instant.
#include "exif/IsoMedia.h"
#include "platform/DirectoryList.h"

namespace tess {

bool PlatformUtcToLocal(uint64_t fileTime, TDateTime& local) { return FileTimeToLocalDateTime(fileTime, local); }

}  // namespace tess
