#include "exif/Streams.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"
#include "platform/ThreadEnd.h"

namespace tess {

EReaderException::EReaderException(std::u16string message) : message_(std::move(message)), utf8_(ToUtf8(message_)) {}
EReadError::EReadError() : EStreamError(u"ストリームからの読み取りエラー") {}
EFOpenError::EFOpenError(const std::u16string& fileName, const std::u16string& reason)
    : EStreamError(u"ファイル " + fileName + u" は開けません。 " + reason + u" ") {}
EInvalidJPEGHeader::EInvalidJPEGHeader() : EVexlExifException(u"JPEG header is not valid") {}
EInvalidPSDHeader::EInvalidPSDHeader() : EVexlExifException(u"Photoshop (PSD) file header is not valid") {}
EInvalidTiffData::EInvalidTiffData() : EVexlExifException(u"Invalid TIFF data") {}

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (count == 0) return;
  if (Read(buffer, count) != count) throw EReadError();
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= static_cast<int64_t>(size_)) return 0;
  size_t n = std::min(count, size_ - static_cast<size_t>(position_));
  if (n) std::memcpy(buffer, data_ + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

namespace {
// A block let go by the last stream on this thread, kept for the next one.
std::vector<uint8_t>& SpareBlock() { return PerThread<std::vector<uint8_t>>(); }
}  // namespace

TFileStream::Block::~Block() {
  if (std::vector<uint8_t>& spare = SpareBlock(); spare.empty()) spare.swap(bytes);
}

uint8_t* TFileStream::Block::Data() {
  if (bytes.empty()) bytes.swap(SpareBlock());
  bytes.resize(kBlockSize);
  return bytes.data();
}

size_t TFileStream::Read(void* buffer, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    const int64_t blockEnd = blockStart_ + static_cast<int64_t>(blockLength_);
    if (position_ >= blockStart_ && position_ < blockEnd) {
      size_t n = std::min(count - done, static_cast<size_t>(blockEnd - position_));
      std::memcpy(out + done, block_.bytes.data() + (position_ - blockStart_), n);
      done += n;
      position_ += static_cast<int64_t>(n);
      continue;
    }
    // Nothing lies at or beyond the end: a read there is short without asking the system.
    if (size_ >= 0 && position_ >= size_) break;
    // Starting the block on a 4 KiB boundary keeps it on whole pages of the file.
    const int64_t start = position_ - position_ % 4096;
    const size_t want = count - done;
    if (want > kBlockSize - static_cast<size_t>(position_ - start)) {
      // A large value (a preview, a long segment) goes straight to the caller's buffer.
      size_t n = ReadAt(position_, out + done, want);
      done += n;
      position_ += static_cast<int64_t>(n);
      break;
    }
    blockStart_ = start;
    blockLength_ = ReadAt(start, block_.Data(), kBlockSize);
    if (position_ >= blockStart_ + static_cast<int64_t>(blockLength_)) break;  // the file ends before it
  }
  return done;
}

}  // namespace tess
