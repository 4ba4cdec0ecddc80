#include "rename/RenameRun.h"

#include <algorithm>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/RenamePhases.h"

namespace tess {

const char16_t* const kRenameNoFilesMessage = texts::kRunNoFiles;

using namespace phases;

namespace {

const char16_t* const kCopiedSuffix = texts::kRunCopiedSuffix;
const char16_t* const kMovedSuffix = texts::kRunMovedSuffix;
const char16_t* const kCopyFailed = texts::kRunCopyFailed;
const char16_t* const kMoveFailed = texts::kRunMoveFailed;
const char16_t* const kNoShotDate = texts::kRunNoShotDate;
const char16_t* const kCancelledPrefix = texts::kRunCancelledPrefix;
const char16_t* const kCancelledSuffix = texts::kRunCancelledSuffix;

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
  Plan plan = PlanDestinations(settings, sources, entries, fs);
  if (plan.groups.empty()) {
    for (const std::u16string& source : plan.dateless) log.WriteLine(kNoShotDate + source);
    log.WriteLine(kRenameNoFilesMessage);
    log.Beep();
    return RenameOutcome::NoFiles;
  }

  const bool copy = settings.actionIndex <= 0;
  const char16_t* failure = copy ? kCopyFailed : kMoveFailed;
  CheckedBatch checked = CheckBatch(plan, copy, fs);
  WritePlan(plan, sources, log);

  if (isSkipCopy) {
    log.WriteLine(Summary(true, copy, checked.batch.size() + checked.inPlace, checked, plan));
    if (checked.trouble) {
      log.Beep();
      return RenameOutcome::Refused;
    }
    return RenameOutcome::Planned;
  }

  RunReport report;
  if (!checked.batch.empty()) report = RunBatch(checked.batch, copy, fs, io, control, log);
  for (const std::u16string& line : report.notDone) log.WriteLine(line);
  const size_t done = static_cast<size_t>(std::count(report.done.begin(), report.done.end(), true));
  const size_t handled = done + checked.inPlace;
  const bool failed = !report.notDone.empty() || checked.trouble > 0;
  if (!failed || handled > 0 || report.notHandled > 0)
    log.WriteLine(PadNumber(static_cast<long long>(handled), 1) + (copy ? kCopiedSuffix : kMovedSuffix));

  // The lists keep only the photos not filed, so that running again retries exactly those.
  std::unordered_set<std::u16string> settled;
  for (size_t i = 0; i < checked.batch.size(); ++i)
    if (report.done[i]) settled.insert(FileSystemPathKey(checked.batch[i].source));
  for (const NameGroup& group : plan.groups)
    for (size_t i = 0; i < group.files.size() && i < group.fates.size(); ++i)
      if (group.fates[i] == Fate::Filed || group.fates[i] == Fate::InPlace) settled.insert(group.files[i].sourceKey);
  for (size_t i = sources.size(); i-- > 0;) {
    if (static_cast<int>(i) < entries.Count() && settled.count(FileSystemPathKey(sources[i]))) {
      sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
      entries.Delete(static_cast<int>(i));
    }
  }

  if (failed) log.WriteLine(failure);
  log.WriteLine(Summary(false, copy, handled, checked, plan));
  // A stop ends the log with what was not done: those photos are all still at their source.
  if (report.notHandled > 0)
    log.WriteLine(kCancelledPrefix + PadNumber(static_cast<long long>(report.notHandled), 1) + kCancelledSuffix);
  if (failed) {
    log.Beep();
    return RenameOutcome::Failed;
  }
  return report.notHandled > 0 ? RenameOutcome::Cancelled : RenameOutcome::Done;
}

}  // namespace tess
