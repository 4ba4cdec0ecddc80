#pragma once
// The name sequences of files the program creates itself: the new text document and the
// shortcut a link drop creates; and the plan of a drop of files onto a folder.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tess {

using PathTest = std::function<bool(const std::u16string& path)>;

// "新しいテキスト ドキュメント.txt", then "新しいテキスト ドキュメント (2).txt", (3), ...: the first
// name in folder (ending with "\") for which fileExists is false. Only files count as taken.
std::u16string NewTextDocumentName(const std::u16string& folder, const PathTest& fileExists);

// The file a shortcut to a file named destination is saved as: destination with its extension
// replaced by ".lnk"; when that exists, the name without ".lnk" followed by "(1).lnk",
// "(2).lnk", ... (no blank before the parenthesis) until one does not exist.
std::u16string ShortcutFileName(const std::u16string& destination, const PathTest& exists);

// The command line that makes the shell show its program chooser for path: the parameters of
// "rundll32.exe", the path unquoted.
std::u16string OpenWithParameters(const std::u16string& path);

enum : uint32_t {
  DROPEFFECT_COPY_ = 1,
  DROPEFFECT_MOVE_ = 2,
  DROPEFFECT_LINK_ = 4,
  DROPEFFECT_SCROLL_ = 0x80000000u,
};

// What a drop does with one dropped file.
struct DropStep {
  enum Kind {
    Copy,          // copy source to destination (failing if it exists)
    Move,          // move source to destination
    Link,          // create a shortcut to source named after destination
    SkipExisting,  // something already bears the destination's name: left alone, never replaced
    SameFolder,    // the destination is the source itself: report it and stop here
  } kind;
  std::u16string source, destination;
};
struct DropPlan {
  std::vector<DropStep> steps;
  uint32_t effect = 0;  // the effect performed, told back to the source
};

// The steps of a drop of files into folder (ending with "\"): each destination is folder plus
// the mapped name when there is one, else the file-name part of the source. The scroll flag is
// dropped from the effect; copy wins over move, and link (asked for alone) makes shortcuts.
// exists tells whether anything (file or folder) bears a path; sameFile whether two paths
// name one file.
DropPlan PlanFileDrop(const std::vector<std::u16string>& files, const std::vector<std::u16string>& mappedNames,
                      const std::u16string& folder, uint32_t effect, const PathTest& exists,
                      const std::function<bool(const std::u16string&, const std::u16string&)>& sameFile);

// True when every file already lies in folder, so that a drop there would do nothing.
bool AllInFolder(const std::vector<std::u16string>& files, const std::u16string& folder,
                 const std::function<bool(const std::u16string&, const std::u16string&)>& sameFile);

}  // namespace tess
