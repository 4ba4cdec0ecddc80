// tessarine-cli: the command-line companion. Arguments arrive as UTF-16 on Windows and
// as UTF-8 elsewhere; both become the core's UTF-16 text.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

int wmain(int argc, wchar_t** argv) {
  // UTF-8 bytes exactly as written, with the same line ends as everywhere else.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return tess::RunCli(args);
}
#else
int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tess::FromUtf8(argv[i]));
  return tess::RunCli(args);
}
#endif
