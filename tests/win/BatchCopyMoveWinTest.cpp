// A real batch copy and move through the system's shell into nested folders that do not
// exist yet, checked on disk. Destinations never exist beforehand, so no question dialog
// can come up (nobody would answer it).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Shell.h"
#include "platform/win/WinText.h"
#include "rename/BatchCopyMove.h"

using namespace tess;
namespace fs = std::filesystem;

namespace {

class RealBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 0u);
    ASSERT_LE(n, DWORD(MAX_PATH));
    root_ = fs::path(std::wstring(temp, n)) /
            (L"TessarineBatch-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()));
    ASSERT_TRUE(fs::create_directories(root_ / L"IN"));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
    EXPECT_FALSE(ec) << ec.message();
  }

  // A small file whose bytes tell it apart, including NULs and every byte value.
  std::string MakeSource(const std::wstring& name, size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 31 + size_t(seed)) & 0xFF);
    std::ofstream(root_ / L"IN" / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return bytes;
  }
  static std::string Content(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::u16string Packed(const std::vector<fs::path>& paths) {
    std::u16string s;
    for (const fs::path& p : paths) {
      s += U16(p.wstring());
      s += u'\0';
    }
    return s + u'\0';
  }

  fs::path root_;
};

}  // namespace

TEST_F(RealBatch, CopyAndMoveIntoNewNestedFolders) {
  std::string a = MakeSource(L"IMG_0001.JPG", 3000, 1);
  std::string b = MakeSource(L"IMG_0002.JPG", 70000, 2);
  std::string c = MakeSource(L"写真_0003.JPG", 1, 3);
  std::vector<fs::path> sources = {root_ / L"IN" / L"IMG_0001.JPG", root_ / L"IN" / L"IMG_0002.JPG",
                                   root_ / L"IN" / L"写真_0003.JPG"};

  std::vector<fs::path> copies = {root_ / L"DSC" / L"X100" / L"20240501" / L"IMG.JPG",
                                  root_ / L"DSC" / L"X100" / L"20240502" / L"IMG.JPG",
                                  root_ / L"DSC" / L"ニコン" / L"2024年5月3日" / L"IMG-3.JPG"};
  ASSERT_TRUE(BatchCopyMove(PlatformShell(), 0, Packed(sources), Packed(copies), BatchOperation::Copy));
  EXPECT_EQ(Content(copies[0]), a);
  EXPECT_EQ(Content(copies[1]), b);
  EXPECT_EQ(Content(copies[2]), c);
  for (const fs::path& s : sources) EXPECT_TRUE(fs::exists(s)) << s;

  std::vector<fs::path> moves = {root_ / L"MOVED" / L"X100" / L"20240501" / L"IMG_A.JPG",
                                 root_ / L"MOVED" / L"X100" / L"20240501" / L"IMG_B.JPG",
                                 root_ / L"MOVED" / L"Z" / L"IMG_C.JPG"};
  ASSERT_TRUE(BatchCopyMove(PlatformShell(), 0, Packed(sources), Packed(moves), BatchOperation::Move));
  EXPECT_EQ(Content(moves[0]), a);
  EXPECT_EQ(Content(moves[1]), b);
  EXPECT_EQ(Content(moves[2]), c);
  for (const fs::path& s : sources) EXPECT_FALSE(fs::exists(s)) << s;
  EXPECT_TRUE(fs::is_empty(root_ / L"IN"));
}
