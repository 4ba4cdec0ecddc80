#include "rename/RenameRun.h"

#include <new>
#include <optional>
#include <unordered_map>

#include "platform/DestinationFolders.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/BatchCopyMove.h"
#include "rename/RenameTemplate.h"

namespace tess {

const char16_t* const kRenameNoFilesMessage = texts::kRunNoFiles;

namespace {

const char16_t* const kCopiedSuffix = texts::kRunCopiedSuffix;
const char16_t* const kMovedSuffix = texts::kRunMovedSuffix;
const char16_t* const kCopyFailed = texts::kRunCopyFailed;
const char16_t* const kMoveFailed = texts::kRunMoveFailed;
const char16_t* const kSameAsSource = texts::kRunSameAsSource;
const char16_t* const kDuplicateDestination = texts::kRunDuplicateDestination;
const char16_t* const kDestinationIsSource = texts::kRunDestinationIsSource;
const char16_t* const kInvalidCharacter = texts::kRunInvalidCharacter;
const char16_t* const kDestinationTaken = texts::kRunDestinationTaken;
const char16_t* const kSourceMissing = texts::kRunSourceMissing;
const char16_t* const kAlreadyFiled = texts::kRunAlreadyFiled;
const char16_t* const kNotCopied = texts::kRunNotCopied;
const char16_t* const kNotMoved = texts::kRunNotMoved;
const char16_t* const kCopiedSourceStays = texts::kRunCopiedSourceStays;
const char16_t* const kNotMovedSourceGone = texts::kRunNotMovedSourceGone;

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

// ---- Check: the safety rules, before anything is handed to the shell ----

struct Pair {
  std::u16string source;
  std::u16string destination;
  bool samePath = false;  // a case-only rename: the source's path names the destination itself
};

struct CheckedBatch {
  std::vector<std::u16string> lines;  // refusals and already-filed photos, in the order of the pairs
  bool refused = false;               // some destination would lose or overwrite a file
  std::vector<Pair> batch;            // what goes to the shell
  size_t inPlace = 0;                 // moves whose file already has its destination path
};

// Refuses every destination that would overwrite a file of the batch, the file itself or a
// file already on disk, so that the shell never has to ask (Wine's does not: it replaces)
// and a yes can never lose a photo. A file moved to the very path it has is already where
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

// ---- Run: the shell, then what really happened ----

struct RunReport {
  size_t done = 0;
  std::vector<std::u16string> notDone;  // one line per pair that did not arrive whole
};

// Hands the batch to the shell and then looks at every pair, whatever the shell returned:
// a pair is done when its destination has the source's size and, for a move, the source is
// gone. A short destination that this batch created is removed while its source is still
// whole (no broken copy may pass for a photo), and so is every folder the batch created
// that stays empty.
RunReport RunBatch(const std::vector<Pair>& batch, const std::u16string& packedFrom, const std::u16string& packedTo,
                   bool copy, ShellServices& shell, WindowHandle owner, FileSystem& fs) {
  std::vector<std::u16string> to;
  std::vector<std::optional<uint64_t>> sizes;
  for (const Pair& p : batch) {
    to.push_back(p.destination);
    sizes.push_back(fs.FileSize(p.source));
  }
  std::vector<std::u16string> newFolders = PlanMissingFolders(to, fs);
  // What the shell answers is not trusted either way (Wine's returns 0 after a full disk):
  // the disk tells.
  BatchCopyMove(shell, owner, packedFrom, packedTo, copy ? BatchOperation::Copy : BatchOperation::Move);

  RunReport report;
  for (size_t i = 0; i < batch.size(); ++i) {
    const Pair& p = batch[i];
    std::optional<uint64_t> arrived = fs.FileSize(p.destination);
    const bool samePath = p.samePath;
    // Only a move asks whether its source went.
    const bool sourceStays = !copy && !samePath && fs.Exists(p.source);
    if (sizes[i] && arrived == sizes[i] && (copy || !sourceStays)) {
      ++report.done;
      continue;
    }
    const bool sourceWhole = !samePath && sizes[i] && fs.FileSize(p.source) == sizes[i];
    if (arrived && arrived != sizes[i] && sourceWhole) fs.RemoveFile(p.destination);
    if (copy)
      report.notDone.push_back(kNotCopied + p.source);
    else if (sizes[i] && arrived == sizes[i])
      report.notDone.push_back(kCopiedSourceStays + p.source);  // both whole: nothing lost, nothing removed
    else
      report.notDone.push_back((sourceStays || samePath ? kNotMoved : kNotMovedSourceGone) + p.source);
  }
  for (auto it = newFolders.rbegin(); it != newFolders.rend(); ++it) fs.RemoveEmptyFolder(*it);
  return report;
}

}  // namespace

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, ShellServices& shell, WindowHandle owner, RenameLog& log) {
  return DoExifRename(settings, sources, entries, isSkipCopy, shell, owner, log, PlatformFileSystem());
}

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, ShellServices& shell, WindowHandle owner, RenameLog& log, FileSystem& fs) {
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

  std::u16string packedFrom, packedTo;
  try {
    std::vector<std::u16string> from, to;
    for (const Pair& p : checked.batch) {
      from.push_back(p.source);
      to.push_back(p.destination);
    }
    packedFrom = PackPaths(from);
    packedTo = PackPaths(to);
  } catch (const std::bad_alloc&) {
    log.WriteLine(failure);
    return RenameOutcome::PackFailed;
  }
  if (isSkipCopy) return RenameOutcome::Planned;

  RunReport report;
  if (!checked.batch.empty()) report = RunBatch(checked.batch, packedFrom, packedTo, copy, shell, owner, fs);
  for (const std::u16string& line : report.notDone) log.WriteLine(line);
  const size_t handled = report.done + checked.inPlace;
  if (report.notDone.empty() || handled > 0)
    log.WriteLine(PadNumber(static_cast<long long>(handled), 1) + (copy ? kCopiedSuffix : kMovedSuffix));
  if (!report.notDone.empty()) {
    log.WriteLine(failure);
    log.Beep();
    return RenameOutcome::Failed;
  }
  return RenameOutcome::Done;
}

}  // namespace tess
