#pragma once
// Seekable byte streams for the metadata reader: exact and non-exact reads, a size and a
// position. The reader distrusts every number it finds, so the streams never grow and a
// seek past the end is allowed (the next read simply comes up short).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "exif/ExifErrors.h"

namespace tess {

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes at the position and moves past them; returns how many arrived.
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual int64_t Size() = 0;
  int64_t Position() const { return position_; }
  // Any position, also beyond the end; a negative one counts as 0.
  void SetPosition(int64_t position) { position_ = position < 0 ? 0 : position; }
  void Seek(int64_t delta) { SetPosition(position_ + delta); }
  // Reads exactly count bytes or raises the stream read error.
  void ReadBuffer(void* buffer, size_t count);
  // Bytes left between the position and the end (0 when beyond it).
  int64_t Remaining() {
    int64_t size = Size();
    return position_ < size ? size - position_ : 0;
  }

 protected:
  int64_t position_ = 0;
};

// A stream over bytes in memory: either its own vector or a view of someone else's bytes
// (which must outlive it).
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : own_(std::move(bytes)), data_(own_.data()), size_(own_.size()) {}
  TMemoryStream(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  int64_t Size() override { return static_cast<int64_t>(size_); }
  const uint8_t* Memory() const { return data_; }

 private:
  std::vector<uint8_t> own_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// A file opened for reading while others may read it too, but not write it. Raises the
// file-open error when the file cannot be opened (missing, a folder, locked).
class TFileStream final : public TStream {
 public:
  explicit TFileStream(const std::u16string& fileName);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  int64_t Size() override;
  // The file's first block while it is still the one held (every read so far fell inside
  // it): what a metadata read fetched, to look at again without another request. Empty
  // otherwise.
  std::span<const uint8_t> HeldHead() const {
    return blockStart_ == 0 ? std::span<const uint8_t>(block_.bytes.data(), blockLength_) : std::span<const uint8_t>();
  }

 private:
  struct Handle;
  // Reads at an absolute offset with the platform's positional read (no seek call).
  size_t ReadAt(int64_t offset, void* buffer, size_t count);

  std::unique_ptr<Handle> handle_;
  int64_t size_ = -1;
  // One block of the file, fetched in one request: the first read brings the head (the
  // container probes, the JPEG markers and, for nearly every photo, the whole Exif segment);
  // a read that misses it brings the block at its position. Each request to a card or, under
  // Wine, to the server costs far more than the bytes, so a photo costs one request. The
  // system's read-ahead is turned off for the file on every platform: it would fetch image
  // data that nobody reads, and in windows that grow, one more request at a time.
  static constexpr size_t kBlockSize = 64 * 1024;
  // The block's bytes go back to the thread when the stream ends, for its next stream: a
  // listing opens thousands of files in turn, and a fresh 64 KiB for each, amid the small
  // values that stay, leaves holes in the heap that several reading threads make it grow by.
  struct Block {
    std::vector<uint8_t> bytes;
    Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block();
    uint8_t* Data();  // kBlockSize bytes
  };
  Block block_;
  int64_t blockStart_ = 0;
  size_t blockLength_ = 0;
};

}  // namespace tess
