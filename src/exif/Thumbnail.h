#pragma once
// The small picture a camera stores in its file, found without decoding anything: the Exif
// thumbnail of a JPEG, the smallest fitting preview JPEG of a TIFF-based raw, the THMB box
// of a CR3, the `thmb` item of a HEIF/AVIF file. Only offsets are read from the file, and
// every one is checked against the file's size before it is used; a file that lies about
// its picture simply has none.
#include <cstdint>
#include <span>
#include <vector>

#include "exif/Streams.h"

namespace tess {

enum class StoredPictureKind : uint8_t {
  None,
  Jpeg,      // a whole JPEG stream (SOI first)
  HeifItem,  // a HEVC or AV1 coded item: only the system's codec can make a picture of it
};

struct StoredPicture {
  StoredPictureKind kind = StoredPictureKind::None;
  int64_t offset = 0, length = 0;
  int width = 0, height = 0;  // when known (a JPEG's frame header); 0 otherwise
  explicit operator bool() const { return kind != StoredPictureKind::None; }
};

struct PictureLocation {
  StoredPicture picture;
  int orientation = 1;  // the Exif Orientation, 1 to 8 (anything else reads as 1)
};

// A picture's claimed size is believed only up to this: a stored thumbnail or preview of
// a photo is never larger, and nothing is ever allocated from a bigger claim.
constexpr int kMaxStoredPictureSide = 12000;
constexpr int64_t kMaxStoredPictureBytes = 32 << 20;

// Finds the stored picture from the stream's start. minSide: a raw's previews smaller than
// this on their longer side are passed over for the smallest one that reaches it. Never
// raises: a damaged file has no picture.
PictureLocation LocateStoredPicture(TStream& stream, int minSide = 160);

// The picture's bytes, checked once more: a JPEG that starts with SOI and has a frame header
// of a sensible size. Empty when any check fails.
std::vector<uint8_t> ReadStoredPicture(TStream& stream, const StoredPicture& picture);

// The frame size of a JPEG held in bytes (the first SOFn marker); false when there is no
// baseline, extended or progressive frame header (lossless JPEG is not a picture here).
bool JpegFrameSize(std::span<const uint8_t> bytes, int& width, int& height);

// The pixel size a picture file claims in its header: a JPEG's first frame header, wherever
// its segments put it, or the fixed header of a PNG, GIF, BMP or WebP. Nothing is decoded.
enum class PictureClaim : uint8_t {
  Known,     // width and height are set
  Unknown,   // no format read here (TIFF, a raw, HEIF...): only its codec knows
  Damaged,   // a format read here whose header is broken or missing
};
PictureClaim ClaimedPictureSize(TStream& stream, int& width, int& height);

// Whether the whole file is worth handing to the system's codec: its claimed size lies within
// the caps and its bytes could carry it. Some codecs (Wine's) decode the whole picture as soon
// as they are given it, so a file of a few hundred bytes claiming 50,000 x 30,000 pixels would
// cost gigabytes before the codec's size could be asked. Unknown formats are left to the
// codec's own checks.
bool WorthDecodingWhole(TStream& stream);

// The stored picture of a file found in its first bytes alone (what the metadata read
// already fetched), so that a photo's thumbnail costs no second read. A picture is taken
// only when it lies whole inside those bytes, is at most maxBytes long and, unless they are
// the whole file or a JPEG's, reaches minSide (a raw may keep a fitting preview further on,
// which the file read then finds). Empty jpeg otherwise. Never raises.
struct HeadPicture {
  std::vector<uint8_t> jpeg;
  int orientation = 1;
};
HeadPicture StoredPictureInHead(std::span<const uint8_t> head, int64_t fileSize, int minSide,
                                size_t maxBytes = 64 * 1024);

// How to turn a picture as stored into the picture as shot, for an Exif Orientation: rotate
// clockwise by quarterTurns after mirroring left-right when mirror is set.
struct OrientationTurn {
  int quarterTurns = 0;  // 0 to 3
  bool mirror = false;
  bool SwapsSides() const { return quarterTurns % 2 == 1; }
};
OrientationTurn TurnForOrientation(int orientation);

}  // namespace tess
