#include "rename/BatchCopyMove.h"

namespace tess {

bool BatchCopyMove(ShellServices& shell, WindowHandle owner, const std::u16string& packedFrom,
                   const std::u16string& packedTo, BatchOperation operation) {
  FileOperationRequest request;
  request.hwnd = owner;
  request.wFunc = operation == BatchOperation::Copy ? FO_COPY_ : FO_MOVE_;
  request.pFrom = packedFrom + u'\0';
  request.pTo = packedTo + u'\0';
  request.fFlags = FOF_ALLOWUNDO_ | FOF_MULTIDESTFILES_ | FOF_NOCONFIRMMKDIR_;
  FileOperationResult result = shell.FileOperation(request);
  // A batch the user cancelled part-way left files behind: not a success, whatever the
  // shell returned.
  return result.returnValue == 0 && !result.fAnyOperationsAborted;
}

}  // namespace tess
