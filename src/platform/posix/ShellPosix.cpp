// Off Windows there is no shell: every request fails, so nothing is ever touched by it.
#include "platform/Shell.h"

namespace tess {
namespace {
class NoShell final : public ShellServices {
 public:
  FileOperationResult FileOperation(const FileOperationRequest&) override { return {1223, true}; }
  FileInfoResult GetFileInfo(const FileInfoRequest&) override { return {}; }
  ShellExecuteExResult ExecuteEx(const ShellExecuteExRequest&) override { return {}; }
  std::intptr_t Execute(const ShellExecuteRequest&) override { return 0; }
  std::u16string QueryAssociation(const AssocQueryRequest&) override { return {}; }
};
}  // namespace

ShellServices& PlatformShell() {
  static NoShell shell;
  return shell;
}
}  // namespace tess
