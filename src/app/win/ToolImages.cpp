#include "app/win/ToolImages.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "platform/UiTexts.h"

namespace tess {
namespace {

constexpr int kScale = 4;
constexpr COLORREF kKey = RGB(255, 0, 255);  // background: never used by a picture

// Coordinates are given on the 24-pixel grid and scaled here, to the picture's size.
struct Painter {
  HDC dc;
  double unit;  // big pixels per grid unit
  int S(double v) const { return static_cast<int>(std::lround(v * unit)); }

  void Poly(std::initializer_list<POINT> pts, COLORREF fill, COLORREF line, double width = 1) {
    std::vector<POINT> p;
    for (POINT q : pts) p.push_back({S(q.x / 10.0), S(q.y / 10.0)});
    GdiBrush brush(CreateSolidBrush(fill));
    GdiObjectPen pen(line, S(width));
    HGDIOBJ oldBrush = SelectObject(dc, brush.get());
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    Polygon(dc, p.data(), static_cast<int>(p.size()));
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
  }
  void Rect(double l, double t, double r, double b, COLORREF fill, COLORREF line, double width = 1) {
    Poly({{LONG(l * 10), LONG(t * 10)}, {LONG(r * 10), LONG(t * 10)}, {LONG(r * 10), LONG(b * 10)}, {LONG(l * 10), LONG(b * 10)}},
         fill, line, width);
  }
  void Line(double x1, double y1, double x2, double y2, COLORREF color, double width) {
    GdiObjectPen pen(color, S(width));
    HGDIOBJ old = SelectObject(dc, pen.get());
    MoveToEx(dc, S(x1), S(y1), nullptr);
    LineTo(dc, S(x2), S(y2));
    SelectObject(dc, old);
  }
  void Ellipse_(double l, double t, double r, double b, COLORREF fill, COLORREF line, double width = 1) {
    GdiBrush brush(CreateSolidBrush(fill));
    GdiObjectPen pen(line, S(width));
    HGDIOBJ oldBrush = SelectObject(dc, brush.get());
    HGDIOBJ oldPen = SelectObject(dc, pen.get());
    Ellipse(dc, S(l), S(t), S(r), S(b));
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
  }
  void ArcLine(double l, double t, double r, double b, double x1, double y1, double x2, double y2, COLORREF color,
               double width) {
    GdiObjectPen pen(color, S(width));
    HGDIOBJ old = SelectObject(dc, pen.get());
    Arc(dc, S(l), S(t), S(r), S(b), S(x1), S(y1), S(x2), S(y2));
    SelectObject(dc, old);
  }

  struct GdiObjectPen {
    GdiObjectPen(COLORREF color, int width) {
      LOGBRUSH lb{BS_SOLID, color, 0};
      pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND, width < 1 ? 1 : width, &lb, 0, nullptr);
    }
    ~GdiObjectPen() {
      if (pen) DeleteObject(pen);
    }
    GdiObjectPen(const GdiObjectPen&) = delete;
    GdiObjectPen& operator=(const GdiObjectPen&) = delete;
    HPEN get() const { return pen; }
    HPEN pen = nullptr;
  };
};

// Colours of one picture; the disabled pictures are made from the same drawing afterwards.
constexpr COLORREF kFolderFill = RGB(250, 210, 90);
constexpr COLORREF kFolderLine = RGB(176, 128, 28);
constexpr COLORREF kFolderBack = RGB(232, 180, 60);
constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kPaperLine = RGB(100, 110, 125);
constexpr COLORREF kGreen = RGB(40, 150, 60);
constexpr COLORREF kGreenDark = RGB(24, 100, 40);
constexpr COLORREF kBlue = RGB(40, 100, 200);
constexpr COLORREF kBlueDark = RGB(20, 60, 140);
constexpr COLORREF kRed = RGB(210, 40, 40);
constexpr COLORREF kRedDark = RGB(140, 20, 20);
constexpr COLORREF kGrey = RGB(80, 80, 80);

void Folder(Painter& p, double dx = 0, double dy = 0) {
  auto P = [&](double x, double y) { return POINT{LONG((x + dx) * 10), LONG((y + dy) * 10)}; };
  p.Poly({P(2, 6), P(9, 6), P(11, 8), P(20, 8), P(20, 19), P(2, 19)}, kFolderBack, kFolderLine);
  p.Poly({P(2, 10), P(21, 10), P(20, 19), P(2, 19)}, kFolderFill, kFolderLine);
}

void Document(Painter& p, double l, double t, double w, double h, bool lines = true) {
  p.Poly({{LONG(l * 10), LONG(t * 10)}, {LONG((l + w - 4) * 10), LONG(t * 10)}, {LONG((l + w) * 10), LONG((t + 4) * 10)},
          {LONG((l + w) * 10), LONG((t + h) * 10)}, {LONG(l * 10), LONG((t + h) * 10)}},
         kPaper, kPaperLine);
  p.Poly({{LONG((l + w - 4) * 10), LONG(t * 10)}, {LONG((l + w - 4) * 10), LONG((t + 4) * 10)}, {LONG((l + w) * 10), LONG((t + 4) * 10)}},
         RGB(220, 226, 235), kPaperLine);
  if (lines)
    for (double y = t + 6; y < t + h - 1.5; y += 2.5) p.Line(l + 2.5, y, l + w - 2.5, y, RGB(150, 170, 200), 0.8);
}

void Draw(ToolImage image, Painter& p) {
  switch (image) {
    case ToolImage::RootFolder: {
      Folder(p, 0, 1);
      // A house on the folder: the top the tree starts from.
      p.Poly({{110, 100}, {170, 50}, {230, 100}, {210, 100}, {210, 150}, {130, 150}, {130, 100}}, kBlue, kBlueDark);
      p.Rect(16, 11.5, 18.5, 15, RGB(255, 255, 255), kBlueDark, 0.6);
      break;
    }
    case ToolImage::Up: {
      Folder(p, 0, 2);
      p.Poly({{150, 10}, {230, 90}, {185, 90}, {185, 170}, {115, 170}, {115, 90}, {70, 90}}, kGreen, kGreenDark);
      break;
    }
    case ToolImage::Rename: {
      p.Rect(1.5, 7, 22.5, 17, kPaper, kPaperLine);
      p.Line(4, 10, 4, 14, kGrey, 1);
      p.Line(4, 14, 6.5, 10, kGrey, 1.2);
      p.Line(6.5, 10, 9, 14, kGrey, 1.2);
      p.Line(5, 12.6, 8, 12.6, kGrey, 1);
      p.Line(11, 8.5, 11, 15.5, kBlueDark, 1.2);
      // A pencil across the field.
      p.Poly({{130, 200}, {120, 230}, {150, 220}}, RGB(240, 200, 150), kGrey, 0.6);
      p.Poly({{130, 200}, {210, 60}, {240, 80}, {150, 220}}, RGB(240, 170, 40), RGB(150, 90, 10), 0.8);
      p.Poly({{210, 60}, {220, 43}, {250, 63}, {240, 80}}, RGB(230, 120, 130), RGB(150, 60, 70), 0.8);
      break;
    }
    case ToolImage::Copy:
      Document(p, 2, 2, 12, 15);
      Document(p, 9, 7, 12, 15);
      break;
    case ToolImage::Paste:
      p.Rect(3, 4, 17, 22, RGB(200, 150, 90), RGB(120, 80, 30));
      p.Rect(7, 2, 13, 6, RGB(190, 190, 195), kGrey);
      Document(p, 10, 9, 12, 14);
      break;
    case ToolImage::Delete:
      p.Line(5, 5, 19, 19, kRedDark, 5);
      p.Line(19, 5, 5, 19, kRedDark, 5);
      p.Line(5, 5, 19, 19, kRed, 3.4);
      p.Line(19, 5, 5, 19, kRed, 3.4);
      break;
    case ToolImage::NewFolder: {
      Folder(p, 0, 2);
      // A spark: something new.
      p.Poly({{180, 10}, {197, 50}, {240, 50}, {205, 75}, {220, 115}, {180, 90}, {140, 115}, {155, 75}, {120, 50}, {163, 50}},
             RGB(255, 225, 60), RGB(200, 120, 0), 0.7);
      break;
    }
    case ToolImage::Refresh: {
      p.ArcLine(4, 4, 20, 20, 20, 8, 4, 12, kGreenDark, 3.6);
      p.ArcLine(4, 4, 20, 20, 4, 16, 20, 12, kGreenDark, 3.6);
      p.ArcLine(4, 4, 20, 20, 20, 8, 4, 12, kGreen, 2.2);
      p.ArcLine(4, 4, 20, 20, 4, 16, 20, 12, kGreen, 2.2);
      p.Poly({{220, 20}, {220, 100}, {140, 100}}, kGreen, kGreenDark, 0.8);
      p.Poly({{20, 220}, {20, 140}, {100, 140}}, kGreen, kGreenDark, 0.8);
      break;
    }
    case ToolImage::Eject:
      p.Poly({{120, 30}, {210, 130}, {30, 130}}, RGB(70, 80, 95), RGB(30, 35, 45));
      p.Rect(3, 16, 21, 20, RGB(70, 80, 95), RGB(30, 35, 45));
      break;
    case ToolImage::ExifRename: {
      // A camera with an arrow into a folder-like tab: photos renamed by their shooting date.
      p.Rect(1.5, 6, 18.5, 17, RGB(60, 65, 75), RGB(20, 22, 28));
      p.Rect(4, 4, 8, 6, RGB(60, 65, 75), RGB(20, 22, 28));
      p.Ellipse_(6, 7.5, 14, 15.5, RGB(170, 200, 240), RGB(20, 22, 28), 1);
      p.Ellipse_(8.3, 9.8, 11.7, 13.2, RGB(40, 70, 130), RGB(40, 70, 130), 0.5);
      p.Rect(15, 7.5, 17, 9, RGB(255, 230, 120), RGB(255, 230, 120), 0.3);
      p.Poly({{130, 170}, {180, 170}, {180, 140}, {235, 190}, {180, 240}, {180, 210}, {130, 210}}, kGreen, kGreenDark, 0.8);
      break;
    }
    case ToolImage::Thumbnails:
      // Four small pictures in a square: the photos shown as pictures.
      for (double y : {3.0, 13.0})
        for (double x : {3.0, 13.0}) {
          p.Rect(x, y, x + 8, y + 8, RGB(170, 200, 240), kBlueDark, 0.9);
          p.Poly({{LONG(x * 10 + 8), LONG(y * 10 + 72)}, {LONG(x * 10 + 35), LONG(y * 10 + 35)}, {LONG(x * 10 + 72), LONG(y * 10 + 72)}},
                 kGreen, kGreenDark, 0.4);
        }
      break;
    case ToolImage::Details:
      // Rows of a list: a small icon and a line of text each.
      for (double y : {4.0, 10.0, 16.0}) {
        p.Rect(3, y, 7, y + 4, RGB(170, 200, 240), kBlueDark, 0.8);
        p.Line(10, y + 2, 21, y + 2, kGrey, 1.4);
      }
      break;
    case ToolImage::Count:
      break;
  }
}

// Paints one picture large and reduces it: premultiplied BGRA, size pixels square.
std::vector<uint32_t> Render(ToolImage image, int size) {
  const int bigSize = size * kScale;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = bigSize;
  bi.bmiHeader.biHeight = -bigSize;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiBitmap big(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!big || !bits) throw EUserError(texts::kErrorPicture);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) throw EUserError(texts::kErrorPicture);
  HGDIOBJ old = SelectObject(dc, big.get());
  RECT all{0, 0, bigSize, bigSize};
  GdiBrush key(CreateSolidBrush(kKey));
  FillRect(dc, &all, key.get());
  Painter painter{dc, static_cast<double>(bigSize) / kToolImageSize};
  Draw(image, painter);
  GdiFlush();
  SelectObject(dc, old);
  DeleteDC(dc);

  const uint32_t* src = static_cast<const uint32_t*>(bits);
  const uint32_t keyPixel = (GetRValue(kKey) << 16) | (GetGValue(kKey) << 8) | GetBValue(kKey);
  std::vector<uint32_t> out(static_cast<size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      unsigned r = 0, g = 0, b = 0, n = 0;
      for (int sy = 0; sy < kScale; ++sy) {
        for (int sx = 0; sx < kScale; ++sx) {
          uint32_t px = src[(y * kScale + sy) * bigSize + x * kScale + sx] & 0xFFFFFF;
          if (px == keyPixel) continue;
          r += (px >> 16) & 0xFF;
          g += (px >> 8) & 0xFF;
          b += px & 0xFF;
          ++n;
        }
      }
      const unsigned total = kScale * kScale;
      // Premultiplied: the colour sum over all samples, the uncovered ones counting as black.
      out[static_cast<size_t>(y) * size + x] =
          (n * 255 / total) << 24 | (r / total) << 16 | (g / total) << 8 | (b / total);
    }
  }
  return out;
}

// Grey and faint, the way a disabled picture looks.
std::vector<uint32_t> Disabled(const std::vector<uint32_t>& pixels) {
  std::vector<uint32_t> out(pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) {
    uint32_t px = pixels[i];
    unsigned a = px >> 24;
    if (a == 0) continue;
    unsigned r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
    // Un-premultiply, take the luminance, lighten it, then premultiply at a lower alpha.
    unsigned lum = (r * 30 + g * 59 + b * 11) * 255 / (100 * a);
    lum = 110 + lum * 120 / 255;
    unsigned na = a * 110 / 255;
    unsigned v = lum * na / 255;
    out[i] = na << 24 | v << 16 | v << 8 | v;
  }
  return out;
}

void AddPicture(HIMAGELIST list, const std::vector<uint32_t>& pixels, int size) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = size;
  bi.bmiHeader.biHeight = -size;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiBitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bmp || !bits) throw EUserError(texts::kErrorPicture);
  memcpy(bits, pixels.data(), pixels.size() * sizeof(uint32_t));
  if (ImageList_Add(list, bmp.get(), nullptr) < 0) throw EUserError(texts::kErrorPicture);
}

}  // namespace

ToolImageLists MakeToolImageLists(int size) {
  if (size < 8) size = 8;
  ToolImageLists lists;
  lists.normal.reset(ImageList_Create(size, size, ILC_COLOR32, static_cast<int>(ToolImage::Count), 0));
  lists.disabled.reset(ImageList_Create(size, size, ILC_COLOR32, static_cast<int>(ToolImage::Count), 0));
  if (!lists.normal || !lists.disabled) throw EUserError(texts::kErrorPicture);
  for (int i = 0; i < static_cast<int>(ToolImage::Count); ++i) {
    std::vector<uint32_t> pixels = Render(static_cast<ToolImage>(i), size);
    AddPicture(lists.normal.get(), pixels, size);
    AddPicture(lists.disabled.get(), Disabled(pixels), size);
  }
  return lists;
}

}  // namespace tess
