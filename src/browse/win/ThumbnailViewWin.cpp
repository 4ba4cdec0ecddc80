#include "browse/win/ThumbnailViewWin.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "platform/Dpi.h"
#include "platform/win/DpiWin.h"
#include "platform/win/WinHandles.h"

namespace tess {

namespace {

// Decoded pictures are held up to this many bytes; at 96 px that is several screenfuls.
constexpr int64_t kPictureBudget = 24 << 20;
constexpr int kMaxSlots = 1024;
constexpr int kMinSlots = 64;
// Stored pictures kept from the date reads until their rows are drawn: a few thousand
// thumbnails of 5 to 15 KB.
constexpr size_t kKeptPictureBudget = 8 << 20;

}  // namespace

ThumbnailView::ThumbnailView(HWND listView, UINT readyMessage)
    : listView_(listView),
      reads_([](const std::u16string& path, int box,
                bool decodeFile) { return ReadThumbnail(path, box, SystemImageDecoder(), decodeFile); },
             [listView, readyMessage] { PostMessageW(listView, readyMessage, 0, 0); }, 2,
             [](std::span<const uint8_t> jpeg, int orientation, int box) {
               return DecodeStoredPicture(jpeg, orientation, box, SystemImageDecoder());
             }) {}

ThumbnailView::~ThumbnailView() = default;

void ThumbnailView::CreateImages() {
  const int side = ThumbnailSide(dpi_ > 0 ? dpi_ : WindowDpi(listView_));
  if (images_ && side == side_) return;
  side_ = side;
  const int64_t perPicture = int64_t{side_} * side_ * 4;
  const int capacity = static_cast<int>(std::clamp<int64_t>(kPictureBudget / perPicture, kMinSlots, kMaxSlots));
  ImageListHandle images(ImageList_Create(side_, side_, ILC_COLOR32, capacity + 16, 16));
  if (!images) return;
  // Every slot exists from the start, blank, so that a picture replaces its slot in place.
  ImageList_SetImageCount(images.get(), static_cast<UINT>(capacity));
  images_ = std::move(images);
  slots_ = ThumbnailSlots(capacity);
  slotNames_.assign(static_cast<size_t>(capacity), std::u16string());
  typeImages_.clear();
  if (!systemLarge_) {
    SHFILEINFOW info{};
    systemLarge_ = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_LARGEICON));
    IconHandle obtained(info.hIcon);
  }
}

void ThumbnailView::ShowImages() {
  const int side = side_;
  CreateImages();
  if (!images_) return;
  // Pictures asked for at another size (the window moved to another monitor's scale) are
  // asked for again at this one.
  if (side != side_) NewFolder(folder_);
  ListView_SetImageList(listView_, images_.get(), LVSIL_NORMAL);
  // Room for the picture and two lines of its name under it.
  const int dpi = dpi_ > 0 ? dpi_ : WindowDpi(listView_);
  ListView_SetIconSpacing(listView_, side_ + ScaleToDpi(28, dpi), side_ + ScaleToDpi(40, dpi));
}

void ThumbnailView::SetDpi(int dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  if (!active_) return;  // the next switch to pictures takes the new size
  ShowImages();
  // Icon mode lays its items out again only when the mode is set anew.
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(listView_, GWL_STYLE));
  SetWindowLongPtrW(listView_, GWL_STYLE, static_cast<LONG_PTR>((style & ~LVS_TYPEMASK) | LVS_REPORT));
  SetWindowLongPtrW(listView_, GWL_STYLE, static_cast<LONG_PTR>(style));
  ListView_Arrange(listView_, LVA_DEFAULT);
  InvalidateRect(listView_, nullptr, TRUE);
}

void ThumbnailView::Activate(bool on) {
  DWORD style = static_cast<DWORD>(GetWindowLongPtrW(listView_, GWL_STYLE));
  if (on) {
    ShowImages();
    if (!images_) return;
    SetWindowLongPtrW(listView_, GWL_STYLE, static_cast<LONG_PTR>((style & ~LVS_TYPEMASK) | LVS_ICON));
  } else {
    SetWindowLongPtrW(listView_, GWL_STYLE, static_cast<LONG_PTR>((style & ~LVS_TYPEMASK) | LVS_REPORT));
  }
  active_ = on;
  InvalidateRect(listView_, nullptr, TRUE);
}

void ThumbnailView::NewFolder(const std::u16string& folder) {
  folder_ = folder;
  reads_.Start(folder, side_);
  reads_.Take();
  asked_.clear();
  none_.clear();
  slots_.Clear();
  kept_.clear();
  keptBytes_ = 0;
  awaiting_.clear();
  pairs_.Clear();
  pairsBuilt_ = false;
}

void ThumbnailView::Dispatch(const void* key, const std::u16string& name) {
  std::u16string pair;
  if (IsRawFileName(name)) {
    if (!pairsBuilt_) {
      pairs_.Clear();
      if (FillPairs) FillPairs(pairs_);
      pairsBuilt_ = true;
    }
    pair = pairs_.PairOf(name);
  }
  auto kept = kept_.find(key);
  if (kept != kept_.end() && kept->second.name == name) reads_.AskDecode(key, name, kept->second.picture, pair);
  else reads_.Ask(key, name, pair);
}

void ThumbnailView::DateRead(const void* key, const std::u16string& name, HeadPicture picture) {
  if (!picture.jpeg.empty() && keptBytes_ + picture.jpeg.size() <= kKeptPictureBudget) {
    KeptPicture& kept = kept_[key];
    if (kept.picture) keptBytes_ -= kept.picture->jpeg.size();
    keptBytes_ += picture.jpeg.size();
    kept = {name, std::make_shared<const HeadPicture>(std::move(picture))};
  }
  auto waiting = awaiting_.find(key);
  if (waiting == awaiting_.end()) return;
  const bool same = waiting->second == name;
  awaiting_.erase(waiting);
  if (same) Dispatch(key, name);
}

void ThumbnailView::DatesDone() {
  for (const auto& [key, name] : awaiting_) Dispatch(key, name);
  awaiting_.clear();
}

int ThumbnailView::TypeImage(int systemIcon) {
  auto it = typeImages_.find(systemIcon);
  if (it != typeImages_.end()) return it->second;
  int image = -1;
  // The type's large icon, centred in a picture's square.
  HDC screen = GetDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), side_, -side_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    std::memset(bits, 0, static_cast<size_t>(side_) * static_cast<size_t>(side_) * 4);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, dib);
    int cx = 32, cy = 32;
    if (systemLarge_) ImageList_GetIconSize(systemLarge_, &cx, &cy);
    if (systemLarge_ && systemIcon >= 0)
      ImageList_Draw(systemLarge_, systemIcon, dc, (side_ - cx) / 2, (side_ - cy) / 2, ILD_TRANSPARENT);
    SelectObject(dc, old);
    DeleteDC(dc);
    image = ImageList_Add(images_.get(), dib, nullptr);
    DeleteObject(dib);
  }
  ReleaseDC(nullptr, screen);
  typeImages_.emplace(systemIcon, image);
  return image;
}

bool ThumbnailView::PutBitmap(int image, const Bitmap& bitmap) {
  HDC screen = GetDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), side_, -side_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!dib || !bits) return false;
  auto* pixels = static_cast<uint32_t*>(bits);
  std::fill(pixels, pixels + static_cast<size_t>(side_) * static_cast<size_t>(side_), 0u);
  const int w = std::min(bitmap.width, side_), h = std::min(bitmap.height, side_);
  const int left = (side_ - w) / 2, top = (side_ - h) / 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels[static_cast<size_t>(top + y) * static_cast<size_t>(side_) + static_cast<size_t>(left + x)] =
          bitmap.At(x, y) | 0xFF000000u;  // a photo is opaque
  const bool ok = ImageList_Replace(images_.get(), image, dib, nullptr) != FALSE;
  DeleteObject(dib);
  return ok;
}

int ThumbnailView::ImageFor(const FileRecord& record, int systemIcon, bool dateReadComing, bool inView) {
  if (!images_) return systemIcon;
  const void* key = &record;
  if (!record.IsFolder()) {
    const int slot = slots_.Find(key);
    if (slot >= 0 && slotNames_[static_cast<size_t>(slot)] == record.Name) return slot;
    auto none = none_.find(key);
    const bool known = none != none_.end() && none->second == record.Name;
    auto asked = asked_.find(key);
    if (inView && !known && (asked == asked_.end() || asked->second != record.Name) && IsPictureFileName(record.Name)) {
      asked_[key] = record.Name;
      // The date's read fetches the head the stored picture of most photos lies in: the
      // row waits for it rather than read the file a second time.
      if (dateReadComing) awaiting_[key] = record.Name;
      else Dispatch(key, record.Name);
    }
  }
  return TypeImage(systemIcon);
}

void ThumbnailView::ReadsReady() {
  std::vector<ThumbnailReads::Result> results = reads_.Take();
  if (results.empty()) return;
  for (ThumbnailReads::Result& r : results) {
    auto asked = asked_.find(r.key);
    if (asked == asked_.end()) continue;
    std::u16string name = std::move(asked->second);
    asked_.erase(asked);
    if (r.picture.bitmap.Empty()) {
      none_[r.key] = std::move(name);
      continue;
    }
    int slot = slots_.Find(r.key);
    if (slot < 0) slot = slots_.Take(r.key);
    if (PutBitmap(slot, r.picture.bitmap)) slotNames_[static_cast<size_t>(slot)] = std::move(name);
    else slotNames_[static_cast<size_t>(slot)].clear();
  }
  if (active_) InvalidateRect(listView_, nullptr, FALSE);
}

}  // namespace tess
