// The Win32 shell services. (Placeholder: the real calls come with the rename run.)
#include <windows.h>

#include "platform/Shell.h"

namespace tess {
namespace {
class WinShell final : public ShellServices {
 public:
  FileOperationResult FileOperation(const FileOperationRequest&) override { return {1223, true}; }
  FileInfoResult GetFileInfo(const FileInfoRequest&) override { return {}; }
  ShellExecuteExResult ShellExecuteEx(const ShellExecuteExRequest&) override { return {}; }
  std::intptr_t ShellExecute(const ShellExecuteRequest&) override { return 0; }
  std::u16string AssocQueryString(const AssocQueryRequest&) override { return {}; }
};
}  // namespace

ShellServices& PlatformShell() {
  static WinShell shell;
  return shell;
}
}  // namespace tess
