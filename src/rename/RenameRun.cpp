#include "rename/RenameRun.h"

#include <unordered_map>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "rename/RenameTemplate.h"

namespace tess {

const char16_t* const kRenameNoFilesMessage = u"ファイルが見つかりません。";

namespace {

const char16_t* const kCopiedSuffix = u" 個のファイルをコピー/リネームしました。";
const char16_t* const kMovedSuffix = u" 個のファイルを移動/リネームしました。";
const char16_t* const kCopyFailed = u"ファイルのコピー/リネームに失敗しました。";
const char16_t* const kMoveFailed = u"ファイルの移動/リネームに失敗しました。";
const char16_t* const kSameAsSource = u"コピー元と同じファイルです: ";
const char16_t* const kDuplicateDestination = u"コピー先が重複しています: ";
const char16_t* const kDestinationIsSource = u"コピー先が別のファイルのコピー元です: ";
const char16_t* const kInvalidCharacter = u"コピー先に使えない文字があります: ";
const char16_t* const kDestinationTaken = u"コピー先に別のファイルがあります: ";
const char16_t* const kSourceMissing = u"コピー元が見つかりません: ";
const char16_t* const kAlreadyFiled = u"コピー先に同じファイルがあるため除外します: ";
const char16_t* const kNotCopied = u"コピーできませんでした (コピー元はそのままです): ";
const char16_t* const kNotMoved = u"移動できませんでした (コピー元はそのままです): ";
const char16_t* const kCopiedSourceStays = u"コピーされましたがコピー元が残っています: ";
const char16_t* const kVerifyFailed = u"検証に失敗しました (コピー元はそのままです): ";
const char16_t* const kCancelledPrefix = u"中止しました: ";
const char16_t* const kCancelledSuffix = u" 個のファイルは処理されていません";

std::u16string LowerAscii(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = AsciiLower(c);
  return out;
}

bool IsFolderMarker(const std::u16string& folderTemplate) {
  std::u16string lowered = LowerAscii(folderTemplate);
  return lowered == u"@folder" || lowered == u"@元のフォルダ名";
}

bool IsFileMarker(const std::u16string& nameTemplate) {
  std::u16string lowered = LowerAscii(nameTemplate);
  return lowered == u"@file" || lowered == u"@元のファイル名";
}

std::u16string DestinationFolder(const std::u16string& folderTemplate, const TExifFilesToListItem& entry, int sequence) {
  const std::u16string& source = entry.ExpandFolder;
  if (IsFolderMarker(folderTemplate)) return source;
  if (!folderTemplate.empty() && folderTemplate[0] == u'\\')
    return ExpandRenameTemplate(source.substr(0, 2) + folderTemplate, u"", entry, sequence);
  if (folderTemplate.size() >= 3 && folderTemplate[1] == u':' && folderTemplate[2] == u'\\')
    return ExpandRenameTemplate(folderTemplate, u"", entry, sequence);
  return ExpandRenameTemplate(folderTemplate, source, entry, sequence);
}

std::u16string DestinationName(const std::u16string& nameTemplate, const TExifFilesToListItem& entry, int sequence) {
  if (IsFileMarker(nameTemplate)) return entry.Name;
  return ExpandRenameTemplate(nameTemplate, u"", entry, sequence) + NameExtension(entry.Name);
}

bool HasControlCharacter(const std::u16string& path) {
  for (char16_t c : path)
    if (c < 0x20) return true;
  return false;
}

// ---- Plan: every destination, and the log's pairs ----

// Builds the destination of every source with metadata and logs each pair; the sources
// and entries without metadata leave both lists. Parallel to `sources` afterwards.
std::vector<std::u16string> PlanDestinations(const RenameRunSettings& settings, TRenameSourceList& sources,
                                             TExifFilesToList& entries, RenameLog& log) {
  std::vector<std::u16string> destinations;
  int sequence = 0;
  for (size_t i = 0; i < sources.size();) {
    // The two lists are parallel; a shorter entry list ends the walk rather than the program.
    if (static_cast<int>(i) >= entries.Count()) {
      sources.resize(i);
      break;
    }
    TExifFilesToListItem* entry = entries.Get(static_cast<int>(i));
    if (!entry->IsExifExist) {
      sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
      entries.Delete(static_cast<int>(i));
      continue;
    }
    ++sequence;
    std::u16string folder = DestinationFolder(settings.folderTemplate, *entry, sequence);
    std::u16string name = DestinationName(settings.nameTemplate, *entry, sequence);
    std::u16string destination = folder;
    if (destination.empty() || destination.back() != u'\\') destination += u'\\';
    destination += name;
    destinations.push_back(destination);
    log.WriteLine(sources[i]);
    log.WriteLine(destination);
    log.WriteLine(u"");
    ++i;
  }
  return destinations;
}

// ---- Check: the safety rules, before any file is touched ----

struct Pair {
  std::u16string source;
  std::u16string destination;
  bool samePath = false;  // a case-only rename: the source's path names the destination itself
};

struct CheckedBatch {
  std::vector<std::u16string> lines;  // refusals and already-filed photos, in the order of the pairs
  bool refused = false;               // some destination would lose or overwrite a file
  std::vector<Pair> batch;            // what is copied or moved
  size_t inPlace = 0;                 // moves whose file already has its destination path
};

// Refuses every destination that would overwrite a file of the batch, the file itself or a
// file already on disk, before any file is touched, so that a batch either goes whole or
// not at all and no photo can be lost to another. A file moved to the very path it has is already where
// it belongs, and a destination that holds the same bytes as its source is a photo filed
// before: both stay out of the batch. The disk is asked once per pair that passes the
// batch's own rules; bytes are compared only when a file of that name exists.
CheckedBatch CheckBatch(const TRenameSourceList& sources, const std::vector<std::u16string>& destinations, bool copy,
                        FileSystem& fs) {
  CheckedBatch checked;
  auto refuse = [&](std::u16string line) {
    checked.lines.push_back(std::move(line));
    checked.refused = true;
  };
  std::vector<std::u16string> sourceKey;
  std::unordered_map<std::u16string, size_t> sourceKeys;
  for (size_t i = 0; i < sources.size(); ++i) {
    sourceKey.push_back(FileSystemPathKey(sources[i]));
    sourceKeys.emplace(sourceKey.back(), i);
  }
  std::unordered_map<std::u16string, size_t> destinationKeys;
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::u16string& source = sources[i];
    const std::u16string& destination = destinations[i];
    std::u16string key = FileSystemPathKey(destination);
    const bool firstUse = destinationKeys.emplace(key, i).second;
    if (HasControlCharacter(destination)) {
      refuse(kInvalidCharacter + source);
      continue;
    }
    const bool sameFile = key == sourceKey[i];
    if (sameFile) {
      if (copy) {
        refuse(kSameAsSource + source);
        continue;
      }
      // The same name spelled another way is already in place; a change of letter case
      // alone is a real rename.
      if (firstUse && FileSystemPath(destination) == FileSystemPath(source)) {
        ++checked.inPlace;
        continue;
      }
    }
    if (!firstUse) {
      refuse(kDuplicateDestination + destination);
      continue;
    }
    auto other = sourceKeys.find(key);
    if (other != sourceKeys.end() && !sameFile) {
      refuse(kDestinationIsSource + destination);
      continue;
    }
    if (!sameFile && fs.Exists(destination)) {
      if (fs.SameContent(source, destination)) {
        checked.lines.push_back(kAlreadyFiled + destination);
      } else if (!fs.Exists(source)) {
        // Most likely moved there by an earlier run: nothing to do, and nothing to replace.
        refuse(kSourceMissing + source);
      } else {
        refuse(kDestinationTaken + destination);
      }
      continue;
    }
    checked.batch.push_back({source, destination, sameFile});
  }
  return checked;
}

// ---- Run: every file copied and verified, or renamed ----

struct RunReport {
  size_t done = 0;
  size_t notHandled = 0;                // left alone by a cancel
  std::vector<std::u16string> notDone;  // one line per pair that did not arrive whole
};

// Every pair's outcome comes from the copy itself: a pair is done only once its copy was
// read back and matched its source (or it was renamed within its volume), and a move's
// source went only after that. Whatever did not arrive left no partial file behind and its
// source where it was; the folders the batch created and left empty are gone.
RunReport RunBatch(const std::vector<Pair>& batch, bool copy, FileSystem& fs, FileTransfer& io,
                   const RenameRunControl& control) {
  std::vector<TransferPair> pairs;
  pairs.reserve(batch.size());
  for (const Pair& p : batch) pairs.push_back({p.source, p.destination});
  TransferOptions options;
  options.observer = control.observer;
  options.cancel = control.cancel;
  std::vector<PairResult> results =
      TransferFiles(pairs, copy ? TransferAction::Copy : TransferAction::Move, fs, io, options);

  RunReport report;
  for (size_t i = 0; i < batch.size(); ++i) {
    const std::u16string& source = batch[i].source;
    switch (results[i]) {
      case PairResult::Done: ++report.done; break;
      case PairResult::NotStarted:
      case PairResult::Cancelled: ++report.notHandled; break;
      case PairResult::VerifyFailed: report.notDone.push_back(kVerifyFailed + source); break;
      // Both whole: nothing lost, nothing removed; a second run finds the copy filed.
      case PairResult::SourceStays: report.notDone.push_back(kCopiedSourceStays + source); break;
      case PairResult::ReadFailed:
      case PairResult::WriteFailed:
      case PairResult::DestinationTaken: report.notDone.push_back((copy ? kNotCopied : kNotMoved) + source); break;
    }
  }
  return report;
}

}  // namespace

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, RenameLog& log, const RenameRunControl& control) {
  return DoExifRename(settings, sources, entries, isSkipCopy, log, PlatformFileSystem(), PlatformFileTransfer(),
                      control);
}

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, RenameLog& log, FileSystem& fs, FileTransfer& io,
                           const RenameRunControl& control) {
  log.Clear();
  std::vector<std::u16string> destinations = PlanDestinations(settings, sources, entries, log);
  if (sources.empty()) {
    log.WriteLine(kRenameNoFilesMessage);
    log.Beep();
    return RenameOutcome::NoFiles;
  }

  const bool copy = settings.actionIndex <= 0;
  const char16_t* failure = copy ? kCopyFailed : kMoveFailed;
  CheckedBatch checked = CheckBatch(sources, destinations, copy, fs);
  for (const std::u16string& line : checked.lines) log.WriteLine(line);
  if (checked.refused) {
    if (!isSkipCopy) log.WriteLine(failure);
    log.Beep();
    return RenameOutcome::Refused;
  }

  if (isSkipCopy) return RenameOutcome::Planned;

  RunReport report;
  if (!checked.batch.empty()) report = RunBatch(checked.batch, copy, fs, io, control);
  for (const std::u16string& line : report.notDone) log.WriteLine(line);
  const size_t handled = report.done + checked.inPlace;
  if (report.notDone.empty() || handled > 0 || report.notHandled > 0)
    log.WriteLine(PadNumber(static_cast<long long>(handled), 1) + (copy ? kCopiedSuffix : kMovedSuffix));
  if (report.notHandled > 0)
    log.WriteLine(kCancelledPrefix + PadNumber(static_cast<long long>(report.notHandled), 1) + kCancelledSuffix);
  if (!report.notDone.empty()) {
    log.WriteLine(failure);
    log.Beep();
    return RenameOutcome::Failed;
  }
  return report.notHandled > 0 ? RenameOutcome::Cancelled : RenameOutcome::Done;
}

}  // namespace tess
