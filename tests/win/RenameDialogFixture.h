#pragma once
// The shared set-up of the rename dialog's window tests. The EXIF rename from the window,
// in-process: the real main window, rename dialog and template list editor under a
// throwaway settings key, driven as a person drives them
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
    options.volumes = volumes_;
    main_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), options);
    // As the program does: the dialog owned by the main window, the editor by the dialog.
    RenameDialogOptions renameOptions;
    renameOptions.settingsRoot = root_;
    renameOptions.beep = [this] { ++beeps_; };
    renameOptions.transfer = transfer_;
    renameOptions.files = files_;
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
  // A log without a test's lines of the room each volume needs: they follow the disk the
  // tests run on.
  static List WithoutSpaceLines(List log) {
    std::erase_if(log, [](const std::u16string& line) { return line.rfind(texts::kSpaceNeeded, 0) == 0; });
    return log;
  }
  // A log without its closing summary line, and without the room lines.
  static List Body(List log) {
    log = WithoutSpaceLines(std::move(log));
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
  FileSystem* files_ = nullptr;       // the same
  VolumeDevices* volumes_ = nullptr;  // the machine's drives unless a test sets them before Open
  tess::testing::FakeJournalFolder journals_;  // the runs' journals, this test's own
};

}  // namespace

namespace tess {
inline void PrintTo(const ControlRect& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}
}  // namespace tess
