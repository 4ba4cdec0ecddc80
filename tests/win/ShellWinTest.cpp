// The shell requests reach the shell with their members in place (queries only: nothing
// here starts a program or opens a window).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/win/WinText.h"

using namespace tess;

TEST(ShellWin, FileInfoFlagsAndAttributes) {
  wchar_t windows[MAX_PATH];
  UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, UINT(MAX_PATH));
  std::u16string folder = U16(windows, n);

  FileInfoResult attrs = PlatformShell().GetFileInfo({folder, 0, SHGFI_ATTRIBUTES});
  EXPECT_NE(attrs.returnValue, 0u);
  EXPECT_TRUE(attrs.attributes & SFGAO_FOLDER);
  EXPECT_EQ(PlatformShell().GetFileInfo({folder + u"\\no such thing here", 0, SHGFI_ATTRIBUTES}).returnValue, 0u);

  FileInfoResult icon = PlatformShell().GetFileInfo({folder, 0, SHGFI_SYSICONINDEX | SHGFI_SMALLICON});
  EXPECT_NE(icon.returnValue, 0u) << "the small system image list";
  EXPECT_GE(icon.iIcon, 0);
  // By name alone, for a file that does not exist.
  FileInfoResult byName = PlatformShell().GetFileInfo(
      {u"Z:\\nowhere\\IMG.JPG", FILE_ATTRIBUTE_NORMAL, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES});
  EXPECT_NE(byName.returnValue, 0u);
}

TEST(ShellWin, AssociationQueryGivesEmptyTextOnFailure) {
  AssocQueryRequest unknown{ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, u".tessarine-unknown", u"open"};
  EXPECT_EQ(PlatformShell().QueryAssociation(unknown), u"");
  // The test prefix maps no extension to "txtfile", so the class is asked for directly.
  AssocQueryRequest text{ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, u"txtfile", u"open"};
  std::u16string command = PlatformShell().QueryAssociation(text);
  EXPECT_NE(command.find(u"notepad.exe"), std::u16string::npos) << ToUtf8(command);
  EXPECT_EQ(command.find(u'\0'), std::u16string::npos);
}
