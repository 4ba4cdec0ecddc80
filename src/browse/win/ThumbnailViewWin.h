#pragma once
// The file list's thumbnail view (縮小版): the same owner-data list view in icon mode, its
// image list holding the decoded pictures in a fixed number of slots (the cache) and the
// file types' icons after them as placeholders. Pictures are asked for as rows are drawn and
// read by workers; the view never waits on one.
#include <windows.h>
#include <commctrl.h>

#include <functional>
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
  // The window's DPI (at the start and on WM_DPICHANGED): the pictures' size follows it, and
  // a view that shows pictures asks for them again at the new size.
  void SetDpi(int dpi);
  // The rows are of folder now: what was asked or held for the last one goes.
  void NewFolder(const std::u16string& folder);
  // The image for a row: its picture when held, else its type's icon (systemIcon, an index
  // of the system's image list), asking for the picture the first time. dateReadComing: the
  // row's date is still to be read, and that read brings the stored picture (DateRead).
  // inView: the row shows in the control now; a row out of view asks for nothing (the control
  // may ask for every row as it lays the icons out, and a photo decoded whole is costly).
  int ImageFor(const FileRecord& record, int systemIcon, bool dateReadComing = false, bool inView = true);
  // A row's date read is in, with the stored picture it found in the same bytes (empty when
  // none): the picture is kept (within a budget) and a row waiting for it is asked for.
  void DateRead(const void* key, const std::u16string& name, HeadPicture picture);
  // No more date reads come: the rows still waiting for one read their files.
  void DatesDone();
  // The folder's names changed (a listing came): the RAW+JPEG pairs are found again.
  void NamesChanged() { pairsBuilt_ = false; }
  // Fills in the folder's names for the RAW+JPEG pairs, when a raw first needs its pair.
  std::function<void(JpegPairs& pairs)> FillPairs;
  // Takes the pictures that arrived into the slots and redraws.
  void ReadsReady();
  // The side of a picture's square, in pixels at the control's DPI.
  int Side() const { return side_; }
  int Waiting() const { return reads_.Waiting(); }
  // Whether an image of ImageFor is a picture (not a type's icon).
  bool IsPicture(int image) const { return image >= 0 && image < slots_.Capacity(); }

 private:
  void CreateImages();
  // The image list and the icon spacing for the current side, in icon mode.
  void ShowImages();
  int TypeImage(int systemIcon);
  // A side x side image with the picture centred on transparent pixels.
  bool PutBitmap(int image, const Bitmap& bitmap);
  // Hands a row's ask to the reads: the picture kept from its date read, else the file.
  void Dispatch(const void* key, const std::u16string& name);

  HWND listView_;
  bool active_ = false;
  int side_ = 96;
  int dpi_ = 0;  // 0: the control's own
  ImageListHandle images_;
  HIMAGELIST systemLarge_ = nullptr;  // the system's, shared: never destroyed
  ThumbnailSlots slots_{1};
  std::vector<std::u16string> slotNames_;  // the name each slot's picture is of
  std::unordered_map<int, int> typeImages_;  // system icon index -> image
  // Rows asked for and not yet answered, and rows that have no picture: both by key, with
  // the name (a record freed and another made at its address is another file).
  std::unordered_map<const void*, std::u16string> asked_, none_;
  // Stored pictures that came with the date reads, by key with the name, within a budget;
  // rows asked for while their date read was still coming.
  struct KeptPicture {
    std::u16string name;
    std::shared_ptr<const HeadPicture> picture;
  };
  std::unordered_map<const void*, KeptPicture> kept_;
  size_t keptBytes_ = 0;
  std::unordered_map<const void*, std::u16string> awaiting_;
  JpegPairs pairs_;
  bool pairsBuilt_ = false;
  std::u16string folder_;
  ThumbnailReads reads_;  // last: its workers end before the rest goes
};

}  // namespace tess
