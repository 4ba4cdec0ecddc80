// `tessarine-cli history`: where and when each photo was filed, from the import history.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/InfoFormat.h"
#include "history/ImportHistory.h"
#include "platform/DateTime.h"
#include "platform/JournalFolder.h"
#include "platform/Text.h"
#include "rename/HistorySeed.h"

namespace tess {
namespace {

const char kHistoryHelp[] =
    "使い方: tessarine-cli history [PATH...]\n"
    "        tessarine-cli history --forget RUN\n"
    "        tessarine-cli history --check\n"
    "\n"
    "取り込み履歴 (実行で整理した写真の記録) を TSV で表示します。見出し行のあとに 1 行 1 枚:\n"
    "  filed  run  source  destination  name  size  shot  make  model  serial\n"
    "PATH を指定すると、そのファイル、またはそのフォルダー以下から、またはそこへ整理した写真だけを\n"
    "表示します。\n"
    "\n"
    "  --forget RUN   その実行 (undo --list の run) の記録を消します。次の整理でまた取り込まれます\n"
    "  --check        データベースを検査します\n"
    "\n"
    "履歴は %LOCALAPPDATA%\\Tessarine\\history.sqlite3 (Windows 以外ではリネームの記録の隣) に\n"
    "あります。TESSARINE_HISTORY で別のファイルを指定できます。\n"
    "終了コード: 0 成功、1 履歴を開けない・検査で問題あり、2 使い方の誤り。\n";

void Usage(std::FILE* err, const char* problem) {
  std::fprintf(err, "tessarine-cli history: %s\n\n%s", problem, kHistoryHelp);
}

}  // namespace

int RunHistoryCommandAt(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                        const std::u16string& databasePath, JournalFolder* journals) {
  std::vector<std::u16string> paths;
  std::u16string forget;
  bool check = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    if (a == u"--help" || a == u"-h") {
      std::fputs(kHistoryHelp, out);
      return 0;
    }
    if (a == u"--check") {
      check = true;
    } else if (a == u"--forget") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        Usage(err, "--forget には実行 (RUN) を指定してください");
        return 2;
      }
      forget = args[++i];
    } else if (!a.empty() && a[0] == u'-') {
      Usage(err, ("不明なオプションです: " + ToUtf8(a)).c_str());
      return 2;
    } else {
      paths.push_back(a);
    }
  }
  if ((check || !forget.empty()) && (!paths.empty() || (check && !forget.empty()))) {
    Usage(err, "--forget と --check はそれぞれ単独で指定してください");
    return 2;
  }
  std::vector<std::u16string> notices;
  std::unique_ptr<ImportHistory> history = ImportHistory::Open(databasePath, notices);
  for (const std::u16string& notice : notices) PrintLine(err, notice);
  if (!history) return 1;
  // The first use learns what the kept journals filed, so the history starts with the last runs.
  if (journals && !history->Seeded()) SeedHistoryFromJournals(*history, *journals, ReadPhotoIdentityFromFile);

  if (check) {
    std::vector<std::u16string> problems;
    if (history->Check(problems)) {
      std::fprintf(out, "ok: %lld 件 (%s)\n", static_cast<long long>(history->Count()), ToUtf8(history->Path()).c_str());
      return 0;
    }
    for (const std::u16string& problem : problems) PrintLine(err, problem);
    return 1;
  }
  if (!forget.empty()) {
    int64_t forgotten = 0;
    if (history->ForgetRun(forget, &forgotten) != HistoryStatus::Ok) {
      std::fprintf(err, "tessarine-cli history: 履歴を書き換えられません (使用中か、書き込めません)\n");
      return 1;
    }
    std::fprintf(out, "%lld 件の記録を消しました: %s\n", static_cast<long long>(forgotten), ToUtf8(forget).c_str());
    return 0;
  }
  std::vector<ImportEntry> entries;
  if (history->List(paths, entries) != HistoryStatus::Ok) {
    std::fprintf(err, "tessarine-cli history: 履歴を読めません (使用中か、壊れています)\n");
    return 1;
  }
  std::string text = "filed\trun\tsource\tdestination\tname\tsize\tshot\tmake\tmodel\tserial\n";
  for (const ImportEntry& e : entries) {
    text += EscapeInfoText(e.filedAt) + '\t' + EscapeInfoText(e.run) + '\t' + EscapeInfoText(e.source) + '\t' + EscapeInfoText(e.destination) + '\t' +
            EscapeInfoText(e.photo.name) + '\t' + std::to_string(e.photo.size) + '\t' +
            (e.photo.shot > 0 ? ToUtf8(FormatDateTime(e.photo.shot, true)) : std::string()) + '\t' +
            EscapeInfoText(e.photo.make) + '\t' + EscapeInfoText(e.photo.model) + '\t' + EscapeInfoText(e.photo.serial) + '\n';
  }
  std::fwrite(text.data(), 1, text.size(), out);
  return 0;
}

int RunHistoryCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  return RunHistoryCommandAt(args, out, err, PlatformHistoryPath(), &PlatformJournalFolder());
}

}  // namespace tess
