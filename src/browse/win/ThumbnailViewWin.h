#pragma once
// The file list's thumbnail view (縮小版): the same owner-data list view in icon mode, its
// image list holding the decoded pictures in a fixed number of slots (the cache) and the
// file types' icons after them as placeholders. Pictures are asked for as rows are drawn and
// read by workers; the view never waits on one.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "browse/FileRecords.h"
#include "browse/Thumbnails.h"
#include "platform/win/WinControls.h"

namespace tess {

class ThumbnailView {
 public:
  // readyMessage is posted to listView when pictures wait to be taken.
  ThumbnailView(HWND listView, UINT readyMessage);
  ~ThumbnailView();
  ThumbnailView(const ThumbnailView&) = delete;
  ThumbnailView& operator=(const ThumbnailView&) = delete;

  bool Active() const { return active_; }
  // Switches the control between icon mode with the pictures and report mode.
  void Activate(bool on);
  // The rows are of folder now: what was asked or held for the last one goes.
  void NewFolder(const std::u16string& folder);
  // The image for a row: its picture when held, else its type's icon (systemIcon, an index
  // of the system's image list), asking for the picture the first time.
  int ImageFor(const FileRecord& record, int systemIcon);
  // Takes the pictures that arrived into the slots and redraws.
  void ReadsReady();
  // The side of a picture's square, in pixels at the control's DPI.
  int Side() const { return side_; }
  int Waiting() const { return reads_.Waiting(); }
  // Whether an image of ImageFor is a picture (not a type's icon).
  bool IsPicture(int image) const { return image >= 0 && image < slots_.Capacity(); }

 private:
  void CreateImages();
  int TypeImage(int systemIcon);
  // A side x side image with the picture centred on transparent pixels.
  bool PutBitmap(int image, const Bitmap& bitmap);

  HWND listView_;
  bool active_ = false;
  int side_ = 96;
  ImageListHandle images_;
  HIMAGELIST systemLarge_ = nullptr;  // the system's, shared: never destroyed
  ThumbnailSlots slots_{1};
  std::vector<std::u16string> slotNames_;  // the name each slot's picture is of
  std::unordered_map<int, int> typeImages_;  // system icon index -> image
  // Rows asked for and not yet answered, and rows that have no picture: both by key, with
  // the name (a record freed and another made at its address is another file).
  std::unordered_map<const void*, std::u16string> asked_, none_;
  std::u16string folder_;
  ThumbnailReads reads_;  // last: its workers end before the rest goes
};

}  // namespace tess
