// The panes' file and folder commands, written once for both panes, against a made-up disk,
// a recording shell and a fake pane: what reaches the shell, what each pane hears, and what
// the user is told.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "browse/FileCommands.h"
#include "browse/PaneCommands.h"
#include "platform/Text.h"
#include "support/RecordingShell.h"

using namespace tess;
using tess::testing::RecordingShell;

namespace {

using V = std::vector<std::u16string>;

class FakeDisk : public PaneFiles {
 public:
  std::set<std::u16string> files, folders;
  std::map<std::u16string, int> refuse;  // a folder that cannot be created, with the error
  bool Exists(const std::u16string& p) override { return files.count(p) || folders.count(p); }
  bool IsFolder(const std::u16string& p) override { return folders.count(p) > 0; }
  int CreateFolder(const std::u16string& p) override {
    auto it = refuse.find(p);
    if (it != refuse.end()) return it->second;
    folders.insert(p);
    return 0;
  }
};

// A shell that deletes from the fake disk, unless told to fail or to keep the files (the
// user said no).
class DiskShell : public RecordingShell {
 public:
  explicit DiskShell(FakeDisk& disk) : disk_(disk) {}
  bool keep = false;
  bool raise = false;
  FileOperationResult FileOperation(const FileOperationRequest& r) override {
    RecordingShell::FileOperation(r);
    if (raise) throw std::runtime_error("shell failed");
    if (r.wFunc == FO_DELETE_ && !keep && nextFileOperation.returnValue == 0) {
      for (size_t at = 0; at < r.pFrom.size() && r.pFrom[at];) {
        size_t end = r.pFrom.find(u'\0', at);
        disk_.files.erase(r.pFrom.substr(at, end - at));
        disk_.folders.erase(r.pFrom.substr(at, end - at));
        at = end + 1;
      }
    }
    return nextFileOperation;
  }

 private:
  FakeDisk& disk_;
};

class FakePane : public BrowsePane {
 public:
  FakePane(PaneCommands& commands, std::u16string folder) : commands_(commands), folder_(std::move(folder)) {}
  bool focused = true;
  bool leavesNewFolders = false;
  V selected;
  V deleted;
  V edited;
  int endEdits = 0;

  bool BackFolder() override { return false; }
  bool StartRename() override { return false; }
  PaneCommands& Commands() override { return commands_; }
  bool HasFocus() const override { return focused; }
  std::u16string TargetFolder() const override { return folder_; }
  V SelectedPaths() const override { return selected; }
  void EndEdit() override { ++endEdits; }
  WindowHandle Owner() const override { return 77; }
  int PropertiesShow() const override { return 5; }
  const char16_t* NewFolderName() const override { return leavesNewFolders ? kTreeNewFolderName : kListNewFolderName; }
  bool LeavesNewFolders() const override { return leavesNewFolders; }
  void ItemsDeleted(const V& paths) override { deleted = paths; }
  void EditNewItem(const std::u16string& name) override { edited.push_back(name); }

 private:
  PaneCommands& commands_;
  std::u16string folder_;
};

struct Listener : BrowseState::Observer {
  V rows;
  bool takesNewFolder = false;
  int newFolderRequests = 0;
  void RowsChanged(const std::u16string& folder) override { rows.push_back(folder); }
  bool NewFolderRequested() override {
    ++newFolderRequests;
    return takesNewFolder;
  }
};

class PaneCommandsTest : public ::testing::Test {
 protected:
  PaneCommandsTest() {
    disk.folders = {u"D:\\DCIM", u"D:\\DCIM\\100CANON", u"D:\\Other"};
    disk.files = {u"D:\\DCIM\\100CANON\\IMG_1.JPG", u"D:\\DCIM\\100CANON\\IMG_2.JPG"};
    state.AddObserver(listener);
  }
  std::vector<PaneFailure> failures;
  FakeDisk disk;
  DiskShell shell{disk};
  BrowseState state;
  Listener listener;
  PaneCommands commands{state, shell, disk, [this](const PaneFailure& f) { failures.push_back(f); }};
  FakePane list{commands, u"D:\\DCIM\\100CANON\\"};
  FakePane tree{commands, u"D:\\Other\\"};
};

}  // namespace

TEST_F(PaneCommandsTest, CopiedInOnePanePastedInTheOther) {
  list.selected = {u"D:\\DCIM\\100CANON\\IMG_1.JPG"};
  ASSERT_TRUE(list.Copy());
  EXPECT_EQ(state.CopyList(), list.selected);
  EXPECT_EQ(list.endEdits, 1) << "an edit ends before the copy";
  EXPECT_FALSE(tree.Copy()) << "nothing selected (the top node): the copy list stays";
  EXPECT_EQ(state.CopyList(), list.selected);

  tree.focused = false;
  EXPECT_FALSE(tree.Paste()) << "only the pane with the focus pastes";
  EXPECT_TRUE(shell.fileOperations.empty());
  tree.focused = true;
  EXPECT_TRUE(tree.Paste());
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  const FileOperationRequest& r = shell.fileOperations[0];
  EXPECT_EQ(r.wFunc, FO_COPY_);
  EXPECT_EQ(r.pFrom, PackPaths({u"D:\\DCIM\\100CANON\\IMG_1.JPG"}));
  EXPECT_EQ(r.pTo, PackPaths({u"D:\\Other"}));
  EXPECT_EQ(r.hwnd, 77u);
  EXPECT_EQ(listener.rows, V{u"D:\\Other\\"}) << "every pane hears what came";
  EXPECT_TRUE(failures.empty());
}

TEST_F(PaneCommandsTest, PasteBesideTheOriginalGetsAFreeNameAndAFolderIntoItselfIsRefused) {
  state.SetCopyList({u"D:\\DCIM\\100CANON\\IMG_1.JPG"});
  EXPECT_TRUE(list.Paste());
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  EXPECT_EQ(shell.fileOperations[0].pTo, PackPaths({u"D:\\DCIM\\100CANON\\IMG_1 - コピー.JPG"}));

  state.SetCopyList({u"D:\\DCIM"});
  EXPECT_FALSE(list.Paste());
  EXPECT_EQ(shell.fileOperations.size(), 1u) << "nothing reaches the shell";
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].kind, PaneFailure::Kind::Shell);
  EXPECT_EQ(failures[0].shell.returnValue, kShellErrorDestinationIsSubfolder);
}

TEST_F(PaneCommandsTest, APasteThatFailsStillShowsWhatCameAndSaysSoOnce) {
  state.SetCopyList({u"D:\\DCIM\\100CANON\\IMG_2.JPG"});
  shell.nextFileOperation.returnValue = 0x75;  // cancelled midway, some files copied
  EXPECT_FALSE(tree.Paste());
  EXPECT_EQ(listener.rows, V{u"D:\\Other\\"});
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].shell.returnValue, 0x75);

  // A shell that raises: the panes still show the disk, and there is nothing to tell.
  shell.raise = true;
  EXPECT_FALSE(tree.Paste());
  EXPECT_EQ(listener.rows.size(), 2u);
  EXPECT_EQ(failures.size(), 1u);
}

TEST_F(PaneCommandsTest, DeleteTellsThePaneWhatWentAndNothingWhenTheUserKeptIt) {
  list.selected = {u"D:\\DCIM\\100CANON\\IMG_1.JPG", u"D:\\DCIM\\100CANON\\IMG_2.JPG"};
  shell.keep = true;  // the user said no to the shell's question
  EXPECT_FALSE(list.Delete());
  EXPECT_TRUE(list.deleted.empty());
  EXPECT_TRUE(failures.empty());
  shell.keep = false;
  EXPECT_TRUE(list.Delete());
  EXPECT_EQ(list.deleted, list.selected);
  ASSERT_EQ(shell.fileOperations.size(), 2u);
  EXPECT_EQ(shell.fileOperations[1].wFunc, FO_DELETE_);
  EXPECT_EQ(shell.fileOperations[1].fFlags, FOF_ALLOWUNDO_);

  tree.selected = {u"D:\\Other"};
  shell.nextFileOperation.returnValue = 5;  // access denied
  EXPECT_FALSE(tree.Delete());
  EXPECT_TRUE(tree.deleted.empty());
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].shell.returnValue, 5);
}

TEST_F(PaneCommandsTest, NewFoldersTakeTheFirstFreeNameOrSayWhyNot) {
  disk.files.insert(u"D:\\DCIM\\100CANON\\新しいフォルダー");  // a file takes the name too
  EXPECT_TRUE(list.NewFolder());
  EXPECT_TRUE(disk.folders.count(u"D:\\DCIM\\100CANON\\新しいフォルダ (2)"));
  EXPECT_EQ(list.edited, V{u"新しいフォルダ (2)"});
  EXPECT_EQ(listener.rows, V{u"D:\\DCIM\\100CANON\\"});

  disk.refuse[u"D:\\DCIM\\100CANON\\写真"] = 19;  // a write-protected card
  EXPECT_FALSE(list.NewFolder(u"写真"));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].kind, PaneFailure::Kind::SystemError);
  EXPECT_EQ(failures[0].code, 19);
  EXPECT_EQ(list.edited.size(), 1u) << "no editor for a folder that was not made";
}

TEST_F(PaneCommandsTest, TheTreeLeavesNewFoldersToTheListWhenThereIsOne) {
  tree.leavesNewFolders = true;
  EXPECT_TRUE(tree.NewFolder());
  EXPECT_EQ(listener.newFolderRequests, 1);
  EXPECT_TRUE(disk.folders.count(u"D:\\Other\\新しいフォルダ")) << "no list took it: the tree makes it";
  EXPECT_EQ(tree.edited, V{u"新しいフォルダ"});
  listener.takesNewFolder = true;
  EXPECT_TRUE(tree.NewFolder());
  EXPECT_EQ(tree.edited.size(), 1u);
  EXPECT_FALSE(disk.folders.count(u"D:\\Other\\新しいフォルダ (2)"));
}

TEST_F(PaneCommandsTest, RenameInPlaceChecksTheNameBeforeTheShell) {
  const std::u16string folder = u"D:\\DCIM\\100CANON\\", from = folder + u"IMG_1.JPG";
  struct Case {
    const char16_t* name;
    bool renamed;
    int error;  // the system error told, 0 for none
  } cases[] = {
      {u"IMG_1.JPG", false, 0},                  // unchanged
      {u"a:b.JPG", false, kErrorInvalidName},
      {u"IMG_2.JPG", false, kErrorAlreadyExists},  // another file
      {u"img_1.jpg", true, 0},                   // the same file in other letter case
      {u"holiday.JPG", true, 0},
  };
  for (const Case& c : cases) {
    failures.clear();
    shell.fileOperations.clear();
    EXPECT_EQ(commands.Rename(from, folder, c.name, 77), c.renamed) << ToUtf8(c.name);
    EXPECT_EQ(shell.fileOperations.size(), c.renamed ? 1u : 0u);
    if (c.error) {
      ASSERT_EQ(failures.size(), 1u);
      EXPECT_EQ(failures[0].code, c.error);
    } else {
      EXPECT_TRUE(failures.empty());
    }
  }
  shell.fileOperations.clear();
  shell.nextFileOperation.fAnyOperationsAborted = true;  // refused in the shell's own question
  EXPECT_FALSE(commands.Rename(from, folder, u"x.JPG", 77));
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  EXPECT_EQ(shell.fileOperations[0].fFlags, FOF_ALLOWUNDO_);
  EXPECT_EQ(shell.fileOperations[0].pTo, PackPaths({folder + u"x.JPG"}));
}

TEST_F(PaneCommandsTest, PropertiesOfOneItemOrABeep) {
  list.selected = {u"D:\\DCIM\\100CANON\\IMG_1.JPG", u"D:\\DCIM\\100CANON\\IMG_2.JPG"};
  list.Properties();
  EXPECT_TRUE(shell.executeExs.empty()) << "no sheet for two items";
  list.selected.resize(1);
  list.Properties();
  ASSERT_EQ(shell.executeExs.size(), 1u);
  EXPECT_EQ(shell.executeExs[0].verb, u"Properties");
  EXPECT_EQ(shell.executeExs[0].fMask, 0x44Cu);
  EXPECT_EQ(shell.executeExs[0].nShow, 5);
  ASSERT_EQ(failures.size(), 1u) << "the shell could not show it";
  EXPECT_EQ(failures[0].kind, PaneFailure::Kind::Beep);
}
