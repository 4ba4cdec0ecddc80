#pragma once
// Volume calls answered from a script: the drive type, whether the open succeeds, how many
// lock attempts fail first, and which control code fails with which error. Every call is
// recorded, the waits too (without waiting).
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Volume.h"

namespace tess::testing {

class FakeVolumes : public VolumeDevices {
 public:
  unsigned driveType = DRIVE_REMOVABLE_;
  bool openFails = false;
  int lockFailures = 0;                    // lock attempts that fail before one succeeds
  std::map<uint32_t, uint32_t> failCodes;  // control code -> error code it fails with
  uint32_t openError = 32;                 // ERROR_SHARING_VIOLATION

  std::vector<std::string> calls;
  std::u16string openedPath;
  uint32_t openedAccess = 0;
  std::vector<uint32_t> removalInput;
  int sleeps = 0;
  unsigned sleptMs = 0;
  int openHandles = 0;
  std::function<void()> onLock;  // runs at every lock attempt (what the program holds then)

  unsigned DriveType(const std::u16string& root) override {
    calls.push_back("type");
    typeRoot = root;
    return driveType;
  }
  VolumeHandle Open(const std::u16string& path, uint32_t access) override {
    calls.push_back("open");
    openedPath = path;
    openedAccess = access;
    if (openFails) {
      error_ = openError;
      return kNoVolumeHandle;
    }
    ++openHandles;
    return 42;
  }
  bool Control(VolumeHandle h, uint32_t code, const void* input, uint32_t size) override {
    if (h != 42) return false;
    switch (code) {
      case FSCTL_LOCK_VOLUME_:
        calls.push_back("lock");
        if (onLock) onLock();
        break;
      case FSCTL_DISMOUNT_VOLUME_: calls.push_back("dismount"); break;
      case IOCTL_STORAGE_MEDIA_REMOVAL_:
        calls.push_back("allow");
        if (input && size == 4) removalInput.push_back(*static_cast<const uint32_t*>(input));
        break;
      case IOCTL_STORAGE_EJECT_MEDIA_: calls.push_back("eject"); break;
      default: calls.push_back("?"); break;
    }
    if (code == FSCTL_LOCK_VOLUME_ && lockFailures > 0) {
      --lockFailures;
      error_ = 5;
      return false;
    }
    auto it = failCodes.find(code);
    if (it != failCodes.end()) {
      error_ = it->second;
      return false;
    }
    return true;
  }
  void Close(VolumeHandle h) override {
    calls.push_back("close");
    if (h == 42) --openHandles;
  }
  void Sleep(unsigned ms) override {
    ++sleeps;
    sleptMs += ms;
  }
  uint32_t LastError() override { return error_; }
  std::u16string ErrorText(uint32_t code) override {
    std::u16string text = u"system reason ";
    for (char c : std::to_string(code)) text += char16_t(c);
    return text;
  }

  std::u16string typeRoot;

 private:
  uint32_t error_ = 0;
};

}  // namespace tess::testing
