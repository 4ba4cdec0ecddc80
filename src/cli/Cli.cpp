#include "cli/Cli.h"

#include <cstdio>

namespace tess {

int RunCli(const std::vector<std::u16string>& args) {
  std::fputs("usage: tessarine-cli info PATH...\n", stdout);
  return args.empty() ? 0 : 2;
}

}  // namespace tess
