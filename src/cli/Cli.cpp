#include "cli/Cli.h"

#include "Version.h"
#include "platform/Text.h"

namespace tess {
namespace {

const char kUsage[] =
    "使い方: tessarine-cli コマンド ...\n"
    "\n"
    "  info PATH...     各写真の Exif の日時・メーカー・モデルを読んで表示します (TSV)\n"
    "  plan --folder FOLDER_TEMPLATE --name NAME_TEMPLATE [--backup-folder BACKUP_TEMPLATE]\n"
    "       [--action copy|move] [--run [--progress]] PATH...\n"
    "                   写真についてリネーム画面のテストのログを表示します。--run で実行します\n"
    "  undo [--list] [RUN]\n"
    "                   最後の実行 (または RUN) を元に戻します。--list で記録された実行を一覧します\n"
    "  history [PATH...] | --forget RUN | --check\n"
    "                   どの写真をいつどこへ整理したかを表示します (TSV)。実行の記録を消す、検査する\n"
    "\n"
    "  tessarine-cli コマンド --help   コマンドの詳しい説明\n"
    "  tessarine-cli --version        バージョンを表示します\n";

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
  std::fprintf(err, "tessarine-cli: 不明なコマンドです: '%s'\n\n", ToUtf8(args[0]).c_str());
  std::fputs(kUsage, err);
  return 2;
}

}  // namespace tess
