// Off Windows no drive is removable: an eject stops before it opens anything.
#include "platform/Volume.h"

namespace tess {
namespace {
class NoVolumes final : public VolumeDevices {
 public:
  unsigned DriveType(const std::u16string&) override { return 1; }  // DRIVE_NO_ROOT_DIR
  VolumeHandle Open(const std::u16string&, uint32_t) override { return kNoVolumeHandle; }
  bool Control(VolumeHandle, uint32_t, const void*, uint32_t) override { return false; }
  void Close(VolumeHandle) override {}
  void Sleep(unsigned) override {}
  uint32_t LastError() override { return 1; }
  std::u16string ErrorText(uint32_t) override { return u"unsupported"; }
};
}  // namespace

VolumeDevices& PlatformVolumes() {
  static NoVolumes volumes;
  return volumes;
}
}  // namespace tess
