#include "rename/RenamePhases.h"

#include <algorithm>
#include <unordered_set>

#include "platform/Text.h"
#include "platform/UiTexts.h"

namespace tess::phases {

namespace {

const char16_t* const kNoShotDate = texts::kRunNoShotDate;
const char16_t* const kAlreadyFiled = texts::kRunAlreadyFiled;
const char16_t* const kItself = texts::kRunItself;

std::u16string Count(size_t n) { return PadNumber(static_cast<long long>(n), 1) + texts::kSummaryCount; }

// "取り込み済みのため除外します: <source> (<when> → <where>)", the date as the log's others.
std::u16string ImportedLine(const std::u16string& source, const FoundImport& found) {
  std::u16string when = found.filedAt;
  for (size_t i = 0; i < when.size() && i < 10; ++i)
    if (when[i] == u'-') when[i] = u'/';
  return texts::kRunImported + source + u" (" + when + u" → " + found.destination + u")";
}

}  // namespace

// The last line of a run: what went (or goes), and what was left out and why.
std::u16string Summary(bool test, bool copy, size_t handled, const CheckedBatch& checked, const Plan& plan) {
  std::u16string verb = copy ? texts::kSummaryCopy : texts::kSummaryMove;
  std::u16string line = test ? texts::kSummaryTest + verb + texts::kSummaryPlanned : texts::kSummary + verb + u" ";
  line += Count(handled);
  std::u16string detail;
  if (checked.numbered) detail += texts::kSummaryNumbered + Count(checked.numbered);
  if (checked.sidecars) detail += std::u16string(detail.empty() ? u"" : texts::kSummarySeparator) + std::u16string(texts::kSummarySidecars) + Count(checked.sidecars);
  if (!detail.empty()) line += u" (" + detail + u")";
  if (checked.filed) line += texts::kSummaryFiled + Count(checked.filed);
  if (checked.inPlace) line += texts::kSummaryItself + Count(checked.inPlace);
  if (!plan.imported.empty()) line += texts::kSummaryImported + Count(plan.imported.size());
  const size_t leftOut = plan.withoutMetadata + plan.dateless.size() + plan.unshiftable.size() + checked.trouble;
  if (leftOut) {
    std::u16string why;
    auto add = [&](const char16_t* reason, size_t n) {
      if (!n) return;
      if (!why.empty()) why += texts::kSummarySeparator;
      why += reason + Count(n);
    };
    add(texts::kSummaryNoMetadata, plan.withoutMetadata);
    add(texts::kSummaryNoDate, plan.dateless.size());
    add(texts::kSummaryShiftOutOfRange, plan.unshiftable.size());
    add(texts::kSummaryTrouble, checked.trouble);
    line += texts::kSummaryLeftOut + Count(leftOut) + u" (" + why + u")";
  }
  return line;
}

// Writes the pairs and the lines of the photos left out, in the order of the job.
void WritePlan(const Plan& plan, const RenameJob& job, RenameLog& log) {
  std::vector<const NameGroup*> listed;
  for (const NameGroup& group : plan.groups) listed.push_back(&group);
  std::stable_sort(listed.begin(), listed.end(),
                   [](const NameGroup* a, const NameGroup* b) { return a->firstListed < b->firstListed; });
  std::unordered_set<std::u16string> dateless(plan.dateless.begin(), plan.dateless.end());
  std::unordered_set<std::u16string> unshiftable(plan.unshiftable.begin(), plan.unshiftable.end());
  size_t next = 0;
  size_t nextImported = 0;  // plan.imported is in the job's order
  auto writeLeftOutBefore = [&](int listIndex) {
    for (; next < job.photos.size() && static_cast<int>(next) < listIndex; ++next) {
      if (dateless.count(job.photos[next].source)) log.WriteLine(kNoShotDate + job.photos[next].source);
      if (unshiftable.count(job.photos[next].source)) log.WriteLine(texts::kRunShiftOutOfRange + job.photos[next].source);
      if (nextImported < plan.imported.size() && plan.imported[nextImported].listIndex == next) {
        log.WriteLine(ImportedLine(job.photos[next].source, plan.imported[nextImported].found));
        ++nextImported;
      }
    }
  };
  for (const NameGroup* group : listed) {
    writeLeftOutBefore(group->firstListed);
    if (!group->trouble.empty()) {
      log.WriteLine(group->trouble);
      continue;
    }
    for (size_t i = 0; i < group->files.size(); ++i) {
      const bool toBackup = i < group->backupFates.size() && group->backupFates[i] == Fate::Go;
      if (group->fates[i] == Fate::Filed && !toBackup) {
        log.WriteLine(kAlreadyFiled + group->destinations[i]);
        continue;
      }
      if (group->fates[i] == Fate::InPlace && !toBackup) {
        log.WriteLine(kItself + group->files[i].source);
        continue;
      }
      const BatchFile& file = group->files[i];
      log.WriteLine(file.source);
      // Filed there before: only its backup is written.
      if (group->fates[i] == Fate::Filed) log.WriteLine(kAlreadyFiled + group->destinations[i]);
      else if (group->fates[i] == Fate::InPlace) log.WriteLine(kItself + group->files[i].source);
      else log.WriteLine(group->destinations[i]);
      if (toBackup) log.WriteLine(texts::kRunBackupLine + group->backups[i]);
      // A shifted photo says from what time to what time, and by which camera's rule.
      if (file.listIndex >= 0 && !file.follows && file.correction.changed)
        log.WriteLine(CorrectionLine(file.recorded, file.correction));
      log.WriteLine(u"");
    }
  }
  writeLeftOutBefore(static_cast<int>(job.photos.size()));
}

std::u16string ShiftedSummary(const Plan& plan, const std::unordered_set<std::u16string>* arrived) {
  std::vector<std::pair<std::u16string, size_t>> cameras;  // in the order first met
  size_t total = 0;
  for (const NameGroup& group : plan.groups) {
    for (size_t i = 0; i < group.files.size() && i < group.fates.size(); ++i) {
      const BatchFile& file = group.files[i];
      if (file.listIndex < 0 || file.follows || !file.correction.changed || group.fates[i] != Fate::Go) continue;
      if (arrived && !arrived->count(file.sourceKey)) continue;
      const std::u16string label = CameraLabel(file.correction.rule->camera);
      auto it = std::find_if(cameras.begin(), cameras.end(), [&](const auto& c) { return c.first == label; });
      if (it == cameras.end()) it = cameras.insert(cameras.end(), {label, 0});
      ++it->second;
      ++total;
    }
  }
  if (!total) return {};
  std::u16string line = texts::kSummaryShifted + Count(total) + u" (";
  for (size_t i = 0; i < cameras.size(); ++i)
    line += (i ? std::u16string(texts::kSummarySeparator) : u"") + cameras[i].first + u" " + Count(cameras[i].second);
  return line + u")";
}

}  // namespace tess::phases
