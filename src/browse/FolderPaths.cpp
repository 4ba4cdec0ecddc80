#include "browse/FolderPaths.h"

#include "platform/Text.h"

namespace tess {

std::u16string IncludeTrailingBackslash(std::u16string_view path) {
  std::u16string out(path);
  if (out.empty() || out.back() != u'\\') out += u'\\';
  return out;
}

std::u16string ExcludeTrailingBackslash(std::u16string_view path) {
  std::u16string out(path);
  if (!out.empty() && out.back() == u'\\') out.pop_back();
  return out;
}

static size_t LastDelimiter(std::u16string_view path) {
  size_t pos = path.find_last_of(u"\\:");
  return pos;
}

std::u16string ExtractFilePath(std::u16string_view path) {
  size_t pos = LastDelimiter(path);
  return pos == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, pos + 1));
}

std::u16string ExtractFileName(std::u16string_view path) {
  size_t pos = LastDelimiter(path);
  return std::u16string(pos == std::u16string_view::npos ? path : path.substr(pos + 1));
}

std::u16string ExtractFileExt(std::u16string_view path) {
  size_t dot = path.find_last_of(u".\\:");
  if (dot == std::u16string_view::npos || path[dot] != u'.') return {};
  return std::u16string(path.substr(dot));
}

bool IsDriveRootPath(std::u16string_view path) {
  size_t n = path.size();
  return n >= 2 && path[n - 1] == u'\\' && (path[n - 2] == u':' || path[n - 2] == u'\\');
}

RootDisplay SplitRootFolder(std::u16string_view rootWithBackslash) {
  RootDisplay d;
  if (IsDriveRootPath(rootWithBackslash)) {
    d.topText = std::u16string(rootWithBackslash);
    return d;
  }
  std::u16string bare = ExcludeTrailingBackslash(rootWithBackslash);
  d.header = IncludeTrailingBackslash(ExcludeTrailingBackslash(ExtractFilePath(bare)));
  d.topText = ExtractFileName(bare);
  return d;
}

std::u16string JoinNodePath(std::u16string_view header, const std::vector<std::u16string>& textsTopDown) {
  std::u16string out(header);
  for (const auto& t : textsTopDown) out += IncludeTrailingBackslash(t);
  return IncludeTrailingBackslash(out);
}

std::optional<std::vector<std::u16string>> ComponentsBelowRoot(std::u16string_view root, std::u16string_view path) {
  std::u16string r = IncludeTrailingBackslash(root);
  std::u16string p = IncludeTrailingBackslash(path);
  if (r.size() < 2 || p.size() < r.size() || !SameTextAscii(std::u16string_view(p).substr(0, r.size()), r))
    return std::nullopt;
  std::vector<std::u16string> parts;
  std::u16string current;
  for (size_t i = r.size(); i < p.size(); ++i) {
    if (p[i] == u'\\') {
      if (current.empty()) return std::nullopt;  // "a\\b": no folder has an empty name
      parts.push_back(std::move(current));
      current.clear();
    } else {
      current += p[i];
    }
  }
  return parts;
}

std::vector<std::u16string> NewFolderNames(const std::vector<std::u16string>& kept,
                                           const std::vector<std::u16string>& diskFolders) {
  std::vector<std::u16string> remaining = kept;
  std::vector<std::u16string> added;
  for (const auto& name : diskFolders) {
    bool found = false;
    for (size_t i = 0; i < remaining.size(); ++i) {
      if (SameTextAscii(remaining[i], name)) {
        remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(i));
        found = true;
        break;
      }
    }
    if (!found) added.push_back(name);
  }
  return added;
}

bool IsDotEntry(std::u16string_view name) { return name == u"." || name == u".."; }

}  // namespace tess
