#pragma once
// The decisions behind the file and folder commands of the two panes, apart from the
// controls: the name a rename in place gives, the names a new folder tries, the names
// copies get when they are pasted beside their originals, the shell request of a paste,
// and the row that type-to-find lands on.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Shell.h"
#include "platform/UiTexts.h"

namespace tess {

// The file name an in-place rename gives: with extensions shown and an extension typed, the
// text itself; otherwise the text followed by the old name's extension.
std::u16string RenamedFileName(std::u16string_view oldName, std::u16string_view text, bool displayExt);

// True for a name the file system accepts as one entry: not empty, no path or wildcard
// characters, no control characters, not only dots and blanks.
bool IsValidFileName(std::u16string_view name);

// "stem" + ext for the first, then "stem (2)" + ext, "stem (3)" + ext...: the numbering of
// every new or copied name.
std::u16string NumberedName(std::u16string_view stem, std::u16string_view ext, long long n);

// The n-th name a new folder tries (n from 1): the requested name (defaultName when empty),
// then "新しいフォルダ (2)", "新しいフォルダ (3)" and so on.
std::u16string NewFolderCandidate(std::u16string_view requested, std::u16string_view defaultName, int n);
using texts::kListNewFolderName;
using texts::kTreeNewFolderName;
// Creating a folder tries this many names at most: a card that refuses every name (read-only,
// full) must not keep the window busy for ever.
inline constexpr int kNewFolderAttempts = 1000;

// The n-th name a copy of name gets beside its original (n from 1): "IMG_0001 - コピー.JPG",
// then "IMG_0001 - コピー (2).JPG"; a folder keeps no extension apart.
std::u16string CopyNameCandidate(std::u16string_view name, bool isFolder, int n);


// Case-insensitive path comparison of the file system (the folded letters of file names).
bool SamePath(std::u16string_view a, std::u16string_view b);
// True when path lies in folder or below it (folder given without trailing "\").
bool PathIsInside(std::u16string_view path, std::u16string_view folder);

struct PastePlan {
  bool refused = false;          // a folder pasted into itself or below itself
  FileOperationRequest request;  // FO_COPY, ready for the shell
  std::vector<std::u16string> destinations;  // one per source
};
// The copy of sources (full paths, no trailing "\") into destFolder (no trailing "\").
// An item pasted into its own folder gets a free copy name instead of the replace question,
// so a file is never copied onto itself, whatever the shell does with a name collision.
// exists answers whether a full path is taken.
PastePlan PlanPaste(const std::vector<std::u16string>& sources, const std::u16string& destFolder,
                    const std::function<bool(const std::u16string&)>& exists,
                    const std::function<bool(const std::u16string&)>& isFolder);

// Type-to-find in the list: the first row from start on (wrapping to the top when wrap is
// set) whose caption begins with prefix, ignoring case; -1 when none does.
int FindRowByPrefix(int count, const std::function<std::u16string(int)>& caption, std::u16string_view prefix,
                    int start, bool wrap);

// The rows of the given names after the records changed order: -1 for a name that is gone.
std::vector<int> RowsOfNames(const std::vector<std::u16string>& names,
                             const std::function<std::u16string(int)>& nameAt, int count);

}  // namespace tess
