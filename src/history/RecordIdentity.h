#pragma once
// A listed file's identity for the import history, from what the listing and the metadata
// read already gave: no read of the file. Its content hash is unknown here.
#include "history/ImportHistory.h"
#include "records/FileRecord.h"

namespace tess {

PhotoIdentity IdentityOf(const FileRecord& record);

// Whether the file can be looked up without reading it: a photo with a shooting date (a
// dateless one is known by its content hash).
bool CanLookUp(const FileRecord& record);

}  // namespace tess
