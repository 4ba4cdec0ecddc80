// The windows at 96, 120, 144 and 192 DPI: each takes the DPI a monitor change announces
// (WM_DPICHANGED), and then every size scales, no label runs under the control beside it,
// and every text fits its control, measured in the control's own font. Stored sizes keep
// their 96-DPI meaning whatever the DPI the window closed at.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/WindowSettings.h"
#include "app/win/MainWindow.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/DpiWin.h"
#include "platform/win/WinText.h"
#include "rename/win/RenameDialogWin.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;

namespace {

std::u16string Text(HWND hwnd) {
  wchar_t buf[1024] = {};
  GetWindowTextW(hwnd, buf, 1023);
  return U16(buf);
}

std::u16string ClassOf(HWND hwnd) {
  wchar_t buf[64] = {};
  GetClassNameW(hwnd, buf, 63);
  return U16(buf);
}

RECT RectIn(HWND parent, HWND control) {
  RECT rc{};
  GetWindowRect(control, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

std::string Name(HWND control) {
  return ToUtf8(ClassOf(control)) + " '" + ToUtf8(Text(control)) + "' #" + std::to_string(GetDlgCtrlID(control));
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) children.push_back(c);
  return children;
}

// The DPI announced as a monitor change would, with the window's size scaled along.
void ChangeDpi(HWND window, int fromDpi, int toDpi) {
  RECT rc{};
  GetWindowRect(window, &rc);
  RECT suggested{rc.left, rc.top, rc.left + RescaleDpi(rc.right - rc.left, fromDpi, toDpi),
                 rc.top + RescaleDpi(rc.bottom - rc.top, fromDpi, toDpi)};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(toDpi, toDpi), reinterpret_cast<LPARAM>(&suggested));
  Pump();
}

int FontHeight(HWND control) {
  LOGFONTW lf{};
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (!font || !GetObjectW(font, sizeof lf, &lf)) return 0;
  return lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
}

// Every caption of a dialog-like window fits its control, and no label overlaps another
// control.
void CheckCaptionsFit(HWND window, int dpi) {
  std::vector<HWND> controls = Children(window);
  for (HWND c : controls) {
    std::u16string cls = ClassOf(c);
    RECT rc{};
    GetClientRect(c, &rc);
    SIZE text = TextExtent(c, Text(c));
    if (SameTextAscii(cls, u"Static")) {
      EXPECT_LE(text.cx, rc.right) << Name(c) << " at " << dpi;
      EXPECT_LE(text.cy, rc.bottom) << Name(c) << " at " << dpi;
      RECT label = RectIn(window, c);
      for (HWND other : controls) {
        if (other == c) continue;
        RECT beside = RectIn(window, other), overlap{};
        EXPECT_FALSE(IntersectRect(&overlap, &label, &beside)) << Name(c) << " runs under " << Name(other) << " at " << dpi;
      }
    } else if (SameTextAscii(cls, u"Button")) {
      // The caption inside the button's edges.
      EXPECT_LE(text.cx + 2 * ScaleToDpi(3, dpi), rc.right) << Name(c) << " at " << dpi;
      EXPECT_LE(text.cy + 2 * ScaleToDpi(2, dpi), rc.bottom) << Name(c) << " at " << dpi;
    } else if (SameTextAscii(cls, u"ComboBox")) {
      // The field is as high as its font needs.
      EXPECT_GE(rc.bottom, TextExtent(c, u"年").cy) << Name(c) << " at " << dpi;
    }
  }
}

// The headings of a list view's columns fit their columns.
void CheckHeadingsFit(HWND list, int dpi) {
  HWND header = ListView_GetHeader(list);
  ASSERT_TRUE(header);
  int columns = Header_GetItemCount(header);
  for (int i = 0; i < columns; ++i) {
    wchar_t buf[128] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH;
    item.pszText = buf;
    item.cchTextMax = 127;
    ASSERT_TRUE(Header_GetItem(header, i, &item));
    if (item.cxy == 0) continue;  // a column turned off (取り込み日 until asked for) shows nothing
    SIZE text = TextExtent(header, U16(buf));
    EXPECT_LE(text.cx + 2 * ScaleToDpi(3, dpi), item.cxy) << ToUtf8(U16(buf)) << " at " << dpi;
  }
}

class DpiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\TessarineTests\\Dpi" + PadNumber(GetCurrentProcessId(), 1) + u"_" + PadNumber(++counter_, 1);
  }
  void TearDown() override {
    edit_.reset();
    rename_.reset();
    main_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
  }
  void Open() {
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.reportError = [](const std::u16string& text) { ADD_FAILURE() << "error shown: " << ToUtf8(text); };
    main_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    RenameDialogOptions renameOptions;
    renameOptions.settingsRoot = root_;
    rename_ = std::make_unique<RenameDialog>(GetModuleHandleW(nullptr), main_->Handle(), renameOptions);
    edit_ = std::make_unique<TemplateListDialog>(GetModuleHandleW(nullptr), rename_->Handle(), root_);
    edit_->SetRenameForm(rename_.get());
    rename_->SetListEditForm(edit_.get());
    main_->ConnectRenameForm(*rename_);
    main_->Show(SW_SHOWNOACTIVATE);
    Pump();
  }
  int32_t Stored(const std::u16string& keyPath, const std::u16string& name) {
    auto key = MakeUserSettingsStore(root_)->Open(keyPath, false);
    int32_t value = INT32_MIN;
    if (key) ReadInteger(*key, name, value);
    return value;
  }

  static inline int counter_ = 0;
  std::u16string root_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<RenameDialog> rename_;
  std::unique_ptr<TemplateListDialog> edit_;
};

}  // namespace

TEST_F(DpiTest, EverySizeScalesAndEveryTextFitsAtEachDpi) {
  Open();
  ASSERT_EQ(main_->Dpi(), 96) << "the tests' Wine prefix runs at 96 DPI";
  int previous = 96;
  for (int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    for (HWND window : {main_->Handle(), rename_->Handle(), edit_->Handle()}) ChangeDpi(window, previous, dpi);
    previous = dpi;
    EXPECT_EQ(main_->Dpi(), dpi);
    EXPECT_EQ(rename_->Dpi(), dpi);
    EXPECT_EQ(edit_->Dpi(), dpi);

    // The main window: top bar, drop-down, tool buttons, splitter, status bar, fonts.
    HWND w = main_->Handle();
    RECT combo = RectIn(w, main_->DriveBox());
    EXPECT_EQ(combo.left, ScaleToDpi(8, dpi));
    EXPECT_EQ(combo.right - combo.left, ScaleToDpi(145, dpi));
    for (int b = 0; b < ToolButtonCount; ++b) {
      RECT button = RectIn(w, main_->ToolButton(b).Handle());
      EXPECT_EQ(button.right - button.left, ScaleToDpi(40, dpi)) << b;
      EXPECT_EQ(button.bottom - button.top, ScaleToDpi(34, dpi)) << b;
      EXPECT_EQ(button.top, ScaleToDpi(3, dpi)) << b;
      if (b > 0) EXPECT_GE(button.left, RectIn(w, main_->ToolButton(b - 1).Handle()).right) << b;
    }
    EXPECT_GE(RectIn(w, main_->ToolButton(0).Handle()).left, combo.right) << "the buttons start after the drop-down";
    RECT tree = RectIn(w, main_->FolderTree().Handle()), list = RectIn(w, main_->FileList().Handle());
    RECT status = RectIn(w, main_->StatusBar());
    EXPECT_EQ(tree.top, ScaleToDpi(39, dpi));
    EXPECT_EQ(list.left - tree.right, ScaleToDpi(3, dpi)) << "the splitter";
    EXPECT_EQ(status.bottom - status.top, ScaleToDpi(23, dpi));
    EXPECT_EQ(FontHeight(main_->DriveBox()), ScaleToDpi(12, dpi));
    EXPECT_EQ(FontHeight(main_->FileList().Handle()), ScaleToDpi(12, dpi));
    CheckHeadingsFit(main_->FileList().Handle(), dpi);
    CheckCaptionsFit(w, dpi);
    // The status panels hold their texts.
    RECT panel{};
    SendMessageW(main_->StatusBar(), SB_GETRECT, 0, reinterpret_cast<LPARAM>(&panel));
    EXPECT_LE(TextExtent(main_->StatusBar(), u"  1,234,567 個の項目").cx, panel.right - panel.left);

    // The two dialogs.
    EXPECT_EQ(FontHeight(rename_->Control(IdRunButton)), ScaleToDpi(11, dpi));
    CheckCaptionsFit(rename_->Handle(), dpi);
    CheckCaptionsFit(edit_->Handle(), dpi);
    CheckHeadingsFit(edit_->Control(IdTokenTable), dpi);
    RECT client{};
    GetClientRect(edit_->Handle(), &client);
    RECT memo = RectIn(edit_->Handle(), edit_->Control(IdListText));
    RECT table = RectIn(edit_->Handle(), edit_->Control(IdTokenTable));
    EXPECT_LE(memo.right, table.left) << "the token table beside the text area";
    EXPECT_LE(table.right, client.right);
  }
}

TEST_F(DpiTest, StoredSizesStayInDesignPixelsAtAnyDpi) {
  Open();
  ChangeDpi(main_->Handle(), 96, 144);
  // A user's size at 150 %: 966 x 612 screen pixels, a 330-pixel tree, 270-pixel columns.
  SetWindowPos(main_->Handle(), nullptr, 0, 0, 966, 612, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ListView_SetColumnWidth(main_->FileList().Handle(), 0, 270);
  SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(Stored(kMainWindowKey, u"Width"), 644);
  EXPECT_EQ(Stored(kMainWindowKey, u"Height"), 408);
  EXPECT_EQ(Stored(kMainWindowKey, u"ColumnWidth0"), 180) << "270 shown at 150 %";
  EXPECT_EQ(Stored(kMainWindowKey, u"FolderTreeWidth"), 220) << "the default 220, shown as 330";

  // Shown again at 192 DPI, the stored sizes double.
  edit_.reset();
  rename_.reset();
  main_.reset();
  Open();
  ChangeDpi(main_->Handle(), 96, 192);
  EXPECT_EQ(main_->FolderTreeWidth(), 440);
  EXPECT_EQ(ListView_GetColumnWidth(main_->FileList().Handle(), 0), 360);
}
