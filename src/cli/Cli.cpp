#include "cli/Cli.h"

#include "Version.h"
#include "platform/Text.h"

namespace tess {
namespace {

const char kUsage[] =
    "usage: tessarine-cli COMMAND ...\n"
    "\n"
    "  info PATH...     read each photo's EXIF dates, make and model (TSV)\n"
    "  plan --folder FOLDER_TEMPLATE --name NAME_TEMPLATE [--action copy|move] [--run [--progress]] PATH...\n"
    "                   print the rename dialog's test log for the photos; --run performs it\n"
    "  undo [--list] [RUN]\n"
    "                   undo the last real rename run (or RUN); --list shows the kept runs\n"
    "\n"
    "  tessarine-cli COMMAND --help   says more about a command\n"
    "  tessarine-cli --version        prints the version\n";

}  // namespace

void PrintLine(std::FILE* out, const std::u16string& line) {
  std::string text = ToUtf8(line);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), out);
}

int RunCli(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  if (args.empty() || args[0] == u"--help" || args[0] == u"-h" || args[0] == u"help") {
    std::fputs(kUsage, args.empty() ? err : out);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == u"--version" || args[0] == u"-V") {
    std::fputs("tessarine-cli " TESSARINE_VERSION_TEXT "\n", out);
    return 0;
  }
  std::vector<std::u16string> rest(args.begin() + 1, args.end());
  if (args[0] == u"info") return RunInfoCommand(rest, out, err);
  if (args[0] == u"plan") return RunPlanCommand(rest, out, err);
  if (args[0] == u"undo") return RunUndoCommand(rest, out, err);
  if (args[0] == u"history") return RunHistoryCommand(rest, out, err);
  std::fprintf(err, "tessarine-cli: unknown command '%s'\n\n", ToUtf8(args[0]).c_str());
  std::fputs(kUsage, err);
  return 2;
}

}  // namespace tess
