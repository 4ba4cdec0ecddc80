// Destination folders of a batch copy or move: which are missing, the order of creation,
// which are removed after a failure, and that existing files are left to the shell.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/DestinationFolders.h"
#include "platform/Text.h"
#include "rename/BatchCopyMove.h"
#include "support/RecordingShell.h"

using namespace tess;

namespace {

// As the file system compares paths here: ASCII case folded, "/" taken as "\\".
std::u16string Lower(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) out += c == u'/' ? u'\\' : AsciiLower(c);
  return out;
}

// Folders and files by path, compared without ASCII case; creating a folder needs its parent.
class MemoryFolders final : public FolderSystem {
 public:
  std::set<std::u16string> folders;                // lower-cased
  std::map<std::u16string, std::string> files;     // lower-cased path -> content
  std::vector<std::u16string> failCreate;          // lower-cased
  std::vector<std::u16string> createdByOthers;     // lower-cased: appear just before we create them
  std::vector<std::u16string> log;                 // "+path" created, "-path" removed

  MemoryFolders(std::initializer_list<const char16_t*> existing) {
    for (const char16_t* f : existing) folders.insert(Lower(f));
  }
  bool Exists(const std::u16string& path) override { return IsFolder(path) || files.count(Lower(path)); }
  bool IsFolder(const std::u16string& path) override { return folders.count(Lower(path)) > 0; }
  bool CreateFolder(const std::u16string& path) override {
    std::u16string p = Lower(path);
    std::u16string parent = ParentFolder(p);
    if (Exists(p) || (!parent.empty() && !IsFolder(parent))) return false;
    for (const auto& f : failCreate)
      if (f == p) return false;
    for (const auto& f : createdByOthers)
      if (f == p) {
        folders.insert(p);
        return false;
      }
    folders.insert(p);
    log.push_back(u"+" + path);
    return true;
  }
  bool RemoveEmptyFolder(const std::u16string& path) override {
    std::u16string p = Lower(path) + u"\\";
    for (const auto& f : folders)
      if (f.compare(0, p.size(), p) == 0) return false;
    for (const auto& f : files)
      if (f.first.compare(0, p.size(), p) == 0) return false;
    folders.erase(Lower(path));
    log.push_back(u"-" + path);
    return true;
  }
};

std::u16string Packed(std::initializer_list<std::u16string_view> paths) {
  std::u16string s;
  for (auto p : paths) {
    s += p;
    s += u'\0';
  }
  return s + u'\0';
}

FileOperationRequest BatchRequest(unsigned func, std::u16string to) {
  FileOperationRequest r;
  r.wFunc = func;
  r.pFrom = Packed({u"C:\\IN\\A.JPG"}) + u'\0';
  r.pTo = std::move(to) + u'\0';
  r.fFlags = FOF_ALLOWUNDO_ | FOF_MULTIDESTFILES_ | FOF_NOCONFIRMMKDIR_;
  return r;
}

std::string Show(const std::vector<std::u16string>& v) {
  std::string s;
  for (const auto& e : v) s += ToUtf8(e) + "; ";
  return s;
}

}  // namespace

TEST(DestinationFolders, UnpackAndParent) {
  EXPECT_EQ(UnpackPathList(Packed({u"C:\\a", u"D:\\b"}) + u'\0'), (std::vector<std::u16string>{u"C:\\a", u"D:\\b"}));
  EXPECT_EQ(UnpackPathList(std::u16string_view(u"C:\\a", 4)), std::vector<std::u16string>{u"C:\\a"});
  EXPECT_TRUE(UnpackPathList(std::u16string_view(u"\0C:\\a\0", 6)).empty());

  struct Case { const char16_t* path; const char16_t* parent; } cases[] = {
      {u"C:\\A\\B.JPG", u"C:\\A"},
      {u"C:\\A\\\\B.JPG", u"C:\\A"},
      {u"C:\\A\\B\\", u"C:\\A"},
      {u"C:/A/B.JPG", u"C:/A"},
      {u"C:\\B.JPG", u""},
      {u"C:\\", u""},
      {u"\\\\srv\\share\\A\\x.jpg", u"\\\\srv\\share\\A"},
      {u"\\\\srv\\share\\x.jpg", u""},
      {u"\\\\srv", u""},
      {u"\\\\?\\C:\\A\\x.jpg", u"\\\\?\\C:\\A"},
      {u"\\\\?\\UNC\\srv\\share\\A\\x", u"\\\\?\\UNC\\srv\\share\\A"},
      {u"x.jpg", u""},
      {u"A\\B.JPG", u""},
      {u"C:A\\B.JPG", u""},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(ParentFolder(c.path), c.parent) << ToUtf8(c.path);
}

TEST(DestinationFolders, PlansEveryMissingLevelOnceParentsFirst) {
  MemoryFolders fs{u"C:\\", u"C:\\DSC", u"C:\\IN"};
  fs.files[u"c:\\file"] = "x";
  std::vector<std::u16string> destinations = {
      u"C:\\DSC\\X100\\20240501\\IMG1.JPG",
      u"C:\\DSC\\X100\\20240501\\IMG2.JPG",
      u"c:\\dsc\\x100\\20240501\\IMG3.JPG",  // same folders in another case
      u"C:\\DSC\\X100\\20240502\\IMG4.JPG",
      u"C:\\DSC\\IMG5.JPG",                  // folder exists
      u"C:\\FILE\\SUB\\IMG6.JPG",            // a file is in the way
      u"Q:\\NODRIVE\\IMG7.JPG",              // nothing exists up to the root
      u"C:\\NEW\\A\\B\\IMG8.JPG",
  };
  EXPECT_EQ(PlanMissingFolders(destinations, fs),
            (std::vector<std::u16string>{u"C:\\DSC\\X100", u"C:\\DSC\\X100\\20240501", u"C:\\DSC\\X100\\20240502",
                                         u"C:\\NEW", u"C:\\NEW\\A", u"C:\\NEW\\A\\B"}));
}

TEST(DestinationFolders, CreatedBeforeTheShellAndKeptOnSuccess) {
  MemoryFolders fs{u"C:\\", u"C:\\IN"};
  FileOperationRequest request = BatchRequest(FO_MOVE_, Packed({u"C:\\DSC\\X100\\20240501\\IMG.JPG"}));
  int calls = 0;
  FileOperationResult result = RunWithDestinationFolders(request, fs, [&](const FileOperationRequest& r) {
    ++calls;
    EXPECT_TRUE(fs.IsFolder(u"C:\\DSC\\X100\\20240501"));
    EXPECT_EQ(r.pTo, request.pTo);
    fs.files[u"c:\\dsc\\x100\\20240501\\img.jpg"] = "moved";
    return FileOperationResult{0, false};
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(result.returnValue, 0);
  EXPECT_EQ(fs.log, (std::vector<std::u16string>{u"+C:\\DSC", u"+C:\\DSC\\X100", u"+C:\\DSC\\X100\\20240501"}));
}

TEST(DestinationFolders, FailureOrAbortRemovesTheCreatedFoldersThatStayEmpty) {
  struct Case { const char* what; FileOperationResult result; bool oneFileArrived; std::vector<std::u16string> removed; } cases[] = {
      {"cancelled, nothing moved", {1223, false}, false,
       {u"-C:\\DSC\\X100\\20240502", u"-C:\\DSC\\X100\\20240501", u"-C:\\DSC\\X100"}},
      {"aborted although 0 returned", {0, true}, false,
       {u"-C:\\DSC\\X100\\20240502", u"-C:\\DSC\\X100\\20240501", u"-C:\\DSC\\X100"}},
      {"failed after one file", {0x7C, false}, true, {u"-C:\\DSC\\X100\\20240502"}},
      {"succeeded", {0, false}, true, {}},
  };
  for (const Case& c : cases) {
    MemoryFolders fs{u"C:\\", u"C:\\IN", u"C:\\DSC"};
    FileOperationRequest request = BatchRequest(
        FO_MOVE_, Packed({u"C:\\DSC\\X100\\20240501\\A.JPG", u"C:\\DSC\\X100\\20240502\\B.JPG"}));
    RunWithDestinationFolders(request, fs, [&](const FileOperationRequest&) {
      if (c.oneFileArrived) fs.files[u"c:\\dsc\\x100\\20240501\\a.jpg"] = "moved";
      return c.result;
    });
    std::vector<std::u16string> removed(fs.log.begin() + 3, fs.log.end());
    EXPECT_EQ(removed, c.removed) << c.what << ": " << Show(fs.log);
    EXPECT_TRUE(fs.IsFolder(u"C:\\DSC")) << c.what << ": a folder that existed before stays";
  }
}

TEST(DestinationFolders, AFolderThatCannotBeCreatedLeavesTheProblemToTheShell) {
  MemoryFolders fs{u"C:\\", u"C:\\IN"};
  fs.failCreate = {u"c:\\dsc\\bad"};
  FileOperationRequest request = BatchRequest(FO_COPY_, Packed({u"C:\\DSC\\BAD\\A.JPG"}));
  int calls = 0;
  FileOperationResult result = RunWithDestinationFolders(request, fs, [&](const FileOperationRequest& r) {
    ++calls;
    EXPECT_FALSE(fs.IsFolder(u"C:\\DSC")) << "created folders are removed before the shell runs";
    EXPECT_EQ(r.pTo, request.pTo);
    return FileOperationResult{0x7B, false};
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(result.returnValue, 0x7B);
  EXPECT_EQ(fs.log, (std::vector<std::u16string>{u"+C:\\DSC", u"-C:\\DSC"}));
}

TEST(DestinationFolders, OneFolderSpelledTwoWaysIsCreatedOnce) {
  // A "/" in a camera model is a separator to the file system.
  MemoryFolders fs{u"C:\\", u"C:\\IN", u"C:\\DSC"};
  std::vector<std::u16string> destinations = {u"C:\\DSC\\D70/D70s\\A.JPG", u"C:\\DSC\\D70\\D70S\\B.JPG",
                                              u"C:\\DSC\\Été\\C.JPG", u"C:\\DSC\\été\\D.JPG",
                                              u"C:\\DSC\\\\D70\\x\\E.JPG"};
  EXPECT_EQ(PlanMissingFolders(destinations, fs),
            (std::vector<std::u16string>{u"C:\\DSC\\D70", u"C:\\DSC\\D70/D70s", u"C:\\DSC\\Été",
                                         u"C:\\DSC\\\\D70\\x"}));
}

TEST(DestinationFolders, AFolderThatAppearsMeanwhileIsUsedAndNotRemoved) {
  MemoryFolders fs{u"C:\\", u"C:\\IN"};
  fs.createdByOthers = {u"c:\\dsc"};
  FileOperationRequest request = BatchRequest(FO_MOVE_, Packed({u"C:\\DSC\\X100\\A.JPG"}));
  RunWithDestinationFolders(request, fs, [&](const FileOperationRequest&) {
    EXPECT_TRUE(fs.IsFolder(u"C:\\DSC\\X100")) << "the rest of the chain is still created";
    return FileOperationResult{1223, false};
  });
  EXPECT_EQ(fs.log, (std::vector<std::u16string>{u"+C:\\DSC\\X100", u"-C:\\DSC\\X100"}));
  EXPECT_TRUE(fs.IsFolder(u"C:\\DSC")) << "not ours to remove";
}

TEST(DestinationFolders, OnlyMultiDestinationCopyAndMoveWithoutFolderQuestionArePrepared) {
  struct Case { unsigned func; unsigned flags; bool prepared; } cases[] = {
      {FO_MOVE_, 0x241, true},
      {FO_COPY_, 0x241, true},
      {FO_COPY_, 0x240, false},                   // paste: destination is a folder to copy into
      {FO_COPY_, 0x041, false},                   // the shell would ask before creating folders
      {FO_RENAME_, 0x241, false},
      {FO_DELETE_, 0x241, false},
  };
  for (const Case& c : cases) {
    MemoryFolders fs{u"C:\\", u"C:\\IN"};
    FileOperationRequest request = BatchRequest(c.func, Packed({u"C:\\NEW\\A.JPG"}));
    request.fFlags = c.flags;
    RunWithDestinationFolders(request, fs, [](const FileOperationRequest&) { return FileOperationResult{}; });
    EXPECT_EQ(fs.IsFolder(u"C:\\NEW"), c.prepared) << c.func << " " << c.flags;
  }
}

// The platform layer in front of a recording shell, as PlatformShell() puts it in front of
// the real one.
namespace {
class PreparingShell : public tess::testing::RecordingShell {
 public:
  explicit PreparingShell(MemoryFolders& fs) : fs_(fs) {}
  FileOperationResult FileOperation(const FileOperationRequest& r) override {
    return RunWithDestinationFolders(r, fs_, [this](const FileOperationRequest& req) {
      return tess::testing::RecordingShell::FileOperation(req);
    });
  }

 private:
  MemoryFolders& fs_;
};
}  // namespace

TEST(DestinationFolders, AnExistingDestinationIsLeftToTheShellsReplaceQuestion) {
  MemoryFolders fs{u"C:\\", u"C:\\IN", u"C:\\DSC", u"C:\\DSC\\X100"};
  fs.files[u"c:\\dsc\\x100\\img.jpg"] = "older photo";
  PreparingShell shell(fs);
  std::u16string to = Packed({u"C:\\DSC\\X100\\IMG.JPG", u"C:\\DSC\\X100\\IMG.JPG"});
  std::u16string from = Packed({u"C:\\IN\\A.JPG", u"C:\\IN\\B.JPG"});
  shell.nextFileOperation = {1223, false};  // the user refused to replace
  EXPECT_FALSE(BatchCopyMove(shell, 0, from, to, BatchOperation::Move));
  ASSERT_EQ(shell.fileOperations.size(), 1u);
  const FileOperationRequest& r = shell.fileOperations[0];
  EXPECT_EQ(r.fFlags, 0x241u) << "no flag that replaces or renames without asking";
  EXPECT_EQ(r.pTo, to + u'\0');
  EXPECT_EQ(r.pFrom, from + u'\0');
  EXPECT_TRUE(fs.log.empty()) << Show(fs.log);
  EXPECT_EQ(fs.files[u"c:\\dsc\\x100\\img.jpg"], "older photo");
  EXPECT_TRUE(fs.IsFolder(u"C:\\DSC\\X100"));

  shell.nextFileOperation = {0, false};
  EXPECT_TRUE(BatchCopyMove(shell, 0, from, to, BatchOperation::Copy));
  EXPECT_TRUE(fs.log.empty());
}
