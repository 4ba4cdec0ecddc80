// `tessarine-cli info PATH...`: each photo's EXIF dates, make and model as TSV.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/Cli.h"
#include "browse/FolderFiles.h"
#include "cli/InfoFormat.h"
#include "browse/FileRecords.h"
#include "exif/Exif.h"
#include "exif/ExifErrors.h"
#include "platform/DateTime.h"
#include "platform/DirectoryList.h"
#include "platform/Text.h"

namespace tess {
namespace {

const char kInfoUsage[] =
    "使い方: tessarine-cli info PATH...\n"
    "\n"
    "各ファイルの Exif 情報をファイル一覧と同じように読み、TSV で表示します: 見出しの行\n"
    "  path  exif  datetime  original  digitized  shot  make  model  offset\n"
    "に続けて、指定の順に 1 ファイル 1 行。フォルダはその中のファイルを表します (1 階層、\n"
    "ファイル一覧の表示順: 名前順、ASCII の英字は大文字小文字を区別しない)。\n"
    "  exif       1 = JPEG・PSD・TIFF を読んだ、または日時かカメラの文字のある HEIF・CR3・\n"
    "             動画・PNG・WebP のファイル。0 = そのどれでもない。\n"
    "             E = 読み取りがファイルを拒んだ (そのメッセージは標準エラーへ)\n"
    "  日時       yyyy/mm/dd hh:nn:ss.zzz。ないときや不正なときは空\n"
    "  shot       original、なければ datetime、なければ digitized\n"
    "  make/model UTF-8。タブ・改行・CR などの制御文字は \\t \\n \\r \\0 \\xNN、\n"
    "             バックスラッシュは \\\\ と書きます\n"
    "  offset     撮影時のタイムゾーン (Exif OffsetTimeOriginal、例 +09:00)。日時は記録どおり\n"
    "終了コード: 0。PATH がまったく読めないとき (ない、読めない) は 1。\n";

std::string DateField(double value) { return value > 0 ? ToUtf8(FormatDateTime(value, true)) : std::string(); }

}  // namespace

std::string InfoHeaderLine() { return "path\texif\tdatetime\toriginal\tdigitized\tshot\tmake\tmodel\toffset\n"; }

std::string EscapeInfoText(std::u16string_view text) {
  std::string out;
  size_t runStart = 0;
  auto flush = [&](size_t end) {
    if (end > runStart) out += ToUtf8(text.substr(runStart, end - runStart));
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0x20 && c != 0x7F && c != u'\\') continue;
    flush(i);
    runStart = i + 1;
    switch (c) {
      case u'\\': out += "\\\\"; break;
      case u'\t': out += "\\t"; break;
      case u'\n': out += "\\n"; break;
      case u'\r': out += "\\r"; break;
      case 0: out += "\\0"; break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(c));
        out += buf;
      }
    }
  }
  flush(text.size());
  return out;
}

std::string FormatInfoRow(const InfoRow& row) {
  const bool loaded = row.state == InfoExifState::Loaded;
  double shot = -700000.0;
  for (double v : {row.original, row.dateTime, row.digitized}) {
    if (v > 0) {
      shot = v;
      break;
    }
  }
  std::string line = ToUtf8(row.path);
  line += row.state == InfoExifState::Loaded ? "\t1" : row.state == InfoExifState::NotRecognised ? "\t0" : "\tE";
  for (double v : {row.dateTime, row.original, row.digitized, shot}) line += "\t" + (loaded ? DateField(v) : "");
  line += "\t" + (loaded ? EscapeInfoText(row.make) : "");
  line += "\t" + (loaded ? EscapeInfoText(row.model) : "");
  line += "\t" + (loaded ? EscapeInfoText(row.offset) : "");
  return line + "\n";
}

namespace {

// The file list's own metadata source, watched: the record fill swallows a reader's
// failure (the list shows such a file without values), but `info` reports it, and prints
// DateTimeOriginal as read, before the record's shot-date fallback replaces it.
class WatchedSource final : public MetadataSource {
 public:
  struct Outcome {
    bool openFailed = false;
    std::string error;
    TDateTime original = -700000.0;
    std::u16string offset;
  };

  std::unique_ptr<MetadataReader> CreateReader() override {
    outcome_ = Outcome{};
    return std::make_unique<Reader>(ExifMetadataSource().CreateReader(), outcome_);
  }
  const Outcome& outcome() const { return outcome_; }

 private:
  class Reader final : public MetadataReader {
   public:
    Reader(std::unique_ptr<MetadataReader> inner, Outcome& outcome) : inner_(std::move(inner)), outcome_(outcome) {}
    bool LoadFromGraphic(const std::u16string& path) override {
      try {
        const bool loaded = inner_->LoadFromGraphic(path);
        if (loaded) outcome_.offset = inner_->OffsetTimeOriginal();
        return loaded;
      } catch (const EFOpenError& e) {
        outcome_.openFailed = true;
        outcome_.error = e.what();
        throw;
      } catch (const std::exception& e) {
        outcome_.error = e.what();
        throw;
      }
    }
    TDateTime DateTime() override { return inner_->DateTime(); }
    TDateTime DateTimeOriginal() override { return outcome_.original = inner_->DateTimeOriginal(); }
    TDateTime DateTimeDigitized() override { return inner_->DateTimeDigitized(); }
    std::u16string CameraModel() override { return inner_->CameraModel(); }
    std::u16string CameraMake() override { return inner_->CameraMake(); }

   private:
    std::unique_ptr<MetadataReader> inner_;
    Outcome& outcome_;
  };
  Outcome outcome_;
};

bool IsSeparator(char16_t c) { return IsPathSeparator(c, kNativeWindowsPaths); }
constexpr char16_t kSeparator = kNativeWindowsPaths ? u'\\' : u'/';

}  // namespace

int RunInfoCommand(const std::vector<std::u16string>& args, std::FILE* out, std::FILE* err) {
  for (const auto& a : args) {
    if (a == u"--help" || a == u"-h") {
      std::fputs(kInfoUsage, out);
      return 0;
    }
  }
  if (args.empty()) {
    std::fputs(kInfoUsage, err);
    return 2;
  }
  int status = 0;
  DirectoryLister& lister = PlatformDirectoryLister();
  WatchedSource source;
  std::fputs(InfoHeaderLine().c_str(), out);
  auto cannotRead = [&](const std::u16string& path, const std::string& why) {
    std::fprintf(err, "%s: %s\n", ToUtf8(path).c_str(), why.c_str());
    status = 1;
  };
  // One record, as the file list builds it for an entry of folder.
  auto readOne = [&](const std::u16string& path, const std::u16string& folder, DirectoryEntry entry) {
    entry.name = path.substr(folder.size());
    std::unique_ptr<FileRecord> record = MakeFileRecord(entry, folder, source);
    const WatchedSource::Outcome& outcome = source.outcome();
    if (outcome.openFailed) {
      cannotRead(path, outcome.error);
      return;
    }
    InfoRow row;
    row.path = path;
    if (record->HasMetadata) {
      row.state = InfoExifState::Loaded;
      row.dateTime = record->ExifDateTime;
      row.original = outcome.original;
      row.digitized = record->ExifDateTimeDigitized;
      row.make = record->ExifCameraMake;
      row.model = record->ExifCameraModel;
      row.offset = outcome.offset;
    } else if (!outcome.error.empty()) {
      row.state = InfoExifState::Failed;
      std::fprintf(err, "%s: %s\n", ToUtf8(path).c_str(), outcome.error.c_str());
    }
    std::fputs(FormatInfoRow(row).c_str(), out);
  };
  for (const auto& path : args) {
    // A path the listing cannot find is still handed to the reader, whose open error
    // says why it cannot be read.
    // A find-first takes "Z:\photos\" for nothing: the folder is looked up without its
    // trailing separator.
    std::u16string bare = path;
    while (bare.size() > 1 && IsSeparator(bare.back()) && !(bare.size() == 3 && bare[1] == u':')) bare.pop_back();
    std::optional<DirectoryEntry> entry = lister.Find(bare);
    if (!entry && bare.size() <= 3 && IsSeparator(bare.back())) entry = DirectoryEntry{u"", FILE_ATTRIBUTE_DIRECTORY_};
    if (!entry) entry = DirectoryEntry{};
    if ((entry->attributes & FILE_ATTRIBUTE_DIRECTORY_) == 0) {
      size_t cut = path.size();
      while (cut > 0 && !IsSeparator(path[cut - 1]) && !(cut == 2 && path[1] == u':')) --cut;
      readOne(path, path.substr(0, cut), *entry);
      continue;
    }
    std::u16string folder = path;
    if (folder.empty() || !IsSeparator(folder.back())) folder += kSeparator;
    std::vector<DirectoryEntry> files;
    if (!ListFolderFiles(lister, folder, files)) {
      cannotRead(path, "フォルダの一覧を読めません");
      continue;
    }
    for (const DirectoryEntry& e : files) readOne(folder + e.name, folder, e);
  }
  return status;
}

}  // namespace tess
