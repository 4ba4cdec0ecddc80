// UTC to local time on Windows with the daylight-saving rule of the instant itself, as
// Explorer shows a video's media-created date (FileTimeToLocalFileTime would apply today's).
#include <windows.h>

#include "exif/IsoMedia.h"

namespace tess {

bool PlatformUtcToLocal(uint64_t fileTime, TDateTime& local) {
  local = 0;
  FILETIME utc{DWORD(fileTime & 0xFFFFFFFFu), DWORD(fileTime >> 32)};
  SYSTEMTIME utcParts, localParts;
  if (!FileTimeToSystemTime(&utc, &utcParts)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &localParts)) return false;
  TDateTime value;
  if (!TryEncodeDateTime({localParts.wYear, localParts.wMonth, localParts.wDay, localParts.wHour, localParts.wMinute,
                          localParts.wSecond, localParts.wMilliseconds},
                         value))
    return false;
  local = value;
  return true;
}

}  // namespace tess
