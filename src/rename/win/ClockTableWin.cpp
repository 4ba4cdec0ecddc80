#include "rename/win/ClockTableWin.h"

#include <commctrl.h>

#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

constexpr char16_t kCaption[] = u"時刻補正";
constexpr int kWidth = 880, kHeight = 372;
const char16_t* const kColumns[] = {u"カメラ", u"写真", u"動画", u"最初の撮影 (記録)", u"最後の撮影 (記録)",
                                    u"時刻のずれ", u"動画の時刻", u"補正後の最初 - 最後"};
constexpr int kColumnWidths[] = {125, 36, 36, 115, 115, 75, 85, 275};
constexpr char16_t kVideoUtc[] = u"UTC (今までどおり)";
constexpr char16_t kVideoLocal[] = u"カメラの時刻";

std::u16string TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return U16(text);
}

std::u16string Count(size_t n) { return PadNumber(static_cast<long long>(n), 1); }

}  // namespace

ClockTableDialog::ClockTableDialog(HINSTANCE instance, HWND owner, const RenameJob& job, std::u16string settingsRoot)
    : ModalDialog(instance, owner, kCaption, kWidth, kHeight), job_(job), settingsRoot_(std::move(settingsRoot)) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(settingsRoot_)) stored_ = ReadClockRules(*store);
  table_ = std::make_unique<ClockTable>(job_, stored_);

  HWND list = CreateControl(WC_LISTVIEWW, u"", WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                            WS_EX_CLIENTEDGE, IdClockList, ControlRect{8, 8, kWidth - 16, 220});
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (int c = 0; c < 8; ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = scale_(kColumnWidths[c]);
    column.pszText = const_cast<wchar_t*>(W(kColumns[c]));
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
  const int y = 236;
  CreateControl(L"STATIC", u"時刻のずれ ([+|-][日数d]時:分:秒):", SS_LEFTNOWORDWRAP, 0, IdClockShiftLabel, ControlRect{8, y + 4, 200, 18});
  CreateControl(L"EDIT", u"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, IdClockShift, ControlRect{212, y, 120, 23});
  HWND video = CreateControl(L"COMBOBOX", u"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, IdClockVideo,
                             ControlRect{344, y, 150, 23 + 80});
  for (const char16_t* item : {kVideoUtc, kVideoLocal}) SendMessageW(video, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item)));
  CreateControl(L"STATIC", u"写真:", SS_LEFTNOWORDWRAP, 0, IdClockPhotoLabel, ControlRect{8, y + 34, 40, 18});
  CreateControl(L"COMBOBOX", u"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, 0, IdClockPhoto,
                ControlRect{52, y + 30, 280, 23 + 160});
  CreateControl(L"STATIC", u"この写真の正しい日時:", SS_LEFTNOWORDWRAP, 0, IdClockTimeLabel, ControlRect{344, y + 34, 140, 18});
  CreateControl(L"EDIT", u"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, IdClockTime, ControlRect{488, y + 30, 150, 23});
  CreateControl(L"BUTTON", u"ずれを計算", WS_TABSTOP | BS_PUSHBUTTON, 0, IdClockCompute, ControlRect{646, y + 29, 110, 25});
  CreateControl(L"STATIC", u"", SS_LEFT | SS_NOPREFIX, 0, IdClockMessage, ControlRect{8, y + 64, kWidth - 16, 36});
  CreateControl(L"BUTTON", u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IdClockOk, ControlRect{kWidth - 170, kHeight - 33, 75, 25});
  CreateControl(L"BUTTON", u"キャンセル", WS_TABSTOP | BS_PUSHBUTTON, 0, IdClockCancel, ControlRect{kWidth - 87, kHeight - 33, 79, 25});
  SendMessageW(Handle(), DM_SETDEFID, IdClockOk, 0);

  for (int row = 0; row < static_cast<int>(table_->Rows().size()); ++row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    std::u16string empty;
    item.pszText = W(empty);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    FillRow(row);
  }
  if (!table_->Rows().empty()) SelectRow(0);
}

void ClockTableDialog::BeforeShow() {
  // Over the middle of the rename dialog that opens it.
  const RECT outer = OuterRect();
  ApplyPlacement(outer.top, outer.left, scale_.Unscale(outer.bottom - outer.top), scale_.Unscale(outer.right - outer.left), false);
}

int ClockTableDialog::RowCount() const { return static_cast<int>(table_->Rows().size()); }

std::u16string ClockTableDialog::Cell(int row, int column) const {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  SendMessageW(Control(IdClockList), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return U16(buffer);
}

void ClockTableDialog::FillRow(int row) {
  const ClockTableRow& r = table_->Rows()[static_cast<size_t>(row)];
  const bool dated = !r.shots.empty();
  const std::u16string cells[] = {r.label,
                                  Count(r.photos),
                                  Count(r.videos),
                                  dated ? FormatDateTime(r.first) : u"",
                                  dated ? FormatDateTime(r.last) : u"",
                                  r.shiftText,
                                  r.video == VideoTime::Local ? kVideoLocal : kVideoUtc,
                                  table_->CorrectedSpan(static_cast<size_t>(row))};
  for (int c = 0; c < 8; ++c) {
    std::u16string text = cells[c];
    LVITEMW item{};
    item.iSubItem = c;
    item.pszText = W(text);
    SendMessageW(Control(IdClockList), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
}

int ClockTableDialog::Selected() const {
  return static_cast<int>(SendMessageW(Control(IdClockList), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ClockTableDialog::SelectRow(int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(Control(IdClockList), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  ShowSelected();
}

// The edits show the selected camera's rule and photos.
void ClockTableDialog::ShowSelected() {
  const int row = Selected();
  if (row < 0) return;
  const ClockTableRow& r = table_->Rows()[static_cast<size_t>(row)];
  filling_ = true;
  SetWindowTextW(Control(IdClockShift), W(r.shiftText));
  SendMessageW(Control(IdClockVideo), CB_SETCURSEL, r.video == VideoTime::Local ? 1 : 0, 0);
  HWND photos = Control(IdClockPhoto);
  SendMessageW(photos, CB_RESETCONTENT, 0, 0);
  for (size_t i = 0; i < r.shots.size(); ++i) {
    std::u16string text = table_->ShotText(static_cast<size_t>(row), i);
    SendMessageW(photos, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(text)));
  }
  SendMessageW(photos, CB_SETCURSEL, 0, 0);
  filling_ = false;
}

void ClockTableDialog::Say(const std::u16string& message) {
  SetWindowTextW(Control(IdClockMessage), W(message));
  if (!message.empty()) MessageBeep(0);
}

void ClockTableDialog::OnOk() {
  std::u16string error;
  std::optional<ClockRules> rules = table_->Apply(stored_, error);
  // A row that cannot be read keeps the dialog open and every kept rule as it was.
  if (!rules) {
    Say(error);
    return;
  }
  std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(settingsRoot_);
  if (!store || !WriteClockRules(*store, *rules)) {
    Say(u"時刻補正を保存できませんでした。");
    return;
  }
  EndModal(IDOK);
}

bool ClockTableDialog::OnCommand(int id, int code) {
  const int row = Selected();
  switch (id) {
    case IdClockShift:
      if (code != EN_CHANGE || filling_ || row < 0) return false;
      Say(table_->SetShiftText(static_cast<size_t>(row), TextOf(Control(IdClockShift))));
      FillRow(row);
      return true;
    case IdClockVideo:
      if (code != CBN_SELCHANGE || filling_ || row < 0) return false;
      table_->SetVideoRule(static_cast<size_t>(row),
                           SendMessageW(Control(IdClockVideo), CB_GETCURSEL, 0, 0) == 1 ? VideoTime::Local : VideoTime::Utc);
      FillRow(row);
      return true;
    case IdClockCompute: {
      if (code != BN_CLICKED || row < 0) return false;
      const LRESULT shot = SendMessageW(Control(IdClockPhoto), CB_GETCURSEL, 0, 0);
      std::u16string error = table_->SetShiftFromPhoto(static_cast<size_t>(row), shot < 0 ? SIZE_MAX : static_cast<size_t>(shot),
                                                       TextOf(Control(IdClockTime)));
      Say(error);
      filling_ = true;
      SetWindowTextW(Control(IdClockShift), W(table_->Rows()[static_cast<size_t>(row)].shiftText));
      filling_ = false;
      FillRow(row);
      return true;
    }
    case IdClockOk:
      if (code != BN_CLICKED) return false;
      OnOk();
      return true;
    case IdClockCancel:
      EndModal(IDCANCEL);
      return true;
    default:
      return false;
  }
}

INT_PTR ClockTableDialog::OnDialogMessage(UINT msg, WPARAM, LPARAM lp, bool& handled) {
  if (msg != WM_NOTIFY) return 0;
  const auto* header = reinterpret_cast<const NMHDR*>(lp);
  if (header->idFrom != IdClockList || header->code != LVN_ITEMCHANGED) return 0;
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(lp);
  if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) ShowSelected();
  handled = true;
  return 0;
}

}  // namespace tess
