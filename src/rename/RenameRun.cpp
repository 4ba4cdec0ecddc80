#include "rename/RenameRun.h"

#include <new>
#include <unordered_map>

#include "platform/Text.h"
#include "rename/BatchCopyMove.h"
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

std::u16string Pack(const std::vector<std::u16string>& paths) {
  std::u16string packed;
  for (const std::u16string& p : paths) {
    packed += p;
    packed += u'\0';
  }
  packed += u'\0';
  return packed;
}

}  // namespace

std::u16string FileSystemPath(const std::u16string& path) {
  // A leading "\\" (a network path) keeps both separators; its server and share, like a
  // drive, are never climbed out of.
  std::u16string root;
  size_t i = 0;
  auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) {
    root = u"\\\\";
    i = 2;
  }
  std::vector<std::u16string> segments;
  size_t fixed = 0;
  while (i <= path.size()) {
    size_t end = i;
    while (end < path.size() && !separator(path[end])) ++end;
    std::u16string segment = path.substr(i, end - i);
    i = end + 1;
    if (segment.empty() || segment == u".") continue;
    if (segment == u"..") {
      if (segments.size() > fixed) segments.pop_back();
      continue;
    }
    segments.push_back(std::move(segment));
    if (segments.size() == 1 && (!root.empty() || segments[0].back() == u':')) fixed = root.empty() ? 1 : 2;
  }
  // Windows drops the dots and blanks that end the last name.
  if (!segments.empty()) {
    std::u16string& last = segments.back();
    while (!last.empty() && (last.back() == u'.' || last.back() == u' ')) last.pop_back();
    if (last.empty()) segments.pop_back();
  }
  std::u16string out = root;
  for (size_t s = 0; s < segments.size(); ++s) {
    if (s > 0) out += u'\\';
    out += segments[s];
  }
  return out;
}

std::u16string FileSystemPathKey(const std::u16string& path) {
  std::u16string key = FileSystemPath(path);
  for (char16_t& c : key) c = UpperCaseLetter(c);
  return key;
}

RenameOutcome DoExifRename(const RenameRunSettings& settings, TRenameSourceList& sources, TExifFilesToList& entries,
                           bool isSkipCopy, ShellServices& shell, WindowHandle owner, RenameLog& log) {
  log.Clear();
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

  if (sources.empty()) {
    log.WriteLine(kRenameNoFilesMessage);
    log.Beep();
    return RenameOutcome::NoFiles;
  }

  const bool copy = settings.actionIndex <= 0;
  const char16_t* failure = copy ? kCopyFailed : kMoveFailed;

  // Refuse every destination that would overwrite a file of the batch or the file itself,
  // so that the shell never has to ask and a yes can never lose a photo. A file moved to
  // the very path it has is already where it belongs and stays out of the batch.
  std::unordered_map<std::u16string, size_t> sourceKeys;
  for (size_t i = 0; i < sources.size(); ++i) sourceKeys.emplace(FileSystemPathKey(sources[i]), i);
  std::unordered_map<std::u16string, size_t> destinationKeys;
  std::vector<std::u16string> problems;
  std::vector<std::u16string> batchFrom, batchTo;
  for (size_t i = 0; i < sources.size(); ++i) {
    const std::u16string& destination = destinations[i];
    std::u16string key = FileSystemPathKey(destination);
    bool firstUse = destinationKeys.emplace(key, i).second;
    if (HasControlCharacter(destination)) {
      problems.push_back(kInvalidCharacter + sources[i]);
      continue;
    }
    if (key == FileSystemPathKey(sources[i])) {
      if (copy) {
        problems.push_back(kSameAsSource + sources[i]);
        continue;
      }
      // The same name spelled another way is already in place; a change of letter case
      // alone is a real rename.
      if (firstUse && FileSystemPath(destination) == FileSystemPath(sources[i])) continue;
    }
    if (!firstUse) {
      problems.push_back(kDuplicateDestination + destination);
      continue;
    }
    auto other = sourceKeys.find(key);
    if (other != sourceKeys.end() && FileSystemPathKey(sources[other->second]) != FileSystemPathKey(sources[i])) {
      problems.push_back(kDestinationIsSource + destination);
      continue;
    }
    batchFrom.push_back(sources[i]);
    batchTo.push_back(destination);
  }
  if (!problems.empty()) {
    for (const std::u16string& line : problems) log.WriteLine(line);
    if (!isSkipCopy) log.WriteLine(failure);
    log.Beep();
    return RenameOutcome::Refused;
  }

  std::u16string packedFrom, packedTo;
  try {
    packedFrom = Pack(batchFrom);
    packedTo = Pack(batchTo);
  } catch (const std::bad_alloc&) {
    log.WriteLine(failure);
    return RenameOutcome::PackFailed;
  }

  if (isSkipCopy) return RenameOutcome::Planned;

  bool ok = batchFrom.empty() ||
            BatchCopyMove(shell, owner, packedFrom, packedTo, copy ? BatchOperation::Copy : BatchOperation::Move);
  if (!ok) {
    log.WriteLine(failure);
    log.Beep();
    return RenameOutcome::Failed;
  }
  log.WriteLine(PadNumber(static_cast<long long>(sources.size()), 1) + (copy ? kCopiedSuffix : kMovedSuffix));
  return RenameOutcome::Done;
}

}  // namespace tess
