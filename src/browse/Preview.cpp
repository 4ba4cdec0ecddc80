#include "browse/Preview.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "exif/Streams.h"
#include "exif/Thumbnail.h"

namespace tess {

bool DecodesWholeForPreview(std::u16string_view name) {
  static const char16_t* const kTypes[] = {u"jpg", u"jpeg", u"jpe", u"jfif", u"png", u"bmp", u"gif", u"webp", u"tif", u"tiff"};
  const std::u16string type = LowerCaseExtension(name);
  return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char16_t* known) { return type == known; });
}

PreviewPicture ReadPreview(const std::u16string& path, int boxWidth, int boxHeight, ImageDecoder& decoder) {
  PreviewPicture out;
  if (boxWidth <= 0 || boxHeight <= 0) return out;
  try {
    const int side = std::max(boxWidth, boxHeight);
    PictureLocation location;
    std::vector<uint8_t> bytes;
    const size_t slash = path.find_last_of(u"\\/");
    bool decodeWhole = DecodesWholeForPreview(slash == std::u16string::npos ? path : path.substr(slash + 1));
    bool storedFills = false;
    {
      TFileStream stream(path);
      // The smallest stored picture that fills the pane; a raw's full-size preview else.
      location = LocateStoredPicture(stream, side);
      if (location.picture.kind == StoredPictureKind::Jpeg) bytes = ReadStoredPicture(stream, location.picture);
      storedFills = !bytes.empty() && std::max(location.picture.width, location.picture.height) >= side;
      if (!storedFills && decodeWhole) decodeWhole = WorthDecodingWhole(stream);
    }
    const OrientationTurn turn = TurnForOrientation(location.orientation);
    // A picture stored on its side is fitted to the pane as it will stand once turned.
    if (turn.SwapsSides()) std::swap(boxWidth, boxHeight);
    Bitmap decoded;
    if (!storedFills && decodeWhole && decoder.DecodeFile(path, boxWidth, boxHeight, decoded)) {
      out.origin = ThumbnailOrigin::File;
    } else if (!bytes.empty() && decoder.DecodeBytes(bytes, boxWidth, boxHeight, decoded)) {
      out.origin = ThumbnailOrigin::Stored;
    }
    if (out.origin == ThumbnailOrigin::None) return out;
    out.bitmap = TurnBitmap(decoded, turn);
    out.pixelWidth = out.bitmap.sourceWidth;
    out.pixelHeight = out.bitmap.sourceHeight;
  } catch (const std::exception&) {
    // A file that cannot be opened (gone, locked) has no preview.
  }
  return out;
}

PreviewReads::PreviewReads(Reader reader, std::function<void()> ready)
    : reader_(std::move(reader)), ready_(std::move(ready)), threads_(1, [this] { Work(); }) {}

PreviewReads::~PreviewReads() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    pending_.reset();
  }
  threads_.Join();
}

uint64_t PreviewReads::Ask(const std::u16string& path, int boxWidth, int boxHeight) {
  std::lock_guard lock(mutex_);
  pending_ = Request{++latest_, path, boxWidth, boxHeight};
  answer_.reset();
  threads_.Start();
  return latest_;
}

void PreviewReads::Cancel() {
  std::lock_guard lock(mutex_);
  ++latest_;
  pending_.reset();
  answer_.reset();
}

std::optional<PreviewReads::Answer> PreviewReads::Take() {
  std::lock_guard lock(mutex_);
  ready_.Answered();
  return std::exchange(answer_, std::nullopt);
}

void PreviewReads::Work() {
  for (;;) {
    Request request;
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || !pending_) {
        threads_.Ending();
        return;
      }
      request = std::move(*pending_);
      pending_.reset();
    }
    // A decode under way runs to its end; its answer counts only if nothing newer was asked.
    PreviewPicture picture = reader_(request.path, request.boxWidth, request.boxHeight);
    std::unique_lock lock(mutex_);
    if (request.ask != latest_ || stopping_) continue;
    answer_ = Answer{request.ask, std::move(request.path), std::move(picture)};
    ready_.Raise(lock);
  }
}

}  // namespace tess
