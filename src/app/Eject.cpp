#include "app/Eject.h"

#include "platform/Text.h"
#include "platform/UiTexts.h"

namespace tess {

namespace {

std::u16string EjectErrorText(char16_t letter, uint32_t code, const std::u16string& reason) {
  return texts::kEjectFailedBefore + std::u16string{letter, u':'} + texts::kEjectFailedAfter + reason;
}

[[noreturn]] void RaiseLastError(VolumeDevices& devices, char16_t letter) {
  uint32_t code = devices.LastError();
  throw EVolumeError(letter, code, devices.ErrorText(code));
}

// Closes the volume handle on every way out.
class HandleCloser {
 public:
  HandleCloser(VolumeDevices& d, VolumeHandle h) : devices_(d), handle_(h) {}
  ~HandleCloser() { devices_.Close(handle_); }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

 private:
  VolumeDevices& devices_;
  VolumeHandle handle_;
};

}  // namespace

EVolumeError::EVolumeError(char16_t letter, uint32_t code, std::u16string reason)
    : EUserError(EjectErrorText(letter, code, reason)), letter_(letter), code_(code) {}

VolumeHandle OpenVolume(VolumeDevices& devices, char16_t letter) {
  std::u16string root{letter, u':', u'\\'};
  uint32_t access;
  switch (devices.DriveType(root)) {
    case DRIVE_REMOVABLE_: access = GENERIC_READ_ | GENERIC_WRITE_; break;
    case DRIVE_CDROM_: access = GENERIC_READ_; break;
    default: return kNoVolumeHandle;
  }
  VolumeHandle h = devices.Open(u"\\\\.\\" + std::u16string{letter, u':'}, access);
  if (h == kNoVolumeHandle) RaiseLastError(devices, letter);
  return h;
}

bool LockVolume(VolumeDevices& devices, VolumeHandle handle) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (devices.Control(handle, FSCTL_LOCK_VOLUME_, nullptr, 0)) return true;
    devices.Sleep(kLockRetryMilliseconds);
  }
  return false;
}

void DismountVolume(VolumeDevices& devices, VolumeHandle handle, char16_t letter) {
  if (!devices.Control(handle, FSCTL_DISMOUNT_VOLUME_, nullptr, 0)) RaiseLastError(devices, letter);
}

void AllowMediaRemoval(VolumeDevices& devices, VolumeHandle handle, char16_t letter) {
  // PREVENT_MEDIA_REMOVAL with removal not prevented.
  const uint32_t preventMediaRemoval = 0;
  if (!devices.Control(handle, IOCTL_STORAGE_MEDIA_REMOVAL_, &preventMediaRemoval, sizeof preventMediaRemoval))
    RaiseLastError(devices, letter);
}

void EjectMedia(VolumeDevices& devices, VolumeHandle handle, char16_t letter) {
  if (!devices.Control(handle, IOCTL_STORAGE_EJECT_MEDIA_, nullptr, 0)) RaiseLastError(devices, letter);
}

EjectOutcome EjectVolume(VolumeDevices& devices, char16_t letter, const std::function<void()>& beforeLock) {
  VolumeHandle h = OpenVolume(devices, letter);
  if (h == kNoVolumeHandle) return EjectOutcome::NotEjectable;
  HandleCloser closer(devices, h);
  if (beforeLock) beforeLock();
  if (!LockVolume(devices, h)) return EjectOutcome::LockFailed;
  DismountVolume(devices, h, letter);
  AllowMediaRemoval(devices, h, letter);
  EjectMedia(devices, h, letter);
  return EjectOutcome::Ejected;
}

}  // namespace tess
