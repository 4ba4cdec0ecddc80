// The Win32 shell services: the request structs mapped one to one onto the shell's own.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <utility>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "platform/win/WinHandles.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

const wchar_t* OrNull(const std::u16string& s) { return s.empty() ? nullptr : W(s); }

// The shell reads a packed list up to its empty entry; make sure the buffer has one
// whatever the caller passed (extra NULs after it are never read).
std::u16string Terminated(const std::u16string& packed) {
  std::u16string list = packed;
  while (list.size() < 2 || list[list.size() - 1] != u'\0' || list[list.size() - 2] != u'\0') list += u'\0';
  return list;
}

// Windows' shell tells the user itself why a file operation failed; Wine's says nothing
// (and is known by the export only Wine's ntdll has).
bool ShellShowsItsErrors() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return !wine;
}

FileOperationResult CallFileOperation(const FileOperationRequest& request) {
  std::u16string from = Terminated(request.pFrom);
  std::u16string to = request.pTo.empty() ? std::u16string() : Terminated(request.pTo);
  SHFILEOPSTRUCTW op{};
  op.hwnd = reinterpret_cast<HWND>(request.hwnd);
  op.wFunc = request.wFunc;
  op.pFrom = W(from);
  op.pTo = to.empty() ? nullptr : W(to);
  op.fFlags = FILEOP_FLAGS(request.fFlags);
  op.fAnyOperationsAborted = FALSE;
  op.hNameMappings = nullptr;
  op.lpszProgressTitle = nullptr;
  FileOperationResult result;
  result.returnValue = SHFileOperationW(&op);
  result.fAnyOperationsAborted = op.fAnyOperationsAborted != FALSE;
  result.errorShown = result.returnValue != 0 && !(request.fFlags & FOF_NOERRORUI_) && ShellShowsItsErrors();
  return result;
}

class WinShell final : public ShellServices {
 public:
  FileOperationResult FileOperation(const FileOperationRequest& request) override {
    return RunWithDestinationFolders(request, PlatformFileSystem(), CallFileOperation);
  }

  FileInfoResult GetFileInfo(const FileInfoRequest& request) override {
    SHFILEINFOW info{};
    FileInfoResult result;
    result.returnValue =
        SHGetFileInfoW(W(request.path), request.fileAttributes, &info, sizeof info, UINT(request.flags));
    result.hIcon = reinterpret_cast<std::uintptr_t>(info.hIcon);
    result.iIcon = info.iIcon;
    result.attributes = info.dwAttributes;
    return result;
  }

  ShellExecuteExResult ExecuteEx(const ShellExecuteExRequest& request) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = request.fMask;
    info.hwnd = reinterpret_cast<HWND>(request.hwnd);
    info.lpVerb = OrNull(request.verb);
    info.lpFile = OrNull(request.file);
    info.lpParameters = OrNull(request.parameters);
    info.lpDirectory = OrNull(request.directory);
    info.nShow = request.nShow;
    ShellExecuteExResult result;
    result.ok = ::ShellExecuteExW(&info) != FALSE;
    result.hInstApp = reinterpret_cast<std::intptr_t>(info.hInstApp);
    // Nobody waits for the started program: its process handle would only leak.
    KernelHandle process((request.fMask & SEE_MASK_NOCLOSEPROCESS) && result.ok ? info.hProcess : nullptr);
    return result;
  }

  std::intptr_t Execute(const ShellExecuteRequest& request) override {
    HINSTANCE result = ::ShellExecuteW(reinterpret_cast<HWND>(request.hwnd), OrNull(request.verb), OrNull(request.file),
                                     OrNull(request.parameters), OrNull(request.directory), request.nShow);
    return reinterpret_cast<std::intptr_t>(result);
  }

  std::u16string QueryAssociation(const AssocQueryRequest& request) override {
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    HRESULT hr = ::AssocQueryStringW(ASSOCF(request.flags), ASSOCSTR(request.str), W(request.assoc),
                                   OrNull(request.extra), buffer, &length);
    if (hr != S_OK) return {};
    buffer[MAX_PATH - 1] = L'\0';
    return U16(buffer);
  }
};

}  // namespace

ShellServices& PlatformShell() {
  static WinShell shell;
  return shell;
}

}  // namespace tess
