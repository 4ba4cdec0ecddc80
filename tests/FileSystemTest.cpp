// One rule for when two paths name the same file, and the machine's file system as the
// rename run asks it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/Text.h"

using namespace tess;

TEST(FileSystemPathKey, SamePathsShareAKey) {
  struct Case { const char16_t* a; const char16_t* b; bool same; } cases[] = {
      {u"C:\\A\\b.JPG", u"c:\\a\\B.jpg", true},
      {u"C:\\A\\\\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:/A/b.jpg", u"C:\\A\\b.jpg", true},
      {u"\\\\server\\share\\a", u"\\\\server\\share\\a", true},
      {u"\\\\server\\share\\a", u"\\server\\share\\a", false},
      {u"C:\\Été.jpg", u"C:\\été.jpg", true},
      {u"C:\\ＡＢ.jpg", u"C:\\ａｂ.jpg", true},
      {u"C:\\Ωμέγα", u"C:\\ωμέγα", true},
      {u"C:\\Жук", u"C:\\жук", true},
      {u"C:\\Łódź", u"C:\\łódź", true},
      {u"C:\\a.jpg", u"C:\\b.jpg", false},
      {u"C:\\写真\\a.jpg", u"C:\\写真\\a.jpg", true},
      {u"C:\\a.jpg", u"C:\\a.jpeg", false},
      // Relative segments and the trailing dots and blanks that Windows drops from a name.
      {u"C:\\A\\.\\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:\\A\\X\\..\\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:\\..\\b.jpg", u"C:\\b.jpg", true},
      {u"\\\\srv\\share\\..\\..\\a", u"\\\\srv\\share\\a", true},
      {u"C:\\A\\b.jpg. .", u"C:\\A\\b.jpg", true},
      {u"C:\\A\\README ", u"C:\\A\\README", true},
      {u"C:\\A \\b.jpg", u"C:\\A\\b.jpg", true},
      {u"C:\\Cam.\\20240501\\a.jpg", u"C:\\Cam\\20240501\\a.jpg", true},
      {u"C:\\A\\...\\b.jpg", u"C:\\A\\b.jpg", true},
      // Letter case over all of Unicode, as Windows compares names.
      {u"C:\\Ảnh 1.jpg", u"C:\\ảnh 1.jpg", true},
      {u"C:\\ǅ", u"C:\\ǆ", true},
      {u"C:\\Ⓐ", u"C:\\ⓐ", true},
      {u"C:\\Ꭰ", u"C:\\ꭰ", true},
      {u"C:\\ı", u"C:\\I", true},
      {u"C:\\K", u"C:\\k", true},
      {u"C:\\\U00010400", u"C:\\\U00010428", true},
      {u"C:\\ß", u"C:\\ss", false},
      {u"C:\\あ", u"C:\\ア", false},
      {u"C:\\A\\..b.jpg", u"C:\\A\\b.jpg", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FileSystemPathKey(c.a) == FileSystemPathKey(c.b), c.same) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
}

TEST(ContentHash, IsXxh128OfTheBytes) {
  // Reference values of XXH3-128: the empty input, and bytes fed in pieces as in one.
  EXPECT_EQ(ContentHashOf(""), "xxh128:99aa06d3014798d86001c324468d497f");
  ContentHasher pieces;
  pieces.Update("JPEG ", 5);
  pieces.Update("bytes", 5);
  EXPECT_EQ(pieces.Result(), ContentHashOf("JPEG bytes"));
  EXPECT_NE(ContentHashOf("JPEG bytes"), ContentHashOf("JPEG bytez"));
}

#ifndef _WIN32
TEST(PlatformFileSystem, AsTheRenameRunAsksIt) {
  char pattern[] = "/tmp/tessarine-fs-XXXXXX";
  ASSERT_TRUE(::mkdtemp(pattern));
  const std::string dir = pattern;
  auto put = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
  };
  put("a.jpg", "JPEG bytes");
  put("same.jpg", "JPEG bytes");
  put("other.jpg", "JPEG bytez");
  put("short.jpg", "JPEG");
  ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
  // The run writes "\" between names; here they are taken as "/".
  auto at = [&](const char* name) { return FromUtf8(dir) + u"\\" + FromUtf8(name); };

  FileSystem& fs = PlatformFileSystem();
  EXPECT_EQ(fs.FileSize(at("a.jpg")), std::optional<uint64_t>(10));
  EXPECT_EQ(fs.FileSize(at("missing.jpg")), std::nullopt);
  EXPECT_EQ(fs.FileSize(FromUtf8(dir)), std::nullopt);
  EXPECT_TRUE(fs.Exists(at("a.jpg")));
  EXPECT_FALSE(fs.Exists(at("missing.jpg")));
  EXPECT_FALSE(fs.Exists(at("a.jpg\\x")));
  EXPECT_TRUE(fs.SameContent(at("a.jpg"), at("same.jpg")));
  EXPECT_FALSE(fs.SameContent(at("a.jpg"), at("other.jpg")));
  EXPECT_FALSE(fs.SameContent(at("a.jpg"), at("short.jpg")));
  EXPECT_FALSE(fs.SameContent(at("a.jpg"), at("missing.jpg")));
  EXPECT_FALSE(fs.SameContent(at("a.jpg"), FromUtf8(dir)));
  EXPECT_FALSE(fs.SameContent(at("pipe"), at("pipe"))) << "a pipe is no file, and must not hang";
  EXPECT_TRUE(fs.RemoveFile(at("short.jpg")));
  EXPECT_FALSE(fs.Exists(at("short.jpg")));
  EXPECT_TRUE(fs.CreateFolder(at("sub")));
  EXPECT_TRUE(fs.IsFolder(at("sub")));
  put("sub/x", "x");
  EXPECT_FALSE(fs.RemoveEmptyFolder(at("sub")));
  EXPECT_TRUE(fs.RemoveFile(at("sub\\x")));
  EXPECT_TRUE(fs.RemoveEmptyFolder(at("sub")));
  // What an undo needs: a move that never replaces, and the fingerprint of a file's bytes.
  EXPECT_EQ(fs.ContentHash(at("a.jpg")), ContentHashOf("JPEG bytes"));
  EXPECT_EQ(fs.ContentHash(at("missing.jpg")), std::nullopt);
  EXPECT_EQ(fs.ContentHash(at("pipe")), std::nullopt);
  EXPECT_FALSE(fs.MoveFileNoReplace(at("a.jpg"), at("other.jpg")));
  EXPECT_TRUE(fs.SameContent(at("a.jpg"), at("same.jpg")));
  EXPECT_TRUE(fs.MoveFileNoReplace(at("same.jpg"), at("moved.jpg")));
  EXPECT_FALSE(fs.Exists(at("same.jpg")));
  EXPECT_TRUE(fs.SameContent(at("a.jpg"), at("moved.jpg")));

  for (const char* name : {"a.jpg", "moved.jpg", "other.jpg", "pipe"}) std::remove((dir + "/" + name).c_str());
  ::rmdir(dir.c_str());
}
#endif

// The room on the volume of a destination folder still to be made: asked of its nearest
// existing parent, the volume named by its root (a drive, a mount point), on both systems.
TEST(PlatformFileSystem, TheSpaceOfAFolderStillToBeMade) {
  std::u16string temp = std::filesystem::temp_directory_path().u16string();
  while (!temp.empty() && (temp.back() == u'\\' || temp.back() == u'/')) temp.pop_back();
  FileSystem& fs = PlatformFileSystem();
  std::optional<VolumeSpace> existing = fs.SpaceOf(temp);
  std::optional<VolumeSpace> planned = fs.SpaceOf(temp + u"\\tessarine-never-made\\2024\\05");
  ASSERT_TRUE(existing && planned);
  EXPECT_EQ(planned->root, existing->root);
  EXPECT_EQ(planned->totalBytes, existing->totalBytes);
  EXPECT_GT(planned->freeBytes, 0u);
  EXPECT_GE(planned->totalBytes, planned->freeBytes);
  EXPECT_GT(planned->clusterBytes, 0u);
  std::u16string root = FileSystemPathKey(planned->root);
  while (!root.empty() && root.back() == u'\\') root.pop_back();
  EXPECT_EQ(FileSystemPathKey(temp).rfind(root, 0), 0u) << ToUtf8(planned->root) << " holds " << ToUtf8(temp);
}
