// Names the program gives files it creates, the open-with command line, and what a drop of
// files onto a folder does with each of them.
#include <gtest/gtest.h>

#include <set>

#include "browse/NewNames.h"

using namespace tess;

namespace {
const std::u16string kFolder = u"D:\\Photos\\";
const std::u16string kBase = u"新しいテキスト ドキュメント";

PathTest In(std::set<std::u16string> paths) {
  return [paths](const std::u16string& p) { return paths.count(p) != 0; };
}
bool SameAscii(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto f = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    if (f(a[i]) != f(b[i])) return false;
  }
  return true;
}
}  // namespace

TEST(NewNamesTest, NewTextDocumentTakesTheFirstFreeNameOfItsSequence) {
  struct Case {
    std::set<std::u16string> files;
    std::u16string expected;
  } cases[] = {
      {{}, kBase + u".txt"},
      {{kFolder + kBase + u".txt"}, kBase + u" (2).txt"},
      {{kFolder + kBase + u".txt", kFolder + kBase + u" (2).txt"}, kBase + u" (3).txt"},
      // A gap in the sequence is filled.
      {{kFolder + kBase + u".txt", kFolder + kBase + u" (3).txt"}, kBase + u" (2).txt"},
      // The same names in another folder do not count.
      {{u"D:\\Other\\" + kBase + u".txt"}, kBase + u".txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(NewTextDocumentName(kFolder, In(c.files)), c.expected);
  std::set<std::u16string> many{kFolder + kBase + u".txt"};
  for (int i = 2; i <= 11; ++i) many.insert(kFolder + kBase + u" (" + std::u16string(i >= 10 ? u"1" : u"") +
                                            char16_t(u'0' + i % 10) + u").txt");
  EXPECT_EQ(NewTextDocumentName(kFolder, In(many)), kBase + u" (12).txt");
}

TEST(NewNamesTest, ShortcutNamesReplaceTheExtensionAndCountWithoutABlank) {
  struct Case {
    std::u16string destination;
    std::set<std::u16string> taken;
    std::u16string expected;
  } cases[] = {
      {u"D:\\a\\IMG_0001.JPG", {}, u"D:\\a\\IMG_0001.lnk"},
      {u"D:\\a\\IMG_0001.JPG", {u"D:\\a\\IMG_0001.lnk"}, u"D:\\a\\IMG_0001(1).lnk"},
      {u"D:\\a\\IMG_0001.JPG", {u"D:\\a\\IMG_0001.lnk", u"D:\\a\\IMG_0001(1).lnk"}, u"D:\\a\\IMG_0001(2).lnk"},
      {u"D:\\a\\README", {}, u"D:\\a\\README.lnk"},
      {u"D:\\a.b\\README", {}, u"D:\\a.b\\README.lnk"},
      {u"D:\\a\\x.tar.gz", {}, u"D:\\a\\x.tar.lnk"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortcutFileName(c.destination, In(c.taken)), c.expected);
}

TEST(NewNamesTest, OpenWithPassesThePathUnquoted) {
  EXPECT_EQ(OpenWithParameters(u"C:\\My Photos\\a b.jpg"), u"shell32.dll,OpenAs_RunDLL C:\\My Photos\\a b.jpg");
}

TEST(NewNamesTest, DropCopiesNeverReplacesNeverCopiesOntoItself) {
  std::vector<std::u16string> files{u"C:\\in\\a.jpg", u"C:\\in\\b.jpg", u"C:\\in\\c.jpg"};
  auto exists = In({kFolder + u"b.jpg"});
  DropPlan p = PlanFileDrop(files, {}, kFolder, DROPEFFECT_COPY_ | DROPEFFECT_SCROLL_, exists, SameAscii);
  EXPECT_EQ(p.effect, DROPEFFECT_COPY_);
  ASSERT_EQ(p.steps.size(), 3u);
  EXPECT_EQ(p.steps[0].kind, DropStep::Copy);
  EXPECT_EQ(p.steps[0].destination, kFolder + u"a.jpg");
  EXPECT_EQ(p.steps[1].kind, DropStep::SkipExisting);
  EXPECT_EQ(p.steps[2].kind, DropStep::Copy);

  // Mapped names rename in order; a shorter map leaves the rest their own names.
  p = PlanFileDrop(files, {u"x.jpg"}, kFolder, DROPEFFECT_COPY_ | DROPEFFECT_MOVE_, exists, SameAscii);
  EXPECT_EQ(p.steps[0].destination, kFolder + u"x.jpg");
  EXPECT_EQ(p.steps[2].destination, kFolder + u"c.jpg");
  EXPECT_EQ(p.effect, DROPEFFECT_COPY_) << "copy wins over move";

  // A file dropped onto its own folder (letters in another case): reported, the rest stops.
  std::vector<std::u16string> own{u"C:\\in\\a.jpg", u"d:\\photos\\b.jpg", u"C:\\in\\c.jpg"};
  p = PlanFileDrop(own, {}, kFolder, DROPEFFECT_COPY_, exists, SameAscii);
  ASSERT_EQ(p.steps.size(), 2u);
  EXPECT_EQ(p.steps[1].kind, DropStep::SameFolder);

  p = PlanFileDrop(files, {}, kFolder, DROPEFFECT_MOVE_, exists, SameAscii);
  EXPECT_EQ(p.steps[0].kind, DropStep::Move);
  EXPECT_EQ(p.steps[1].kind, DropStep::SkipExisting);

  // Links are made also where the name is taken: the shortcut gets a name of its own.
  p = PlanFileDrop(own, {}, kFolder, DROPEFFECT_LINK_, exists, SameAscii);
  EXPECT_EQ(p.effect, DROPEFFECT_LINK_);
  ASSERT_EQ(p.steps.size(), 3u);
  for (const auto& s : p.steps) EXPECT_EQ(s.kind, DropStep::Link);

  // Mapped names that name other folders stay in this one.
  p = PlanFileDrop(files, {u"..\\..\\evil.exe", u"C:\\Windows\\x.dll", u"../.."}, kFolder, DROPEFFECT_COPY_,
                   In({}), SameAscii);
  ASSERT_EQ(p.steps.size(), 2u);
  EXPECT_EQ(p.steps[0].destination, kFolder + u"evil.exe");
  EXPECT_EQ(p.steps[1].destination, kFolder + u"x.dll");

  EXPECT_TRUE(PlanFileDrop(files, {}, kFolder, 0, exists, SameAscii).steps.empty());
  EXPECT_TRUE(PlanFileDrop({u"E:\\"}, {}, kFolder, DROPEFFECT_COPY_, exists, SameAscii).steps.empty())
      << "a drive root has no name to copy under";
}

TEST(NewNamesTest, ADropOfFilesAlreadyInTheFolderIsRefused) {
  EXPECT_TRUE(AllInFolder({kFolder + u"a.jpg", u"d:\\PHOTOS\\b.jpg"}, kFolder, SameAscii));
  EXPECT_FALSE(AllInFolder({kFolder + u"a.jpg", u"C:\\in\\b.jpg"}, kFolder, SameAscii));
  EXPECT_FALSE(AllInFolder({}, kFolder, SameAscii));
}
