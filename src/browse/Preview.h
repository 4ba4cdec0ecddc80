#pragma once
// The preview pane's picture: the focused photo larger, from the largest picture the camera
// stored when that is big enough for the pane, else from the photo itself decoded to the
// pane's size; read on one worker that always serves the latest ask, so that a focus
// moving on drops what was asked before.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "browse/Thumbnails.h"
#include "platform/ImageDecode.h"
#include "platform/WakeUp.h"
#include "platform/WorkerThreads.h"

namespace tess {

struct PreviewPicture {
  Bitmap bitmap;  // fits the box, turned as shot; empty when the file shows no picture
  ThumbnailOrigin origin = ThumbnailOrigin::None;
  // The size of the picture the preview was made from, as shot (a raw's: its largest
  // stored preview's); 0 when unknown.
  int pixelWidth = 0, pixelHeight = 0;
};

// Whether a file type's whole picture is worth decoding for the preview: the common picture
// formats are; a raw or a HEIF file shows its stored preview (its codec may be missing or slow).
bool DecodesWholeForPreview(std::u16string_view name);

// The preview of the file at path for a boxWidth x boxHeight pane. Never raises.
PreviewPicture ReadPreview(const std::u16string& path, int boxWidth, int boxHeight, ImageDecoder& decoder);

// One worker reading the latest ask; an answer to an ask that was replaced is dropped.
class PreviewReads {
 public:
  using Reader = std::function<PreviewPicture(const std::u16string& path, int boxWidth, int boxHeight)>;
  // ready: from the worker when an answer waits; it must only post a wake-up.
  PreviewReads(Reader reader, std::function<void()> ready);
  ~PreviewReads();
  PreviewReads(const PreviewReads&) = delete;
  PreviewReads& operator=(const PreviewReads&) = delete;

  // Reads path for the box, instead of anything asked before; returns the ask's number.
  uint64_t Ask(const std::u16string& path, int boxWidth, int boxHeight);
  // Drops every ask and answer (nothing to preview).
  void Cancel();
  struct Answer {
    uint64_t ask = 0;
    std::u16string path;
    PreviewPicture picture;
  };
  // The answer to the latest ask, once it came.
  std::optional<Answer> Take();

 private:
  void Work();
  struct Request {
    uint64_t ask = 0;
    std::u16string path;
    int boxWidth = 0, boxHeight = 0;
  };
  Reader reader_;
  WakeUp ready_;
  std::mutex mutex_;
  uint64_t latest_ = 0;
  std::optional<Request> pending_;
  std::optional<Answer> answer_;
  bool stopping_ = false;
  WorkerThreads threads_;  // last: its threads stop before the rest goes
};

}  // namespace tess
