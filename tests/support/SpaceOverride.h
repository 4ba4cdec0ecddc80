#pragma once
// The machine's file system with the room on its volumes answered by the test: a volume
// that fills up only after the run's check (another program writing meanwhile), or one
// smaller than the disk it lies on.
#include <functional>

#include "platform/FileSystem.h"

namespace tess::testing {

class SpaceOverride final : public FileSystem {
 public:
  using Space = std::function<std::optional<VolumeSpace>(const std::u16string& path)>;
  explicit SpaceOverride(Space space) : space_(std::move(space)) {}

  std::optional<VolumeSpace> SpaceOf(const std::u16string& p) override { return space_(p); }

  bool Exists(const std::u16string& p) override { return real_.Exists(p); }
  bool IsFolder(const std::u16string& p) override { return real_.IsFolder(p); }
  bool CreateFolder(const std::u16string& p) override { return real_.CreateFolder(p); }
  bool RemoveEmptyFolder(const std::u16string& p) override { return real_.RemoveEmptyFolder(p); }
  std::optional<uint64_t> FileSize(const std::u16string& p) override { return real_.FileSize(p); }
  bool SameContent(const std::u16string& a, const std::u16string& b) override { return real_.SameContent(a, b); }
  bool RemoveFile(const std::u16string& p) override { return real_.RemoveFile(p); }
  bool MoveFileNoReplace(const std::u16string& a, const std::u16string& b) override { return real_.MoveFileNoReplace(a, b); }
  std::optional<std::string> ContentHash(const std::u16string& p) override { return real_.ContentHash(p); }
  PathState Probe(const std::u16string& p) override { return real_.Probe(p); }
  bool SameFile(const std::u16string& a, const std::u16string& b) override { return real_.SameFile(a, b); }
  std::optional<std::vector<std::u16string>> FileNames(const std::u16string& f) override { return real_.FileNames(f); }
  std::optional<TransferFault> CannotWriteIn(const std::u16string& f) override { return real_.CannotWriteIn(f); }

 private:
  FileSystem& real_ = PlatformFileSystem();
  Space space_;
};

}  // namespace tess::testing
