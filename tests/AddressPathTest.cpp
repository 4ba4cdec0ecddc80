// The address bar's path rules: what a typed or pasted text names, and where the panes go.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "browse/AddressPath.h"

using namespace tess;

namespace {

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// A small disk: two drives' folders and one photo, and a share.
PathKind KindOf(const std::u16string& path) {
  static const std::map<std::u16string, PathKind> disk = {
      {u"C:\\", PathKind::Folder},
      {u"D:\\", PathKind::Folder},
      {u"D:\\DCIM", PathKind::Folder},
      {u"D:\\DCIM\\100CANON", PathKind::Folder},
      {u"D:\\DCIM\\100CANON\\IMG_0001.JPG", PathKind::File},
      {u"\\\\nas\\photos\\", PathKind::Folder},
      {u"\\\\nas\\photos\\2024", PathKind::Folder},
  };
  auto it = disk.find(path);
  return it == disk.end() ? PathKind::Missing : it->second;
}

}  // namespace

TEST(AddressPath, TextsNameAFolderAFileOrNothing) {
  struct Case {
    const char16_t* text;
    AddressKind kind;
    const char16_t* folder;
    const char16_t* fileName;
    const char16_t* path;
  };
  const std::u16string shown = u"D:\\DCIM\\";
  const Case cases[] = {
      {u"D:\\DCIM\\100CANON", AddressKind::Folder, u"D:\\DCIM\\100CANON\\", u"", u"D:\\DCIM\\100CANON"},
      {u"D:\\DCIM\\100CANON\\", AddressKind::Folder, u"D:\\DCIM\\100CANON\\", u"", u"D:\\DCIM\\100CANON"},
      // Pasted as Explorer copies a path: quoted, with a blank after it.
      {u"\"D:\\DCIM\\100CANON\\IMG_0001.JPG\" ", AddressKind::File, u"D:\\DCIM\\100CANON\\", u"IMG_0001.JPG",
       u"D:\\DCIM\\100CANON\\IMG_0001.JPG"},
      {u"d:/dcim", AddressKind::Missing, u"", u"", u"D:\\dcim"},  // the disk here is case-exact
      {u"D:\\DCIM\\101CANON", AddressKind::Missing, u"", u"", u"D:\\DCIM\\101CANON"},
      // Relative to the shown folder, and up from it.
      {u"100CANON", AddressKind::Folder, u"D:\\DCIM\\100CANON\\", u"", u"D:\\DCIM\\100CANON"},
      {u".\\100CANON\\IMG_0001.JPG", AddressKind::File, u"D:\\DCIM\\100CANON\\", u"IMG_0001.JPG",
       u"D:\\DCIM\\100CANON\\IMG_0001.JPG"},
      {u"..", AddressKind::Folder, u"D:\\", u"", u"D:\\"},
      {u"..\\..\\..", AddressKind::Folder, u"D:\\", u"", u"D:\\"},  // never above the drive
      {u"\\DCIM", AddressKind::Folder, u"D:\\DCIM\\", u"", u"D:\\DCIM"},
      {u"C:", AddressKind::Folder, u"C:\\", u"", u"C:\\"},
      // A share, and a path into it.
      {u"\\\\nas\\photos", AddressKind::Folder, u"\\\\nas\\photos\\", u"", u"\\\\nas\\photos\\"},
      {u"\\\\nas\\photos\\2024\\..\\2024", AddressKind::Folder, u"\\\\nas\\photos\\2024\\", u"",
       u"\\\\nas\\photos\\2024"},
      {u"\\\\nas\\photos\\..\\..", AddressKind::Folder, u"\\\\nas\\photos\\", u"", u"\\\\nas\\photos\\"},
      // Names no place at all.
      {u"\\\\nas", AddressKind::Missing, u"", u"", u"\\\\nas"},
      {u"   ", AddressKind::Missing, u"", u"", u""},
      {u"D:DCIM", AddressKind::Missing, u"", u"", u"D:DCIM"},
  };
  for (const Case& c : cases) {
    AddressTarget t = ResolveAddress(c.text, shown, KindOf);
    SCOPED_TRACE(Narrow(c.text));
    EXPECT_EQ(t.kind, c.kind);
    EXPECT_EQ(Narrow(t.folder), Narrow(c.folder));
    EXPECT_EQ(Narrow(t.fileName), Narrow(c.fileName));
    EXPECT_EQ(Narrow(t.path), Narrow(c.path));
  }
}

TEST(AddressPath, RelativeTextWithoutAShownFolderNamesNothing) {
  EXPECT_EQ(ResolveAddress(u"DCIM", u"", KindOf).kind, AddressKind::Missing);
  EXPECT_EQ(FullAddressPath(u"DCIM", u""), u"");
}

TEST(AddressPath, TheTreeKeepsItsRootWhenThePathLiesInItElseTakesTheDriveOrShare) {
  struct Case {
    const char16_t* folder;
    const char16_t* root;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"D:\\DCIM\\100CANON\\", u"D:\\DCIM\\", u"D:\\DCIM\\"},
      {u"d:\\dcim\\100CANON\\", u"D:\\DCIM\\", u"D:\\DCIM\\"},
      {u"D:\\Other\\", u"D:\\DCIM\\", u"D:\\"},
      {u"E:\\", u"D:\\", u"E:\\"},
      {u"\\\\nas\\photos\\2024\\", u"C:\\", u"\\\\nas\\photos\\"},
      {u"C:\\Users\\", u"", u"C:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.folder));
    EXPECT_EQ(Narrow(AddressTreeRoot(c.folder, c.root)), Narrow(c.expected));
  }
}
