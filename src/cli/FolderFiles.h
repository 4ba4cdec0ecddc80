#pragma once
// A folder named on the command line stands for its files: one level, in the order the
// file list shows them by default.
#include <string>
#include <vector>

#include "platform/DirectoryList.h"

namespace tess {

// The files of folder (which ends with a separator), sorted as the file list sorts them
// when it first shows a folder; folders left out. False when the folder cannot be listed.
bool ListFolderFiles(DirectoryLister& lister, const std::u16string& folder, std::vector<DirectoryEntry>& files);

}  // namespace tess
