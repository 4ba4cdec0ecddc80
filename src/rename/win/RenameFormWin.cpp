#include "rename/win/RenameFormWin.h"

#include <commctrl.h>

#include <memory>
#include <tuple>

#include "app/WindowSettings.h"
#include "platform/SettingsKey.h"
#include "rename/RunUndo.h"
#include "platform/win/WinText.h"

namespace tess {

namespace {

// A drop-down list's window reaches below its selection field by the height of its list.
constexpr int kDropDownListHeight = 200;

std::u16string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return U16(text);
}

int ComboIndex(HWND combo) {
  LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

std::vector<std::u16string> ComboItems(HWND combo) {
  std::vector<std::u16string> items;
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == CB_ERR) {
      items.emplace_back();
      continue;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
    items.push_back(U16(text));
  }
  return items;
}

void FillCombo(HWND combo, const std::vector<std::u16string>& items, int index) {
  SendMessageW(combo, WM_SETREDRAW, FALSE, 0);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& item : items) {
    if (SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item))) < 0)
      throw std::runtime_error("a template list could not be filled");
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(SelectableIndex(index, static_cast<int>(items.size()))), 0);
  SendMessageW(combo, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(combo, nullptr, TRUE);
}

// The run's log in Memo1: every line written ends with a line break, so the text's lines
// are exactly the lines written.
class MemoLog final : public RenameLog {
 public:
  MemoLog(HWND memo, const std::function<void()>& beep) : memo_(memo), beep_(beep) {}
  void Clear() override { SetWindowTextW(memo_, L""); }
  void WriteLine(const std::u16string& line) override {
    int length = GetWindowTextLengthW(memo_);
    SendMessageW(memo_, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    // A text area ends a line at its first NUL: a control character (a camera text padded
    // with NULs) is shown as a mark of its own, and the line stays whole.
    std::u16string text = line;
    for (char16_t& c : text)
      if (c < 0x20) c = u'\uFFFD';
    text += u"\r\n";
    SendMessageW(memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(text)));
  }
  void Beep() override {
    if (beep_) beep_();
    else MessageBeep(0);
  }

 private:
  HWND memo_;
  const std::function<void()>& beep_;
};

// A label as wide as its text, as the dialog's labels size themselves to the font.
void FitLabelToText(HWND label) {
  HDC dc = GetDC(label);
  if (!dc) return;
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
  std::u16string text = WindowText(label);
  SIZE size{};
  BOOL measured = GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);
  if (!measured) return;
  RECT rc{};
  GetWindowRect(label, &rc);
  SetWindowPos(label, nullptr, 0, 0, size.cx, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

TRenameForm::TRenameForm(HINSTANCE instance, HWND owner, RenameFormOptions options)
    : TModalForm(instance, owner, kRenameFormCaption, kRenameFormClientWidth, kRenameFormClientHeight),
      options_(std::move(options)) {
  auto design = [](RenameControl c) { return RenameDesignRect(c); };
  auto combo = [&](RenameControl c) {
    ControlRect r = design(c);
    r.height += kDropDownListHeight;
    return r;
  };
  // Created in tab order: the dialog manager moves the focus along the creation order.
  for (auto [id, text, rect] : {std::tuple{IdLabel1, u"動作:", rcLabel1}, std::tuple{IdLabel2, u"コピー先:", rcLabel2},
                                std::tuple{IdLabel3, u"ファイル名:", rcLabel3}})
    FitLabelToText(CreateControl(L"STATIC", text, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, id, design(rect)));
  const DWORD comboStyle = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  HWND combo1 = CreateControl(L"COMBOBOX", u"", comboStyle | WS_GROUP, 0, IdComboBox1, combo(rcComboBox1));
  HWND combo2 = CreateControl(L"COMBOBOX", u"", comboStyle, 0, IdComboBox2, combo(rcComboBox2));
  CreateControl(L"BUTTON", u"...", WS_TABSTOP | BS_PUSHBUTTON, 0, IdButton2, design(rcButton2));
  HWND combo3 = CreateControl(L"COMBOBOX", u"", comboStyle, 0, IdComboBox3, combo(rcComboBox3));
  CreateControl(L"BUTTON", u"...", WS_TABSTOP | BS_PUSHBUTTON, 0, IdButton3, design(rcButton3));
  HWND memo = CreateControl(L"EDIT", u"",
                            WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                                ES_READONLY | ES_NOHIDESEL,
                            WS_EX_CLIENTEDGE, IdMemo1, design(rcMemo1));
  // A log of many photos runs far past the edit control's usual limit of 32K characters.
  SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
  CreateControl(L"BUTTON", u"実行", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IdExec1, design(rcExec1));
  CreateControl(L"BUTTON", u"閉じる", WS_TABSTOP | BS_PUSHBUTTON, 0, IdClose1, design(rcClose1));
  CreateControl(L"BUTTON", u"テスト", WS_TABSTOP | BS_PUSHBUTTON, 0, IdTest1, design(rcTest1));
  CreateControl(L"BUTTON", u"元に戻す", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, IdUndo1, design(rcUndo1));
  SendMessageW(Handle(), DM_SETDEFID, IdExec1, 0);

  // Until the first showing reads the settings: the built-in lists, each at its second entry.
  FillCombo(combo1, RenameActions(), 1);
  FillCombo(combo2, RenameWindowSettings::BuiltInFolderTemplates(), 1);
  FillCombo(combo3, RenameWindowSettings::BuiltInFileTemplates(), 1);
  FormResize();
}

std::vector<std::u16string> TRenameForm::TemplateItems(TemplateListKind kind) const { return ComboItems(Combo(kind)); }

std::vector<std::u16string> TRenameForm::LogLines() const { return SplitLines(WindowText(Control(IdMemo1))); }

TemplateChoice TRenameForm::Choice(HWND combo) const { return TemplateChoice{ComboItems(combo), ComboIndex(combo)}; }

void TRenameForm::SetChoice(HWND combo, const TemplateChoice& choice) { FillCombo(combo, choice.items, choice.index); }

void TRenameForm::FormShow() {
  SetWindowTextW(Control(IdMemo1), L"");
  RenameWindowSettings state;
  RECT rc = OuterRect();
  state.placement = {rc.top, rc.left, rc.bottom - rc.top, rc.right - rc.left};
  TemplateChoice folders = Choice(Control(IdComboBox2));
  TemplateChoice files = Choice(Control(IdComboBox3));
  state.folderTemplates = folders.items;
  state.fileTemplates = files.items;
  state.itemIndex[0] = ComboIndex(Control(IdComboBox1));
  state.itemIndex[1] = folders.index;
  state.itemIndex[2] = files.index;
  std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot);
  ShowRenameFormState(store.get(), state);
  const WindowPlacement& p = state.placement;
  ApplyPlacement(p.top, p.left, p.height, p.width);
  SendMessageW(Control(IdComboBox1), CB_SETCURSEL, static_cast<WPARAM>(state.itemIndex[0]), 0);
  FillCombo(Control(IdComboBox2), state.folderTemplates, state.itemIndex[1]);
  FillCombo(Control(IdComboBox3), state.fileTemplates, state.itemIndex[2]);
  UpdateUndoButton();
}

void TRenameForm::FormCloseQuery() {
  RenameWindowSettings state;
  RECT rc = OuterRect();
  state.placement = {rc.top, rc.left, rc.bottom - rc.top, rc.right - rc.left};
  state.folderTemplates = ComboItems(Control(IdComboBox2));
  state.fileTemplates = ComboItems(Control(IdComboBox3));
  state.itemIndex[0] = ComboIndex(Control(IdComboBox1));
  state.itemIndex[1] = ComboIndex(Control(IdComboBox2));
  state.itemIndex[2] = ComboIndex(Control(IdComboBox3));
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot))
    WriteRenameWindowSettings(*store, state);
}

void TRenameForm::FormResize() {
  RECT rc = OuterRect();
  std::vector<ControlRect> layout = RenameFormLayout(rc.right - rc.left, rc.bottom - rc.top);
  static const std::pair<RenameControl, int> moving[] = {
      {rcComboBox1, IdComboBox1}, {rcComboBox2, IdComboBox2}, {rcButton2, IdButton2}, {rcComboBox3, IdComboBox3},
      {rcButton3, IdButton3},     {rcMemo1, IdMemo1},         {rcClose1, IdClose1},   {rcExec1, IdExec1},
      {rcTest1, IdTest1},         {rcUndo1, IdUndo1},
  };
  for (const auto& [control, id] : moving) {
    ControlRect r = layout[control];
    if (control == rcComboBox1 || control == rcComboBox2 || control == rcComboBox3) r.height += kDropDownListHeight;
    Place(Control(static_cast<RenameFormControlId>(id)), r);
  }
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TRenameForm::ScrollLogToEnd() {
  HWND memo = Control(IdMemo1);
  int length = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

void TRenameForm::DoExifRename(bool isSkipCopy) {
  if (running_) return;
  running_ = true;
  HWND owner = Owner();
  HWND focus = GetFocus();
  struct Done {
    TRenameForm& form;
    HWND focus;
    bool enableAgain = false;
    ~Done() {
      if (enableAgain) EnableWindow(form.Handle(), TRUE);
      if (focus && IsWindow(focus) && IsChild(form.Handle(), focus)) SetFocus(focus);
      form.running_ = false;
    }
  } done{*this, focus};
  // The shell's windows pump messages while it works: nothing in the dialog may start
  // another run or close it meanwhile.
  if (!isSkipCopy) {
    EnableWindow(Handle(), FALSE);
    done.enableAgain = true;
  }

  TRenameSourceList noSources;
  TExifFilesToList noEntries;
  TRenameSourceList& sources = sources_ ? *sources_ : noSources;
  TExifFilesToList& entries = entries_ ? *entries_ : noEntries;
  RenameRunSettings settings = RunSettings(ComboIndex(Control(IdComboBox1)), Choice(Control(IdComboBox2)),
                                           Choice(Control(IdComboBox3)));
  MemoLog log(Control(IdMemo1), options_.beep);
  ShellServices& shell = options_.shell ? *options_.shell : PlatformShell();
  RenameOutcome outcome = tess::DoExifRename(settings, sources, entries, isSkipCopy, shell,
                                             reinterpret_cast<WindowHandle>(owner), log, PlatformFileSystem(),
                                             &Journals());
  ScrollLogToEnd();
  // The shell's own windows belong to the main window and enable it when they close; it
  // stays disabled for as long as this dialog is shown.
  if (owner && Showing() && IsWindowEnabled(owner)) EnableWindow(owner, FALSE);
  // Files were copied or moved, all or some of them.
  bool touched = outcome == RenameOutcome::Done || outcome == RenameOutcome::Failed;
  if (!isSkipCopy && touched && OnFilesChanged) OnFilesChanged();
  if (!isSkipCopy) UpdateUndoButton();
}

JournalFolder& TRenameForm::Journals() const { return options_.journals ? *options_.journals : PlatformJournalFolder(); }

void TRenameForm::UpdateUndoButton() {
  std::optional<RunJournal> last = LastRun(Journals());
  HWND button = Control(IdUndo1);
  const bool enable = last && CanUndo(*last);
  // The focus must not stay on a button that goes grey: Enter and Esc would lose their way.
  if (!enable && GetFocus() == button) SendMessageW(Handle(), WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(button, enable);
}

void TRenameForm::Undo1Click() {
  if (running_) return;
  running_ = true;
  struct Done {
    TRenameForm& form;
    ~Done() { form.running_ = false; }
  } done{*this};
  MemoLog log(Control(IdMemo1), options_.beep);
  log.Clear();
  std::optional<RunJournal> last = LastRun(Journals());
  if (last) UndoRun(Journals(), last->name, PlatformFileSystem(), log);
  else UndoRun(Journals(), u"", PlatformFileSystem(), log);
  ScrollLogToEnd();
  if (OnFilesChanged) OnFilesChanged();
  UpdateUndoButton();
}

void TRenameForm::EditList(TemplateListKind kind) {
  if (!listEditForm_ || running_) return;
  HWND combo = Combo(kind);
  listEditForm_->SetCaption(CaptionForList(kind));
  int remembered = ComboIndex(combo);
  if (listEditForm_->ShowModal() != IDOK) return;
  SetChoice(combo, ApplyEditedList(listEditForm_->Lines(), remembered, kind));
}

bool TRenameForm::OnCommand(int id, int code) {
  if (code != BN_CLICKED && id != IdClose1) return false;
  if (running_) return true;
  switch (id) {
    case IdExec1: Exec1Click(); return true;
    case IdTest1: Test1Click(); return true;
    case IdUndo1: Undo1Click(); return true;
    case IdButton2: Button2Click(); return true;
    case IdButton3: Button3Click(); return true;
    case IdClose1: Close1Click(); return true;
    default: return false;
  }
}

INT_PTR TRenameForm::OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == Control(IdMemo1)) {
    // The log is read-only, yet reads as a text area, not as a greyed one.
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    handled = true;
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
  }
  return 0;
}

// ---- TListEditForm ----

TListEditForm::TListEditForm(HINSTANCE instance, HWND owner, std::u16string settingsRoot)
    : TModalForm(instance, owner, kListEditFormCaption, kListEditFormClientWidth, kListEditFormClientHeight),
      settingsRoot_(std::move(settingsRoot)) {
  HWND memo = CreateControl(L"EDIT", u"",
                            WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL |
                                ES_NOHIDESEL,
                            WS_EX_CLIENTEDGE, IdListMemo1, ListEditDesignRect(lcMemo1));
  SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
  CreateControl(L"BUTTON", u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IdOkButton1, ListEditDesignRect(lcOkButton1));
  CreateControl(L"BUTTON", u"キャンセル", WS_TABSTOP | BS_PUSHBUTTON, 0, IdCancelButton1,
                ListEditDesignRect(lcCancelButton1));
  SendMessageW(Handle(), DM_SETDEFID, IdOkButton1, 0);
  FormResize();
}

std::vector<std::u16string> TListEditForm::Lines() const { return SplitLines(WindowText(Control(IdListMemo1))); }

void TListEditForm::FormShow() {
  HWND memo = Control(IdListMemo1);
  SetWindowTextW(memo, L"");
  ListEditWindowSettings settings;
  RECT rc = OuterRect();
  settings.placement = {rc.top, rc.left, rc.bottom - rc.top, rc.right - rc.left};
  const WindowPlacement before = settings.placement;
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(settingsRoot_))
    ReadListEditWindowSettings(*store, settings);
  WindowPlacement& p = settings.placement;
  bool read = p.top != before.top || p.left != before.left || p.height != before.height || p.width != before.width;
  if (!read && !placed_) {
    // Nothing stored yet: over the middle of the dialog that opens it.
    RECT owner{};
    if (Owner() && GetWindowRect(Owner(), &owner)) {
      p.left = (owner.left + owner.right - p.width) / 2;
      p.top = (owner.top + owner.bottom - p.height) / 2;
    }
  }
  placed_ = true;
  ApplyPlacement(p.top, p.left, p.height, p.width);
  std::vector<std::u16string> lines;
  if (renameForm_) lines = renameForm_->TemplateItems(ListForCaption(Caption()));
  std::u16string text = JoinLines(lines);
  SetWindowTextW(memo, W(text));
}

void TListEditForm::FirstControlFocused() {
  // The caret at the top, nothing selected: a key typed at once must not replace the list.
  HWND memo = Control(IdListMemo1);
  SendMessageW(memo, EM_SETSEL, 0, 0);
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

void TListEditForm::FormCloseQuery() {
  ListEditWindowSettings settings;
  RECT rc = OuterRect();
  settings.placement = {rc.top, rc.left, rc.bottom - rc.top, rc.right - rc.left};
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(settingsRoot_))
    WriteListEditWindowSettings(*store, settings);
}

void TListEditForm::FormResize() {
  RECT rc{};
  GetClientRect(Handle(), &rc);
  std::vector<ControlRect> layout = ListEditFormLayout(rc.right, rc.bottom);
  Place(Control(IdListMemo1), layout[lcMemo1]);
  Place(Control(IdOkButton1), layout[lcOkButton1]);
  Place(Control(IdCancelButton1), layout[lcCancelButton1]);
  InvalidateRect(Handle(), nullptr, TRUE);
}

}  // namespace tess
