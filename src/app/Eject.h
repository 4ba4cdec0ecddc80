#pragma once
// The safe removal of a drive: open the volume device, lock it (retried while other programs
// still hold files on it), dismount it, allow the medium's removal, eject it.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/UiTexts.h"
#include "platform/Volume.h"

namespace tess {

// A volume call that failed where the eject cannot go on: the drive, the system's error code
// and its text. The message names the drive and the system's reason.
class EVolumeError : public EUserError {
 public:
  EVolumeError(char16_t letter, uint32_t code, std::u16string reason);
  char16_t Letter() const { return letter_; }
  uint32_t Code() const { return code_; }

 private:
  char16_t letter_;
  uint32_t code_;
};

enum class EjectOutcome {
  NotEjectable,  // neither a removable disk nor a CD/DVD drive: nothing was done
  LockFailed,    // every lock attempt failed (files open elsewhere): stopped without a change
  Ejected,
};

constexpr int kLockAttempts = 20;
constexpr unsigned kLockRetryMilliseconds = 500;

// Opens \\.\X: for a removable disk (read and write) or a CD/DVD drive (read); kNoVolumeHandle
// for any other drive type. A failed open raises EVolumeError.
VolumeHandle OpenVolume(VolumeDevices& devices, char16_t letter);
// Up to 20 attempts, each failed one followed by a 500 ms wait.
bool LockVolume(VolumeDevices& devices, VolumeHandle handle);
void DismountVolume(VolumeDevices& devices, VolumeHandle handle, char16_t letter);
void AllowMediaRemoval(VolumeDevices& devices, VolumeHandle handle, char16_t letter);
void EjectMedia(VolumeDevices& devices, VolumeHandle handle, char16_t letter);

// The whole sequence; the handle is closed whatever happens. beforeLock runs once the volume
// is open and before the first lock attempt: the caller lets go of everything it holds on the
// drive there, so a drive the program itself shows can be locked.
EjectOutcome EjectVolume(VolumeDevices& devices, char16_t letter, const std::function<void()>& beforeLock = {});

}  // namespace tess
