#pragma once
// A minimal directory listing for the command-line tool: the files (not folders) directly
// inside a folder, sorted by name (UTF-16 code units).
#include <optional>
#include <string>
#include <vector>

namespace tess {

bool IsFolder(const std::u16string& path);
// File names without the folder; nothing when the folder cannot be listed.
std::optional<std::vector<std::u16string>> ListFolderFiles(const std::u16string& path);
// path joined with name by the platform's separator.
std::u16string JoinPath(const std::u16string& path, const std::u16string& name);

}  // namespace tess
