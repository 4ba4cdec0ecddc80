#pragma once
// What the address bar makes of the text typed or pasted into it: a full path taken from
// the shown folder when relative, then a folder to show (and a file to select in it), or a
// path that does not exist. Kept apart from the edit control so that it is tested natively.
#include <functional>
#include <string>
#include <string_view>

namespace tess {

// The text made a full path: blanks and the quotes that a copied path often carries are
// trimmed, "/" becomes "\", a path without a drive or a server is taken from shown (a
// folder ending in "\"), a leading "\" from shown's drive or share, and "." and ".." are
// resolved, never above the drive or the share. Empty when the text names no place
// (blank, a lone server without a share, a drive-relative "D:name").
std::u16string FullAddressPath(std::u16string_view text, std::u16string_view shown);

// The root a path starts from: "C:\" or "\\server\share\"; empty for anything else.
std::u16string AddressDriveRoot(std::u16string_view fullPath);

enum class AddressKind { Folder, File, Missing };

struct AddressTarget {
  AddressKind kind = AddressKind::Missing;
  std::u16string path;      // the full path the text named (for the message), no trailing "\" but a root's
  std::u16string folder;    // Folder, File: the folder to show, ending in "\"
  std::u16string fileName;  // File: the name to select in it
};

// kindOf answers whether a full path (without trailing "\" but a root's) is a folder, a file
// or nothing on disk.
enum class PathKind { Missing, Folder, File };
AddressTarget ResolveAddress(std::u16string_view text, std::u16string_view shown,
                             const std::function<PathKind(const std::u16string&)>& kindOf);

// The tree's root for showing folder: the current root when folder lies in it, else the
// folder's drive or share.
std::u16string AddressTreeRoot(std::u16string_view folder, std::u16string_view currentRoot);

// The selection panel's text for a path that does not exist: "  パスが見つかりません: D:\DCIM\101".
std::u16string StatusAddressMissingText(std::u16string_view path);

}  // namespace tess
