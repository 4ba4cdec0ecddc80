// `tessarine-cli undo`: lists the journals of the last rename runs and undoes one of them,
// as the rename dialog's 元に戻す does.
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/UndoCommand.h"
#include "platform/Text.h"
#include "rename/RunUndo.h"

namespace tess {
namespace {

const char kUndoHelp[] =
    "使い方: tessarine-cli undo [--list] [RUN]\n"
    "\n"
    "最後の実行 (または --list に出る名前 RUN の実行) を元に戻します: 移動した写真は元の\n"
    "パスへ戻し、作ったコピーは削除し、作って空のまま残ったフォルダも削除します。その後に\n"
    "変更されたファイルや、元のパスが別のファイルに使われているものはそのままにして、名前を\n"
    "表示します。途中で終わった実行 (プログラムやコンピューターが止まった) は、進んだところ\n"
    "まで元に戻します。途中で終わった取り消しや、ファイルを残した取り消しは、次の取り消しが\n"
    "続けます。すべてのファイルが戻った (または整理されなかった) 実行は、もう一度元に戻しても\n"
    "何もしません。\n"
    "\n"
    "  --list   記録されている実行を新しい順に表示します (TSV): 実行、時刻、操作、組の数、\n"
    "           状態 (done, failed, cancelled, cut short, running)、元に戻したか (yes, no,\n"
    "           started, left)、元に戻せるか (1/0)\n"
    "\n"
    "記録は %LOCALAPPDATA%\\Tessarine\\journal にあります (Windows 以外では\n"
    "$XDG_STATE_HOME/tessarine/journal)。TESSARINE_JOURNAL_DIR で別のフォルダを指定できます。\n"
    "終了コード: 元に戻せたとき 0、残ったものがあるか何もできなかったとき 1、使い方の誤りや\n"
    "その実行がないとき 2。\n";

int List(std::FILE* out, JournalFolder& journals) {
  std::vector<std::u16string> names = journals.Names();
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    std::optional<RunJournal> j = ReadRun(journals, *it);
    if (!j) continue;
    // A run still going holds its journal: it is neither cut short nor to be undone yet.
    const bool running = !j->ended && IsRunning(journals, *j);
    std::string state = j->ended ? j->endState : running ? "running" : "cut short";
    std::string undone = j->undoEnded ? "yes" : j->undoStarted ? "started" : j->left ? "left" : "no";
    std::fprintf(out, "%s\t%s\t%s\t%zu\t%s\t%s\t%d\n", ToUtf8(j->name).c_str(), ToUtf8(j->time).c_str(),
                 ActionWord(j->action), j->pairs.size(), state.c_str(), undone.c_str(), !running && CanUndo(*j) ? 1 : 0);
  }
  return 0;
}

}  // namespace

int RunUndoCommandWith(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                       const UndoEnvironment& env) {
  bool list = false;
  std::vector<std::u16string> runs;
  for (const std::u16string& a : args) {
    if (a == u"--help" || a == u"-h") {
      std::fputs(kUndoHelp, out);
      return 0;
    }
    if (a == u"--list") {
      list = true;
    } else if (!a.empty() && a[0] == u'-') {
      std::fprintf(err, "tessarine-cli undo: 不明なオプションです: '%s'\n\n%s", ToUtf8(a).c_str(), kUndoHelp);
      return 2;
    } else {
      runs.push_back(a);
    }
  }
  if (runs.size() > 1 || (list && !runs.empty())) {
    std::fprintf(err, "tessarine-cli undo: RUN を 1 つだけ指定するか、--list だけを指定してください\n\n%s", kUndoHelp);
    return 2;
  }
  if (list) return List(out, env.journals);
  std::u16string name;
  if (runs.empty()) {
    std::vector<std::u16string> names = env.journals.Names();
    if (names.empty()) {
      std::fprintf(err, "tessarine-cli undo: %s に記録された実行がありません\n",
                   ToUtf8(env.journals.Location()).c_str());
      return 2;
    }
    name = names.back();
  } else {
    name = runs[0];
    // A path or a file name from a listing of the folder names the same run.
    size_t slash = name.find_last_of(u"/\\");
    if (slash != std::u16string::npos) name = name.substr(slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, u".tsv") == 0) name.resize(name.size() - 4);
  }
  if (!ReadRun(env.journals, name)) {
    std::fprintf(err, "tessarine-cli undo: 実行 '%s' は %s にありません\n", ToUtf8(name).c_str(),
                 ToUtf8(env.journals.Location()).c_str());
    return 2;
  }
  RecordedRenameLog log;
  UndoSummary summary = UndoRun(env.journals, name, env.files, env.transfer, log, nullptr, env.history);
  for (const std::u16string& line : log.lines) PrintLine(out, line);
  std::fflush(out);
  return summary.status == UndoStatus::Undone ? 0 : 1;
}

int RunUndoCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  const HistoryPlace history = PlatformHistoryPlace();
  return RunUndoCommandWith(args, out, err,
                            UndoEnvironment{PlatformJournalFolder(), PlatformFileSystem(), PlatformFileTransfer(), &history});
}

}  // namespace tess
