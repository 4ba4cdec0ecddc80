#include "browse/AddressPath.h"

#include <vector>

#include "browse/FolderPaths.h"
#include "platform/UiTexts.h"

namespace tess {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\x3000'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

std::u16string Trimmed(std::u16string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::u16string_view t = text.substr(b, e - b);
  // "C:\DCIM\100" as Explorer's "copy as path" gives it.
  if (t.size() >= 2 && t.front() == u'"' && t.back() == u'"') t = t.substr(1, t.size() - 2);
  std::u16string out(t);
  for (char16_t& c : out)
    if (c == u'/') c = u'\\';
  return out;
}

// Length of the root at the start of a full path: "C:\" (3) or "\\server\share\" ; 0 when none.
size_t RootLength(std::u16string_view p) {
  if (p.size() >= 3 && IsDriveLetter(p[0]) && p[1] == u':' && p[2] == u'\\') return 3;
  if (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\') {
    size_t server = p.find(u'\\', 2);
    if (server == std::u16string_view::npos || server == 2) return 0;
    size_t shareEnd = p.find(u'\\', server + 1);
    if (shareEnd == server + 1) return 0;
    if (shareEnd == std::u16string_view::npos) return 0;  // callers add the "\" after the share
    return shareEnd + 1;
  }
  return 0;
}

}  // namespace

std::u16string AddressDriveRoot(std::u16string_view fullPath) {
  std::u16string p = IncludeTrailingBackslash(fullPath);
  size_t n = RootLength(p);
  if (!n) return {};
  std::u16string root = p.substr(0, n);
  if (root.size() == 3) root[0] = static_cast<char16_t>(root[0] & ~0x20);  // "c:\" as the drive box shows it
  return root;
}

std::u16string FullAddressPath(std::u16string_view text, std::u16string_view shown) {
  std::u16string t = Trimmed(text);
  if (t.empty()) return {};
  std::u16string joined;
  if (t.size() >= 2 && IsDriveLetter(t[0]) && t[1] == u':') {
    if (t.size() == 2) joined = t + u"\\";                 // "D:" is the drive
    else if (t[2] == u'\\') joined = t;
    else return {};                                        // "D:name": relative to a drive's own current folder
  } else if (t.size() >= 2 && t[0] == u'\\' && t[1] == u'\\') {
    joined = t;
  } else {
    std::u16string base = IncludeTrailingBackslash(shown);
    size_t baseRoot = RootLength(base);
    if (!baseRoot) return {};
    joined = t[0] == u'\\' ? base.substr(0, baseRoot) + t.substr(1) : base + t;
  }
  joined = IncludeTrailingBackslash(joined);
  size_t rootLen = RootLength(joined);
  if (!rootLen) return {};
  std::u16string out = joined.substr(0, rootLen);
  if (out.size() == 3) out[0] = static_cast<char16_t>(out[0] & ~0x20);
  std::vector<std::u16string> parts;
  std::u16string current;
  for (size_t i = rootLen; i < joined.size(); ++i) {
    if (joined[i] != u'\\') {
      current += joined[i];
      continue;
    }
    if (current == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!current.empty() && current != u".") {
      parts.push_back(current);
    }
    current.clear();
  }
  for (const auto& part : parts) out += part + u"\\";
  return out.size() == rootLen ? out : ExcludeTrailingBackslash(out);
}

AddressTarget ResolveAddress(std::u16string_view text, std::u16string_view shown,
                             const std::function<PathKind(const std::u16string&)>& kindOf) {
  AddressTarget target;
  std::u16string full = FullAddressPath(text, shown);
  if (full.empty()) {
    target.path = Trimmed(text);
    return target;
  }
  target.path = full;
  switch (kindOf(full)) {
    case PathKind::Folder:
      target.kind = AddressKind::Folder;
      target.folder = IncludeTrailingBackslash(full);
      break;
    case PathKind::File:
      target.kind = AddressKind::File;
      target.folder = ExtractFilePath(full);
      target.fileName = ExtractFileName(full);
      break;
    case PathKind::Missing:
      break;
  }
  return target;
}

std::u16string AddressTreeRoot(std::u16string_view folder, std::u16string_view currentRoot) {
  if (!currentRoot.empty() && ComponentsBelowRoot(currentRoot, folder)) return std::u16string(currentRoot);
  return AddressDriveRoot(folder);
}

std::u16string StatusAddressMissingText(std::u16string_view path) {
  return u"  " + std::u16string(texts::kStatusAddressMissingPrefix) + std::u16string(path);
}

}  // namespace tess
