// The EXIF rename from the window, in-process: the real main window, rename dialog and
// template list editor under a throwaway settings key, driven as a person drives them
// (buttons, keys, drop-downs) and checked by what the dialogs show, what the registry
// holds and what lies on disk. No run ever meets an existing destination, so the shell
// never has a question to ask.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/win/MainWindow.h"
#include "browse/FolderPaths.h"
#include "platform/SettingsKey.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"
#include "rename/RenameForms.h"
#include "rename/RenameSettings.h"
#include "rename/RunJournal.h"
#include "rename/win/RenameDialogWin.h"
#include "rename/win/ClockTableWin.h"
#include "../support/ExifFixtures.h"
#include "../support/FakeJournalFolder.h"
#include "../support/WinPump.h"

using namespace tess;
using tess::testing::Pump;
namespace fx = tess::fixtures;
namespace fs = std::filesystem;

namespace {

using List = std::vector<std::u16string>;

std::u16string Text(HWND hwnd) {
  wchar_t buf[4096] = {};
  GetWindowTextW(hwnd, buf, 4095);
  return U16(buf);
}

List ShownItems(HWND combo) {
  List items;
  for (LRESULT i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
    wchar_t buf[1024] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    items.push_back(U16(buf));
  }
  return items;
}

int Selected(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void Select(HWND combo, int index) {
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

// Messages handled, as the dialog's loop would, while `going` holds (a minute at most).
void PumpWhile(const std::function<bool()>& going) {
  DWORD start = GetTickCount();
  while (going() && GetTickCount() - start < 60000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Pump();
  }
}

// 実行 (or テスト), and the messages handled until the run on its worker has ended.
void RunToEnd(RenameDialog& form, RenameDialogControlId button = IdRunButton) {
  Click(form.Control(button));
  PumpWhile([&] { return form.Running(); });
  EXPECT_FALSE(form.Running()) << "the run ended";
}
void TestToEnd(RenameDialog& form) { RunToEnd(form, IdTestButton); }

// The machine's files, each block read a little late: a run that takes a while.
class SlowTransfer final : public FileTransfer {
 public:
  std::unique_ptr<FileReader> OpenRead(const std::u16string& path, bool pastCache) override {
    std::unique_ptr<FileReader> reader = real_.OpenRead(path, pastCache);
    if (!reader) return nullptr;
    return std::make_unique<SlowReader>(std::move(reader));
  }
  std::unique_ptr<FileWriter> CreateNew(const std::u16string& path) override { return real_.CreateNew(path); }
  RenameResult RenameNoReplace(const std::u16string& from, const std::u16string& to) override {
    return real_.RenameNoReplace(from, to);
  }
  bool Remove(const std::u16string& path) override { return real_.Remove(path); }
  bool SameVolume(const std::u16string& a, const std::u16string& b) override { return real_.SameVolume(a, b); }

 private:
  class SlowReader final : public FileReader {
   public:
    explicit SlowReader(std::unique_ptr<FileReader> r) : r_(std::move(r)) {}
    int64_t Read(void* buffer, size_t size) override {
      Sleep(15);
      return r_->Read(buffer, size);
    }

   private:
    std::unique_ptr<FileReader> r_;
  };
  FileTransfer& real_ = PlatformFileTransfer();
};

// A key as the keyboard sends it, to the control with the focus.
void PostKey(UINT vk) {
  HWND target = GetFocus();
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

ControlRect RectIn(HWND parent, HWND control) {
  RECT rc{};
  GetWindowRect(control, &rc);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return ControlRect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

RECT Outer(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  return rc;
}

std::string Bytes(const std::u16string& path) {
  std::ifstream in(fs::path(std::wstring(W(path))), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }

std::string Show(const List& list) {
  std::string s = "[";
  for (const auto& e : list) s += ToUtf8(e) + "|";
  return s + "]";
}

// A showing that does not end within a generous time fails the test instead of hanging it.
ModalDialog* watched = nullptr;
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
  if (watched && watched->Showing()) {
    ADD_FAILURE() << "a dialog stayed open";
    watched->EndModal(IDCANCEL);
  }
}

// Posts WM_CLOSE to the dialog once a run has written its log and ended.
RenameDialog* closing = nullptr;
void CALLBACK CloseOnceEnded(HWND, UINT, UINT_PTR timer, DWORD) {
  if (!closing || closing->Running() || closing->LogLines().empty()) return;
  KillTimer(nullptr, timer);
  PostMessageW(closing->Handle(), WM_CLOSE, 0, 0);
  closing = nullptr;
}
void CloseWhenRunEnds(RenameDialog& form) {
  closing = &form;
  SetTimer(nullptr, 0, 20, &CloseOnceEnded);
}

class RenameDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = u"Software\\TessarineTests\\Rename" + PadNumber(GetCurrentProcessId(), 1) + u"_" +
            PadNumber(++counter_, 1);
    store_ = MakeUserSettingsStore(root_);
    folder_ = IncludeTrailingBackslash(fx::MakeTempFolder("rename"));
  }
  void TearDown() override {
    edit_.reset();
    rename_.reset();
    main_.reset();
    MakeUserSettingsStore()->DeleteTree(root_);
    std::error_code ec;
    fs::remove_all(fs::path(std::wstring(W(folder_))), ec);
  }

  // The sources of the photos the dialog's job holds.
  List JobSources() const {
    List sources;
    for (const RenamePhoto& photo : rename_->Job().photos) sources.push_back(photo.source);
    return sources;
  }

  void Open() {
    MainWindowOptions options;
    options.settingsRoot = root_;
    options.quitOnDestroy = false;
    options.reportError = [](const std::u16string& text) { ADD_FAILURE() << "error shown: " << ToUtf8(text); };
    options.journals = &journals_;
    main_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    // As the program does: the dialog owned by the main window, the editor by the dialog.
    RenameDialogOptions renameOptions;
    renameOptions.settingsRoot = root_;
    renameOptions.beep = [this] { ++beeps_; };
    renameOptions.transfer = transfer_;
    renameOptions.journals = &journals_;
    rename_ = std::make_unique<RenameDialog>(GetModuleHandleW(nullptr), main_->Handle(), renameOptions);
    edit_ = std::make_unique<TemplateListDialog>(GetModuleHandleW(nullptr), rename_->Handle(), root_);
    edit_->SetRenameForm(rename_.get());
    rename_->SetListEditForm(edit_.get());
    main_->ConnectRenameForm(*rename_);
    main_->Show(SW_SHOWNOACTIVATE);
    Pump();
    EXPECT_TRUE(tess::testing::FinishTreeReads(main_->FolderTree()));
  }
  // The whole-folder rename reads on a worker: the dialog opens when the read has come back.
  void FinishCardRead() {
    for (int i = 0; i < 2000 && main_->FileList().CardReadRunning(); ++i) {
      Pump();
      Sleep(2);
    }
    EXPECT_FALSE(main_->FileList().CardReadRunning());
  }

  // Runs body as soon as form is shown; the showing then ends unless body left that to
  // keys it posted.
  void WhenShown(ModalDialog& form, std::function<void()> body, bool close = true) {
    form.OnShown = [&form, body, close] {
      body();
      if (close && form.Showing() && !form.ModalResult()) form.EndModal(IDCANCEL);
    };
  }
  int ShowRename() {
    watched = rename_.get();
    UINT_PTR timer = SetTimer(nullptr, 0, 20000, &Watchdog);
    int result = rename_->ShowModal();
    KillTimer(nullptr, timer);
    return result;
  }

  void StoreFolder(const std::u16string& folder) {
    auto key = store_->Open(kProductKey, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteString(*key, u"SelectFolder", folder));
  }
  void StoreRenameSettings(const List& folders, const List& files, int action, int folder, int file) {
    auto key = store_->Open(kRenameWindowKey, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteMultiString(*key, u"CopyToPath", folders));
    ASSERT_TRUE(WriteMultiString(*key, u"CopyToFile", files));
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox1.ItemIndex", action));
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox2.ItemIndex", folder));
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox3.ItemIndex", file));
  }
  int32_t StoredInteger(const std::u16string& keyPath, const std::u16string& name) {
    auto key = store_->Open(keyPath, false);
    int32_t value = INT32_MIN;
    if (key) ReadInteger(*key, name, value);
    return value;
  }
  List StoredList(const std::u16string& name) {
    auto key = store_->Open(kRenameWindowKey, false);
    List list;
    if (key) ReadMultiString(*key, name, list);
    return list;
  }
  void Photo(const std::u16string& name, const std::string& date, const std::string& model) {
    fx::PhotoFields f;
    f.dateTimeOriginal = date;
    f.model = model;
    f.make = "Maker";
    fx::WriteFile(folder_ + name, fx::PhotoJpeg(f));
  }
  HWND C(RenameDialogControlId id) { return rename_->Control(id); }
  // A log without its closing summary line.
  static List Body(List log) {
    if (!log.empty() && log.back().rfind(u"まとめ", 0) == 0) log.pop_back();
    return log;
  }
  HWND ListView() { return main_->FileList().Handle(); }
  std::vector<std::u16string> Rows() {
    std::vector<std::u16string> rows;
    for (int i = 0; i < ListView_GetItemCount(ListView()); ++i) {
      wchar_t buf[512] = {};
      ListView_GetItemText(ListView(), i, 0, buf, 511);
      rows.push_back(U16(buf));
    }
    return rows;
  }
  void PressExifRenameButton() {
    HWND button = main_->ToolButton(IdEventButton).Handle();
    watched = rename_.get();
    UINT_PTR timer = SetTimer(nullptr, 0, 20000, &Watchdog);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    FinishCardRead();
    KillTimer(nullptr, timer);
  }

  static inline int counter_ = 0;
  std::u16string root_;
  std::unique_ptr<SettingsStore> store_;
  std::u16string folder_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<RenameDialog> rename_;
  std::unique_ptr<TemplateListDialog> edit_;
  int beeps_ = 0;
  FileTransfer* transfer_ = nullptr;  // the machine's files unless a test sets them before Open
  tess::testing::FakeJournalFolder journals_;  // the runs' journals, this test's own
};

}  // namespace

namespace tess {
void PrintTo(const ControlRect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}
}  // namespace tess

TEST_F(RenameDialogTest, ControlsTabOrderButtonsAndModality) {
  Open();
  bool ran = false;
  WhenShown(*rename_, [&] {
    ran = true;
    HWND dialog = rename_->Handle();
    EXPECT_EQ(Text(dialog), u"リネーム画面");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main_->Handle()) << "owned by the main window";
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(IsWindowEnabled(main_->Handle())) << "modal: the main window takes no input meanwhile";

    struct Expected { RenameDialogControlId id; const char16_t* text; const wchar_t* cls; } controls[] = {
        {IdActionLabel, u"動作:", L"Static"},   {IdFolderLabel, u"コピー先:", L"Static"}, {IdNameLabel, u"ファイル名:", L"Static"},
        {IdEditFoldersButton, u"...", L"Button"},     {IdEditNamesButton, u"...", L"Button"},       {IdRunButton, u"実行", L"Button"},
        {IdCloseButton, u"閉じる", L"Button"},   {IdTestButton, u"テスト", L"Button"},     {IdLog, u"", L"Edit"},
        {IdIncludeImported, u"取り込み済みも含める", L"Button"},
    };
    for (const Expected& e : controls) {
      HWND c = C(e.id);
      ASSERT_TRUE(c) << e.id;
      EXPECT_EQ(Text(c), e.text) << e.id;
      wchar_t cls[64] = {};
      GetClassNameW(c, cls, 63);
      EXPECT_STREQ(cls, e.cls) << e.id;
    }
    EXPECT_EQ(ShownItems(C(IdActionBox)), (List{u"コピー", u"移動/リネーム"}));
    // Labels sit where they were designed and are as wide as their text.
    EXPECT_EQ(RectIn(dialog, C(IdFolderLabel)).left, 8);
    EXPECT_EQ(RectIn(dialog, C(IdFolderLabel)).top, 41);
    EXPECT_GT(RectIn(dialog, C(IdNameLabel)).width, 20);
    EXPECT_LE(RectIn(dialog, C(IdNameLabel)).left + RectIn(dialog, C(IdNameLabel)).width, 64) << "clear of the drop-downs";

    // Drop-downs take selection only; the log scrolls both ways and is not wrapped.
    EXPECT_EQ(GetWindowLongW(C(IdFolderBox), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    LONG memo = GetWindowLongW(C(IdLog), GWL_STYLE);
    EXPECT_TRUE((memo & WS_HSCROLL) && (memo & WS_VSCROLL) && (memo & ES_MULTILINE) && (memo & ES_AUTOHSCROLL));

    // Tab order from the first drop-down, which has the focus.
    EXPECT_EQ(GetFocus(), C(IdActionBox));
    RenameDialogControlId order[] = {IdActionBox, static_cast<RenameDialogControlId>(IdClockRulesButton), IdFolderBox,
                                     IdEditFoldersButton, IdNameBox, IdEditNamesButton, IdLog, IdRunButton, IdCloseButton,
                                     IdTestButton, IdIncludeImported, IdActionBox};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
      EXPECT_EQ(GetNextDlgTabItem(dialog, C(order[i]), FALSE), C(order[i + 1])) << "after " << order[i];
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IdRunButton) << "実行 is the default button";
    EXPECT_EQ(GetDlgCtrlID(C(IdCloseButton)), IDCANCEL) << "閉じる is the cancel button";
  });
  EXPECT_EQ(ShowRename(), IDCANCEL);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(IsWindowVisible(rename_->Handle()));
  EXPECT_TRUE(IsWindowEnabled(main_->Handle()));

  // Keys: Esc closes; Enter presses 実行, whose run finds no file; the close box closes.
  WhenShown(*rename_, [] { PostKey(VK_ESCAPE); }, false);
  EXPECT_EQ(ShowRename(), IDCANCEL);
  WhenShown(*rename_, [&] {
    PostKey(VK_RETURN);
    // The run goes on its worker (closing while it goes would stop it instead): the dialog's
    // own loop handles the key, and the close comes once the run has ended.
    CloseWhenRunEnds(*rename_);
  }, false);
  beeps_ = 0;
  EXPECT_EQ(ShowRename(), IDCANCEL);
  EXPECT_EQ(rename_->LogLines(), (List{u"ファイルが見つかりません。"}));
  EXPECT_EQ(beeps_, 1);
  EXPECT_FALSE(rename_->Showing());
}

TEST_F(RenameDialogTest, ShowingReadsAndClosingWritesTheFourGroups) {
  {
    auto key = store_->Open(kRenameWindowKey, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(WriteInteger(*key, u"Top", 30));
    ASSERT_TRUE(WriteInteger(*key, u"Left", 40));
    ASSERT_TRUE(WriteInteger(*key, u"Height", 300));
    ASSERT_TRUE(WriteInteger(*key, u"Width", 600));
    ASSERT_TRUE(WriteMultiString(*key, u"CopyToPath", {u"@年4", u"", u"@モデル"}));
    ASSERT_TRUE(WriteString(*key, u"CopyToFile", u"@年4"));  // of string type: unreadable as a list
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox1.ItemIndex", 5));
    ASSERT_TRUE(WriteInteger(*key, u"ComboBox2.ItemIndex", 1));
  }
  Open();
  SetWindowTextW(C(IdLog), L"old log");
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    EXPECT_EQ(rc.left, 40);
    EXPECT_EQ(rc.top, 30);
    EXPECT_EQ(rc.right - rc.left, 600);
    EXPECT_EQ(rc.bottom - rc.top, 300);
    EXPECT_EQ(Text(C(IdLog)), u"") << "the log starts empty";
    EXPECT_EQ(ShownItems(C(IdFolderBox)), (List{u"@元のフォルダ名", u"@年4", u"@モデル"}));
    EXPECT_EQ(Selected(C(IdFolderBox)), 2) << "the stored entry stays selected below the marker";
    EXPECT_EQ(ShownItems(C(IdNameBox)), RenameWindowSettings::BuiltInFileTemplates());
    EXPECT_EQ(Selected(C(IdNameBox)), 0) << "a missing index selects entry 0";
    EXPECT_EQ(Selected(C(IdActionBox)), -1) << "an index past the end selects nothing";
    EXPECT_EQ(Text(C(IdActionBox)), u"");
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdIncludeImported), BST_UNCHECKED) << "off unless stored on";

    // Every change of size lays the controls out again.
    for (SIZE size : {SIZE{600, 300}, SIZE{700, 420}, SIZE{380, 260}}) {
      SetWindowPos(rename_->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
      rc = Outer(rename_->Handle());
      // The labels as large as their texts; the controls beside them after the widest.
      ControlRect label = RectIn(rename_->Handle(), C(IdNameLabel));
      RECT client{};
      GetClientRect(rename_->Handle(), &client);
      std::vector<ControlRect> expected = RenameFormLayout(client.right, client.bottom, label.width, label.height);
      EXPECT_GE(RectIn(rename_->Handle(), C(IdLog)).height, 103) << "the log keeps its seven lines";
      const std::pair<RenameControl, RenameDialogControlId> checked[] = {
          {rcEditFoldersButton, IdEditFoldersButton}, {rcEditNamesButton, IdEditNamesButton}, {rcLog, IdLog},
          {rcCloseButton, IdCloseButton},   {rcRunButton, IdRunButton},     {rcTestButton, IdTestButton},
          {rcIncludeImported, IdIncludeImported}};
      for (auto [control, id] : checked) EXPECT_EQ(RectIn(rename_->Handle(), C(id)), expected[control]) << id;
      for (auto [control, id] : {std::pair{rcActionBox, IdActionBox}, std::pair{rcNameBox, IdNameBox}}) {
        ControlRect r = RectIn(rename_->Handle(), C(id));
        EXPECT_EQ(r.left, expected[control].left);
        EXPECT_EQ(r.width, expected[control].width) << id << " at width " << size.cx;
      }
    }
    SetWindowPos(rename_->Handle(), nullptr, 12, 34, 640, 330, SWP_NOZORDER);
    Select(C(IdActionBox), 1);
    Select(C(IdNameBox), -1);
    SendMessageW(C(IdIncludeImported), BM_CLICK, 0, 0);
  });
  ShowRename();
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"IncludeImported"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Top"), 34);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Left"), 12);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Height"), 330);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Width"), 640);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox1.ItemIndex"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox2.ItemIndex"), 2);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox3.ItemIndex"), -1) << "no selection is stored as -1";
  EXPECT_EQ(StoredList(u"CopyToPath"), (List{u"@元のフォルダ名", u"@年4", u"@モデル"}));
  EXPECT_EQ(StoredList(u"CopyToFile"), RenameWindowSettings::BuiltInFileTemplates());

  // The next showing comes back as it was left.
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    EXPECT_EQ(rc.left, 12);
    EXPECT_EQ(rc.right - rc.left, 640);
    EXPECT_EQ(Selected(C(IdActionBox)), 1);
    // A template drop-down is never shown blank: a stored -1 selects entry 0, the marker
    // that keeps each name, never an empty template.
    EXPECT_EQ(Selected(C(IdNameBox)), 0);
    EXPECT_EQ(IsDlgButtonChecked(rename_->Handle(), IdIncludeImported), BST_CHECKED) << "kept";
    // What the box says reaches the job of the next run.
    rename_->OnTestButton();
  });
  ShowRename();
  EXPECT_TRUE(rename_->Job().includeImported);
}

TEST_F(RenameDialogTest, FirstShowingWithoutSettings) {
  Open();
  EXPECT_EQ(Selected(C(IdFolderBox)), 1) << "created with the second entries selected";
  // The main window somewhere away from the screen's corner.
  SetWindowPos(main_->Handle(), nullptr, 150, 120, 644, 408, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(main_->Handle(), SW_SHOWNA);
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    RECT owner = Outer(main_->Handle());
    EXPECT_LE(std::abs((rc.left + rc.right) - (owner.left + owner.right)), 1) << "centred over the main window";
    EXPECT_LE(std::abs((rc.top + rc.bottom) - (owner.top + owner.bottom)), 1);
    RECT client{};
    GetClientRect(rename_->Handle(), &client);
    EXPECT_EQ(client.right, 505);
    EXPECT_EQ(client.bottom, kRenameFormMinClientHeight) << "the log's seven lines with the progress strip below";
    EXPECT_EQ(RectIn(rename_->Handle(), C(IdLog)).height, 103);
    EXPECT_EQ(ShownItems(C(IdFolderBox)), RenameWindowSettings::BuiltInFolderTemplates());
    for (RenameDialogControlId id : {IdActionBox, IdFolderBox, IdNameBox}) EXPECT_EQ(Selected(C(id)), 0) << id;
    EXPECT_TRUE(store_->KeyExists(kRenameWindowKey));
  });
  ShowRename();

  // A placement far off the screen is brought back; a tiny size is raised to a usable one.
  {
    auto key = store_->Open(kRenameWindowKey, true);
    ASSERT_TRUE(WriteInteger(*key, u"Top", -5000));
    ASSERT_TRUE(WriteInteger(*key, u"Left", 90000));
    ASSERT_TRUE(WriteInteger(*key, u"Height", 3));
    ASSERT_TRUE(WriteInteger(*key, u"Width", 2));
  }
  WhenShown(*rename_, [&] {
    RECT rc = Outer(rename_->Handle());
    // Moved whole onto the screen there is.
    EXPECT_EQ(rc.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rc.top, 0);
    EXPECT_GE(rc.right - rc.left, 300);
    EXPECT_GE(rc.bottom - rc.top, 200);
  });
  ShowRename();
}

TEST_F(RenameDialogTest, ListEditorRoundTrips) {
  StoreRenameSettings({u"@元のフォルダ名", u"A", u"B", u"C"}, {u"@元のファイル名", u"N"}, 0, 2, 1);
  Open();
  struct Step {
    const char* what;
    RenameDialogControlId button;
    const char16_t* newText;  // what the user leaves in the editor; null: unchanged
    bool ok;
    List items;              // the drop-down afterwards
    int selected;
  } steps[] = {
      {"OK without changes", IdEditFoldersButton, nullptr, true, {u"@元のフォルダ名", u"A", u"B", u"C"}, 2},
      {"cancel keeps list and selection", IdEditFoldersButton, u"X\r\nY", false, {u"@元のフォルダ名", u"A", u"B", u"C"}, 2},
      // The choice follows its template's text, never its position.
      {"line deleted above: the choice stays on its text", IdEditFoldersButton, u"@元のフォルダ名\r\nB\r\nC", true,
       {u"@元のフォルダ名", u"B", u"C"}, 1},
      {"new template typed at the end", IdEditFoldersButton, u"@元のフォルダ名\r\nB\r\nC\r\n@年4\\@月2@日2", true,
       {u"@元のフォルダ名", u"B", u"C", u"@年4\\@月2@日2"}, 1},
      {"the chosen template deleted: entry 0, never blank", IdEditFoldersButton, u"D", true, {u"D"}, 0},
      {"template gone again: entry 0", IdEditFoldersButton, u"E\r\n\r\nF", true, {u"E", u"", u"F"}, 0},
      {"name list emptied", IdEditNamesButton, u"", true, {u"@元のファイル名"}, 0},
  };
  WhenShown(*rename_, [&] {
    for (const Step& s : steps) {
      HWND combo = C(s.button == IdEditFoldersButton ? IdFolderBox : IdNameBox);
      List before = ShownItems(combo);
      bool edited = false;
      WhenShown(*edit_, [&] {
        edited = true;
        HWND memo = edit_->Control(IdListText);
        EXPECT_EQ(edit_->Caption(), s.button == IdEditFoldersButton ? u"コピー先一覧の編集" : u"ファイル名一覧の編集") << s.what;
        EXPECT_EQ(SplitLines(Text(memo)), before) << s.what << ": the editor shows the drop-down's entries";
        EXPECT_EQ(GetFocus(), memo);
        EXPECT_EQ(SendMessageW(memo, EM_GETSEL, 0, 0), 0) << "caret at the top, nothing selected";
        EXPECT_FALSE(IsWindowEnabled(rename_->Handle())) << "modal over the rename dialog";
        if (s.newText) SetWindowTextW(memo, reinterpret_cast<const wchar_t*>(s.newText));
        Click(edit_->Control(s.ok ? IdOkButton : IdCancelButton));
      });
      Click(C(s.button));
      EXPECT_TRUE(edited) << s.what;
      EXPECT_EQ(ShownItems(combo), s.items) << s.what << " " << Show(ShownItems(combo));
      EXPECT_EQ(Selected(combo), s.selected) << s.what;
    }
  });
  ShowRename();
  EXPECT_EQ(StoredList(u"CopyToPath"), (List{u"E", u"F"})) << "empty entries are not read back";

  // A list the user emptied keeps each file's folder: the next showing adds no second marker.
  WhenShown(*rename_, [&] {
    WhenShown(*edit_, [&] {
      SetWindowTextW(edit_->Control(IdListText), L"");
      Click(edit_->Control(IdOkButton));
    });
    Select(C(IdFolderBox), 0);
    Click(C(IdEditFoldersButton));
    EXPECT_EQ(ShownItems(C(IdFolderBox)), (List{u"@元のフォルダ名"}));
    EXPECT_EQ(Selected(C(IdFolderBox)), 0);
  });
  ShowRename();
  WhenShown(*rename_, [&] { EXPECT_EQ(ShownItems(C(IdFolderBox)), (List{u"@元のフォルダ名"})); });
  ShowRename();
}

TEST_F(RenameDialogTest, ListEditorPlacementSizeAndKeys) {
  Open();
  WhenShown(*rename_, [&] {
    WhenShown(*edit_, [&] {
      HWND dialog = edit_->Handle();
      EXPECT_EQ(GetWindow(dialog, GW_OWNER), rename_->Handle());
      EXPECT_EQ(Text(edit_->Control(IdOkButton)), u"OK");
      EXPECT_EQ(Text(edit_->Control(IdCancelButton)), u"キャンセル");
      EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDOK);
      EXPECT_EQ(GetNextDlgTabItem(dialog, edit_->Control(IdListText), FALSE), edit_->Control(IdTokenTable));
      EXPECT_EQ(GetNextDlgTabItem(dialog, edit_->Control(IdTokenTable), FALSE), edit_->Control(IdOkButton));
      EXPECT_EQ(GetNextDlgTabItem(dialog, edit_->Control(IdOkButton), FALSE), edit_->Control(IdCancelButton));
      // Japanese text typed through the input method lands in the text area.
      HWND memo = edit_->Control(IdListText);
      HIMC context = ImmGetContext(memo);
      EXPECT_TRUE(context) << "the text area takes input from the input method";
      if (context) ImmReleaseContext(memo, context);
      SendMessageW(memo, EM_SETSEL, 0, 0);
      for (wchar_t c : std::wstring(L"@元号2")) SendMessageW(memo, WM_IME_CHAR, c, 1);
      Pump();
      EXPECT_EQ(SplitLines(Text(memo)).front(), u"@元号2@元のフォルダ名");
      for (SIZE size : {SIZE{600, 400}, SIZE{300, 200}}) {
        SetWindowPos(dialog, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client{};
        GetClientRect(dialog, &client);
        std::vector<ControlRect> expected = ListEditFormLayout(client.right, client.bottom);
        EXPECT_EQ(RectIn(dialog, memo), expected[lcListText]);
        EXPECT_EQ(RectIn(dialog, edit_->Control(IdOkButton)), expected[lcOkButton]);
        EXPECT_EQ(RectIn(dialog, edit_->Control(IdCancelButton)), expected[lcCancelButton]);
        EXPECT_EQ(RectIn(dialog, edit_->Control(IdTokenTable)), expected[lcTokenTable]);
      }
      SetWindowPos(dialog, nullptr, 50, 60, 450, 350, SWP_NOZORDER);
      PostKey(VK_ESCAPE);  // from the text area: cancel
    }, false);
    watched = edit_.get();
    Click(C(IdEditFoldersButton));
    watched = rename_.get();
    EXPECT_EQ(ShownItems(C(IdFolderBox)), RenameWindowSettings::BuiltInFolderTemplates()) << "cancelled";

    // The stored placement comes back; Tab then Enter on OK takes the text.
    WhenShown(*edit_, [&] {
      RECT rc = Outer(edit_->Handle());
      EXPECT_EQ(rc.left, 50);
      EXPECT_EQ(rc.top, 60);
      EXPECT_EQ(rc.right - rc.left, 450);
      EXPECT_EQ(rc.bottom - rc.top, 350);
      SetWindowTextW(edit_->Control(IdListText), L"@年4");
      PostKey(VK_TAB);
      PostMessageW(edit_->Control(IdOkButton), WM_KEYDOWN, VK_RETURN, 1);
      PostMessageW(edit_->Control(IdOkButton), WM_KEYUP, VK_RETURN, 0xC0000001);
    }, false);
    Click(C(IdEditNamesButton));
    EXPECT_EQ(ShownItems(C(IdNameBox)), (List{u"@年4"}));
  });
  ShowRename();
  EXPECT_EQ(StoredInteger(kListEditWindowKey, u"Left"), 50);
  EXPECT_EQ(StoredInteger(kListEditWindowKey, u"Width"), 450);
}

TEST_F(RenameDialogTest, ButtonAndMenuItemsHandTheRightFilesOver) {
  Photo(u"a.jpg", "2024:05:01 09:03:07", "X");
  Photo(u"b.jpg", "2024:05:02 09:03:07", "X");
  fx::WriteFile(folder_ + u"c.txt", fx::Text("text"));
  StoreFolder(folder_);
  Open();
  ASSERT_EQ(Rows(), (List{u"a.jpg", u"b.jpg", u"c.txt"}));
  List handed;
  rename_->OnShown = [&] {
    handed = JobSources();
    rename_->EndModal(IDCANCEL);
  };

  // Without a selection nothing is shown.
  SetFocus(ListView());
  EXPECT_FALSE(main_->FileList().ExifRenameFiles());
  EXPECT_TRUE(handed.empty());

  // The list focused: only its selection, in row order.
  main_->FileList().SelectRow(2);
  ListView_SetItemState(ListView(), 0, LVIS_SELECTED, LVIS_SELECTED);
  SetFocus(ListView());
  PressExifRenameButton();
  EXPECT_EQ(handed, (List{folder_ + u"a.jpg", folder_ + u"c.txt"}));
  EXPECT_TRUE(main_->FileList().ExifRenameFilesExist());
  ASSERT_EQ(rename_->Job().photos.size(), 2u);
  EXPECT_EQ(rename_->Job().photos[0].record.Folder, folder_);
  EXPECT_FALSE(rename_->Job().photos[1].record.HasMetadata);
  EXPECT_EQ(GetFocus(), ListView()) << "the list has the focus again after the dialog";

  // The tree focused: every item of the shown folder.
  main_->FileList().ClearSelection();
  main_->FileList().SelectRow(1);
  SetFocus(main_->FolderTree().Handle());
  PressExifRenameButton();
  EXPECT_EQ(handed, (List{folder_ + u"a.jpg", folder_ + u"b.jpg", folder_ + u"c.txt"}));

  // The pop-up items: the list's hand the selection over, the tree's the whole folder.
  struct Item { int id; List expected; } items[] = {
      {cmdExifRenameOne, {folder_ + u"c.txt"}},
      {cmdExifRenameSelection, {folder_ + u"c.txt"}},
      {cmdExifRenameFolder, {folder_ + u"a.jpg", folder_ + u"b.jpg", folder_ + u"c.txt"}},
  };
  for (const Item& item : items) {
    main_->FileList().ClearSelection();
    main_->FileList().SelectRow(2);
    handed.clear();
    SendMessageW(main_->Handle(), WM_COMMAND, MAKEWPARAM(item.id, 0), 0);
    FinishCardRead();
    EXPECT_EQ(handed, item.expected) << item.id;
  }
  struct Caption { int menu, id; } captions[] = {{1, cmdExifRenameOne}, {3, cmdExifRenameSelection}, {4, cmdExifRenameFolder}};
  for (const Caption& c : captions) {
    wchar_t caption[64] = {};
    GetMenuStringW(main_->PopupMenu(c.menu), static_cast<UINT>(c.id), caption, 63, MF_BYCOMMAND);
    EXPECT_STREQ(caption, L"Exifリネーム") << c.menu;
  }

  main_->FileList().ClearSelection();
  main_->FileList().SelectRow(2);
  EXPECT_FALSE(main_->FileList().ExifRenameFilesExist()) << "a text file has no metadata";
}

// A card's DCIM chosen in the tree: its photos live in sub-folders, and the tree's command
// and the camera button take them all, folder by folder; hidden folders stay out.
TEST_F(RenameDialogTest, TheTreesCommandTakesTheSubFoldersToo) {
  Photo(u"top.jpg", "2024:05:01 09:03:07", "X");
  CreateDirectoryW(W(folder_ + u"100CANON"), nullptr);
  CreateDirectoryW(W(folder_ + u"101CANON"), nullptr);
  CreateDirectoryW(W(folder_ + u".thumbs"), nullptr);
  SetFileAttributesW(W(folder_ + u".thumbs"), FILE_ATTRIBUTE_HIDDEN);
  Photo(u"101CANON\\IMG_0200.JPG", "2024:05:01 10:00:00", "X");
  Photo(u"100CANON\\IMG_0101.JPG", "2024:05:01 09:10:00", "X");
  Photo(u"100CANON\\IMG_0100.JPG", "2024:05:01 09:05:00", "X");
  Photo(u".thumbs\\t.jpg", "2024:05:01 09:05:00", "X");
  StoreFolder(folder_);
  Open();
  List handed;
  rename_->OnShown = [&] {
    handed = JobSources();
    rename_->EndModal(IDCANCEL);
  };
  const List all{folder_ + u"top.jpg", folder_ + u"100CANON\\IMG_0100.JPG", folder_ + u"100CANON\\IMG_0101.JPG",
                 folder_ + u"101CANON\\IMG_0200.JPG"};
  SendMessageW(main_->Handle(), WM_COMMAND, MAKEWPARAM(cmdExifRenameFolder, 0), 0);
  FinishCardRead();
  EXPECT_EQ(handed, all) << Show(handed);
  handed.clear();
  SetFocus(main_->FolderTree().Handle());
  PressExifRenameButton();
  EXPECT_EQ(handed, all) << Show(handed);
  ASSERT_EQ(rename_->Job().photos.size(), 4u);
  EXPECT_EQ(rename_->Job().photos[2].record.Folder, folder_ + u"100CANON\\");
  EXPECT_TRUE(rename_->Job().photos[3].record.HasMetadata) << "read as the list reads its files";
}

TEST_F(RenameDialogTest, TestCopyAndMoveFromTheWindowCheckedOnDisk) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:15:12", "X100");
  Photo(u"IMG_0003.JPG", "2024:05:02 10:00:00", "D70");
  fx::WriteFile(folder_ + u"broken.jpg", fx::Text("not a photo at all"));
  fx::WriteFile(folder_ + u"notes.txt", fx::Text("notes"));
  CreateDirectoryW(W(folder_ + u"sub"), nullptr);
  const std::u16string names[] = {u"IMG_0001.JPG", u"IMG_0002.JPG", u"IMG_0003.JPG"};
  std::string original[3];
  for (int i = 0; i < 3; ++i) original[i] = Bytes(folder_ + names[i]);
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4\\@月2@日2", u"@モデル\\@年4\\@月2@日2"},
                      {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 1, 1);
  Open();
  ASSERT_EQ(Rows().size(), 6u);

  const std::u16string copies[] = {folder_ + u"2024\\0501\\20240501-090307.JPG",
                                   folder_ + u"2024\\0501\\20240501-091512.JPG",
                                   folder_ + u"2024\\0502\\20240502-100000.JPG"};
  const std::u16string moves[] = {folder_ + u"X100\\2024\\0501\\20240501-090307.JPG",
                                  folder_ + u"X100\\2024\\0501\\20240501-091512.JPG",
                                  folder_ + u"D70\\2024\\0502\\20240502-100000.JPG"};
  auto pairs = [&](const std::u16string (&destinations)[3]) {
    List lines;
    for (int i = 0; i < 3; ++i) {
      lines.push_back(folder_ + names[i]);
      lines.push_back(destinations[i]);
      lines.push_back(u"");
    }
    return lines;
  };
  List afterCopy, afterMove;
  // The shown folder's node is open: the new folders must appear under it.
  FolderTreeView& tree = main_->FolderTree();
  HTREEITEM node = tree.FindFolderNode(folder_);
  ASSERT_TRUE(node);
  TreeView_Expand(tree.Handle(), node, TVE_EXPAND);
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  ASSERT_EQ(tree.Children(node).size(), 1u);
  WhenShown(*rename_, [&] {
    // テスト: exactly the pairs, nothing on disk, the files without metadata left out.
    TestToEnd(*rename_);
    EXPECT_EQ(Body(rename_->LogLines()), pairs(copies)) << Show(rename_->LogLines());
    EXPECT_EQ(rename_->Job().photos.size(), 3u);
    EXPECT_FALSE(Exists(folder_ + u"2024"));
    EXPECT_EQ(beeps_, 0);

    // 実行 with copy: the count line, new nested folders, the panes show them.
    RunToEnd(*rename_);
    List expected = pairs(copies);
    expected.push_back(u"3 個のファイルをコピー/リネームしました。");
    EXPECT_EQ(Body(rename_->LogLines()), expected) << Show(rename_->LogLines());
    EXPECT_TRUE(rename_->Job().photos.empty()) << "every photo filed: none left to retry";
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Bytes(copies[i]), original[i]) << i;
      EXPECT_TRUE(Exists(folder_ + names[i])) << i;
    }
    afterCopy = Rows();
    // The log's end is in view.
    HWND memo = C(IdLog);
    int length = GetWindowTextLengthW(memo);
    DWORD end = 0;
    SendMessageW(memo, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(static_cast<int>(end), length);
    EXPECT_GT(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_FALSE(IsWindowEnabled(main_->Handle())) << "still modal after the run";
    // 実行 again: nothing left, and no failure: the batch is done, and how to start another.
    RunToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines(), (List{texts::kRunBatchDone}));
    EXPECT_EQ(beeps_, 1) << "nothing to do, as for an empty selection";
    beeps_ = 0;
    TestToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines(), (List{texts::kRunBatchDone})) << "テスト says the same";
    beeps_ = 0;
    Select(C(IdActionBox), 1);
    Select(C(IdFolderBox), 2);
    Click(C(IdCloseButton));
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();
  WhenShown(*rename_, [&] {
    // 実行 with move into other new folders, from a new showing.
    RunToEnd(*rename_);
    List expected = pairs(moves);
    expected.push_back(u"3 個のファイルを移動/リネームしました。");
    EXPECT_EQ(Body(rename_->LogLines()), expected) << Show(rename_->LogLines());
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Bytes(moves[i]), original[i]) << i;
      EXPECT_FALSE(Exists(folder_ + names[i])) << i;
    }
    afterMove = Rows();
    EXPECT_EQ(beeps_, 0);
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();

  EXPECT_EQ(afterCopy, (List{u"2024", u"sub", u"broken.jpg", u"IMG_0001.JPG", u"IMG_0002.JPG", u"IMG_0003.JPG",
                             u"notes.txt"}));
  EXPECT_EQ(afterMove, (List{u"2024", u"D70", u"sub", u"X100", u"broken.jpg", u"notes.txt"}));
  // Nothing lost: every photo is where a run put it, byte for byte, and the rest untouched.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Bytes(copies[i]), original[i]) << i;
    EXPECT_EQ(Bytes(moves[i]), original[i]) << i;
  }
  EXPECT_EQ(Bytes(folder_ + u"notes.txt"), "notes");
  EXPECT_EQ(Bytes(folder_ + u"broken.jpg"), "not a photo at all");
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(std::wstring(W(folder_)))))
    if (entry.is_regular_file()) ++files;
  EXPECT_EQ(files, 8u);
  // The tree reads the new folders on its worker.
  ASSERT_TRUE(tess::testing::FinishTreeReads(tree));
  List nodes;
  for (HTREEITEM n : tree.Children(node)) nodes.push_back(tree.NodeText(n));
  EXPECT_EQ(nodes, (List{u"2024", u"D70", u"sub", u"X100"})) << "the tree shows the new folders";
}

TEST_F(RenameDialogTest, CameraTextPaddedWithNulsKeepsTheLogLinesApart) {
  fx::PhotoFields f;
  f.dateTimeOriginal = "2024:05:01 09:03:07";
  f.model = std::string("EOS\0\0", 5);
  fx::WriteFile(folder_ + u"IMG.JPG", fx::PhotoJpeg(f));
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@モデル"}, {u"@元のファイル名"}, 0, 1, 0);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  WhenShown(*rename_, [&] { TestToEnd(*rename_); });
  PressExifRenameButton();
  List log = rename_->LogLines();
  ASSERT_GE(log.size(), 3u) << Show(log);
  EXPECT_EQ(log[0], folder_ + u"IMG.JPG");
  EXPECT_EQ(log[1].substr(0, folder_.size() + 3), folder_ + u"EOS");
  EXPECT_EQ(log[1].substr(log[1].size() - 8), u"\\IMG.JPG") << "the destination line is whole";
  EXPECT_EQ(log[2], u"");
  EXPECT_FALSE(Exists(folder_ + u"EOS"));
}

// A real run goes on a worker: the dialog answers, shows its progress, reads 中止 on its
// close button, and Esc stops the run without losing or half-writing a photo.
TEST_F(RenameDialogTest, TheDialogAnswersWhileTheRunGoesAndEscStopsIt) {
  const int count = 40;
  std::vector<std::string> original;
  for (int i = 0; i < count; ++i) {
    std::u16string name = u"IMG_" + PadNumber(1000 + i, 4) + u".JPG";
    Photo(name, "2024:05:01 09:03:07", "X");
    original.push_back(Bytes(folder_ + name));
  }
  StoreFolder(folder_);
  StoreRenameSettings({kFolderMarker, u"out"}, {kFileMarker}, 0, 1, 0);
  SlowTransfer slow;
  transfer_ = &slow;
  Open();
  main_->FileList().SelectAll();
  SetFocus(ListView());
  int filesChanged = 0;
  rename_->OnFilesChanged = [&] { ++filesChanged; };
  List captions;
  WhenShown(*rename_, [&] {
    Click(C(IdRunButton));
    ASSERT_TRUE(rename_->Running());
    EXPECT_EQ(Text(C(IdCloseButton)), u"中止");
    EXPECT_FALSE(IsWindowEnabled(C(IdRunButton)));
    EXPECT_FALSE(IsWindowEnabled(C(IdTestButton)));
    EXPECT_FALSE(IsWindowEnabled(C(IdFolderBox)));
    EXPECT_TRUE(IsWindowVisible(C(IdProgress)));
    EXPECT_FALSE(IsWindowEnabled(main_->Handle())) << "the panes stay locked";
    // The window's thread is free: it handles messages and the progress comes in.
    PumpWhile([&] {
      std::u16string caption = rename_->Caption();
      if (captions.empty() || captions.back() != caption) captions.push_back(caption);
      return SendMessageW(C(IdProgress), PBM_GETPOS, 0, 0) < 100;
    });
    EXPECT_GE(SendMessageW(C(IdProgress), PBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(rename_->Running());
    // The log's pairs are shown at the start, before the files are done.
    EXPECT_GE(rename_->LogLines().size(), size_t(count * 3));
    // Esc, as a person would press it.
    SendMessageW(rename_->Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PumpWhile([&] { return rename_->Running(); });
    EXPECT_FALSE(rename_->Running());
    EXPECT_TRUE(rename_->Showing()) << "中止 stops the run, not the dialog";
    EXPECT_EQ(Text(C(IdCloseButton)), u"閉じる");
    EXPECT_TRUE(IsWindowEnabled(C(IdRunButton)));
    EXPECT_EQ(rename_->Caption(), u"リネーム画面");
    List log = rename_->LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(0, 8), u"中止しました: ") << Show(log);
    EXPECT_EQ(filesChanged, 1);
  });
  PressExifRenameButton();
  EXPECT_GE(captions.size(), 2u) << "progress shown as it goes";
  EXPECT_NE(captions.back().find(u"ファイル"), std::u16string::npos) << ToUtf8(captions.back());
  size_t filed = 0;
  for (int i = 0; i < count; ++i) {
    std::u16string name = u"IMG_" + PadNumber(1000 + i, 4) + u".JPG";
    EXPECT_EQ(Bytes(folder_ + name), original[i]) << "a copy leaves its source whole: " << i;
    if (Exists(folder_ + u"out\\" + name)) {
      ++filed;
      EXPECT_EQ(Bytes(folder_ + u"out\\" + name), original[i]) << i;
    }
  }
  EXPECT_GT(filed, 0u);
  EXPECT_LT(filed, size_t(count));
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(std::wstring(W(folder_)))))
    EXPECT_EQ(entry.path().filename().wstring().find(L".tessarine"), std::wstring::npos) << entry.path();
}

TEST_F(RenameDialogTest, MainWindowClosedWhileTheDialogIsShownKeepsTheSettings) {
  StoreRenameSettings({u"@元のフォルダ名", u"mine"}, {u"@元のファイル名", u"@通4"}, 0, 1, 1);
  Open();
  WhenShown(*rename_, [&] {
    Select(C(IdNameBox), 0);
    SetWindowPos(rename_->Handle(), nullptr, 20, 30, 500, 300, SWP_NOZORDER);
    // As the session's end or the taskbar would close it: the dialog goes with its owner.
    SendMessageW(main_->Handle(), WM_CLOSE, 0, 0);
  }, false);
  EXPECT_EQ(ShowRename(), IDCANCEL);
  EXPECT_FALSE(IsWindow(rename_->Handle()));
  EXPECT_EQ(StoredList(u"CopyToPath"), (List{u"@元のフォルダ名", u"mine"}));
  EXPECT_EQ(StoredList(u"CopyToFile"), (List{u"@元のファイル名", u"@通4"}));
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox2.ItemIndex"), 1);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"ComboBox3.ItemIndex"), 0);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Width"), 500);
  EXPECT_EQ(StoredInteger(kRenameWindowKey, u"Left"), 20);
}

TEST_F(RenameDialogTest, SecondMoveFindsNothingLeftAndLosesNothing) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:02 10:00:00", "X100");
  std::string original[2] = {Bytes(folder_ + u"IMG_0001.JPG"), Bytes(folder_ + u"IMG_0002.JPG")};
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@モデル\\@年4\\@月2@日2"}, {u"@元のファイル名"}, 1, 1, 0);
  Open();
  const std::u16string moved[2] = {folder_ + u"X100\\2024\\0501\\IMG_0001.JPG",
                                   folder_ + u"X100\\2024\\0502\\IMG_0002.JPG"};
  WhenShown(*rename_, [&] {
    RunToEnd(*rename_);
    ASSERT_EQ(Body(rename_->LogLines()).back(), u"2 個のファイルを移動/リネームしました。") << Show(rename_->LogLines());
    // 実行 again: every photo is filed, none is left to retry; no failure is claimed.
    RunToEnd(*rename_);
    EXPECT_EQ(rename_->LogLines(), (List{texts::kRunBatchDone})) << Show(rename_->LogLines());
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Bytes(moved[i]), original[i]) << i;
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(std::wstring(W(folder_)))))
    if (entry.is_regular_file()) ++files;
  EXPECT_EQ(files, 2u);
}

// After a click on テスト the focus is on that button: Enter must run the test again, not the
// default 実行 (a real move the user did not ask for).
TEST_F(RenameDialogTest, EnterOnTheFocusedTestButtonOnlyTests) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  const std::string original = Bytes(folder_ + u"IMG_0001.JPG");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4"}, {u"@元のファイル名"}, 1, 1, 0);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  WhenShown(*rename_, [&] {
    SetFocus(C(IdTestButton));
    PostKey(VK_RETURN);
    // The run goes on its worker (closing while it goes would stop it instead): the dialog's
    // own loop handles the key, and the close comes once the run has ended.
    CloseWhenRunEnds(*rename_);
  }, false);
  PressExifRenameButton();
  EXPECT_EQ(Body(rename_->LogLines()), (List{folder_ + u"IMG_0001.JPG", folder_ + u"2024\\IMG_0001.JPG", u""}))
      << Show(rename_->LogLines());
  EXPECT_EQ(Bytes(folder_ + u"IMG_0001.JPG"), original) << "the photo stays where it was";
  EXPECT_FALSE(Exists(folder_ + u"2024"));
}

TEST_F(RenameDialogTest, UndoFromTheDialogAndWithCtrlZInTheMainWindow) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:15:12", "X100");
  const std::u16string names[] = {u"IMG_0001.JPG", u"IMG_0002.JPG"};
  const std::u16string moved[] = {folder_ + u"2024\\0501\\20240501-090307.JPG",
                                  folder_ + u"2024\\0501\\20240501-091512.JPG"};
  std::string original[2];
  for (int i = 0; i < 2; ++i) original[i] = Bytes(folder_ + names[i]);
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4\\@月2@日2"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 1, 1, 1);
  Open();
  auto back = [&] {
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(Bytes(folder_ + names[i]), original[i]) << i;
      EXPECT_FALSE(Exists(moved[i])) << i;
    }
    EXPECT_FALSE(Exists(folder_ + u"2024")) << "the folders the run made are gone";
  };
  WhenShown(*rename_, [&] {
    HWND undo = C(IdUndoButton);
    EXPECT_EQ(Text(undo), u"元に戻す");
    EXPECT_FALSE(IsWindowEnabled(undo)) << "no run yet";
    // Beside テスト, as テスト is beside 実行.
    ControlRect u = RectIn(rename_->Handle(), undo), t = RectIn(rename_->Handle(), C(IdTestButton));
    EXPECT_EQ(u.top, t.top);
    EXPECT_LT(u.left + u.width, t.left);
    TestToEnd(*rename_);
    EXPECT_FALSE(IsWindowEnabled(undo)) << "a test run changes nothing";
    RunToEnd(*rename_);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Bytes(moved[i]), original[i]) << i << Show(rename_->LogLines());
    EXPECT_TRUE(IsWindowEnabled(undo));
    Click(undo);
    back();
    List lines = rename_->LogLines();
    ASSERT_EQ(lines.size(), 4u) << Show(lines);
    EXPECT_EQ(lines[1], u"元の場所に戻しました: " + folder_ + names[1]);
    EXPECT_EQ(lines[2], u"元の場所に戻しました: " + folder_ + names[0]);
    EXPECT_EQ(lines[3], u"2 個のファイルを元に戻しました。");
    EXPECT_FALSE(IsWindowEnabled(undo)) << "undone: nothing left to undo";
    EXPECT_EQ(beeps_, 0);
    // Moved again, then the dialog closes: Ctrl+Z in the main window takes it back.
    EXPECT_EQ(rename_->LogLines().back(), u"2 個のファイルを元に戻しました。");
    RunToEnd(*rename_);
    EXPECT_TRUE(Exists(moved[0])) << Show(rename_->LogLines());
  });
  main_->FileList().SelectAll();
  SetFocus(ListView());
  PressExifRenameButton();
  EXPECT_EQ(Rows(), (List{u"2024"}));
  SetFocus(ListView());
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  NMLVKEYDOWN nm{};
  nm.hdr.hwndFrom = ListView();
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(ListView()));
  nm.hdr.code = LVN_KEYDOWN;
  nm.wVKey = 'Z';
  SendMessageW(main_->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  Pump();
  back();
  EXPECT_EQ(Rows(), (List{u"IMG_0001.JPG", u"IMG_0002.JPG"})) << "the panes show the photos back";
  auto status = [&] {
    wchar_t text[512] = {};
    SendMessageW(main_->StatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    return std::u16string(reinterpret_cast<const char16_t*>(text));
  };
  EXPECT_NE(status().find(u"2 個のファイルを元に戻しました。"), std::u16string::npos) << ToUtf8(status());
  // Again, with nothing left to undo: said where the eye is.
  SendMessageW(main_->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  Pump();
  EXPECT_NE(status().find(u"元に戻せる操作はありません。"), std::u16string::npos) << ToUtf8(status());
}

TEST_F(RenameDialogTest, ARunCutShortIsOfferedForUndoOnceAtTheStart) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:03:07", "X100");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:15:12", "X100");
  const std::u16string names[] = {u"IMG_0001.JPG", u"IMG_0002.JPG"};
  const std::u16string filed[] = {folder_ + u"2024\\IMG_0001.JPG", folder_ + u"2024\\IMG_0002.JPG"};
  std::string original[2];
  for (int i = 0; i < 2; ++i) original[i] = Bytes(folder_ + names[i]);
  // A move that stopped after its first photo: the journal has the plan and nothing else.
  auto cutShort = [&] {
    std::vector<JournalPair> plan(2);
    for (int i = 0; i < 2; ++i) {
      plan[size_t(i)].source = folder_ + names[i];
      plan[size_t(i)].destination = filed[i];
      plan[size_t(i)].size = original[i].size();
    }
    auto writer = JournalWriter::Start(journals_, JournalAction::Move, plan, {folder_ + u"2024"});
    ASSERT_TRUE(writer);
    ASSERT_TRUE(CreateDirectoryW(W(folder_ + u"2024"), nullptr));
    // The run had said it was giving the first photo its name (a rename: no hash).
    writer->Arriving(0, "", original[0].size());
    ASSERT_TRUE(MoveFileW(W(folder_ + names[0]), W(filed[0])));
  };
  cutShort();
  StoreFolder(folder_);
  std::vector<std::u16string> asked;
  bool answer = false;
  Open();
  auto ask = [&] {
    asked.clear();
    main_->AskAboutCutShortRunWith([&](const std::u16string& q) {
      asked.push_back(q);
      return answer;
    });
  };
  // "Leave it": nothing moves, and the question is not asked again.
  ask();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find(u"途中で終わりました"), std::u16string::npos) << ToUtf8(asked[0]);
  EXPECT_TRUE(Exists(filed[0]));
  {
    wchar_t text[512] = {};
    SendMessageW(main_->StatusBar(), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_NE(std::u16string(reinterpret_cast<const char16_t*>(text)).find(u"そのままにしました"), std::u16string::npos)
        << "the answer says what it did";
  }
  ask();
  EXPECT_TRUE(asked.empty());

  // Another run cut short, answered "undo": the photo that had arrived goes back, the
  // other never left, the folder the run made is gone, the panes show it.
  journals_.texts.clear();
  ASSERT_TRUE(MoveFileW(W(filed[0]), W(folder_ + names[0])));
  RemoveDirectoryW(W(folder_ + u"2024"));
  cutShort();
  answer = true;
  ask();
  ASSERT_EQ(asked.size(), 1u);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(Bytes(folder_ + names[i]), original[i]) << i;
  EXPECT_FALSE(Exists(folder_ + u"2024"));
  EXPECT_EQ(Rows(), (List{u"IMG_0001.JPG", u"IMG_0002.JPG"}));
  ask();
  EXPECT_TRUE(asked.empty());
}

TEST_F(RenameDialogTest, TestMarksUnknownTokensAndTheEditorListsTheTokensWithTheFirstPhotosValues) {
  Photo(u"IMG_0007.JPG", "2024:05:01 09:03:07", "X100");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年@月"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 1, 1);
  Open();
  main_->FileList().SelectRow(0);
  SetFocus(ListView());
  List rows;
  std::u16string typed;
  WhenShown(*rename_, [&] {
    TestToEnd(*rename_);
    // The run goes as it always did ("@" dropped, the folder named "年月"); the slips follow.
    List expected{folder_ + u"IMG_0007.JPG", folder_ + u"年月\\20240501-090307.JPG", u"", u"まとめ (テスト): コピー予定 1 個",
                  u"不明なトークン: @年", u"不明なトークン: @月"};
    EXPECT_EQ(rename_->LogLines(), expected) << Show(rename_->LogLines());
    EXPECT_FALSE(Exists(folder_ + u"年月"));
    // The editor's token table, its examples from the selected photo; a double-click types one.
    WhenShown(*edit_, [&] {
      for (const auto& row : edit_->TokenRows()) rows.push_back(row[0] + u"|" + row[1] + u"|" + row[3]);
      HWND memo = edit_->Control(IdListText);
      SetWindowTextW(memo, L"x");
      SendMessageW(memo, EM_SETSEL, 1, 1);
      edit_->InsertToken(0);  // the first row: the four-digit year
      typed = Text(memo);
      Click(edit_->Control(IdCancelButton));
    });
    Click(C(IdEditNamesButton));
  });
  PressExifRenameButton();
  auto has = [&](const std::u16string& row) { return std::find(rows.begin(), rows.end(), row) != rows.end(); };
  for (const char16_t* row : {u"@年4|@y4|2024", u"@月2|@m2|05", u"@秒2|@s2|07", u"@モデル|@model|X100",
                              u"@元のファイル名|@file|IMG_0007", u"@通1 / @番1|@num1|1"})
    EXPECT_TRUE(has(row)) << ToUtf8(row) << " in " << Show(rows);
  EXPECT_EQ(typed, u"x@年4");
}

// A camera an hour behind: the 時刻補正 table sets its rule from a reference photo (bad input
// refused, nothing kept), テスト shows the correction, 実行 files by it, and the rule is kept
// for the next start; the other camera's photo is untouched.
TEST_F(RenameDialogTest, TheClockTableSetsARuleFromAReferencePhoto) {
  Photo(u"IMG_0001.JPG", "2024:05:01 09:00:00", "R6");
  Photo(u"IMG_0002.JPG", "2024:05:01 09:30:00", "R6");
  Photo(u"IMG_0003.JPG", "2024:05:01 10:15:00", "X100");
  StoreFolder(folder_);
  StoreRenameSettings({u"@元のフォルダ名", u"@年4@月2@日2"}, {u"@元のファイル名", u"@年4@月2@日2-@時2@分2@秒2"}, 0, 1, 1);
  Open();
  for (int i = 0; i < 3; ++i) main_->FileList().SelectRow(i);
  SetFocus(ListView());
  bool tableShown = false;
  rename_->OnClockTableShown = [&](ClockTableDialog& table) {
    tableShown = true;
    ASSERT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.Cell(0, 0), u"Maker R6");
    EXPECT_EQ(table.Cell(0, 1), u"2");
    EXPECT_EQ(table.Cell(0, 3), u"2024/05/01 09:00:00");
    EXPECT_EQ(table.Cell(0, 4), u"2024/05/01 09:30:00");
    EXPECT_EQ(table.Cell(1, 0), u"Maker X100");
    table.SelectRow(0);
    // A shift that cannot be read: said, and OK keeps the dialog open with nothing kept.
    SetWindowTextW(table.Control(IdClockShift), L"+1h");
    wchar_t buffer[512] = {};
    GetWindowTextW(table.Control(IdClockMessage), buffer, 511);
    EXPECT_NE(U16(buffer).find(u"時刻のずれを読めません"), std::u16string::npos) << ToUtf8(U16(buffer));
    Click(table.Control(IdClockOk));
    EXPECT_EQ(table.ModalResult(), 0) << "refused";
    EXPECT_TRUE(ReadClockRules(*store_).rules.empty());
    // The reference photo: IMG_0001 showed 09:00 when the clock on the wall said 10:00.
    SendMessageW(table.Control(IdClockPhoto), CB_SETCURSEL, 0, 0);
    SetWindowTextW(table.Control(IdClockTime), L"2024/05/01 10:00:00");
    Click(table.Control(IdClockCompute));
    GetWindowTextW(table.Control(IdClockShift), buffer, 511);
    EXPECT_EQ(U16(buffer), u"+1:00:00");
    EXPECT_EQ(table.Cell(0, 5), u"+1:00:00");
    EXPECT_EQ(table.Cell(0, 7), u"2024/05/01 10:00:00 - 2024/05/01 10:30:00") << "the corrected span as typed";
    Click(table.Control(IdClockOk));
    EXPECT_EQ(table.ModalResult(), IDOK);
    if (!table.ModalResult()) table.EndModal(IDCANCEL);
  };
  List tested, filed;
  WhenShown(*rename_, [&] {
    Click(GetDlgItem(rename_->Handle(), IdClockRulesButton));
    EXPECT_EQ(rename_->LogLines().front(), u"時刻補正あり: Maker R6 (+1:00:00)") << "the dialog names the cameras with a rule";
    TestToEnd(*rename_);
    tested = rename_->LogLines();
    RunToEnd(*rename_);
    filed = rename_->LogLines();
  });
  PressExifRenameButton();
  EXPECT_TRUE(tableShown);
  const std::u16string out = folder_ + u"20240501\\";
  EXPECT_EQ(Body(tested), (List{folder_ + u"IMG_0001.JPG", out + u"20240501-100000.JPG",
                                u"2024/05/01 09:00:00 → 10:00:00 (+1:00:00, Maker R6)", u"",
                                folder_ + u"IMG_0002.JPG", out + u"20240501-103000.JPG",
                                u"2024/05/01 09:30:00 → 10:30:00 (+1:00:00, Maker R6)", u"",
                                folder_ + u"IMG_0003.JPG", out + u"20240501-101500.JPG", u""}))
      << Show(tested);
  EXPECT_EQ(tested.back(), u"まとめ (テスト): コピー予定 3 個、時刻補正 2 個 (Maker R6 2 個)");
  EXPECT_TRUE(Exists(out + u"20240501-100000.JPG"));
  EXPECT_TRUE(Exists(out + u"20240501-103000.JPG"));
  EXPECT_TRUE(Exists(out + u"20240501-101500.JPG"));
  EXPECT_FALSE(filed.empty());
  // Kept for the next start: a new store over the same key reads the rule.
  std::unique_ptr<SettingsStore> again = MakeUserSettingsStore(root_);
  ClockRules kept = ReadClockRules(*again);
  ASSERT_EQ(kept.rules.size(), 1u);
  EXPECT_EQ(CameraLabel(kept.rules[0].camera), u"Maker R6");
  EXPECT_EQ(kept.rules[0].shiftSeconds, 3600);
}
