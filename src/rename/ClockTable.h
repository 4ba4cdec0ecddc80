#pragma once
// The "時刻補正..." table: one row per camera of a batch (photos and videos counted, first and
// last shot as recorded), its shift and video rule as typed, and the corrected first and
// last shot as they would be. The window only shows the rows and passes on what is typed;
// every check is here.
#include <optional>
#include <string>
#include <vector>

#include "rename/ClockRules.h"
#include "rename/RenameJob.h"

namespace tess {

struct ClockTableRow {
  CameraKey camera;
  std::u16string label;  // CameraLabel
  size_t photos = 0, videos = 0;
  TDateTime first = 0, last = 0;  // as recorded; 0 when no photo of it has a date
  std::vector<size_t> shots;      // the places in the job of its photos with a date, in shooting order
  // As typed.
  std::u16string shiftText;
  VideoTime video = VideoTime::Utc;
};

class ClockTable {
 public:
  // The batch's cameras, each with the rule kept for it (its own, else its model's).
  ClockTable(const RenameJob& job, const ClockRules& stored);

  const std::vector<ClockTableRow>& Rows() const { return rows_; }
  // A row's shift as typed; an error message when it cannot be read (nothing is changed then
  // but the text).
  std::u16string SetShiftText(size_t row, std::u16string_view text);
  void SetVideoRule(size_t row, VideoTime video);
  // The shift from one of the row's photos and the time it should show ("この写真の正しい
  //日時"); an error message when the time cannot be read or the shift cannot be made.
  std::u16string SetShiftFromPhoto(size_t row, size_t shotIndex, std::u16string_view correctTime);
  // "yyyy/mm/dd hh:nn:ss - yyyy/mm/dd hh:nn:ss" corrected by the row as typed, or the message
  // of why it cannot be.
  std::u16string CorrectedSpan(size_t row) const;
  // A row's photo for the reference list: its name and recorded time.
  std::u16string ShotText(size_t row, size_t shotIndex) const;
  // The rules to keep: `stored` with every row's rule set (an empty one removes the
  // camera's). Nothing when a row cannot be read or would move a shot out of 1900..2999;
  // `error` then says which and why.
  std::optional<ClockRules> Apply(const ClockRules& stored, std::u16string& error) const;

 private:
  std::u16string RowError(size_t row) const;
  const RenameJob& job_;
  std::vector<ClockTableRow> rows_;
};

// "時刻補正あり: Canon EOS R6 (+1:00:00)、..." for the cameras of the batch that have a rule;
// empty when none has.
std::u16string RulesOfBatchLine(const RenameJob& job, const ClockRules& rules);

namespace texts {
inline constexpr char16_t kClockBadShift[] = u"時刻のずれを読めません。[+|-][日数d]時:分:秒 の形で入力してください (例 +1:00:00、-2d03:00:00): ";
inline constexpr char16_t kClockBadTime[] = u"正しい日時を読めません。yyyy/mm/dd hh:mm:ss の形で、1900 年から 2999 年の日時を入力してください: ";
inline constexpr char16_t kClockOutOfRange[] = u"補正すると 1900 年から 2999 年の範囲外になる写真があります: ";
inline constexpr char16_t kClockRulesOfBatch[] = u"時刻補正あり: ";
}  // namespace texts

}  // namespace tess
