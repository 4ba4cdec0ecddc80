// `tessarine-cli plan`: the rename dialog's run from the command line. Each file is read
// as the file list reads it and the log is the dialog's, line for line.
//
// Paths: on Windows as given (made absolute). Elsewhere "/" paths are accepted and the
// log is built with the Windows rules: each file's folder is shown with "\" separators
// (/home/u/DCIM/ becomes \home\u\DCIM\), so a folder template beginning with "\" takes
// the first two characters of that folder as the "drive", exactly as on Windows.
#include <chrono>
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "cli/Cli.h"
#include "browse/FolderFiles.h"
#include "cli/PlanCommand.h"
#include "platform/Interrupt.h"
#include "platform/Text.h"
#include "rename/RenameForms.h"
#include "rename/RenameRun.h"

namespace tess {
namespace {

constexpr bool kWindowsPaths = kNativeWindowsPaths;

const char kPlanHelp[] =
    "usage: tessarine-cli plan --folder FOLDER_TEMPLATE --name NAME_TEMPLATE\n"
    "                          [--action copy|move] [--recursive] [--run [--progress]] PATH...\n"
    "\n"
    "Reads each photo's EXIF data as the file list does and prints, one line each (UTF-8),\n"
    "the lines the rename dialog's test run writes to its log: source, destination, an\n"
    "empty line, for every file with EXIF data (and the sidecars that follow it), in the\n"
    "order given; a line for each photo left out or already filed; a closing summary. Taken\n"
    "names get a number (\"name (2).JPG\"); nothing is ever replaced. A folder stands for\n"
    "its files (one level, in the order the file list shows them: by name).\n"
    "\n"
    "  --folder T    destination-folder template, e.g. \"@年4@月2@日2\", \"@folder\" (keep the\n"
    "                folder), \"\\DSC\\@y4\" (on the source's drive), \"E:\\DSC\\@model\"\n"
    "  --name T      file-name template, e.g. \"@年4@月2@日2-@時2@分2@秒2\", \"@file\" (keep\n"
    "                the name); the file's extension is always kept\n"
    "  --action A    copy (default) or move\n"
    "  --recursive   a folder stands for every file under it, its sub-folders included\n"
    "                (a card's DCIM), folder by folder; hidden and system folders skipped\n"
    "  --run         copy or move the files and print the count or failure line: each\n"
    "                copy is written under a temporary name, read back and compared\n"
    "                with its source before it takes its name (and, for a move, before\n"
    "                the source is removed); a move within one volume is a rename.\n"
    "                Ctrl+C stops it cleanly: every file is then filed and verified or\n"
    "                still at its source\n"
    "  --progress    print the progress to stderr (done unasked when it is a terminal)\n"
    "  --            ends the options\n"
    "\n"
    "Exit status: 0 when every file was planned (or handled), 1 when the run found no file\n"
    "or refused, failed or was stopped, 2 for a usage error or an unreadable path.\n"
    "Off Windows, paths use \"/\" and the log shows their folders with \"\\\" separators.\n";

bool IsSeparator(char16_t c) { return IsPathSeparator(c, kWindowsPaths); }

// One progress line, rewritten in place on a terminal and a line of its own elsewhere,
// twice a second at most.
class ProgressPrinter final : public TransferObserver {
 public:
  ProgressPrinter(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}
  // Ends the rewritten line before anything else is printed.
  void End() {
    if (printed_ && terminal_) std::fputc('\n', err_);
    printed_ = false;
  }
  void OnProgress(const TransferProgress& p) override {
    auto now = std::chrono::steady_clock::now();
    const bool last = p.filesDone == p.filesTotal;
    if (!last && printed_ && now - lastPrint_ < std::chrono::milliseconds(500)) return;
    lastPrint_ = now;
    printed_ = true;
    const char* phase = p.phase == TransferPhase::Verifying ? "verifying" : p.phase == TransferPhase::Moving ? "moving" : "copying";
    std::fprintf(err_, "%s%zu/%zu files, %.1f/%.1f MB, %s%s", terminal_ ? "\r" : "", p.filesDone, p.filesTotal,
                 double(p.bytesDone) / 1e6, double(p.bytesTotal) / 1e6, last ? "done" : phase,
                 terminal_ ? "   " : "\n");
    std::fflush(err_);
  }

 private:
  std::FILE* err_;
  bool terminal_;
  bool printed_ = false;
  std::chrono::steady_clock::time_point lastPrint_;
};

}  // namespace

int RunPlanCommandWith(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                       const PlanEnvironment& env) {
  RenameRunSettings settings;
  bool haveFolder = false, haveName = false, run = false, recursive = false, progress = false;
  std::vector<std::u16string> paths;
  auto usage = [&](const std::string& message) {
    std::fprintf(err, "tessarine-cli plan: %s\n\n", message.c_str());
    std::fputs(kPlanHelp, err);
    return 2;
  };
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != u'-' || a == u"-") {
      paths.push_back(a);
    } else if (a == u"--") {
      optionsEnded = true;
    } else if (a == u"--help" || a == u"-h") {
      std::fputs(kPlanHelp, out);
      return 0;
    } else if (a == u"--run") {
      run = true;
    } else if (a == u"--progress") {
      progress = true;
    } else if (a == u"--recursive" || a == u"-r") {
      recursive = true;
    } else if (a == u"--folder" || a == u"--name" || a == u"--action") {
      if (i + 1 >= args.size()) return usage(ToUtf8(a) + " needs a value");
      const std::u16string& value = args[++i];
      if (a == u"--folder") {
        settings.folderTemplate = value;
        haveFolder = true;
      } else if (a == u"--name") {
        settings.nameTemplate = value;
        haveName = true;
      } else if (value == u"copy") {
        settings.actionIndex = 0;
      } else if (value == u"move") {
        settings.actionIndex = 1;
      } else {
        return usage("--action is copy or move, not '" + ToUtf8(value) + "'");
      }
    } else {
      return usage("unknown option '" + ToUtf8(a) + "'");
    }
  }
  if (!haveFolder) return usage("--folder is required");
  if (!haveName) return usage("--name is required");
  if (paths.empty()) return usage("no PATH given");

  TRenameSourceList sources;
  TExifFilesToList entries;
  for (const std::u16string& given : paths) {
    // A find-first would answer the first match of a pattern as if it were the file.
    if (kWindowsPaths && given.find_first_of(u"*?") != std::u16string::npos) {
      std::fprintf(err, "tessarine-cli plan: '%s': wildcards are not expanded; name each file\n", ToUtf8(given).c_str());
      return 2;
    }
    std::u16string full = env.directory.FullPath(given);
    while (full.size() > 1 && IsSeparator(full.back())) full.pop_back();
    size_t cut = full.size();
    while (cut > 0 && !IsSeparator(full[cut - 1])) --cut;
    std::u16string folder = full.substr(0, cut);
    std::optional<DirectoryEntry> entry = env.directory.Find(full);
    if (cut == 0 || !entry) {
      std::fprintf(err, "tessarine-cli plan: cannot find '%s'\n", ToUtf8(given).c_str());
      return 2;
    }
    auto add = [&](const DirectoryEntry& fileEntry, const std::u16string& fileFolder) {
      std::unique_ptr<TplFileDataListItem> record = MakeFileRecord(fileEntry, fileFolder, env.metadata);
      std::u16string shownFolder = fileFolder;
      for (char16_t& c : shownFolder)
        if (c == u'/') c = u'\\';
      sources.push_back(shownFolder + record->Name);
      entries.Add(MakeRenameItem(*record, shownFolder));
    };
    if ((entry->attributes & FILE_ATTRIBUTE_DIRECTORY_) == 0) {
      add(*entry, folder);
      continue;
    }
    // A folder (a card's DCIM\100CANON) stands for its files, as the file list shows them.
    // Its files are named with the separator the path already uses.
    std::u16string inside = full;
    if (!IsSeparator(inside.back())) inside += full[cut - 1];
    if (recursive) {
      std::vector<FolderTreeFile> tree;
      if (!ListFolderTreeFiles(env.directory, inside, full[cut - 1], tree)) {
        std::fprintf(err, "tessarine-cli plan: cannot list the folder '%s'\n", ToUtf8(given).c_str());
        return 2;
      }
      for (const FolderTreeFile& file : tree) add(file.entry, file.folder);
      continue;
    }
    std::vector<DirectoryEntry> files;
    if (!ListFolderFiles(env.directory, inside, files)) {
      std::fprintf(err, "tessarine-cli plan: cannot list the folder '%s'\n", ToUtf8(given).c_str());
      return 2;
    }
    for (const DirectoryEntry& file : files) add(file, inside);
  }

  RecordedRenameLog log;
  FileSystem& files = env.files ? *env.files : PlatformFileSystem();
  FileTransfer& transfer = env.transfer ? *env.transfer : PlatformFileTransfer();
  ProgressPrinter printer(err, env.errIsTerminal);
  RenameRunControl control;
  control.cancel = env.cancel;
  control.journal = env.journals ? env.journals : env.files ? nullptr : &PlatformJournalFolder();
  if (run && (progress || env.errIsTerminal)) control.observer = &printer;
  RenameOutcome outcome = DoExifRename(settings, sources, entries, !run, log, files, transfer, control);
  printer.End();
  // As the dialog's テスト does: the typing slips the run passed over in silence.
  if (!run)
    for (const std::u16string& line : UnknownTokenLines(settings)) log.lines.push_back(line);
  for (const std::u16string& line : log.lines) PrintLine(out, line);
  std::fflush(out);
  return outcome == RenameOutcome::Planned || outcome == RenameOutcome::Done ? 0 : 1;
}

int RunPlanCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  PlanEnvironment env{PlatformDirectoryLister(), ExifMetadataSource()};
  env.cancel = &CancelOnInterrupt();
  env.errIsTerminal = err == stderr && StandardErrorIsTerminal();
  return RunPlanCommandWith(args, out, err, env);
}

}  // namespace tess
