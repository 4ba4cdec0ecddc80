#pragma once
// The files a folder stands for, read from the disk: one level in the order the file list
// shows them by default (a folder named on the command line), or the whole tree below it,
// folder by folder (a card's DCIM taken at once).
#include <string>
#include <vector>

#include "platform/DirectoryList.h"

namespace tess {

// The files of folder (which ends with a separator), sorted as the file list sorts them
// when it first shows a folder; folders left out. False when the folder cannot be listed.
bool ListFolderFiles(DirectoryLister& lister, const std::u16string& folder, std::vector<DirectoryEntry>& files);

// One file found under a folder, with the folder that holds it (ending with a separator).
struct FolderTreeFile {
  std::u16string folder;
  DirectoryEntry entry;
};

// Every file under folder (which ends with a separator), a card's DCIM with its 100CANON,
// 101CANON, ...: the folder's own files as ListFolderFiles gives them, then each sub-folder
// in the same order, folder by folder. Hidden and system folders (a card's thumbnails and
// recycle bin) and links to other folders are skipped. False when the folder itself cannot
// be listed; a sub-folder that cannot be listed is skipped.
bool ListFolderTreeFiles(DirectoryLister& lister, const std::u16string& folder, char16_t separator,
                         std::vector<FolderTreeFile>& files);

}  // namespace tess
