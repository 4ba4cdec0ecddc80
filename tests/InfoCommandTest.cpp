// `tessarine-cli info`: the TSV lines, escaping, folders and unreadable paths.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "cli/Cli.h"
#include "cli/InfoFormat.h"
#include "platform/Text.h"
#include "support/ExifFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

std::string ReadAll(std::FILE* f) {
  std::rewind(f);
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

struct InfoRun {
  int status;
  std::string out, err;
};

InfoRun RunInfo(const std::vector<std::u16string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::vector<std::u16string> all{u"info"};
  all.insert(all.end(), args.begin(), args.end());
  int status = RunCli(all, out, err);
  return {status, ReadAll(out), ReadAll(err)};
}

}  // namespace

TEST(InfoCommand, Escaping) {
  struct Case {
    std::u16string text;
    std::string escaped;
  } cases[] = {
      {u"Canon", "Canon"},
      {u"a\tb", "a\\tb"},
      {u"a\nb\rc", "a\\nb\\rc"},
      {std::u16string(u"C\0\0", 3), "C\\0\\0"},
      {u"\x01\x1F\x7F", "\\x01\\x1F\\x7F"},
      {u"back\\slash", "back\\\\slash"},
      {u"日本", "日本"},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeInfoText(c.text), c.escaped);
}

TEST(InfoCommand, RowFormat) {
  InfoRow row;
  row.path = u"a.jpg";
  row.state = InfoExifState::Loaded;
  row.dateTime = 41032.5;
  row.digitized = 41033.25;
  row.make = u"M";
  EXPECT_EQ(FormatInfoRow(row), "a.jpg\t1\t2012/05/03 12:00:00.000\t\t2012/05/04 06:00:00.000\t2012/05/03 12:00:00.000\tM\t\t\n");
  row.dateTime = -700000.0;
  EXPECT_EQ(FormatInfoRow(row), "a.jpg\t1\t\t\t2012/05/04 06:00:00.000\t2012/05/04 06:00:00.000\tM\t\t\n");
  row.dateTime = -1.5;  // before 1899-12-30 counts as no date
  EXPECT_EQ(FormatInfoRow(row), "a.jpg\t1\t\t\t2012/05/04 06:00:00.000\t2012/05/04 06:00:00.000\tM\t\t\n");
  row.state = InfoExifState::NotRecognised;
  EXPECT_EQ(FormatInfoRow(row), "a.jpg\t0\t\t\t\t\t\t\t\n");
  row.state = InfoExifState::Failed;
  EXPECT_EQ(FormatInfoRow(row), "a.jpg\tE\t\t\t\t\t\t\t\n");
}

TEST(InfoCommand, FilesAndFolders) {
  std::u16string folder = MakeTempFolder("info");
  auto join = [](const std::u16string& dir, const std::u16string& name) {
    return (std::filesystem::path(dir) / std::filesystem::path(name)).u16string();
  };
  auto at = [&](const char* name) { return join(folder, FromUtf8(name)); };
  WriteFile(at("b.jpg"), PhotoJpeg({.make = "Tab\tMake", .model = "M1", .dateTime = "2020:01:02 03:04:05",
                                    .dateTimeOriginal = "2021:01:02 03:04:05", .subsecTimeOriginal = "5",
                                    .offsetTimeOriginal = "+09:00"}));
  WriteFile(at("a.txt"), Text("not a photo"));
  WriteFile(at("c.jpg"), Jpeg({Segment(0xE1, Concat({Text("Exif"), Bytes{0, 0}, Text("FUJIFILM")}))}));
  std::filesystem::create_directories(std::filesystem::path(at("sub")));
  WriteFile(join(at("sub"), u"inner.jpg"), PhotoJpeg({.make = "Inner"}));

  InfoRun r = RunInfo({folder});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "path\texif\tdatetime\toriginal\tdigitized\tshot\tmake\tmodel\toffset\n" +
                       ToUtf8(at("a.txt")) + "\t0\t\t\t\t\t\t\t\n" +
                       ToUtf8(at("b.jpg")) +
                       "\t1\t2020/01/02 03:04:05.000\t2021/01/02 03:04:05.500\t\t2021/01/02 03:04:05.500\tTab\\tMake\tM1\t+09:00\n" +
                       ToUtf8(at("c.jpg")) + "\tE\t\t\t\t\t\t\t\n");
  EXPECT_EQ(r.err, ToUtf8(at("c.jpg")) + ": Invalid TIFF data\n");
  // The folder written with a trailing separator ("Z:\\photos\\") is the same folder.
  std::u16string slashed = folder + (kNativeWindowsPaths ? u"\\" : u"/");
  InfoRun trailing = RunInfo({slashed});
  EXPECT_EQ(trailing.status, 0) << trailing.err;
  EXPECT_NE(trailing.out.find("\t1\t2020/01/02"), std::string::npos) << trailing.out;

  // Files in the order given; a missing one is reported and makes the status 1.
  InfoRun r2 = RunInfo({at("c.jpg"), at("missing.jpg"), at("b.jpg")});
  EXPECT_EQ(r2.status, 1);
  EXPECT_NE(r2.out.find(ToUtf8(at("c.jpg")) + "\tE"), std::string::npos);
  EXPECT_LT(r2.out.find("c.jpg"), r2.out.find("b.jpg"));
  EXPECT_EQ(r2.out.find("missing.jpg"), std::string::npos);
  EXPECT_NE(r2.err.find(ToUtf8(at("missing.jpg")) + ": ファイル "), std::string::npos);

  InfoRun help = RunInfo({u"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("shot"), std::string::npos);
  std::filesystem::remove_all(std::filesystem::path(folder));
}

#ifndef _WIN32
// A named pipe, a socket and a device are no photos: each is listed as such at once, in a
// folder or named on the command line, and never waited on.
TEST(InfoCommand, PipesSocketsAndDevicesAreNoPhotos) {
  std::u16string folder = MakeTempFolder("infopipe");
  const std::string dir = ToUtf8(folder);
  const std::string fifo = dir + "/pipe.jpg", socketPath = dir + "/socket.jpg";
  WriteFile(FromUtf8(dir + "/photo.jpg"), PhotoJpeg({.make = "M"}));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  // Should a read wait on the pipe after all, a writer comes along after a while and lets it
  // go, so that the test fails instead of hanging the suite.
  std::mutex m;
  std::condition_variable cv;
  bool done = false, released = false;
  std::thread guard([&] {
    std::unique_lock lock(m);
    while (!cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) {
      released = true;
      int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
  });
  InfoRun r = RunInfo({folder, FromUtf8(fifo), FromUtf8(socketPath), u"/dev/null"});
  {
    std::lock_guard lock(m);
    done = true;
  }
  cv.notify_one();
  guard.join();
  ::close(sock);

  EXPECT_FALSE(released) << "the pipe was waited on";
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string none = "\t0\t\t\t\t\t\t\t\n";
  EXPECT_EQ(r.out, InfoHeaderLine() + dir + "/photo.jpg\t1\t\t\t\t\tM\t\t\n" + fifo + none + socketPath + none + fifo +
                       none + socketPath + none + "/dev/null" + none);
  std::filesystem::remove_all(std::filesystem::path(folder));
}
#endif
