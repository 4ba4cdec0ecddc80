// The reader's file stream: reads through its block and around it give the file's bytes at
// every position, short where the file ends; what is no file raises the open error.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "exif/Streams.h"
#include "platform/Text.h"
#include "support/ExifFixtures.h"

using namespace tess;
using namespace tess::fixtures;

namespace {

struct StreamFile {
  std::u16string folder = MakeTempFolder("stream");
  std::u16string path = folder + u"/photo.jpg";
  Bytes bytes;
  explicit StreamFile(size_t size) {
    for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>((i * 131) ^ (i >> 9)));
    WriteFile(path, bytes);
  }
  ~StreamFile() { std::filesystem::remove_all(std::filesystem::path(ToUtf8(folder))); }
};

}  // namespace

TEST(FileStream, ReadsGiveTheBytesAtEveryPosition) {
  const size_t block = 64 * 1024;
  StreamFile file(3 * block + 1000);
  const int64_t size = static_cast<int64_t>(file.bytes.size());
  struct Case {
    const char* what;
    int64_t at;
    size_t count;
    size_t expected;
  } cases[] = {
      {"the head", 0, 16, 16},
      {"within the first block", 1000, 3000, 3000},
      {"across the block's end", block - 10, 100, 100},
      {"larger than a block", 5, 2 * block, 2 * block},
      {"in a later block", 2 * block + 4097, 64, 64},
      {"past the end: short", size - 30, 100, 30},
      {"at the end", size, 10, 0},
      {"beyond the end", size + 5000, 10, 0},
  };
  // Each case on a fresh stream and on one shared by the whole table: a read must not depend
  // on the block an earlier one left behind.
  TFileStream shared(file.path);
  for (const Case& c : cases) {
    for (bool fresh : {true, false}) {
      std::unique_ptr<TFileStream> own = fresh ? std::make_unique<TFileStream>(file.path) : nullptr;
      TFileStream& s = fresh ? *own : shared;
      EXPECT_EQ(s.Size(), size);
      s.SetPosition(c.at);
      std::vector<uint8_t> out(c.count, 0xEE);
      ASSERT_EQ(s.Read(out.data(), c.count), c.expected) << c.what;
      EXPECT_EQ(s.Position(), c.at + static_cast<int64_t>(c.expected)) << c.what;
      for (size_t i = 0; i < c.expected; ++i) {
        if (out[i] != file.bytes[static_cast<size_t>(c.at) + i]) {
          ADD_FAILURE() << c.what << (fresh ? "" : " (shared stream)") << ": byte " << i << " differs";
          break;
        }
      }
    }
  }
}

TEST(FileStream, ExactReadPastTheEndRaisesTheReadError) {
  StreamFile file(100);
  TFileStream s(file.path);
  uint8_t out[200];
  s.SetPosition(50);
  EXPECT_THROW(s.ReadBuffer(out, 51), EReadError);
  s.SetPosition(50);
  EXPECT_NO_THROW(s.ReadBuffer(out, 50));
}

TEST(FileStream, WhatIsNoFileRaisesTheOpenError) {
  StreamFile file(10);
  EXPECT_THROW(TFileStream(file.folder + u"/missing.jpg"), EFOpenError);
  EXPECT_THROW(TFileStream(file.folder), EFOpenError) << "a folder";
}
