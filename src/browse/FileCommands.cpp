#include "browse/FileCommands.h"

#include <unordered_map>

#include "browse/FileListModel.h"
#include "browse/FolderPaths.h"
#include "platform/Text.h"

namespace tess {

std::u16string RenamedFileName(std::u16string_view oldName, std::u16string_view text, bool displayExt) {
  if (displayExt && !ExtractFileExt(text).empty()) return std::u16string(text);
  return std::u16string(text) + ExtractFileExt(oldName);
}

bool IsValidFileName(std::u16string_view name) {
  if (name.empty()) return false;
  bool onlyDotsAndBlanks = true;
  for (char16_t c : name) {
    if (c < 0x20) return false;
    if (std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) return false;
    if (c != u'.' && c != u' ') onlyDotsAndBlanks = false;
  }
  return !onlyDotsAndBlanks;
}

std::u16string NumberedName(std::u16string_view stem, std::u16string_view ext, long long n) {
  std::u16string name(stem);
  if (n > 1) name += u" (" + PadNumber(n, 1) + u")";
  return name + std::u16string(ext);
}

std::u16string NewFolderCandidate(std::u16string_view requested, std::u16string_view defaultName, int n) {
  if (n <= 1) return std::u16string(requested.empty() ? defaultName : requested);
  return NumberedName(kTreeNewFolderName, u"", n);
}

std::u16string CopyNameCandidate(std::u16string_view name, bool isFolder, int n) {
  std::u16string stem(name), ext;
  if (!isFolder) {
    ext = ExtractFileExt(name);
    // A name that is all extension (".profile") is a stem of its own.
    if (ext.size() == name.size()) ext.clear();
    stem = std::u16string(name.substr(0, name.size() - ext.size()));
  }
  return NumberedName(stem + texts::kCopyNameSuffix, ext, n);
}

bool SamePath(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && UpperCaseText(a) == UpperCaseText(b);
}

bool PathIsInside(std::u16string_view path, std::u16string_view folder) {
  std::u16string p = UpperCaseText(ExcludeTrailingBackslash(path));
  std::u16string f = UpperCaseText(ExcludeTrailingBackslash(folder));
  if (p == f) return true;
  return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == u'\\';
}

PastePlan PlanPaste(const std::vector<std::u16string>& sources, const std::u16string& destFolder,
                    const std::function<bool(const std::u16string&)>& exists,
                    const std::function<bool(const std::u16string&)>& isFolder) {
  PastePlan plan;
  std::u16string dest = ExcludeTrailingBackslash(destFolder);
  plan.request.wFunc = FO_COPY_;
  plan.request.fFlags = FOF_ALLOWUNDO_ | FOF_NOCONFIRMMKDIR_;
  if (!sources.empty() && sources.front() == dest + u"\\" + ExtractFileName(sources.front()))
    plan.request.fFlags |= FOF_RENAMEONCOLLISION_;
  // Names handed out in this paste count as taken: two items may want the same copy name.
  std::vector<std::u16string> given;
  auto taken = [&](const std::u16string& path) {
    for (const auto& g : given)
      if (SamePath(g, path)) return true;
    return exists(path);
  };
  bool renamed = false;
  for (const auto& source : sources) {
    std::u16string src = ExcludeTrailingBackslash(source);
    bool folder = isFolder(src);
    // A folder copied into itself or below itself would copy without end.
    if (folder && PathIsInside(dest, src)) {
      plan.refused = true;
      return plan;
    }
    std::u16string name = ExtractFileName(src);
    std::u16string target = dest + u"\\" + name;
    if (SamePath(target, src)) {
      renamed = true;
      for (int n = 1;; ++n) {
        target = dest + u"\\" + CopyNameCandidate(name, folder, n);
        if (!taken(target)) break;
      }
    }
    given.push_back(target);
    plan.destinations.push_back(target);
  }
  plan.request.pFrom = PackPaths(sources);
  if (renamed) {
    // Each item gets its own destination, so the shell has no collision to decide.
    plan.request.fFlags |= FOF_MULTIDESTFILES_;
    plan.request.pTo = PackPaths(plan.destinations);
  } else {
    plan.request.pTo = PackPaths({dest});
  }
  return plan;
}

int FindRowByPrefix(int count, const std::function<std::u16string(int)>& caption, std::u16string_view prefix,
                    int start, bool wrap) {
  if (count <= 0 || prefix.empty()) return -1;
  if (start < 0 || start >= count) start = wrap ? 0 : count;
  std::u16string wanted = UpperCaseText(prefix);
  int rows = wrap ? count : count - start;
  for (int k = 0; k < rows; ++k) {
    int i = (start + k) % count;
    std::u16string text = caption(i);
    if (text.size() >= wanted.size() && UpperCaseText(std::u16string_view(text).substr(0, wanted.size())) == wanted)
      return i;
  }
  return -1;
}

std::vector<int> RowsOfNames(const std::vector<std::u16string>& names,
                             const std::function<std::u16string(int)>& nameAt, int count) {
  std::unordered_map<std::u16string, int> rows;
  for (int i = 0; i < count; ++i) rows.emplace(nameAt(i), i);
  std::vector<int> out;
  out.reserve(names.size());
  for (const auto& n : names) {
    auto it = rows.find(n);
    out.push_back(it == rows.end() ? -1 : it->second);
  }
  return out;
}

}  // namespace tess
