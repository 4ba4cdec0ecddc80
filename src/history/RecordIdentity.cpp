#include "history/RecordIdentity.h"

namespace tess {

PhotoIdentity IdentityOf(const FileRecord& record) {
  PhotoIdentity photo;
  photo.make = record.ExifCameraMake;
  photo.model = record.ExifCameraModel;
  photo.serial = record.ExifCameraSerial;
  photo.name = record.Name;
  photo.size = record.ByteSize;
  photo.shot = record.ExifDateTimeOriginal;
  return photo;
}

bool CanLookUp(const FileRecord& record) {
  return record.HasMetadata && !record.MetadataPending && !record.IsFolder() && record.ExifDateTimeOriginal > 0;
}

}  // namespace tess
