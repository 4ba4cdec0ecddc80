#pragma once
// The volume calls of a safe removal, behind one small interface so that the whole sequence,
// its retries and each failure can be run against a fake. The calls mirror the system's own
// (GetDriveTypeW, CreateFileW on a volume device, DeviceIoControl, Sleep, CloseHandle).
#include <cstdint>
#include <memory>
#include <string>

namespace tess {

enum : unsigned { DRIVE_REMOVABLE_ = 2, DRIVE_FIXED_ = 3, DRIVE_REMOTE_ = 4, DRIVE_CDROM_ = 5 };
enum : uint32_t { GENERIC_READ_ = 0x80000000u, GENERIC_WRITE_ = 0x40000000u };
enum : uint32_t {
  FSCTL_LOCK_VOLUME_ = 0x00090018u,
  FSCTL_DISMOUNT_VOLUME_ = 0x00090020u,
  IOCTL_STORAGE_MEDIA_REMOVAL_ = 0x002D4804u,
  IOCTL_STORAGE_EJECT_MEDIA_ = 0x002D4808u,
};

using VolumeHandle = std::intptr_t;
constexpr VolumeHandle kNoVolumeHandle = -1;

class VolumeDevices {
 public:
  virtual ~VolumeDevices() = default;
  virtual unsigned DriveType(const std::u16string& root) = 0;
  // Opens a device path such as \\.\E: sharing read and write, OPEN_EXISTING; kNoVolumeHandle
  // on failure (the reason in LastError).
  virtual VolumeHandle Open(const std::u16string& devicePath, uint32_t access) = 0;
  // A control code with an optional input buffer and no output buffer.
  virtual bool Control(VolumeHandle handle, uint32_t code, const void* input, uint32_t inputSize) = 0;
  virtual void Close(VolumeHandle handle) = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
  virtual uint32_t LastError() = 0;
  // The system's text for an error code.
  virtual std::u16string ErrorText(uint32_t code) = 0;
};

// The running system's volumes (off Windows: no drive is removable, nothing opens).
VolumeDevices& PlatformVolumes();

}  // namespace tess
