#include "rename/ClockTable.h"

#include <algorithm>

#include "platform/Text.h"

namespace tess {

namespace {

bool IsVideoName(const std::u16string& name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos) return false;
  std::u16string ext;
  for (char16_t c : name.substr(dot + 1)) ext += AsciiLower(c);
  return ext == u"mov" || ext == u"mp4" || ext == u"m4v" || ext == u"3gp";
}

bool HasDate(TDateTime t) {
  DateTimeParts p;
  return t != 0 && DecodeDateTime(t, p);
}

}  // namespace

ClockTable::ClockTable(const RenameJob& job, const ClockRules& stored) : job_(job) {
  for (size_t i = 0; i < job.photos.size(); ++i) {
    const SourceRecord& record = job.photos[i].record;
    if (!record.HasMetadata) continue;
    const CameraKey camera = CameraOf(record);
    auto row = std::find_if(rows_.begin(), rows_.end(), [&](const ClockTableRow& r) { return r.camera == camera; });
    if (row == rows_.end()) {
      ClockTableRow added;
      added.camera = camera;
      added.label = CameraLabel(camera);
      if (const ClockRule* rule = stored.Find(camera); rule && !rule->camera.any) {
        added.shiftText = FormatShift(rule->shiftSeconds);
        added.video = rule->video;
      } else {
        added.shiftText = FormatShift(0);
      }
      row = rows_.insert(rows_.end(), added);
    }
    ++(IsVideoName(record.Name) ? row->videos : row->photos);
    const TDateTime t = record.ExifDateTimeOriginal;
    if (!HasDate(t)) continue;
    row->shots.push_back(i);
    if (row->first == 0 || t < row->first) row->first = t;
    if (row->last == 0 || t > row->last) row->last = t;
  }
  for (ClockTableRow& row : rows_)
    std::stable_sort(row.shots.begin(), row.shots.end(), [&](size_t a, size_t b) {
      return job.photos[a].record.ExifDateTimeOriginal < job.photos[b].record.ExifDateTimeOriginal;
    });
}

std::u16string ClockTable::SetShiftText(size_t row, std::u16string_view text) {
  rows_.at(row).shiftText = std::u16string(text);
  return RowError(row);
}

void ClockTable::SetVideoRule(size_t row, VideoTime video) { rows_.at(row).video = video; }

std::u16string ClockTable::SetShiftFromPhoto(size_t row, size_t shotIndex, std::u16string_view correctTime) {
  ClockTableRow& r = rows_.at(row);
  std::optional<TDateTime> wanted = ParseTypedDateTime(correctTime);
  if (!wanted || shotIndex >= r.shots.size()) return texts::kClockBadTime + std::u16string(correctTime);
  std::optional<int64_t> shift = ShiftBetween(job_.photos[r.shots[shotIndex]].record.ExifDateTimeOriginal, *wanted);
  if (!shift) return texts::kClockBadTime + std::u16string(correctTime);
  r.shiftText = FormatShift(*shift);
  return RowError(row);
}

std::u16string ClockTable::RowError(size_t row) const {
  const ClockTableRow& r = rows_.at(row);
  std::optional<int64_t> shift = ParseShift(r.shiftText);
  if (!shift) return texts::kClockBadShift + r.shiftText;
  // Every shot of the camera must stay within the years a date may have.
  ClockRules rules;
  rules.Set({r.camera, *shift, r.video});
  for (size_t i : r.shots)
    if (rules.Correct(job_.photos[i].record).outOfRange) return texts::kClockOutOfRange + job_.photos[i].source;
  return {};
}

std::u16string ClockTable::CorrectedSpan(size_t row) const {
  const ClockTableRow& r = rows_.at(row);
  if (r.shots.empty()) return {};
  std::u16string error = RowError(row);
  if (!error.empty()) return error;
  ClockRules rules;
  rules.Set({r.camera, *ParseShift(r.shiftText), r.video});
  TDateTime first = 0, last = 0;
  for (size_t i : r.shots) {
    const TDateTime t = rules.Correct(job_.photos[i].record).time;
    if (first == 0 || t < first) first = t;
    if (last == 0 || t > last) last = t;
  }
  return FormatDateTime(first) + u" - " + FormatDateTime(last);
}

std::u16string ClockTable::ShotText(size_t row, size_t shotIndex) const {
  const SourceRecord& record = job_.photos[rows_.at(row).shots.at(shotIndex)].record;
  return record.Name + u"  " + FormatDateTime(record.ExifDateTimeOriginal);
}

std::optional<ClockRules> ClockTable::Apply(const ClockRules& stored, std::u16string& error) const {
  ClockRules out = stored;
  for (size_t row = 0; row < rows_.size(); ++row) {
    error = RowError(row);
    if (!error.empty()) {
      error = rows_[row].label + u": " + error;
      return std::nullopt;
    }
    out.Set({rows_[row].camera, *ParseShift(rows_[row].shiftText), rows_[row].video});
  }
  error.clear();
  return out;
}

std::u16string RulesOfBatchLine(const RenameJob& job, const ClockRules& rules) {
  std::vector<const FileRecord*> records;
  for (const RenamePhoto& photo : job.photos) records.push_back(&photo.record);
  std::u16string line;
  std::vector<const ClockRule*> named;
  for (const CameraKey& camera : DistinctCameras(records)) {
    const ClockRule* rule = rules.Find(camera);
    if (!rule || std::find(named.begin(), named.end(), rule) != named.end()) continue;
    named.push_back(rule);
    line += (line.empty() ? std::u16string(texts::kClockRulesOfBatch) : u"、") + CameraLabel(rule->camera) + u" (" +
            FormatShift(rule->shiftSeconds) + (rule->video == VideoTime::Local ? u", 動画はカメラの時刻" : u"") + u")";
  }
  return line;
}

}  // namespace tess
