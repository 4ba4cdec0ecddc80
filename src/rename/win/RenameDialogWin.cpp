#include "rename/win/RenameDialogWin.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <chrono>
#include <memory>
#include <set>
#include <mutex>
#include <tuple>

#include "platform/ScopeExit.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/WakeUp.h"
#include "platform/win/AppMessages.h"
#include "platform/win/Controls.h"
#include "platform/win/WinText.h"
#include "rename/RenameSettings.h"
#include "rename/RenameTemplate.h"
#include "rename/RunUndo.h"
#include "rename/win/ClockTableWin.h"

namespace tess {

namespace {

// A drop-down list's window reaches below its selection field by the height of its list.
constexpr int kDropDownListHeight = 200;

// The token table's columns: heading and width at 96 DPI.
struct TokenColumn {
  const char16_t* heading;
  int width;
};
constexpr TokenColumn kTokenColumns[] = {
    {texts::kTokenColumnJapanese, 120},
    {texts::kTokenColumnAscii, 60},
    {texts::kTokenColumnMeaning, 170},
    {texts::kTokenColumnExample, 90},
};

constexpr int32_t kUnsetPosition = INT32_MIN;
constexpr int kProgressRange = 1000;

// A line as the log shows it: every line ends with a line break, so the text's lines are
// exactly the lines written. A text area ends a line at its first NUL: a control character
// (a camera text padded with NULs) is shown as a mark of its own, and the line stays whole.
void AppendLogLine(std::u16string& text, const std::u16string& line) {
  size_t at = text.size();
  text += line;
  for (size_t i = at; i < text.size(); ++i)
    if (text[i] < 0x20) text[i] = u'\uFFFD';
  text += u"\r\n";
}

// The log of a test run: collected, then shown in one update. Appending line by line costs
// a text area about 16 ms a line under Wine; thousands of pairs must show at once.
class CollectedLog final : public RenameLog {
 public:
  explicit CollectedLog(const std::function<void()>& beep) : beep_(beep) {}
  std::u16string text;
  void Clear() override { text.clear(); }
  void WriteLine(const std::u16string& line) override { AppendLogLine(text, line); }
  void Beep() override {
    if (beep_) beep_();
    else MessageBeep(0);
  }

 private:
  const std::function<void()>& beep_;
};

// The progress bar during an undo, which runs on the window's thread: moved and drawn at
// once, one pair at a time.
class UndoBar final : public TransferObserver {
 public:
  explicit UndoBar(HWND bar) : bar_(bar) {
    SendMessageW(bar_, PBM_SETPOS, 0, 0);
    ShowWindow(bar_, SW_SHOWNA);
  }
  void OnProgress(const TransferProgress& p) override {
    if (p.filesTotal == 0) return;
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(p.filesDone * kProgressRange / p.filesTotal), 0);
    UpdateWindow(bar_);
  }

 private:
  HWND bar_;
};

// The run an undo will work on, as the user knows it: when, what, how many, where to.
std::u16string UndoQuestion(const RunJournal& run) {
  return texts::kUndoAskPrefix + run.time + u"、" + ActionName(run.action) + u"、" +
         PadNumber(static_cast<long long>(RunPhotoCount(run)), 1) + texts::kUndoAskFolder + RunDestinationFolder(run) +
         texts::kUndoAskSuffix;
}

std::u16string FormatMegabytes(uint64_t bytes) {
  uint64_t tenths = (bytes + 50000) / 100000;
  return PadNumber(static_cast<long long>(tenths / 10), 1) + u"." + PadNumber(static_cast<long long>(tenths % 10), 1);
}

}  // namespace

RenameDialog::RenameDialog(HINSTANCE instance, HWND owner, RenameDialogOptions options)
    : ModalDialog(instance, owner, kRenameFormCaption, kRenameFormClientWidth, kRenameFormMinClientHeight),
      options_(std::move(options)) {
  auto design = [](RenameControl c) { return RenameDesignRect(c); };
  auto combo = [&](RenameControl c) {
    ControlRect r = design(c);
    r.height += kDropDownListHeight;
    return r;
  };
  // Created in tab order: the dialog manager moves the focus along the creation order.
  for (auto [id, text, rect] : {std::tuple{IdActionLabel, texts::kLabelAction, rcActionLabel}, std::tuple{IdFolderLabel, texts::kLabelFolder, rcFolderLabel},
                                std::tuple{IdNameLabel, texts::kLabelFileName, rcNameLabel},
                                std::tuple{IdBackupLabel, texts::kLabelBackup, rcBackupLabel}})
    CreateControl(L"STATIC", text, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, id, design(rect));
  const DWORD comboStyle = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  HWND combo1 = CreateControl(L"COMBOBOX", u"", comboStyle | WS_GROUP, 0, IdActionBox, combo(rcActionBox));
  CreateControl(L"BUTTON", u"時刻補正...", WS_TABSTOP | BS_PUSHBUTTON, 0, IdClockRulesButton, design(rcClockRulesButton));
  HWND combo2 = CreateControl(L"COMBOBOX", u"", comboStyle, 0, IdFolderBox, combo(rcFolderBox));
  CreateControl(L"BUTTON", texts::kButtonEllipsis, WS_TABSTOP | BS_PUSHBUTTON, 0, IdEditFoldersButton, design(rcEditFoldersButton));
  HWND combo3 = CreateControl(L"COMBOBOX", u"", comboStyle, 0, IdNameBox, combo(rcNameBox));
  CreateControl(L"BUTTON", texts::kButtonEllipsis, WS_TABSTOP | BS_PUSHBUTTON, 0, IdEditNamesButton, design(rcEditNamesButton));
  HWND combo4 = CreateControl(L"COMBOBOX", u"", comboStyle, 0, IdBackupBox, combo(rcBackupBox));
  CreateControl(L"BUTTON", texts::kButtonEllipsis, WS_TABSTOP | BS_PUSHBUTTON, 0, IdEditBackupsButton, design(rcEditBackupsButton));
  CreateControl(L"BUTTON", texts::kCheckEjectWhenDone, WS_TABSTOP | BS_AUTOCHECKBOX, 0, IdEjectWhenDone, design(rcEjectWhenDone));
  HWND memo = CreateControl(L"EDIT", u"",
                            WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                                ES_READONLY | ES_NOHIDESEL,
                            WS_EX_CLIENTEDGE, IdLog, design(rcLog));
  // A log of many photos runs far past the edit control's usual limit of 32K characters.
  SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
  CreateControl(L"BUTTON", texts::kButtonRun, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IdRunButton, design(rcRunButton));
  CreateControl(L"BUTTON", texts::kButtonClose, WS_TABSTOP | BS_PUSHBUTTON, 0, IdCloseButton, design(rcCloseButton));
  CreateControl(L"BUTTON", texts::kButtonTest, WS_TABSTOP | BS_PUSHBUTTON, 0, IdTestButton, design(rcTestButton));
  CreateControl(L"BUTTON", texts::kButtonUndo, WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, IdUndoButton, design(rcUndoButton));
  CreateControl(L"BUTTON", texts::kCheckIncludeImported, WS_TABSTOP | BS_AUTOCHECKBOX, 0, IdIncludeImported,
                design(rcIncludeImported));
  SendMessageW(Handle(), DM_SETDEFID, IdRunButton, 0);
  // The progress of a real run, in the strip between the log and the buttons; shown from
  // the first real run on.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  HWND progress = CreateControl(PROGRESS_CLASSW, u"", 0, 0, IdProgress, design(rcLog));
  ShowWindow(progress, SW_HIDE);
  SendMessageW(progress, PBM_SETRANGE32, 0, kProgressRange);

  // Until the first showing reads the settings: the built-in lists, each at its second entry.
  FillCombo(combo1, RenameActions(), 1);
  FillCombo(combo2, RenameWindowSettings::BuiltInFolderTemplates(), 1);
  FillCombo(combo3, RenameWindowSettings::BuiltInFileTemplates(), 1);
  FillCombo(combo4, RenameWindowSettings::BuiltInBackupTemplates(), 0);
  LayOutControls();
}

const SourceRecord* RenameDialog::FirstPhoto() const {
  for (const RenamePhoto& photo : job_.photos)
    if (photo.record.HasMetadata) return &photo.record;
  return nullptr;
}

std::vector<std::u16string> RenameDialog::TemplateItems(TemplateListKind kind) const { return ComboItems(Combo(kind)); }

std::vector<std::u16string> RenameDialog::LogLines() const { return SplitLines(WindowText(Control(IdLog))); }

TemplateChoice RenameDialog::Choice(HWND combo) const { return TemplateChoice{ComboItems(combo), ComboSelection(combo)}; }

void RenameDialog::SetChoice(HWND combo, const TemplateChoice& choice) {
  if (!FillCombo(combo, choice.items, choice.index))
    throw EUserError(texts::kErrorTemplateList);
}

void RenameDialog::BeforeShow() {
  SetWindowTextW(Control(IdLog), L"");
  ShowWindow(Control(IdProgress), SW_HIDE);
  RenameWindowSettings state;
  state.placement = StoredPlacement();
  // Told apart from a stored one: a position that no read has set.
  const WindowPlacement current = state.placement;
  state.placement.top = state.placement.left = kUnsetPosition;
  TemplateChoice folders = Choice(Control(IdFolderBox));
  TemplateChoice files = Choice(Control(IdNameBox));
  state.folderTemplates = folders.items;
  state.fileTemplates = files.items;
  state.itemIndex[0] = ComboSelection(Control(IdActionBox));
  state.itemIndex[1] = folders.index;
  state.itemIndex[2] = files.index;
  state.includeImported = IsDlgButtonChecked(Handle(), IdIncludeImported) == BST_CHECKED;
  TemplateChoice backups = Choice(Control(IdBackupBox));
  state.backupTemplates = backups.items;
  state.backupIndex = backups.index;
  state.ejectWhenDone = IsDlgButtonChecked(Handle(), IdEjectWhenDone) == BST_CHECKED;
  std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot);
  ShowRenameFormState(store.get(), state);
  WindowPlacement p = state.placement;
  const bool stored = p.top != kUnsetPosition && p.left != kUnsetPosition;
  if (!stored) p.top = current.top, p.left = current.left;
  // Until a placement is stored the dialog opens over the main window, then where it was left.
  ApplyPlacement(p.top, p.left, p.height, p.width, stored || placed_);
  placed_ = true;
  SendMessageW(Control(IdActionBox), CB_SETCURSEL, static_cast<WPARAM>(state.itemIndex[0]), 0);
  FillCombo(Control(IdFolderBox), state.folderTemplates, state.itemIndex[1]);
  FillCombo(Control(IdNameBox), state.fileTemplates, state.itemIndex[2]);
  CheckDlgButton(Handle(), IdIncludeImported, state.includeImported ? BST_CHECKED : BST_UNCHECKED);
  FillCombo(Control(IdBackupBox), state.backupTemplates, state.backupIndex);
  CheckDlgButton(Handle(), IdEjectWhenDone, state.ejectWhenDone ? BST_CHECKED : BST_UNCHECKED);
  UpdateUndoButton();
  ShowRulesOfBatch();
}

// Which cameras of the batch have a clock rule, so that a shift set long ago is not forgotten.
void RenameDialog::ShowRulesOfBatch() {
  std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot);
  if (!store) return;
  std::u16string line = RulesOfBatchLine(job_, ReadClockRules(*store));
  if (!line.empty()) SetWindowTextW(Control(IdLog), W(line));
}

void RenameDialog::OpenClockTable() {
  if (running_) return;
  ClockTableDialog table(instance_, Handle(), job_, options_.settingsRoot);
  if (OnClockTableShown) table.OnShown = [this, &table] { OnClockTableShown(table); };
  if (table.ShowModal() == IDOK) {
    SetWindowTextW(Control(IdLog), L"");
    ShowRulesOfBatch();
  }
}

void RenameDialog::SaveSettingsOnClose() {
  // Closed while a run goes (only when its owner goes away: Esc and the close box stop the
  // run instead): the run stops first, so that it never outlives the lists it works on.
  StopRunNow();
  StoreChoices();
}

void RenameDialog::StoreChoices() {
  RenameWindowSettings state;
  state.placement = StoredPlacement();
  state.folderTemplates = ComboItems(Control(IdFolderBox));
  state.fileTemplates = ComboItems(Control(IdNameBox));
  state.itemIndex[0] = ComboSelection(Control(IdActionBox));
  state.itemIndex[1] = ComboSelection(Control(IdFolderBox));
  state.itemIndex[2] = ComboSelection(Control(IdNameBox));
  state.includeImported = IsDlgButtonChecked(Handle(), IdIncludeImported) == BST_CHECKED;
  state.backupTemplates = ComboItems(Control(IdBackupBox));
  state.backupIndex = ComboSelection(Control(IdBackupBox));
  state.ejectWhenDone = IsDlgButtonChecked(Handle(), IdEjectWhenDone) == BST_CHECKED;
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot))
    WriteRenameWindowSettings(*store, state);
}

void RenameDialog::LayOutControls() {
  RECT rc{};
  GetClientRect(Handle(), &rc);
  // The labels as large as their texts in the dialog's font (the design's 96-DPI pixels).
  int labelWidth = 0, labelHeight = 0;
  for (int id : {IdActionLabel, IdFolderLabel, IdNameLabel, IdBackupLabel}) {
    HWND label = Control(static_cast<RenameDialogControlId>(id));
    SIZE text = TextExtent(label, WindowText(label));
    labelWidth = std::max(labelWidth, scale_.Unscale(text.cx) + 1);
    labelHeight = std::max(labelHeight, scale_.Unscale(text.cy));
  }
  std::vector<ControlRect> layout = RenameFormLayout(scale_.Unscale(rc.right - rc.left),
                                                     scale_.Unscale(rc.bottom - rc.top), labelWidth, labelHeight);
  static const std::pair<RenameControl, int> moving[] = {
      {rcActionLabel, IdActionLabel},       {rcFolderLabel, IdFolderLabel},       {rcNameLabel, IdNameLabel},
      {rcActionBox, IdActionBox}, {rcFolderBox, IdFolderBox}, {rcEditFoldersButton, IdEditFoldersButton}, {rcNameBox, IdNameBox},
      {rcEditNamesButton, IdEditNamesButton},     {rcLog, IdLog},         {rcCloseButton, IdCloseButton},   {rcRunButton, IdRunButton},
      {rcTestButton, IdTestButton},         {rcUndoButton, IdUndoButton}, {rcIncludeImported, IdIncludeImported},
      {rcClockRulesButton, static_cast<int>(IdClockRulesButton)}, {rcBackupLabel, IdBackupLabel},
      {rcBackupBox, IdBackupBox}, {rcEditBackupsButton, IdEditBackupsButton}, {rcEjectWhenDone, IdEjectWhenDone},
  };
  for (const auto& [control, id] : moving) {
    ControlRect r = layout[control];
    if (control == rcActionBox || control == rcFolderBox || control == rcNameBox || control == rcBackupBox)
      r.height += kDropDownListHeight;
    Place(Control(static_cast<RenameDialogControlId>(id)), r);
  }
  const ControlRect& memo = layout[rcLog];
  const ControlRect& close = layout[rcCloseButton];
  const int gapTop = memo.top + memo.height + 2;
  Place(Control(IdProgress), ControlRect{memo.left, gapTop, memo.width, std::max(2, close.top - 3 - gapTop)});
  InvalidateRect(Handle(), nullptr, TRUE);
}

void RenameDialog::ScrollLogToEnd() {
  HWND memo = Control(IdLog);
  int length = GetWindowTextLengthW(memo);
  SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

// What a real run's worker hands the dialog: log text, the latest progress, the outcome.
// The worker posts a message only when none of its kind is waiting, so that a fast run
// never floods the queue; the dialog takes everything pending when it handles one.
struct RenameDialog::RunChannel final : public RenameLog, public TransferObserver {
  RunChannel(HWND dialogWindow, WPARAM runSerial)
      : dialog(dialogWindow), serial(runSerial), logWake(Poster(kRunLogMessage)), progressWake(Poster(kRunProgressMessage)) {}

  const HWND dialog;
  const WPARAM serial;  // tells this run's messages from a run before it
  CancelToken cancel;
  std::mutex mutex;
  std::u16string text;
  int beeps = 0;
  WakeUp logWake;
  TransferProgress progress;
  WakeUp progressWake;
  std::chrono::steady_clock::time_point lastProgress{};
  RenameRunResult result;
  bool testOnly = false;  // テスト: planned only, nothing touched

  void Clear() override {
    std::lock_guard lock(mutex);
    text.clear();
  }
  void WriteLine(const std::u16string& line) override {
    std::unique_lock lock(mutex);
    AppendLogLine(text, line);
    logWake.Raise(lock);
  }
  void Beep() override {
    std::unique_lock lock(mutex);
    ++beeps;
    logWake.Raise(lock);
  }
  void OnProgress(const TransferProgress& p) override {
    // About ten times a second: a smooth bar without a message per block.
    auto now = std::chrono::steady_clock::now();
    if (p.filesDone != p.filesTotal && now - lastProgress < std::chrono::milliseconds(100)) return;
    lastProgress = now;
    std::unique_lock lock(mutex);
    progress = p;
    progressWake.Raise(lock);
  }

 private:
  std::function<void()> Poster(UINT message) const {
    return [this, message] { PostMessageW(dialog, message, serial, 0); };
  }
};

RenameDialog::~RenameDialog() { StopRunNow(); }

void RenameDialog::StopRunNow() {
  if (!running_ || !channel_) return;
  channel_->cancel.Cancel();
  runner_.Join();
  channel_.reset();
  running_ = false;
}

void RenameDialog::RunLoop() {
  for (;;) {
    std::function<void()> run;
    {
      std::lock_guard lock(runMutex_);
      if (!pendingRun_) {
        runner_.Ending();
        return;
      }
      run = std::exchange(pendingRun_, nullptr);
    }
    run();
  }
}

void RenameDialog::OnCloseButton() {
  if (running_) {
    if (channel_) channel_->cancel.Cancel();
    return;
  }
  EndModal(IDCANCEL);
}

void RenameDialog::AppendToLog(const std::u16string& text) {
  if (text.empty()) return;
  HWND memo = Control(IdLog);
  int length = GetWindowTextLengthW(memo);
  // The first batch (a run's whole plan, thousands of lines) as the text itself: a text
  // area takes that faster than a replaced selection, which also keeps an undo copy.
  if (length == 0) {
    SetWindowTextW(memo, W(text));
    return;
  }
  SendMessageW(memo, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageW(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(W(text)));
}

// テスト and 実行 alike plan on the worker (about a second per 2,000 photos, the disk asked
// about every destination), so the dialog keeps answering from the first moment; テスト
// only plans, 実行 goes on with the files.
void RenameDialog::StartRun(RenameMode mode) {
  if (running_) return;
  if (batchDone_ && job_.photos.empty()) {
    SetWindowTextW(Control(IdLog), W(texts::kRunBatchDone));
    if (options_.beep) options_.beep();
    else MessageBeep(0);
    return;
  }
  const bool isTest = mode == RenameMode::Test;
  ChooseForJob(job_, ComboSelection(Control(IdActionBox)), Choice(Control(IdFolderBox)), Choice(Control(IdNameBox)),
               Choice(Control(IdBackupBox)));
  job_.mode = mode;
  // Kept now, not only when the dialog closes: a run cut short (the computer stopped) would
  // else lose the choices it ran with.
  if (!isTest) StoreChoices();
  ejectAfterRun_ = !isTest && IsDlgButtonChecked(Handle(), IdEjectWhenDone) == BST_CHECKED;
  job_.includeImported = IsDlgButtonChecked(Handle(), IdIncludeImported) == BST_CHECKED;
  // The cameras' clock rules as kept now: every batch of a camera goes by its rule until changed.
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(options_.settingsRoot))
    job_.clockRules = ReadClockRules(*store);
  SetWindowTextW(Control(IdLog), L"");
  static WPARAM runs = 0;
  channel_ = std::make_shared<RunChannel>(Handle(), ++runs);
  channel_->testOnly = isTest;
  running_ = true;
  ShowRunning(true);
  // The run reads its own copy of the job; the dialog's stays as it is until the run ends.
  auto job = std::make_shared<const RenameJob>(job_);
  FileSystem* files = options_.files ? options_.files : &PlatformFileSystem();
  FileTransfer* transfer = options_.transfer ? options_.transfer : &PlatformFileTransfer();
  JournalFolder* journals = isTest ? nullptr : &Journals();
  if (!isTest) lastRun_ = {u"", job_.photos};
  std::shared_ptr<RunChannel> channel = channel_;
  // Opened by the run on its worker, not by the window.
  auto history = std::make_shared<const HistoryPlace>(History());
  std::lock_guard lock(runMutex_);
  pendingRun_ = [channel, job, files, transfer, journals, isTest, history] {
    RenameRunControl control;
    control.observer = channel.get();
    control.cancel = &channel->cancel;
    control.journal = journals;
    if (!history->path.empty()) control.history = history.get();
    RenameRunResult result;
    try {
      result = RunRenameJob(*job, *channel, *files, *transfer, control);
      // A test points at the typing slips the run passed over in silence.
      if (isTest)
        for (const std::u16string& line : UnknownTokenLines(*job)) channel->WriteLine(line);
    } catch (const std::exception&) {
      channel->WriteLine(job->action == RenameAction::Copy ? texts::kRunCopyFailed : texts::kRunMoveFailed);
      channel->Beep();
    }
    {
      std::lock_guard lock(channel->mutex);
      channel->result = std::move(result);
    }
    PostMessageW(channel->dialog, kRunDoneMessage, channel->serial, 0);
  };
  runner_.Start();
}

void RenameDialog::ShowRunning(bool running) {
  EnableWindow(GetDlgItem(Handle(), IdClockRulesButton), !running);
  for (RenameDialogControlId id : {IdActionBox, IdFolderBox, IdEditFoldersButton, IdNameBox, IdEditNamesButton, IdBackupBox,
                                   IdEditBackupsButton, IdRunButton, IdTestButton})
    EnableWindow(Control(id), !running);
  if (running) EnableWindow(Control(IdUndoButton), FALSE);
  HWND close = Control(IdCloseButton);
  SetWindowTextW(close, W(running ? texts::kButtonStop : texts::kButtonClose));
  HWND progress = Control(IdProgress);
  if (running) {
    idleCaption_ = Caption();
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    // テスト touches no file: nothing to show progress of.
    ShowWindow(progress, channel_ && channel_->testOnly ? SW_HIDE : SW_SHOWNA);
    // The focus may have been on a button now disabled: the keyboard still reaches 中止.
    HWND focus = GetFocus();
    if (!focus || !IsWindowEnabled(focus)) SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close), TRUE);
  } else {
    SetCaption(idleCaption_);
  }
}

void RenameDialog::TakeRunLog() {
  if (!channel_) return;
  std::u16string text;
  int beeps = 0;
  {
    std::lock_guard lock(channel_->mutex);
    text.swap(channel_->text);
    beeps = std::exchange(channel_->beeps, 0);
    channel_->logWake.Answered();
  }
  AppendToLog(text);
  if (!text.empty()) ScrollLogToEnd();
  for (; beeps > 0; --beeps) {
    if (options_.beep) options_.beep();
    else MessageBeep(0);
  }
}

void RenameDialog::ShowRunProgress() {
  if (!channel_) return;
  TransferProgress p;
  {
    std::lock_guard lock(channel_->mutex);
    p = channel_->progress;
    channel_->progressWake.Answered();
  }
  int position = 0;
  if (p.bytesTotal > 0) position = static_cast<int>(p.bytesDone * kProgressRange / p.bytesTotal);
  else if (p.filesTotal > 0) position = static_cast<int>(p.filesDone * kProgressRange / p.filesTotal);
  SendMessageW(Control(IdProgress), PBM_SETPOS, static_cast<WPARAM>(position), 0);
  const char16_t* phase = p.phase == TransferPhase::Verifying ? texts::kPhaseVerifying : p.phase == TransferPhase::Moving ? texts::kPhaseMoving : texts::kPhaseCopying;
  SetCaption(idleCaption_ + u" - " + phase + u" " + PadNumber(static_cast<long long>(p.filesDone), 1) + u"/" +
             PadNumber(static_cast<long long>(p.filesTotal), 1) + texts::kProgressFiles + FormatMegabytes(p.bytesDone) +
             u"/" + FormatMegabytes(p.bytesTotal) + u" MB)");
}

void RenameDialog::EndRun() {
  if (!running_ || !channel_) return;
  // The worker posted its last message on its way out: the wait is for its return.
  runner_.Join();
  TakeRunLog();
  RenameRunResult result = channel_->result;
  const RenameOutcome outcome = result.outcome;
  const bool testOnly = channel_->testOnly;
  // The job keeps the photos the run has not settled, so that running again retries exactly those.
  job_.photos = PhotosLeft(job_.photos, result.settled);
  if (!testOnly && !result.settled.filed.empty() && job_.photos.empty()) batchDone_ = true;
  if (!testOnly) ShowRunProgress();
  channel_.reset();
  running_ = false;
  ShowRunning(false);
  ScrollLogToEnd();
  HWND owner = Owner();
  if (owner && Showing() && IsWindowEnabled(owner)) EnableWindow(owner, FALSE);
  // Files were copied or moved, all or some of them.
  bool touched = !testOnly && (outcome == RenameOutcome::Done || outcome == RenameOutcome::Failed ||
                               outcome == RenameOutcome::Cancelled);
  if (touched && OnFilesChanged) OnFilesChanged();
  if (!testOnly) {
    std::optional<RunJournal> last = LastRun(Journals());
    lastRun_.journal = touched && last ? last->name : u"";
  }
  UpdateUndoButton();
  // Last, once the panes show the disk as it is: the card comes out only when it holds
  // nothing left to file.
  if (EjectsAfterRun(ejectAfterRun_, testOnly ? RenameMode::Test : RenameMode::Real, outcome))
    EjectSourceCards(lastRun_.photos);
}

void RenameDialog::EjectSourceCards(const std::vector<RenamePhoto>& photos) {
  if (!EjectCard) return;
  std::u16string text;
  bool failed = false;
  for (const std::u16string& drive : SourceDrives(photos)) {
    // A network share has no drive to eject.
    CardEjectResult result{CardEjectOutcome::NotRemovable, {}};
    if (drive.size() == 3 && drive[1] == u':') result = EjectCard(drive[0]);
    failed = failed || result.outcome == CardEjectOutcome::InUse || result.outcome == CardEjectOutcome::Failed;
    AppendLogLine(text, CardEjectLine(drive, result));
  }
  AppendToLog(text);
  ScrollLogToEnd();
  if (!failed) return;
  if (options_.beep) options_.beep();
  else MessageBeep(0);
}

JournalFolder& RenameDialog::Journals() const { return options_.journals ? *options_.journals : PlatformJournalFolder(); }

HistoryPlace RenameDialog::History() const {
  if (options_.history) return *options_.history;
  return options_.journals ? HistoryPlace{} : PlatformHistoryPlace();
}

void RenameDialog::UpdateUndoButton() {
  std::optional<RunJournal> last = running_ ? std::nullopt : LastRun(Journals());
  HWND button = Control(IdUndoButton);
  const bool enable = last && CanUndo(*last);
  // The focus must not stay on a button that goes grey: Enter and Esc would lose their way.
  if (!enable && GetFocus() == button) SendMessageW(Handle(), WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(button, enable);
}

void RenameDialog::OnUndoButton() {
  if (running_) return;
  running_ = true;
  auto done = RestoreOnExit(running_, false);
  CollectedLog log(options_.beep);
  FileSystem& files = options_.files ? *options_.files : PlatformFileSystem();
  FileTransfer& transfer = options_.transfer ? *options_.transfer : PlatformFileTransfer();
  std::optional<RunJournal> last = LastRun(Journals());
  // A run this dialog did not make (another window's, the command line's, one cut short)
  // is named before anything is touched, and undone only when the user says so.
  if (last && last->name != lastRun_.journal) {
    const std::u16string question = UndoQuestion(*last);
    const bool yes = options_.askYesNo ? options_.askYesNo(question)
                                       : MessageBoxW(Handle(), W(question), W(texts::kAppTitle),
                                                     MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (!yes) return;
  }
  UndoBar bar(Control(IdProgress));
  const HistoryPlace history = History();
  UndoRun(Journals(), last ? last->name : u"", files, transfer, log, &bar, history.path.empty() ? nullptr : &history);
  SetWindowTextW(Control(IdLog), W(log.text));
  // The photos this dialog's last run filed and the undo put back are in the job again.
  if (last && last->name == lastRun_.journal) {
    std::set<std::u16string> listed;
    for (const RenamePhoto& photo : job_.photos) listed.insert(FileSystemPathKey(photo.source));
    for (const RenamePhoto& photo : lastRun_.photos) {
      if (listed.count(FileSystemPathKey(photo.source)) || !files.FileSize(photo.source)) continue;
      job_.photos.push_back(photo);
    }
    lastRun_ = {};
  }
  ScrollLogToEnd();
  running_ = false;
  if (OnFilesChanged) OnFilesChanged();
  UpdateUndoButton();
}

void RenameDialog::EditList(TemplateListKind kind) {
  if (!listEditForm_ || running_) return;
  HWND combo = Combo(kind);
  listEditForm_->SetCaption(CaptionForList(kind));
  std::optional<std::u16string> remembered;
  TemplateChoice before = Choice(combo);
  if (SelectableIndex(before.index, static_cast<int>(before.items.size())) >= 0) remembered = SelectedText(before);
  if (listEditForm_->ShowModal() != IDOK) return;
  SetChoice(combo, ApplyEditedList(listEditForm_->Lines(), remembered, kind));
}

bool RenameDialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED && id != IdCloseButton) return false;
  if (running_ && id != IdCloseButton) return true;
  switch (id) {
    case IdRunButton: OnRunButton(); return true;
    case IdTestButton: OnTestButton(); return true;
    case IdUndoButton: OnUndoButton(); return true;
    case IdEditFoldersButton: EditFolderTemplates(); return true;
    case IdEditNamesButton: EditNameTemplates(); return true;
    case IdEditBackupsButton: EditBackupTemplates(); return true;
    case IdClockRulesButton: OpenClockTable(); return true;
    case IdCloseButton: OnCloseButton(); return true;
    default: return false;
  }
}

INT_PTR RenameDialog::OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  switch (msg) {
    case kRunLogMessage:
    case kRunProgressMessage:
    case kRunDoneMessage:
      handled = true;
      // A message of a run that has ended already (at once, before its messages came) is
      // no longer news.
      if (!channel_ || wp != channel_->serial) return TRUE;
      if (msg == kRunLogMessage) TakeRunLog();
      else if (msg == kRunProgressMessage) ShowRunProgress();
      else EndRun();
      return TRUE;
    default: break;
  }
  if (msg == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lp) == Control(IdLog)) {
    // The log is read-only, yet reads as a text area, not as a greyed one.
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    handled = true;
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
  }
  return 0;
}

// ---- TemplateListDialog ----

TemplateListDialog::TemplateListDialog(HINSTANCE instance, HWND owner, std::u16string settingsRoot)
    : ModalDialog(instance, owner, kListEditFormCaption, kListEditFormClientWidth, kListEditFormClientHeight),
      settingsRoot_(std::move(settingsRoot)) {
  HWND memo = CreateControl(L"EDIT", u"",
                            WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL |
                                ES_NOHIDESEL,
                            WS_EX_CLIENTEDGE, IdListText, ListEditDesignRect(lcListText));
  SendMessageW(memo, EM_SETLIMITTEXT, 0, 0);
  // The tokens a template can use, beside the text area; a double-click types one.
  HWND table = CreateControl(WC_LISTVIEWW, u"",
                             WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                             0, IdTokenTable, ListEditDesignRect(lcTokenTable));
  ListView_SetExtendedListViewStyleEx(table, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (int i = 0; i < static_cast<int>(std::size(kTokenColumns)); ++i)
    if (!AddListColumn(table, i, kTokenColumns[i].heading, scale_(kTokenColumns[i].width)))
      throw EUserError(texts::kErrorControl);
  FillTokenTable();
  CreateControl(L"BUTTON", texts::kButtonOk, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IdOkButton, ListEditDesignRect(lcOkButton));
  CreateControl(L"BUTTON", texts::kButtonCancel, WS_TABSTOP | BS_PUSHBUTTON, 0, IdCancelButton,
                ListEditDesignRect(lcCancelButton));
  SendMessageW(Handle(), DM_SETDEFID, IdOkButton, 0);
  LayOutControls();
}

std::vector<std::u16string> TemplateListDialog::Lines() const { return SplitLines(WindowText(Control(IdListText))); }

void TemplateListDialog::FillTokenTable() {
  HWND table = Control(IdTokenTable);
  SendMessageW(table, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(table);
  const SourceRecord* example = renameForm_ ? renameForm_->FirstPhoto() : nullptr;
  int row = 0;
  for (TemplateTokenHelp& help : TemplateTokenTable(example)) {
    std::u16string* cells[] = {&help.japanese, &help.ascii, &help.meaning, &help.example};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = W(*cells[0]);
    if (ListView_InsertItem(table, &item) < 0) break;
    for (int column = 1; column < 4; ++column) ListView_SetItemText(table, row, column, W(*cells[column]));
    ++row;
  }
  SendMessageW(table, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(table, nullptr, TRUE);
}

std::vector<std::vector<std::u16string>> TemplateListDialog::TokenRows() const {
  HWND table = Control(IdTokenTable);
  std::vector<std::vector<std::u16string>> rows;
  int count = ListView_GetItemCount(table);
  for (int row = 0; row < count; ++row) {
    std::vector<std::u16string> cells;
    for (int column = 0; column < 4; ++column) cells.push_back(ListCellText(table, row, column));
    rows.push_back(std::move(cells));
  }
  return rows;
}

void TemplateListDialog::InsertToken(int row) {
  std::vector<std::vector<std::u16string>> rows = TokenRows();
  if (row < 0 || row >= static_cast<int>(rows.size())) return;
  // The first Japanese form: "@通1 / @番1" types "@通1".
  std::u16string token = rows[static_cast<size_t>(row)][0];
  token = token.substr(0, token.find(u' '));
  HWND memo = Control(IdListText);
  SendMessageW(memo, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(W(token)));
  SetFocus(memo);
}

INT_PTR TemplateListDialog::OnDialogMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  if (msg != WM_NOTIFY) return 0;
  const auto* header = reinterpret_cast<const NMHDR*>(lp);
  if (header->idFrom == IdTokenTable && (header->code == NM_DBLCLK || header->code == LVN_ITEMACTIVATE)) {
    InsertToken(reinterpret_cast<const NMITEMACTIVATE*>(lp)->iItem);
    handled = true;
  }
  return 0;
}

void TemplateListDialog::DpiChanged() {
  HWND table = Control(IdTokenTable);
  for (int i = 0; i < static_cast<int>(std::size(kTokenColumns)); ++i)
    ListView_SetColumnWidth(table, i, scale_(kTokenColumns[i].width));
}

void TemplateListDialog::BeforeShow() {
  HWND memo = Control(IdListText);
  SetWindowTextW(memo, L"");
  ListEditWindowSettings settings;
  settings.placement = StoredPlacement();
  const WindowPlacement before = settings.placement;
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(settingsRoot_))
    ReadListEditWindowSettings(*store, settings);
  WindowPlacement& p = settings.placement;
  bool read = p.top != before.top || p.left != before.left || p.height != before.height || p.width != before.width;
  if (!read && !placed_) {
    // Nothing stored yet: over the middle of the dialog that opens it.
    RECT owner{};
    if (Owner() && GetWindowRect(Owner(), &owner)) {
      p.left = (owner.left + owner.right - scale_(p.width)) / 2;
      p.top = (owner.top + owner.bottom - scale_(p.height)) / 2;
      // Wider than a dialog in the screen's corner, it would start left of the screen.
      p.left = std::max(p.left, static_cast<int32_t>(GetSystemMetrics(SM_XVIRTUALSCREEN)));
      p.top = std::max(p.top, static_cast<int32_t>(GetSystemMetrics(SM_YVIRTUALSCREEN)));
    }
  }
  placed_ = true;
  ApplyPlacement(p.top, p.left, p.height, p.width);
  std::vector<std::u16string> lines;
  if (renameForm_) {
    const TemplateListKind kind = ListForCaption(Caption());
    lines = EditableLines(renameForm_->TemplateItems(kind), kind);
  }
  std::u16string text = JoinLines(lines);
  SetWindowTextW(memo, W(text));
  FillTokenTable();
}

void TemplateListDialog::FirstControlFocused() {
  // The caret at the top, nothing selected: a key typed at once must not replace the list.
  HWND memo = Control(IdListText);
  SendMessageW(memo, EM_SETSEL, 0, 0);
  SendMessageW(memo, EM_SCROLLCARET, 0, 0);
}

void TemplateListDialog::SaveSettingsOnClose() {
  ListEditWindowSettings settings;
  settings.placement = StoredPlacement();
  if (std::unique_ptr<SettingsStore> store = MakeUserSettingsStore(settingsRoot_))
    WriteListEditWindowSettings(*store, settings);
}

void TemplateListDialog::LayOutControls() {
  RECT rc{};
  GetClientRect(Handle(), &rc);
  std::vector<ControlRect> layout = ListEditFormLayout(scale_.Unscale(rc.right), scale_.Unscale(rc.bottom));
  Place(Control(IdListText), layout[lcListText]);
  Place(Control(IdTokenTable), layout[lcTokenTable]);
  Place(Control(IdOkButton), layout[lcOkButton]);
  Place(Control(IdCancelButton), layout[lcCancelButton]);
  InvalidateRect(Handle(), nullptr, TRUE);
}

}  // namespace tess
