// `tessarine-cli plan`: the rename dialog's run from the command line. Each file is read
// as the file list reads it and the log is the dialog's, line for line.
//
// Paths: on Windows as given (made absolute), shown with "\". Elsewhere "/" paths are
// taken and shown as the system writes them; a folder template from "/" names that
// folder, and one from "\" the root (the photo has no drive).
#include <chrono>
#include <string>
#include <vector>

#include "browse/FileRecords.h"
#include "cli/Cli.h"
#include "browse/FolderFiles.h"
#include "cli/PlanCommand.h"
#include "platform/Interrupt.h"
#include "platform/Text.h"
#include "rename/ClockRules.h"
#include "rename/RenameForms.h"
#include "rename/RenameRun.h"

namespace tess {
namespace {

constexpr bool kWindowsPaths = kNativeWindowsPaths;

const char kPlanHelp[] =
    "使い方: tessarine-cli plan --folder FOLDER_TEMPLATE --name NAME_TEMPLATE\n"
    "                          [--backup-folder BACKUP_TEMPLATE] [--action copy|move]\n"
    "                          [--recursive] [--include-imported]\n"
    "                          [--run [--progress]] PATH...\n"
    "\n"
    "各写真の Exif 情報をファイル一覧と同じように読み、リネーム画面の「テスト」がログに書く行を\n"
    "1 行ずつ (UTF-8) 表示します: Exif 情報のある各ファイル (とそれに付いてゆく付属ファイル) に\n"
    "ついて、指定の順に、コピー元・コピー先・空行。除外する写真と整理済みの写真にはその旨の行、\n"
    "最後にまとめの行。使われている名前には番号が付き (\"name (2).JPG\")、ファイルが置き換えられる\n"
    "ことはありません。フォルダはその中のファイルを表します (1 階層、ファイル一覧の表示順: 名前順)。\n"
    "\n"
    "  --folder T    コピー先フォルダのテンプレート。例: \"@年4@月2@日2\"、\"@folder\" (元のフォルダ)、\n"
    "                \"\\DSC\\@y4\" (コピー元のドライブ上)、\"E:\\DSC\\@model\"\n"
    "  --name T      ファイル名のテンプレート。例: \"@年4@月2@日2-@時2@分2@秒2\"、\"@file\" (元の\n"
    "                ファイル名)。拡張子はいつもそのまま残ります\n"
    "  --backup-folder T\n"
    "                バックアップ先フォルダのテンプレート (--folder と同じ書き方)。各写真を\n"
    "                コピー元から 1 回だけ読み、コピー先とバックアップ先の両方に同じ名前で書いて\n"
    "                それぞれ検証します。名前はどちらかで使われていれば両方で次の番号になります。\n"
    "                どちらかが失敗すればもう一方も消し、コピー元はそのまま残ります\n"
    "  --action A    copy (コピー、既定) または move (移動/リネーム)\n"
    "  --recursive   フォルダはその下のすべてのファイル (サブフォルダも。カードの DCIM など) を\n"
    "                フォルダごとに表します。隠しフォルダとシステムフォルダは飛ばします\n"
    "  --run         ファイルをコピーまたは移動し、件数または失敗の行を表示します。コピーは\n"
    "                一時的な名前で書き、読み戻してコピー元と比べてから名前を付けます (移動では\n"
    "                そのあとでコピー元を削除します)。同じボリューム内の移動は名前の変更です。\n"
    "                Ctrl+C で安全に止まります: どのファイルも整理されて検証済みか、コピー元に\n"
    "                残っています\n"
    "  --include-imported\n"
    "                取り込み履歴にある写真 (前の実行で整理済み) も除外せずに予定・整理します\n"
    "  --progress    進み具合を標準エラーに表示します (端末のときは指定しなくても表示します)\n"
    "  --shift CAMERA=[+|-][Dd]HH:MM:SS\n"
    "                そのカメラの写真を、時計をずらした日時で整理します (何回でも指定できます)。\n"
    "                例: \"X-T5=+1:00:00\"、\"Canon/Canon EOS R6=-2d03:00:00\"。CAMERA は一覧に出る\n"
    "                モデル名、MAKE/MODEL、または * (すべてのカメラ)。写真の記録はそのままです\n"
    "  --video-local CAMERA\n"
    "                そのカメラの動画のヘッダー (mvhd) の時刻を UTC ではなくカメラの時刻とみなします\n"
    "  --no-stored-rules\n"
    "                保存されているカメラの時刻補正 (リネーム画面の「時刻補正...」) を使いません。\n"
    "                使うときは、--shift と --video-local がそのカメラの保存分に優先します\n"
    "  --            オプションの終わり\n"
    "\n"
    "終了コード: すべてのファイルを予定 (または処理) できたとき 0、ファイルが見つからないとき、\n"
    "除外・失敗・中止があったとき 1、使い方の誤りや読めないパスのとき 2。\n"
    "Windows 以外では、パスは \"/\" で書き、ログにもそのまま表示します。\n";

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
    const char* phase = p.phase == TransferPhase::Verifying ? "検証中" : p.phase == TransferPhase::Moving ? "移動中" : "コピー中";
    std::fprintf(err_, "%s%zu/%zu 個のファイル、%.1f/%.1f MB、%s%s", terminal_ ? "\r" : "", p.filesDone, p.filesTotal,
                 double(p.bytesDone) / 1e6, double(p.bytesTotal) / 1e6, last ? "完了" : phase,
                 terminal_ ? "   " : "\n");
    std::fflush(err_);
  }

 private:
  std::FILE* err_;
  bool terminal_;
  bool printed_ = false;
  std::chrono::steady_clock::time_point lastPrint_;
};

// What the command line asks for, read; the photos come from the paths afterwards.
struct PlanRequest {
  RenameJob job;
  bool run = false, recursive = false, progress = false, storedRules = true;
  std::vector<std::pair<std::u16string, int64_t>> shifts;  // camera text, shift
  std::vector<std::u16string> videoLocal;                  // camera texts
  std::vector<std::u16string> paths;
};

int Usage(std::FILE* err, const std::string& message) {
  std::fprintf(err, "tessarine-cli plan: %s\n\n", message.c_str());
  std::fputs(kPlanHelp, err);
  return 2;
}

// Reads the options: -1 when the request is whole, else the exit code (0 after --help).
int ParsePlanArgs(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err, PlanRequest& request) {
  RenameJob& job = request.job;
  bool haveFolder = false, haveName = false, optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != u'-' || a == u"-") {
      request.paths.push_back(a);
    } else if (a == u"--") {
      optionsEnded = true;
    } else if (a == u"--help" || a == u"-h") {
      std::fputs(kPlanHelp, out);
      return 0;
    } else if (a == u"--run") {
      request.run = true;
    } else if (a == u"--include-imported") {
      job.includeImported = true;
    } else if (a == u"--progress") {
      request.progress = true;
    } else if (a == u"--recursive" || a == u"-r") {
      request.recursive = true;
    } else if (a == u"--no-stored-rules") {
      request.storedRules = false;
    } else if (a == u"--shift" || a == u"--video-local" || a == u"--folder" || a == u"--name" || a == u"--action" ||
               a == u"--backup-folder") {
      if (i + 1 >= args.size()) return Usage(err, ToUtf8(a) + " には値が必要です");
      const std::u16string& value = args[++i];
      if (a == u"--video-local") {
        request.videoLocal.push_back(value);
      } else if (a == u"--shift") {
        // The last "=" parts camera and shift: a model text may hold one, a shift never does.
        const size_t equals = value.rfind(u'=');
        std::optional<int64_t> shift = equals == std::u16string::npos ? std::nullopt : ParseShift(value.substr(equals + 1));
        if (!shift)
          return Usage(err, "--shift は CAMERA=[+|-][Dd]HH:MM:SS の形で指定してください (例 X-T5=+1:00:00)。'" +
                                ToUtf8(value) + "' は読めません");
        request.shifts.emplace_back(value.substr(0, equals), *shift);
      } else if (a == u"--folder") {
        job.folderTemplate = value;
        haveFolder = true;
      } else if (a == u"--backup-folder") {
        // An empty template is no backup, as the dialog's empty box is.
        job.backupFolderTemplate = value;
      } else if (a == u"--name") {
        job.nameTemplate = value;
        haveName = true;
      } else if (value == u"copy") {
        job.action = RenameAction::Copy;
      } else if (value == u"move") {
        job.action = RenameAction::Move;
      } else {
        return Usage(err, "--action は copy か move です ('" + ToUtf8(value) + "' ではありません)");
      }
    } else {
      return Usage(err, "不明なオプションです: '" + ToUtf8(a) + "'");
    }
  }
  if (!haveFolder) return Usage(err, "--folder を指定してください");
  if (!haveName) return Usage(err, "--name を指定してください");
  if (request.paths.empty()) return Usage(err, "PATH を指定してください");
  return -1;
}

// The photos of one path (a file, or a folder's files) into the job; false after a message.
bool AddPlanPath(const std::u16string& given, bool recursive, const PlanEnvironment& env, std::FILE* err, RenameJob& job) {
  // A find-first would answer the first match of a pattern as if it were the file.
  if (kWindowsPaths && given.find_first_of(u"*?") != std::u16string::npos) {
    std::fprintf(err, "tessarine-cli plan: '%s': ワイルドカードは展開しません。ファイルを 1 つずつ指定してください\n", ToUtf8(given).c_str());
    return false;
  }
  std::u16string full = env.directory.FullPath(given);
  while (full.size() > 1 && IsSeparator(full.back())) full.pop_back();
  size_t cut = full.size();
  while (cut > 0 && !IsSeparator(full[cut - 1])) --cut;
  std::u16string folder = full.substr(0, cut);
  std::optional<DirectoryEntry> entry = env.directory.Find(full);
  if (cut == 0 || !entry) {
    std::fprintf(err, "tessarine-cli plan: 見つかりません: '%s'\n", ToUtf8(given).c_str());
    return false;
  }
  auto add = [&](const DirectoryEntry& fileEntry, const std::u16string& fileFolder) {
    std::unique_ptr<FileRecord> record = MakeFileRecord(fileEntry, fileFolder, env.metadata);
    // On Windows the log writes "\" whatever the path was typed with; natively the paths
    // stay as the system writes them.
    std::u16string shownFolder = fileFolder;
    if (kWindowsPaths)
      for (char16_t& c : shownFolder)
        if (c == u'/') c = u'\\';
    job.photos.push_back({shownFolder + record->Name, *MakeRenameItem(*record, shownFolder)});
  };
  if ((entry->attributes & FILE_ATTRIBUTE_DIRECTORY_) == 0) {
    add(*entry, folder);
    return true;
  }
  // A folder (a card's DCIM\100CANON) stands for its files, as the file list shows them.
  // Its files are named with the separator the path already uses.
  std::u16string inside = full;
  if (!IsSeparator(inside.back())) inside += full[cut - 1];
  if (recursive) {
    std::vector<FolderTreeFile> tree;
    if (!ListFolderTreeFiles(env.directory, inside, full[cut - 1], tree)) {
      std::fprintf(err, "tessarine-cli plan: フォルダの一覧を読めません: '%s'\n", ToUtf8(given).c_str());
      return false;
    }
    for (const FolderTreeFile& file : tree) add(file.entry, file.folder);
    return true;
  }
  std::vector<DirectoryEntry> files;
  if (!ListFolderFiles(env.directory, inside, files)) {
    std::fprintf(err, "tessarine-cli plan: フォルダの一覧を読めません: '%s'\n", ToUtf8(given).c_str());
    return false;
  }
  for (const DirectoryEntry& file : files) add(file, inside);
  return true;
}

// The cameras' clock rules: the stored ones, then those given here over them; false after a
// message naming a camera the batch has no photo of.
bool ApplyClockOptions(const PlanRequest& request, const PlanEnvironment& env, std::FILE* err, RenameJob& job) {
  if (request.storedRules) {
    std::unique_ptr<SettingsStore> userStore = env.settings ? nullptr : MakeUserSettingsStore();
    job.clockRules = ReadClockRules(env.settings ? *env.settings : *userStore);
  }
  if (request.shifts.empty() && request.videoLocal.empty()) return true;
  std::vector<const FileRecord*> records;
  for (const RenamePhoto& photo : job.photos) records.push_back(&photo.record);
  const std::vector<CameraKey> cameras = DistinctCameras(records);
  auto named = [&](const std::u16string& text, std::vector<CameraKey>& keys) {
    keys = CamerasNamed(text, cameras);
    if (keys.empty())
      std::fprintf(err, "tessarine-cli plan: このカメラの写真がありません: '%s' (モデル名、MAKE/MODEL または * で指定します)\n",
                   ToUtf8(text).c_str());
    return !keys.empty();
  };
  std::vector<CameraKey> keys;
  for (const auto& [text, shift] : request.shifts) {
    if (!named(text, keys)) return false;
    for (const CameraKey& key : keys) {
      const ClockRule* kept = job.clockRules.Exact(key);
      job.clockRules.Set({key, shift, kept ? kept->video : VideoTime::Utc});
    }
  }
  for (const std::u16string& text : request.videoLocal) {
    if (!named(text, keys)) return false;
    for (const CameraKey& key : keys) {
      const ClockRule* kept = job.clockRules.Exact(key);
      job.clockRules.Set({key, kept ? kept->shiftSeconds : 0, VideoTime::Local});
    }
  }
  return true;
}

}  // namespace

int RunPlanCommandWith(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err,
                       const PlanEnvironment& env) {
  PlanRequest request;
  if (int code = ParsePlanArgs(args, out, err, request); code >= 0) return code;
  RenameJob& job = request.job;
  for (const std::u16string& given : request.paths)
    if (!AddPlanPath(given, request.recursive, env, err, job)) return 2;
  if (!ApplyClockOptions(request, env, err, job)) return 2;

  RecordedRenameLog log;
  FileSystem& files = env.files ? *env.files : PlatformFileSystem();
  FileTransfer& transfer = env.transfer ? *env.transfer : PlatformFileTransfer();
  ProgressPrinter printer(err, env.errIsTerminal);
  RenameRunControl control;
  control.cancel = env.cancel;
  control.journal = env.journals ? env.journals : env.files ? nullptr : &PlatformJournalFolder();
  // Looked up at the test as at the run; opened only now, when the run needs it.
  std::optional<HistoryPlace> history;
  if (!env.history && !env.files) history = PlatformHistoryPlace();
  control.history = env.history ? env.history : history ? &*history : nullptr;
  if (request.run && (request.progress || env.errIsTerminal)) control.observer = &printer;
  job.mode = request.run ? RenameMode::Real : RenameMode::Test;
  RenameOutcome outcome = RunRenameJob(job, log, files, transfer, control).outcome;
  printer.End();
  // As the dialog's テスト does: the typing slips the run passed over in silence.
  if (!request.run)
    for (const std::u16string& line : UnknownTokenLines(job)) log.lines.push_back(line);
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
