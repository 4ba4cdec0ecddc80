// The rename journal: what a run writes reads back the same, a journal cut anywhere (a
// crash mid-line) still reads as the lines before the cut, and only the last runs are kept.
#include <gtest/gtest.h>

#include "rename/RunJournal.h"
#include "support/FakeJournalFolder.h"

using namespace tess;
using tess::testing::FakeJournalFolder;

namespace {

std::vector<JournalPair> SomePairs() {
  return {
      {u"C:\\DCIM\\100\\IMG_0001.JPG", u"D:\\写真\\20240501\\20240501-090307.JPG", 123456, "xxh128:0123456789abcdef0123456789abcdef"},
      // Characters that mean something to the format itself stay in their field.
      {u"C:\\DCIM\\100\\tab\there%20.JPG", u"D:\\new\nline\\100%.JPG", std::nullopt, ""},
      {u"C:\\DCIM\\100\\IMG_0003.CR3", u"D:\\写真\\20240501\\20240501-090308.CR3", 0, ""},
  };
}

// One journal with every kind of line: the plan, outcomes, an end and an undo.
std::string WholeJournal(FakeJournalFolder& folder, std::u16string& name) {
  auto writer = JournalWriter::Start(folder, JournalAction::Move, SomePairs(), {u"D:\\写真", u"D:\\写真\\20240501"});
  EXPECT_TRUE(writer);
  name = writer->Name();
  writer->Event(0, PairEvent::Moved, "xxh128:fedcba9876543210fedcba9876543210");
  writer->Event(1, PairEvent::Failed);
  writer->Event(2, PairEvent::Written);
  writer->End("failed", 2);
  writer->UndoStart();
  writer->Undone(2, UndoResult::Restored);
  writer->Undone(1, UndoResult::Nothing);
  writer->Undone(0, UndoResult::Kept);
  writer->UndoEnd(1, 1);
  writer.reset();
  return folder.texts[name];
}

TEST(RunJournal, ReadsBackWhatTheRunWrote) {
  FakeJournalFolder folder;
  std::u16string name;
  std::string text = WholeJournal(folder, name);
  RunJournal j = ParseJournal(text, name);
  EXPECT_EQ(j.name, name);
  EXPECT_EQ(j.action, JournalAction::Move);
  EXPECT_EQ(JournalNameFor(j.time), name);
  ASSERT_EQ(j.pairs.size(), 3u);
  std::vector<JournalPair> planned = SomePairs();
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(j.pairs[i].source, planned[i].source) << i;
    EXPECT_EQ(j.pairs[i].destination, planned[i].destination) << i;
    EXPECT_EQ(j.pairs[i].size, planned[i].size) << i;
  }
  EXPECT_EQ(j.pairs[0].hash, "xxh128:fedcba9876543210fedcba9876543210");  // the outcome's fingerprint replaces the plan's
  EXPECT_EQ(j.pairs[0].event, PairEvent::Moved);
  EXPECT_EQ(j.pairs[1].event, PairEvent::Failed);
  EXPECT_EQ(j.pairs[2].event, PairEvent::Written);
  EXPECT_EQ(j.pairs[0].undone, UndoResult::Kept);
  EXPECT_EQ(j.pairs[1].undone, UndoResult::Nothing);
  EXPECT_EQ(j.pairs[2].undone, UndoResult::Restored);
  EXPECT_EQ(j.folders, (std::vector<std::u16string>{u"D:\\写真", u"D:\\写真\\20240501"}));
  EXPECT_TRUE(j.started && j.ended && j.undoStarted && j.undoEnded);
  EXPECT_EQ(j.endState, "failed");
  // Plain text, one record a line: a tab or a line end inside a path never splits one.
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 2u + 3u + 2u + 1u + 3u + 1u + 1u + 3u + 1u);
  EXPECT_NE(text.find("%09"), std::string::npos);
  EXPECT_NE(text.find("100%25.JPG"), std::string::npos);
}

TEST(RunJournal, ACutAnywhereReadsAsTheWholeLinesBeforeIt) {
  FakeJournalFolder folder;
  std::u16string name;
  std::string text = WholeJournal(folder, name);
  size_t previousPairs = 0;
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    std::string_view torn(text.data(), cut);
    size_t lastEnd = torn.rfind('\n');
    std::string_view whole = lastEnd == std::string_view::npos ? std::string_view() : torn.substr(0, lastEnd + 1);
    RunJournal a = ParseJournal(torn), b = ParseJournal(whole);
    ASSERT_EQ(a.pairs.size(), b.pairs.size()) << cut;
    for (size_t i = 0; i < a.pairs.size(); ++i) {
      // Never a pair with half a destination, nor an outcome read from half a line.
      ASSERT_EQ(a.pairs[i].destination, SomePairs()[i].destination) << cut;
      ASSERT_EQ(a.pairs[i].event, b.pairs[i].event) << cut;
      ASSERT_EQ(a.pairs[i].undone, b.pairs[i].undone) << cut;
    }
    ASSERT_EQ(a.started, b.started) << cut;
    ASSERT_EQ(a.ended, b.ended) << cut;
    ASSERT_EQ(a.undoEnded, b.undoEnded) << cut;
    ASSERT_GE(a.pairs.size(), previousPairs) << cut;
    previousPairs = a.pairs.size();
  }
}

TEST(RunJournal, AppendingAfterATornLineKeepsTheNextLineWhole) {
  FakeJournalFolder folder;
  std::u16string name;
  std::string text = WholeJournal(folder, name);
  // Cut in the middle of the end line, as a crash would leave it.
  size_t endLine = text.find("end\tfailed");
  folder.texts[name] = text.substr(0, endLine + 5);
  auto writer = JournalWriter::Reopen(folder, name);
  ASSERT_TRUE(writer);
  writer->Left();
  writer.reset();
  RunJournal j = ParseJournal(folder.texts[name]);
  EXPECT_FALSE(j.ended);
  EXPECT_TRUE(j.left);
}

TEST(RunJournal, OnlyTheLastRunsAreKept) {
  FakeJournalFolder folder;
  for (int i = 0; i < 55; ++i) {
    auto writer = JournalWriter::Start(folder, JournalAction::Copy, SomePairs(), {});
    ASSERT_TRUE(writer);
  }
  std::vector<std::u16string> names = folder.Names();
  EXPECT_EQ(names.size(), kJournalsKept);
  // Runs in one second get names of their own, and the newest is the last by name.
  std::u16string last = names.back();
  auto writer = JournalWriter::Start(folder, JournalAction::Copy, SomePairs(), {});
  ASSERT_TRUE(writer);
  EXPECT_EQ(folder.Names().back(), writer->Name());
  EXPECT_GT(writer->Name(), last);
  EXPECT_EQ(folder.Names().size(), kJournalsKept);
}

TEST(RunJournal, ARunStillWritingCannotBeOpenedTwice) {
  FakeJournalFolder folder;
  auto writer = JournalWriter::Start(folder, JournalAction::Move, SomePairs(), {});
  ASSERT_TRUE(writer);
  EXPECT_FALSE(JournalWriter::Reopen(folder, writer->Name()));
  std::u16string name = writer->Name();
  writer.reset();
  EXPECT_TRUE(JournalWriter::Reopen(folder, name));
}

TEST(RunJournal, NotAJournalReadsAsNothing) {
  for (std::string text : {std::string(), std::string("hello\n"), std::string("pair\t0\ta\tb\t1\t\nstart\n"),
                           std::string("tessarine-journal\t1\npair\t5\ta\tb\t1\t\nevent\t9\tmoved\t\n")}) {
    RunJournal j = ParseJournal(text);
    EXPECT_TRUE(j.pairs.empty()) << text;
    EXPECT_FALSE(j.started) << text;
  }
}

}  // namespace
