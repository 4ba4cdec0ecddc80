#pragma once
// The five shell functions the program uses, behind one small interface. The request and
// result structs mirror the shell's own (SHFILEOPSTRUCTW, SHFILEINFOW, SHELLEXECUTEINFOW),
// with window and icon handles carried as opaque integers so the core stays portable.
#include <cstdint>
#include <string>
#include <vector>

namespace tess {

using WindowHandle = std::uintptr_t;

// SHFileOperationW
enum : unsigned { FO_MOVE_ = 1, FO_COPY_ = 2, FO_DELETE_ = 3, FO_RENAME_ = 4 };
enum : unsigned {
  FOF_MULTIDESTFILES_ = 0x0001,
  FOF_RENAMEONCOLLISION_ = 0x0008,
  FOF_ALLOWUNDO_ = 0x0040,
  FOF_NOCONFIRMMKDIR_ = 0x0200,
  FOF_NOERRORUI_ = 0x0400,
};
struct FileOperationRequest {
  WindowHandle hwnd = 0;
  unsigned wFunc = 0;
  std::u16string pFrom;  // packed list, ending in two NULs (the terminating NUL of the text is the last)
  std::u16string pTo;
  unsigned fFlags = 0;
};
// The shell's list form of paths: each path followed by one NUL, one more NUL after the last.
std::u16string PackPaths(const std::vector<std::u16string>& paths);

struct FileOperationResult {
  int returnValue = 0;
  bool fAnyOperationsAborted = false;
  // The shell showed the user its own message about the failure (Windows does, unless told
  // not to; Wine's shell shows none): the program does not show it a second time.
  bool errorShown = false;
};

// SHGetFileInfoW
struct FileInfoRequest {
  std::u16string path;
  uint32_t fileAttributes = 0;
  uint32_t flags = 0;
};
struct FileInfoResult {
  std::uintptr_t returnValue = 0;
  std::uintptr_t hIcon = 0;  // owned by the caller when asked for
  int iIcon = 0;
  uint32_t attributes = 0;
};

// ShellExecuteExW
struct ShellExecuteExRequest {
  uint32_t fMask = 0;
  WindowHandle hwnd = 0;
  std::u16string verb;
  std::u16string file;
  std::u16string parameters;
  std::u16string directory;
  int nShow = 0;
};
struct ShellExecuteExResult {
  bool ok = false;
  std::intptr_t hInstApp = 0;
};

// ShellExecuteW
struct ShellExecuteRequest {
  WindowHandle hwnd = 0;
  std::u16string verb;
  std::u16string file;
  std::u16string parameters;
  std::u16string directory;
  int nShow = 0;
};

// AssocQueryStringW
struct AssocQueryRequest {
  uint32_t flags = 0;
  uint32_t str = 0;  // ASSOCSTR_
  std::u16string assoc;
  std::u16string extra;
};

class ShellServices {
 public:
  virtual ~ShellServices() = default;
  virtual FileOperationResult FileOperation(const FileOperationRequest& request) = 0;
  virtual FileInfoResult GetFileInfo(const FileInfoRequest& request) = 0;
  virtual ShellExecuteExResult ExecuteEx(const ShellExecuteExRequest& request) = 0;
  virtual std::intptr_t Execute(const ShellExecuteRequest& request) = 0;
  // Empty text when the query fails.
  virtual std::u16string QueryAssociation(const AssocQueryRequest& request) = 0;
};

// The running system's shell (the Win32 implementation; off Windows, a shell that refuses).
ShellServices& PlatformShell();

}  // namespace tess
