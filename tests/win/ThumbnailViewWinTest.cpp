// The thumbnail view of the real main window: photos whose stored thumbnails have known
// colours and orientations show them turned as shot (the pixels of the images the control
// draws are checked), files without a picture keep their icon, the keys and the menu switch
// the view, and the choice is kept.
#include <windows.h>
#include <commctrl.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/win/MainWindow.h"
#include "browse/FolderPaths.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"
#include "../support/PictureFixtures.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
namespace fx = tess::fixtures;
namespace fs = std::filesystem;

namespace {

// Stored: red top left, green top right, blue bottom left, yellow bottom right (BGRA).
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;

// A w x h JPEG of the four colours, encoded by the system's codec.
fx::Bytes QuadrantJpeg(UINT w = 64, UINT h = 48) {
  std::vector<uint32_t> pixels(w * h);
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x)
      pixels[y * w + x] = y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kYellow);
  ComRef<IWICImagingFactory> factory;
  ComRef<IWICBitmap> bitmap;
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IStream> stream;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.Out()))) ||
      FAILED(factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGRA, w * 4, w * h * 4,
                                             reinterpret_cast<BYTE*>(pixels.data()), bitmap.Out())) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Out())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.Out(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->WriteSource(bitmap.get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit()))
    return {};
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  fx::Bytes bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  bytes.resize(read);
  return bytes;
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
    if (d > 60 || d < -60) return false;
  }
  return true;
}

class ThumbnailViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\TessarineTests\\Thumbnails" + PadNumber(GetCurrentProcessId(), 1);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("thumbnails"));
  }
  void TearDown() override {
    window_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    fs::remove_all(fs::path(folder_), ec);
    SetKeys(false, false);
  }
  void SetKeys(bool control, bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  MainWindow& Open() {
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.reportError = [](const std::u16string&) {};
    options.showPopup = [](HMENU, POINT) {};
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    window_->Show(SW_SHOWNOACTIVATE);
    Pump();
    window_->FileList().SetRootFolder(folder_);
    EXPECT_TRUE(tess::testing::FinishReads(window_->FileList()));
    return *window_;
  }
  FileListView& List() { return window_->FileList(); }
  // Closes the window as a person would (which stores its settings).
  void Close() {
    SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
    Pump();
    window_.reset();
  }
  void PressViewKey(char key) {
    SetKeys(true, true);
    SendMessageW(List().Handle(), WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    SetKeys(false, false);
    Pump();
  }
  int Row(const std::u16string& name) {
    for (int i = 0; i < ListView_GetItemCount(List().Handle()); ++i)
      if (tess::testing::RowText(List().Handle(), i) == name) return i;
    return -1;
  }
  int Image(int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(List().Handle(), &item);
    return item.iImage;
  }
  // Asks every row's image until the reads are done, as the control's drawing does.
  void WaitForPictures() {
    for (int round = 0; round < 400; ++round) {
      for (int i = 0; i < ListView_GetItemCount(List().Handle()); ++i) Image(i);
      Pump();
      if (List().Thumbnails().Waiting() == 0) {
        // The last worker's wake-up may be posted just after it stopped counting.
        for (int i = 0; i < 5; ++i, Sleep(10)) Pump();
        return;
      }
      Sleep(10);
    }
    ADD_FAILURE() << "thumbnails still waiting";
  }
  // The pixel at (x, y) of an image as the control draws it (on white).
  uint32_t Pixel(int image, int x, int y) {
    HIMAGELIST images = ListView_GetImageList(List().Handle(), LVSIL_NORMAL);
    const int side = List().Thumbnails().Side();
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, dib);
    std::fill(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + side * side, 0xFFFFFFFFu);
    ImageList_Draw(images, image, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
    const uint32_t pixel = static_cast<uint32_t*>(bits)[y * side + x] | 0xFF000000u;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    return pixel;
  }

  std::u16string root_, folder_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(ThumbnailViewTest, StoredThumbnailsShowTurnedAsShot) {
  const fx::Bytes thumb = QuadrantJpeg();
  ASSERT_FALSE(thumb.empty());
  struct Case {
    const char16_t* name;
    int orientation;
    uint32_t topLeft, topRight, bottomLeft, bottomRight;
    bool portrait;
  } cases[] = {
      {u"o1.jpg", 1, kRed, kGreen, kBlue, kYellow, false},
      {u"o3.jpg", 3, kYellow, kBlue, kGreen, kRed, false},
      {u"o6.jpg", 6, kBlue, kRed, kYellow, kGreen, true},
      {u"o8.jpg", 8, kGreen, kYellow, kRed, kBlue, true},
  };
  for (const Case& c : cases) fx::WriteFile(folder_ + c.name, fx::JpegWithThumbnail(c.orientation, thumb));
  fx::WriteFile(folder_ + u"lying.jpg", fx::JpegWithThumbnail(1, fx::JpegHeader(60000, 60000)));
  fx::WriteFile(folder_ + u"notes.txt", fx::Text("x"));
  // RAW+JPEG: a raw that stores no picture shows its JPEG's (o1.jpg's, upright).
  fx::WriteFile(folder_ + u"O1.CR2", fx::Concat({fx::Text("II*"), fx::Bytes(61, 0)}));
  Open();
  ASSERT_FALSE(List().ThumbnailViewOn());
  PressViewKey('2');
  ASSERT_TRUE(List().ThumbnailViewOn());
  EXPECT_EQ(GetWindowLongPtrW(List().Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_ICON);
  WaitForPictures();

  const int side = List().Thumbnails().Side();
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name));
    const int row = Row(c.name);
    ASSERT_GE(row, 0);
    const int image = Image(row);
    ASSERT_TRUE(List().Thumbnails().IsPicture(image));
    // 64 x 48 fitted to the square: side x 3/4 side, or turned.
    const int w = c.portrait ? side * 3 / 4 : side, h = c.portrait ? side : side * 3 / 4;
    const int left = (side - w) / 2, top = (side - h) / 2;
    EXPECT_PRED2(Near, Pixel(image, left + w / 4, top + h / 4), c.topLeft);
    EXPECT_PRED2(Near, Pixel(image, left + 3 * w / 4, top + h / 4), c.topRight);
    EXPECT_PRED2(Near, Pixel(image, left + w / 4, top + 3 * h / 4), c.bottomLeft);
    EXPECT_PRED2(Near, Pixel(image, left + 3 * w / 4, top + 3 * h / 4), c.bottomRight);
  }
  const int pair = Image(Row(u"O1.CR2"));
  ASSERT_TRUE(List().Thumbnails().IsPicture(pair));
  EXPECT_PRED2(Near, Pixel(pair, side / 2 - 4, side / 2 - 4), kRed);
  EXPECT_PRED2(Near, Pixel(pair, side / 2 + 4, side / 2 + 4), kYellow);
  // A lying thumbnail and a text file show their type's icon.
  EXPECT_FALSE(List().Thumbnails().IsPicture(Image(Row(u"lying.jpg"))));
  EXPECT_FALSE(List().Thumbnails().IsPicture(Image(Row(u"notes.txt"))));
}

TEST_F(ThumbnailViewTest, KeysAndMenuSwitchTheViewWhichIsKept) {
  fx::WriteFile(folder_ + u"a.jpg", fx::JpegWithThumbnail(1, QuadrantJpeg()));
  fx::WriteFile(folder_ + u"b.jpg", fx::JpegWithThumbnail(1, QuadrantJpeg()));
  Open();
  const int widthBefore = List().ColumnWidth(0);
  SendMessageW(window_->Handle(), WM_COMMAND, cmdViewThumbnails, 0);
  Pump();
  EXPECT_TRUE(List().ThumbnailViewOn());
  // The rows and the selection work as in the details view.
  EXPECT_EQ(tess::testing::RowText(List().Handle(), Row(u"b.jpg")), u"b.jpg");
  List().SelectRow(Row(u"b.jpg"));
  EXPECT_EQ(List().SelectedCount(), 1);
  EXPECT_EQ(List().FileInfo()->Name, u"b.jpg");
  Close();  // closing keeps the view
  Open();
  EXPECT_TRUE(List().ThumbnailViewOn());
  EXPECT_EQ(List().ColumnWidth(0), widthBefore);
  PressViewKey('6');
  EXPECT_FALSE(List().ThumbnailViewOn());
  EXPECT_EQ(GetWindowLongPtrW(List().Handle(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  Close();
  Open();
  EXPECT_FALSE(List().ThumbnailViewOn());
}

TEST_F(ThumbnailViewTest, PreviewFollowsTheFocusTurnedAsShotAndIsKept) {
  const fx::Bytes thumb = QuadrantJpeg();
  ASSERT_FALSE(thumb.empty());
  fx::WriteFile(folder_ + u"o1.jpg", fx::JpegWithThumbnail(1, thumb));
  fx::WriteFile(folder_ + u"o6.jpg", fx::JpegWithThumbnail(6, thumb));
  Open();
  ASSERT_FALSE(window_->PreviewShown()) << "hidden until asked for";
  // Alt+P in the list, as in Explorer.
  SendMessageW(List().Handle(), WM_SYSKEYDOWN, 'P', 0x20000000);
  Pump();
  ASSERT_TRUE(window_->PreviewShown());
  EXPECT_TRUE(IsWindowVisible(window_->Preview().Handle()));
  RECT list{}, preview{};
  GetWindowRect(List().Handle(), &list);
  GetWindowRect(window_->Preview().Handle(), &preview);
  EXPECT_LE(list.right, preview.left) << "the pane stands right of the list";

  struct Step {
    const char16_t* name;
    bool portrait;
    uint32_t topLeft;
  } steps[] = {{u"o6.jpg", true, kBlue}, {u"o1.jpg", false, kRed}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.name, s.name + 6));
    const int row = Row(s.name);
    ASSERT_GE(row, 0);
    ListView_SetItemState(List().Handle(), -1, 0, LVIS_FOCUSED | LVIS_SELECTED);
    ListView_SetItemState(List().Handle(), row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    Pump();
    EXPECT_EQ(window_->Preview().ShownPath(), folder_ + s.name);
    for (int i = 0; i < 400 && window_->Preview().Waiting(); ++i, Sleep(10)) Pump();
    const Bitmap& picture = window_->Preview().Picture();
    ASSERT_FALSE(picture.Empty());
    EXPECT_EQ(picture.height > picture.width, s.portrait);
    EXPECT_TRUE(Near(picture.At(2, 2) | 0xFF000000u, s.topLeft)) << std::hex << picture.At(2, 2);
    const std::vector<std::u16string> lines = window_->Preview().Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), s.name);
  }
  Close();
  Open();
  EXPECT_TRUE(window_->PreviewShown()) << "kept at the next start";
  window_->ShowPreview(false);
  EXPECT_FALSE(IsWindowVisible(window_->Preview().Handle()));
}

TEST_F(ThumbnailViewTest, ViewButtonDropsDownBothViewsWithTheCurrentOneChecked) {
  fx::WriteFile(folder_ + u"a.jpg", fx::JpegWithThumbnail(1, QuadrantJpeg()));
  MainWindowOptions options;
  options.settingsRoot = root_;
  options.quitOnDestroy = false;
  options.reportError = [](const std::u16string&) {};
  HMENU shown = nullptr;
  options.showPopup = [&shown](HMENU menu, POINT) { shown = menu; };
  window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
  window_->Show(SW_SHOWNOACTIVATE);
  Pump();
  List().SetRootFolder(folder_);
  ASSERT_TRUE(tess::testing::FinishReads(List()));
  HWND bar = window_->ViewBar();
  ASSERT_TRUE(bar && IsWindowVisible(bar));
  RECT button{};
  ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button)));
  SetFocus(List().Handle());
  const bool listFocused = GetFocus() == List().Handle();
  // A click anywhere on the button opens its menu, as a mouse does it.
  auto click = [&] {
    shown = nullptr;
    const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    SendMessageW(bar, WM_MOUSEMOVE, 0, at);
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(bar, WM_LBUTTONUP, 0, at);
    Pump();
  };
  auto checked = [&](int position) { return (GetMenuState(shown, position, MF_BYPOSITION) & MF_CHECKED) != 0; };
  auto picture = [&] {
    TBBUTTON b{};
    SendMessageW(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&b));
    return b.iBitmap;
  };
  struct Step {
    int choose;  // the menu's command
    bool thumbnails;
  } steps[] = {{cmdViewThumbnails, true}, {cmdViewDetails, false}};
  for (const Step& s : steps) {
    click();
    ASSERT_EQ(shown, window_->ViewButtonMenu());
    ASSERT_EQ(GetMenuItemCount(shown), 2);
    wchar_t text[32]{};
    GetMenuStringW(shown, 0, text, 32, MF_BYPOSITION);
    EXPECT_EQ(U16(text), u"縮小版");
    GetMenuStringW(shown, 1, text, 32, MF_BYPOSITION);
    EXPECT_EQ(U16(text), u"詳細");
    EXPECT_EQ(checked(0), !s.thumbnails) << "the view shown before the choice";
    EXPECT_EQ(checked(1), s.thumbnails);
    SendMessageW(window_->Handle(), WM_COMMAND, static_cast<WPARAM>(s.choose), 0);
    Pump();
    EXPECT_EQ(List().ThumbnailViewOn(), s.thumbnails);
    EXPECT_EQ(picture(), static_cast<int>(s.thumbnails ? ToolImage::Thumbnails : ToolImage::Details));
    if (listFocused) EXPECT_EQ(GetFocus(), List().Handle()) << "the button never takes the focus";
  }
}

TEST_F(ThumbnailViewTest, PicturesFollowTheWindowsDpi) {
  // A camera's usual 160 x 120 thumbnail: shrunk to the square, never enlarged.
  fx::WriteFile(folder_ + u"o1.jpg", fx::JpegWithThumbnail(1, QuadrantJpeg(160, 120)));
  Open();
  PressViewKey('2');
  WaitForPictures();
  ASSERT_EQ(List().Thumbnails().Side(), 96) << "96 pixels at 100 %";
  for (int dpi : {144, 192, 96}) {
    SCOPED_TRACE(dpi);
    RECT rc{};
    GetWindowRect(window_->Handle(), &rc);
    SendMessageW(window_->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rc));
    Pump();
    WaitForPictures();
    const int side = List().Thumbnails().Side();
    EXPECT_EQ(side, dpi);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(ListView_GetImageList(List().Handle(), LVSIL_NORMAL), &cx, &cy);
    EXPECT_EQ(cx, side);
    // The picture is read again at the new size.
    const int image = Image(Row(u"o1.jpg"));
    ASSERT_TRUE(List().Thumbnails().IsPicture(image));
    const int w = std::min(side, 160), h = w * 3 / 4;
    const int left = (side - w) / 2, top = (side - h) / 2;
    EXPECT_PRED2(Near, Pixel(image, left + w / 4, top + h / 4), kRed);
    EXPECT_PRED2(Near, Pixel(image, left + 3 * w / 4, top + 3 * h / 4), kYellow);
    // The edges of the picture: as large as the square allows.
    EXPECT_PRED2(Near, Pixel(image, left + 2, top + 2), kRed);
    EXPECT_PRED2(Near, Pixel(image, left + w - 3, top + h - 3), kYellow);
  }
}

// The control may ask for every row's image as it lays the icons out: only the rows in view
// ask for a picture, and a row scrolled into view asks then.
TEST_F(ThumbnailViewTest, OnlyRowsInViewAskForTheirPictures) {
  const fx::Bytes thumb = QuadrantJpeg();
  ASSERT_FALSE(thumb.empty());
  const int count = 120;
  for (int i = 0; i < count; ++i)
    fx::WriteFile(folder_ + u"p" + PadNumber(i, 3) + u".jpg", fx::JpegWithThumbnail(1, thumb));
  Open();
  PressViewKey('2');
  ASSERT_TRUE(List().ThumbnailViewOn());
  WaitForPictures();
  const int last = Row(u"p119.jpg");
  ASSERT_GE(last, 0);
  EXPECT_TRUE(List().Thumbnails().IsPicture(Image(Row(u"p000.jpg"))));
  EXPECT_FALSE(List().Thumbnails().IsPicture(Image(last))) << "a row out of view asked for its picture";
  ListView_EnsureVisible(List().Handle(), last, FALSE);
  Pump();
  WaitForPictures();
  EXPECT_TRUE(List().Thumbnails().IsPicture(Image(last)));
}

// A folder opened while the pictures show (as the window starts when they were shown last):
// its rows are laid out in the view, not piled on one another where each would ask for its
// picture.
TEST_F(ThumbnailViewTest, AFolderOpenedInThePicturesViewIsLaidOut) {
  const fx::Bytes thumb = QuadrantJpeg();
  ASSERT_FALSE(thumb.empty());
  const std::u16string card = folder_ + u"card\\";
  fs::create_directories(fs::path(card));
  for (int i = 0; i < 120; ++i) fx::WriteFile(card + u"p" + PadNumber(i, 3) + u".jpg", fx::JpegWithThumbnail(1, thumb));
  Open();
  PressViewKey('2');
  ASSERT_TRUE(List().ThumbnailViewOn());
  List().SetRootFolder(card);
  ASSERT_TRUE(tess::testing::FinishReads(List()));
  ASSERT_EQ(ListView_GetItemCount(List().Handle()), 120);
  POINT first{}, second{}, last{};
  ListView_GetItemPosition(List().Handle(), 0, &first);
  ListView_GetItemPosition(List().Handle(), 1, &second);
  ListView_GetItemPosition(List().Handle(), 119, &last);
  EXPECT_GT(second.x, first.x) << "the second row lies on the first";
  EXPECT_GT(last.y, first.y);
  WaitForPictures();
  EXPECT_TRUE(List().Thumbnails().IsPicture(Image(0)));
  EXPECT_FALSE(List().Thumbnails().IsPicture(Image(119))) << "a row out of view asked for its picture";

  // A narrower list (the preview pane shown) lays the rows out again within its width.
  RECT client{};
  GetClientRect(List().Handle(), &client);
  SetWindowPos(List().Handle(), nullptr, 0, 0, client.right / 2, client.bottom, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  GetClientRect(List().Handle(), &client);
  for (int row = 0; row < 120; ++row) {
    RECT box{};
    box.left = LVIR_BOUNDS;
    ListView_GetItemRect(List().Handle(), row, &box, LVIR_BOUNDS);
    EXPECT_LE(box.right, client.right) << "row " << row << " lies past the list's right edge";
  }
}
