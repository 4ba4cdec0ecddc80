// The system's volume calls, one to one.
#include <windows.h>

#include "platform/Volume.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {
class WinVolumes final : public VolumeDevices {
 public:
  unsigned DriveType(const std::u16string& root) override { return GetDriveTypeW(W(root)); }
  VolumeHandle Open(const std::u16string& devicePath, uint32_t access) override {
    HANDLE h = CreateFileW(W(devicePath), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? kNoVolumeHandle : reinterpret_cast<VolumeHandle>(h);
  }
  bool Control(VolumeHandle handle, uint32_t code, const void* input, uint32_t inputSize) override {
    DWORD returned = 0;
    return DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, const_cast<void*>(input), inputSize, nullptr, 0,
                           &returned, nullptr) != FALSE;
  }
  void Close(VolumeHandle handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }
  void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
  uint32_t LastError() override { return GetLastError(); }
  std::u16string ErrorText(uint32_t code) override { return SystemErrorMessage(code); }
};
}  // namespace

VolumeDevices& PlatformVolumes() {
  static WinVolumes volumes;
  return volumes;
}
}  // namespace tess
