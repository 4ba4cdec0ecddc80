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
    "usage: tessarine-cli undo [--list] [RUN]\n"
    "\n"
    "Undoes the last real rename run (or the run named RUN, as --list shows it): each photo\n"
    "it moved goes back to its source path, each copy it made is removed, the folders it\n"
    "made and left empty go. A file changed since, or a source path taken by another file,\n"
    "is left as it is and named. A run cut short (the program or the machine stopped) is\n"
    "undone as far as it got; an undo cut short or one that kept files is taken up again by\n"
    "the next. Once every file is back (or was never filed), undoing again does nothing.\n"
    "\n"
    "  --list   print the kept runs, newest first (TSV): run, time, action, pairs, state\n"
    "           (done, failed, cancelled, cut short, running), undone (yes, no, started,\n"
    "           left), can undo (1/0)\n"
    "\n"
    "The journals are in %LOCALAPPDATA%\\Tessarine\\journal (elsewhere\n"
    "$XDG_STATE_HOME/tessarine/journal); TESSARINE_JOURNAL_DIR names another folder.\n"
    "Exit status: 0 when the run was undone, 1 when something was left or nothing could be\n"
    "done, 2 for a usage error or no such run.\n";

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
      std::fprintf(err, "tessarine-cli undo: unknown option '%s'\n\n%s", ToUtf8(a).c_str(), kUndoHelp);
      return 2;
    } else {
      runs.push_back(a);
    }
  }
  if (runs.size() > 1 || (list && !runs.empty())) {
    std::fprintf(err, "tessarine-cli undo: give one RUN, or --list alone\n\n%s", kUndoHelp);
    return 2;
  }
  if (list) return List(out, env.journals);
  std::u16string name;
  if (runs.empty()) {
    std::vector<std::u16string> names = env.journals.Names();
    if (names.empty()) {
      std::fprintf(err, "tessarine-cli undo: no rename run is recorded in %s\n",
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
    std::fprintf(err, "tessarine-cli undo: no run '%s' in %s\n", ToUtf8(name).c_str(),
                 ToUtf8(env.journals.Location()).c_str());
    return 2;
  }
  RecordedRenameLog log;
  UndoSummary summary = UndoRun(env.journals, name, env.files, env.transfer, log);
  for (const std::u16string& line : log.lines) PrintLine(out, line);
  std::fflush(out);
  return summary.status == UndoStatus::Undone ? 0 : 1;
}

int RunUndoCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  return RunUndoCommandWith(args, out, err, UndoEnvironment{PlatformJournalFolder(), PlatformFileSystem(), PlatformFileTransfer()});
}

}  // namespace tess
