// The reader's file stream on Windows: what is no file on disk reads as empty at once, even
// when its reads would wait for ever.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "exif/Streams.h"

using namespace tess;

TEST(FileStreamWin, APipeThatNeverWritesReadsAsEmptyAtOnce) {
  const wchar_t* name = L"\\\\.\\pipe\\tessarine-stream-test";
  HANDLE server = CreateNamedPipeW(name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  // Should the read wait after all, the server writes after a while and lets it go, so that
  // the test fails instead of hanging the suite.
  std::atomic<bool> done{false}, released{false};
  std::thread guard([&] {
    for (int i = 0; i < 200 && !done; ++i) Sleep(50);
    if (done) return;
    released = true;
    DWORD n = 0;
    WriteFile(server, "xxxx", 4, &n, nullptr);
  });
  size_t got = 99;
  {
    TFileStream stream(u"\\\\.\\pipe\\tessarine-stream-test");
    uint8_t buffer[16];
    got = stream.Read(buffer, sizeof buffer);
    EXPECT_EQ(stream.Size(), 0);
  }
  done = true;
  guard.join();
  CloseHandle(server);
  EXPECT_FALSE(released) << "the pipe was waited on";
  EXPECT_EQ(got, 0u);
}
