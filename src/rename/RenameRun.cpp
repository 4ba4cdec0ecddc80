#include "rename/RenameRun.h"

#include <algorithm>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "rename/RenamePhases.h"
#include "rename/SpaceCheck.h"

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

// The places in the job of the photos a real run is done with: those whose every copy
// arrived, and those found filed or in place already.
std::vector<size_t> FiledPhotos(const RenameJob& job, const Plan& plan, const CheckedBatch& checked,
                                const RunReport& report) {
  std::unordered_set<std::u16string> settled;
  for (size_t i = 0; i < checked.batch.size(); ++i)
    if (report.done[i]) settled.insert(FileSystemPathKey(checked.batch[i].source));
  for (const NameGroup& group : plan.groups)
    for (size_t i = 0; i < group.files.size() && i < group.fates.size(); ++i) {
      // Filed at its destination but still to go to the backup: settled only once it arrives there.
      const bool backupPending = i < group.backupFates.size() && group.backupFates[i] == Fate::Go;
      if ((group.fates[i] == Fate::Filed || group.fates[i] == Fate::InPlace) && !backupPending)
        settled.insert(group.files[i].sourceKey);
    }
  for (const ImportedPhoto& photo : plan.imported) settled.insert(FileSystemPathKey(job.photos[photo.listIndex].source));
  std::vector<size_t> filed;
  for (size_t i = 0; i < job.photos.size(); ++i)
    if (settled.count(FileSystemPathKey(job.photos[i].source))) filed.push_back(i);
  return filed;
}

// The volumes short of room, each with its line; none when every one has room (or cannot tell).
size_t WriteShortVolumes(const std::vector<VolumeNeed>& space, RenameLog& log) {
  size_t shortVolumes = 0;
  for (const VolumeNeed& need : space) {
    if (!need.isShort) continue;
    log.WriteLine(SpaceShortLine(need));
    ++shortVolumes;
  }
  return shortVolumes;
}

// A test ends with its summary: what the real run will do and what it will leave out.
RenameOutcome EndTest(bool copy, const Plan& plan, const CheckedBatch& checked, const std::vector<VolumeNeed>& space,
                      FileSystem& fs, RenameLog& log) {
  // A folder the real run could not write into is said now, not found out then.
  const size_t unwritable = WarnUnwritable(checked.batch, fs, log);
  // The room the run takes on each volume it writes to (a move that stays on its volume
  // takes none); of a volume the system tells nothing about, nothing can be said.
  for (const VolumeNeed& need : space)
    if (need.needed > 0 && need.known) log.WriteLine(SpaceNeededLine(need));
  const size_t shortVolumes = WriteShortVolumes(space, log);
  log.WriteLine(Summary(true, copy, checked.batch.size(), checked, plan) + ShiftedSummary(plan, nullptr));
  if (checked.trouble || unwritable || shortVolumes) {
    log.Beep();
    return RenameOutcome::Refused;
  }
  return RenameOutcome::Planned;
}

// The file work of a real run and the lines that say what came of it.
RenameOutcome Transfer(const RenameJob& job, const Plan& plan, CheckedBatch checked, FileSystem& fs,
                       FileTransfer& io, const RenameRunControl& control, RenameLog& log, SettledPhotos& settled,
                       RunHistory& history) {
  const bool copy = job.action == RenameAction::Copy;
  const char16_t* failure = copy ? kCopyFailed : kMoveFailed;
  RunReport report;
  if (!checked.batch.empty()) report = RunBatch(checked.batch, copy, fs, io, control, log, &job, &history);
  for (const std::u16string& line : report.notDone) log.WriteLine(line);
  const size_t done = static_cast<size_t>(std::count(report.done.begin(), report.done.end(), true));
  const size_t handled = done;
  // The summary counts what arrived, not what was planned.
  checked.numbered = checked.sidecars = 0;
  for (size_t i = 0; i < checked.batch.size(); ++i) {
    if (!report.done[i]) continue;
    checked.numbered += checked.batch[i].numbered;
    checked.sidecars += checked.batch[i].sidecar;
  }
  const bool failed = !report.notDone.empty() || checked.trouble > 0;
  if (!failed || handled > 0 || report.notHandled > 0)
    log.WriteLine(PadNumber(static_cast<long long>(handled), 1) + (copy ? kCopiedSuffix : kMovedSuffix));

  // The job's owner keeps only the photos not filed, so that running again retries exactly those.
  settled.filed = FiledPhotos(job, plan, checked, report);

  if (failed) log.WriteLine(failure);
  std::unordered_set<std::u16string> arrived;
  for (size_t i = 0; i < checked.batch.size(); ++i)
    if (report.done[i]) arrived.insert(FileSystemPathKey(checked.batch[i].source));
  log.WriteLine(Summary(false, copy, handled, checked, plan) + ShiftedSummary(plan, &arrived));
  // A stop ends the log with what was not done: those photos are all still at their source.
  if (report.notHandled > 0)
    log.WriteLine(kCancelledPrefix + PadNumber(static_cast<long long>(report.notHandled), 1) + kCancelledSuffix);
  if (failed) {
    log.Beep();
    return RenameOutcome::Failed;
  }
  return report.notHandled > 0 ? RenameOutcome::Cancelled : RenameOutcome::Done;
}

}  // namespace

RenameRunResult RunRenameJob(const RenameJob& job, RenameLog& log, const RenameRunControl& control) {
  return RunRenameJob(job, log, PlatformFileSystem(), PlatformFileTransfer(), control);
}

RenameRunResult RunRenameJob(const RenameJob& job, RenameLog& log, FileSystem& fs, FileTransfer& io,
                          const RenameRunControl& control) {
  log.Clear();
  RenameRunResult result;
  RunHistory history(control.history, log);
  Plan plan = PlanDestinations(job, fs, FindImported(job, history, fs));
  result.settled.withoutMetadata = plan.unfit;
  // Only photos filed before: each is named with where it went, as a run that files them would be.
  if (plan.groups.empty() && plan.imported.empty()) {
    for (const std::u16string& source : plan.dateless) log.WriteLine(kNoShotDate + source);
    for (const std::u16string& source : plan.unshiftable) log.WriteLine(texts::kRunShiftOutOfRange + source);
    log.WriteLine(kRenameNoFilesMessage);
    log.Beep();
    result.outcome = RenameOutcome::NoFiles;
    return result;
  }

  const bool copy = job.action == RenameAction::Copy;
  CheckedBatch checked = CheckBatch(plan, copy, fs);
  WritePlan(plan, job, log);
  // Every volume written to has room for all it gets, or the run does not start.
  const std::vector<VolumeNeed> space = CheckSpace(BatchSpaceDemands(checked.batch, copy, fs, io), fs);

  if (job.mode == RenameMode::Test) {
    result.outcome = EndTest(copy, plan, checked, space, fs, log);
  } else if (WriteShortVolumes(space, log) > 0) {
    // Refused before the journal and the first file: nothing to undo, nothing half-done.
    log.WriteLine(copy ? kCopyFailed : kMoveFailed);
    log.Beep();
    result.outcome = RenameOutcome::Failed;
  } else {
    result.outcome = Transfer(job, plan, checked, fs, io, control, log, result.settled, history);
  }
  return result;
}

}  // namespace tess
