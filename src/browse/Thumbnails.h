#pragma once
// The photos' small pictures for the thumbnail view: read on worker threads (the stored
// picture first, the file itself decoded only when it stores none), turned as shot, and
// kept in a cache of a fixed number of slots that lets the least recently shown go.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <span>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Dpi.h"
#include "platform/WakeUp.h"
#include "platform/WorkerThreads.h"
#include "exif/Thumbnail.h"
#include "platform/ImageDecode.h"

namespace tess {

// The picture as shot from the picture as stored: mirrored left-right first, then turned
// clockwise by quarter turns.
Bitmap TurnBitmap(const Bitmap& stored, OrientationTurn turn);

// The side of a thumbnail's square at a DPI: 96 pixels at 100 % display scale.
inline int ThumbnailSide(int dpi) { return ScaleToDpi(96, dpi); }

// Whether a file's name tells a picture the thumbnail view asks a picture for (photos, raws,
// the common picture formats); other files show their icon without being opened.
bool IsPictureFileName(std::u16string_view name);
// A file name's extension without its dot, ASCII letters in lower case; empty when none.
std::u16string LowerCaseExtension(std::u16string_view name);
// Whether a file's name tells a camera's raw file.
bool IsRawFileName(std::u16string_view name);

// The JPEG shot with a raw (RAW+JPEG): the JPEG of the raw's stem in the same folder, the
// stems compared without regard to ASCII case. A raw that stores no picture shows its JPEG's.
class JpegPairs {
 public:
  void Clear() { jpegOfStem_.clear(); }
  // A name of the folder; only JPEGs are kept.
  void Add(std::u16string_view name);
  // The JPEG beside rawName; empty when rawName is no raw or has none.
  std::u16string PairOf(std::u16string_view rawName) const;

 private:
  std::unordered_map<std::u16string, std::u16string> jpegOfStem_;  // lower-case stem -> name
};

// Where a thumbnail came from (the benchmark and the tests tell them apart).
enum class ThumbnailOrigin : uint8_t { None, Stored, File };
struct ThumbnailPicture {
  Bitmap bitmap;  // fits box x box, turned as shot; empty when the file has no picture
  ThumbnailOrigin origin = ThumbnailOrigin::None;
  int orientation = 1;
};

// The stored picture of the file at path, decoded to fit box x box and turned. With
// decodeFile, a file that stores none is decoded itself. Never raises.
ThumbnailPicture ReadThumbnail(const std::u16string& path, int box, ImageDecoder& decoder, bool decodeFile);
// A stored picture already read (with the date, from the same bytes) decoded and turned the
// same way. Never raises.
ThumbnailPicture DecodeStoredPicture(std::span<const uint8_t> jpeg, int orientation, int box, ImageDecoder& decoder);

// Which pictures are held: keys (a row's record) to slots 0..capacity-1. Using a key's slot
// makes it the most recent; a new key takes a free slot or the least recent one's.
class ThumbnailSlots {
 public:
  explicit ThumbnailSlots(int capacity) : capacity_(capacity) {}
  int Capacity() const { return capacity_; }
  // The key's slot, or -1; a hit counts as a use.
  int Find(const void* key);
  // A slot for key (which must not hold one); the key that held it before is let go.
  int Take(const void* key);
  void Clear();
  int Size() const { return static_cast<int>(slotOf_.size()); }

 private:
  int capacity_;
  std::list<std::pair<const void*, int>> recent_;  // most recent first
  std::unordered_map<const void*, std::list<std::pair<const void*, int>>::iterator> slotOf_;
};

// The reads: the window asks for rows as it draws them, and the newest asks go first (the
// rows in view after a scroll). Files without a stored picture are decoded only when no
// stored picture waits. Another folder (Start) drops what the last one left.
class ThumbnailReads {
 public:
  struct Result {
    const void* key = nullptr;
    ThumbnailPicture picture;
  };
  using Reader = std::function<ThumbnailPicture(const std::u16string& path, int box, bool decodeFile)>;
  using BytesReader = std::function<ThumbnailPicture(std::span<const uint8_t> jpeg, int orientation, int box)>;

  // ready: as MetadataReads' (from a worker, once per batch; it must only post a wake-up).
  // fromBytes decodes the pictures handed over by AskDecode.
  ThumbnailReads(Reader reader, std::function<void()> ready, int threads = 2, BytesReader fromBytes = nullptr);
  ~ThumbnailReads();
  ThumbnailReads(const ThumbnailReads&) = delete;
  ThumbnailReads& operator=(const ThumbnailReads&) = delete;

  // A new folder (ending with a separator) and box: every ask and result so far is dropped.
  void Start(std::u16string folder, int box);
  // Reads the picture of name for key, before the asks made earlier. pair: the JPEG of a
  // raw (RAW+JPEG), whose picture stands in when the raw has none.
  void Ask(const void* key, std::u16string_view name, std::u16string_view pair = {});
  // The same with the stored picture already read: decoded without opening the file, which
  // is read only when the picture fails.
  void AskDecode(const void* key, std::u16string_view name, std::shared_ptr<const HeadPicture> picture,
                 std::u16string_view pair = {});
  // The results since the last call.
  std::vector<Result> Take();
  // Asks not yet answered (the window's thread keeps asking only once per key).
  int Waiting() const;

 private:
  struct Job {
    const void* key;
    std::u16string name, pair;
    bool decodeFile;
    std::shared_ptr<const HeadPicture> head;
  };
  void Work();

  Reader reader_;
  BytesReader fromBytes_;
  WakeUp ready_;
  mutable std::mutex mutex_;
  std::u16string folder_;
  int box_ = 96;
  uint64_t run_ = 0;
  std::deque<Job> stored_, files_;  // front first
  std::vector<Result> results_;
  int busy_ = 0;
  bool stopping_ = false;
  WorkerThreads threads_;  // last
};

}  // namespace tess
