#pragma once
// Deleting a file that may carry the read-only mark: photos on a card often do, and so do
// their copies, which DeleteFileW refuses.
#include <windows.h>

#include <string>

#include "platform/win/WinText.h"

namespace tess {

inline bool RemoveFileEvenReadOnly(const std::u16string& path) {
  if (DeleteFileW(W(path))) return true;
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  if (!SetFileAttributesW(W(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY))) return false;
  if (DeleteFileW(W(path))) return true;
  SetFileAttributesW(W(path), attributes);  // leave the file as it was found
  return false;
}

}  // namespace tess
