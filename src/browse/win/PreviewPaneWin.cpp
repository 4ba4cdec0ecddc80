#include "browse/win/PreviewPaneWin.h"

#include <algorithm>

#include "browse/FileColumns.h"
#include "browse/Thumbnails.h"
#include "platform/Locale.h"
#include "platform/UiTexts.h"
#include "platform/win/AppMessages.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

constexpr wchar_t kClassName[] = L"TessarinePreview";
constexpr int kMargin = 6;
constexpr int kLineCount = 4;  // name, date, camera, pixel size

std::u16string Number(int value) {
  std::u16string text;
  for (char c : std::to_string(value)) text.push_back(static_cast<char16_t>(c));
  return text;
}

}  // namespace

PreviewPane::PreviewPane(HWND parent, int id, HINSTANCE instance, ImageDecoder* decoder) {
  WNDCLASSEXW wc{};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;  // painted whole in WM_PAINT
  wc.lpszClassName = kClassName;
  RegisterClassOnce(wc);
  CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 10, 10, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, static_cast<WindowBase*>(this));
  if (!hwnd_) throw EUserError(texts::kErrorControl);
  ImageDecoder* codec = decoder ? decoder : &SystemImageDecoder();
  HWND window = hwnd_;
  reads_ = std::make_unique<PreviewReads>(
      [codec](const std::u16string& path, int w, int h) { return ReadPreview(path, w, h, *codec); },
      [window] { PostMessageW(window, kPreviewReadyMessage, 0, 0); });
}

PreviewPane::~PreviewPane() {
  reads_.reset();  // the worker stops before the window goes
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void PreviewPane::SetFont(HFONT font) {
  font_ = font;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void PreviewPane::ShowFile(const std::u16string& path, const FileRecord* record) {
  const bool picture = record && !record->IsFolder() && !path.empty() && IsPictureFileName(record->Name);
  if (path == path_ && picture == wantsPicture_ && !info_.empty()) return;
  path_ = record && !record->IsFolder() ? path : std::u16string();
  wantsPicture_ = picture;
  picture_ = {};
  info_.clear();
  if (record && !path_.empty()) {
    info_.push_back(record->Name);
    if (record->ExifDateTimeOriginal > 0) info_.push_back(ColumnText(*record, ColumnShotDate, true, CurrentLocale()));
    std::u16string camera = record->ExifCameraMake;
    if (!record->ExifCameraModel.empty()) camera += (camera.empty() ? u"" : u" ") + record->ExifCameraModel;
    if (!camera.empty()) info_.push_back(camera);
  }
  AskPicture(IsWindowVisible(hwnd_) != FALSE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

std::vector<std::u16string> PreviewPane::Lines() const {
  std::vector<std::u16string> lines = info_;
  if (picture_.pixelWidth > 0 && picture_.pixelHeight > 0)
    lines.push_back(Number(picture_.pixelWidth) + u" × " + Number(picture_.pixelHeight) + texts::kPreviewPixels);
  return lines;
}

void PreviewPane::AskPicture(bool visible) {
  const RECT box = PictureBox();
  askedBox_ = SIZE{box.right - box.left, box.bottom - box.top};
  if (!wantsPicture_ || !visible || askedBox_.cx <= 0 || askedBox_.cy <= 0) {
    reads_->Cancel();
    waiting_ = false;
    return;
  }
  reads_->Ask(path_, askedBox_.cx, askedBox_.cy);
  waiting_ = true;
}

void PreviewPane::TakePicture() {
  std::optional<PreviewReads::Answer> answer = reads_->Take();
  if (!answer || answer->path != path_) return;
  waiting_ = false;
  picture_ = std::move(answer->picture);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

int PreviewPane::LinesHeight() const {
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (old) SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return kLineCount * static_cast<int>(tm.tmHeight + tm.tmExternalLeading) + kMargin;
}

RECT PreviewPane::PictureBox() const {
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  RECT box{rc.left + kMargin, rc.top + kMargin, rc.right - kMargin, rc.bottom - LinesHeight() - kMargin};
  if (box.right < box.left) box.right = box.left;
  if (box.bottom < box.top) box.bottom = box.top;
  return box;
}

void PreviewPane::Paint(HDC dc) {
  RECT rc{};
  GetClientRect(hwnd_, &rc);
  FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
  const RECT box = PictureBox();
  const Bitmap& bitmap = picture_.bitmap;
  int textTop = box.bottom + kMargin;
  if (!bitmap.Empty()) {
    const int left = box.left + (box.right - box.left - bitmap.width) / 2;
    const int top = box.top + (box.bottom - box.top - bitmap.height) / 2;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), bitmap.width, -bitmap.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(bitmap.width), static_cast<DWORD>(bitmap.height), 0, 0, 0,
                      static_cast<UINT>(bitmap.height), bitmap.pixels.data(), &bi, DIB_RGB_COLORS);
  }
  HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const int lineHeight = static_cast<int>(tm.tmHeight + tm.tmExternalLeading);
  for (const std::u16string& line : Lines()) {
    RECT r{rc.left + kMargin, textTop, rc.right - kMargin, textTop + lineHeight};
    DrawTextW(dc, W(line), static_cast<int>(line.size()), &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    textTop += lineHeight;
  }
  if (old) SelectObject(dc, old);
}

LRESULT PreviewPane::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT, without a flash of the background
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      if (dc) Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_SIZE:
    case WM_SHOWWINDOW: {
      // A new size asks the picture again for it; hidden, the pane reads nothing.
      LRESULT result = DefWindowProcW(hwnd_, msg, wp, lp);
      const bool shown = msg == WM_SHOWWINDOW ? wp != 0 : IsWindowVisible(hwnd_) != FALSE;
      const RECT box = PictureBox();
      const SIZE size{box.right - box.left, box.bottom - box.top};
      if (!shown) {
        reads_->Cancel();
        waiting_ = false;
      } else if (wantsPicture_ && (msg == WM_SHOWWINDOW || size.cx != askedBox_.cx || size.cy != askedBox_.cy)) {
        picture_ = {};
        AskPicture(true);
      }
      InvalidateRect(hwnd_, nullptr, TRUE);
      return result;
    }
    default:
      if (msg == kPreviewReadyMessage) {
        TakePicture();
        return 0;
      }
      return DefWindowProcW(hwnd_, msg, wp, lp);
  }
}

}  // namespace tess
