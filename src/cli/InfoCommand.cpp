#include "cli/Cli.h"

namespace tess {
int RunInfoCommand(const std::vector<std::u16string>&, std::FILE*, std::FILE* err) {
  std::fputs("tessarine-cli info: not built yet\n", err);
  return 2;
}
}  // namespace tess
