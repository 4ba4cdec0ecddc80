#include "exif/Streams.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

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

size_t TFileStream::Read(void* buffer, size_t count) {
  if (count == 0) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  if (position_ < static_cast<int64_t>(kHeadSize) && count < kHeadSize) {
    if (!headLoaded_) {
      headLength_ = ReadAt(0, head_, kHeadSize);
      headLoaded_ = true;
    }
    if (position_ < static_cast<int64_t>(headLength_)) {
      size_t n = std::min(count, headLength_ - static_cast<size_t>(position_));
      std::memcpy(out, head_ + position_, n);
      done = n;
      position_ += static_cast<int64_t>(n);
    }
    // A short head means the file ends inside it.
    if (headLength_ < kHeadSize) return done;
  }
  if (done < count) {
    size_t n = ReadAt(position_, out + done, count - done);
    done += n;
    position_ += static_cast<int64_t>(n);
  }
  return done;
}

}  // namespace tess
