#pragma once
// ISO base media files (told by their leading `ftyp` box): HEIF, HEIC and AVIF images,
// Canon CR3 raws, and MP4, MOV, M4V and 3GP videos. The walk reads box headers and the few
// small boxes that carry metadata; everything else, the media data above all, is skipped by
// seeking, so a video of any size costs a few kilobytes of reading.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exif/Streams.h"
#include "platform/DateTime.h"

namespace tess {

// What one walk found. Blocks are copied out of the file; every one is at most
// kMaxMediaBlockSize bytes.
struct TIsoMediaFindings {
  // The HEIF `Exif` item, from just after its header offset on (an Exif block: a TIFF
  // structure, perhaps behind "Exif\0\0").
  std::vector<uint8_t> exifItem;
  // Canon's CMT1 (a TIFF structure whose first directory is the main one) and CMT2 (a TIFF
  // structure whose first directory holds the Exif sub-directory's tags).
  std::vector<uint8_t> canonMain, canonDetails;
  // A movie's own values, only from a file that holds a video track.
  std::optional<DateTimeParts> zonedDate;  // com.apple.quicktime.creationdate, its wall-clock time
  uint64_t movieCreation = 0;              // mvhd: seconds since 1904-01-01 00:00 UTC; 0 = none
  std::u16string keysMake, keysModel;      // mdta keys com.apple.quicktime.make / .model
  std::u16string udtaMake, udtaModel;      // udta ©mak / ©mod
};

constexpr size_t kMaxMediaBlockSize = 8u << 20;

// True when the stream's position holds an `ftyp` box; the position is left unchanged.
bool HasIsoMediaHeader(TStream& stream);
// Walks the file from the stream's position (which holds the `ftyp` box). Never raises on a
// damaged file: a fault ends the walk of its level with what was found before it.
void ReadIsoMedia(TStream& stream, TIsoMediaFindings& findings);

// "2023-05-01T12:34:56+09:00" and its kin (any zone, or none, fractions of a second
// ignored) as the wall-clock time it states; false for anything else.
bool ParseZonedDateTime(std::string_view text, DateTimeParts& parts);

// The computer's local time of a UTC instant given as a FILETIME count (100 ns since
// 1601-01-01), with the daylight-saving rule of that instant. The platform supplies it;
// tests replace it with ScopedMovieTimeConversion.
using TUtcToLocal = bool (*)(uint64_t fileTime, TDateTime& local);
bool PlatformUtcToLocal(uint64_t fileTime, TDateTime& local);
class ScopedMovieTimeConversion {
 public:
  explicit ScopedMovieTimeConversion(TUtcToLocal conversion);
  ~ScopedMovieTimeConversion();
  ScopedMovieTimeConversion(const ScopedMovieTimeConversion&) = delete;
  ScopedMovieTimeConversion& operator=(const ScopedMovieTimeConversion&) = delete;

 private:
  TUtcToLocal previous_;
};
// A movie header's creation time (seconds since 1904 UTC) in local time; false for 0.
bool MovieTimeToLocal(uint64_t secondsSince1904, TDateTime& local);
// The same time's figures as written, converted by no zone: what a camera that writes its
// own local time there meant. False for 0 and for garbage, as above.
bool MovieTimeAsWritten(uint64_t secondsSince1904, TDateTime& written);

}  // namespace tess
