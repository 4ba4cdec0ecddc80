#pragma once
// One directory entry as the file list shows it, with its file's metadata, and the same
// record with the folder it was listed in, as a rename takes it. The file list lists
// them and a rename job carries them: the type belongs to neither.
#include <cstdint>
#include <string>

#include "platform/DateTime.h"
#include "platform/DirectoryList.h"

namespace tess {

// The small members sit side by side: a folder of 20,000 photos holds 20,000 records.
struct FileRecord {
  virtual ~FileRecord() = default;
  std::u16string Name;
  uint64_t ByteSize = 0;  // the exact size, as the listing gave it
  int32_t Size = 0;  // -1 for a folder, else KiB rounded up
  int32_t IconIndex = 0;
  TDateTime CreateDate = 0;
  TDateTime ModifyDate = 0;
  uint32_t Attrib = 0;
  bool HasMetadata = false;
  // Listed, but the file's metadata not read yet (it is read off the window's thread).
  bool MetadataPending = false;
  TDateTime ExifDateTime = 0;
  TDateTime ExifDateTimeOriginal = 0;  // the shot date after the fallback chain
  TDateTime ExifDateTimeDigitized = 0;
  std::u16string ExifCameraModel;
  std::u16string ExifCameraMake;
  std::u16string ExifCameraSerial;  // BodySerialNumber; empty when the photo has none
  // When the import history says a run filed the photo (local time); 0 when it knows of none
  // or has not answered yet (it is asked off the window's thread, after the metadata).
  TDateTime ImportedAt = 0;
  // A video dated by its movie header: the header's time as written, before it was taken
  // as UTC and converted (a camera rule may say it is the camera's local time); else 0.
  TDateTime ExifMovieHeaderTime = 0;

  bool IsFolder() const { return (Attrib & FILE_ATTRIBUTE_DIRECTORY_) != 0; }
};

struct SourceRecord : FileRecord {
  std::u16string Folder;  // the folder the file was listed in, ending with "\"
};

}  // namespace tess
