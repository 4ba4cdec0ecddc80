#pragma once
// Per-camera clock rules: a camera whose clock was wrong (never set to summer time, left at
// home time on a trip) gets a shift, and its videos a rule for the movie header's time.
// The rename run files by the corrected time; the photos themselves, the file list and
// anything keyed on the recorded time keep the time as recorded.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/SettingsKey.h"
#include "records/FileRecord.h"

namespace tess {

// A camera: its make and model, and its body serial when its photos carry one, so that two
// bodies of one model are told apart. `any` stands for every camera (the command line's "*").
struct CameraKey {
  std::u16string make, model, serial;
  bool any = false;
  bool operator==(const CameraKey&) const = default;
};

// The camera that took a photo (texts without their surrounding blanks).
CameraKey CameraOf(const FileRecord& record);
// The camera as the table and the log name it: the model, led by the make unless the model
// already begins with it ("Canon EOS R6", "FUJIFILM X-T5"), and "#" and the serial.
std::u16string CameraLabel(const CameraKey& camera);

// How a camera's videos dated by their movie header are read: the header's time as UTC,
// shown in the computer's local time (what every camera should write), or as the camera's
// own local time, taken as it is (what many write).
enum class VideoTime { Utc, Local };

struct ClockRule {
  CameraKey camera;
  int64_t shiftSeconds = 0;
  VideoTime video = VideoTime::Utc;
  // A rule that changes nothing is no rule: it is not kept.
  bool Empty() const { return shiftSeconds == 0 && video == VideoTime::Utc; }
};

// Shifts of a few centuries at most: years of a wrong clock, never an overflow.
inline constexpr int64_t kMaxShiftSeconds = int64_t(400000) * 86400;
// Corrected times must lie within these years; anything else is a typing slip.
inline constexpr int kFirstCorrectedYear = 1900;
inline constexpr int kLastCorrectedYear = 2999;

// "[+|-][Dd]HH:MM:SS": "+1:00:00", "-0:30:00", "+2d03:00:00", "400d0:00:00"; blanks around
// are ignored. Minutes and seconds below 60; hours below 24 after days. Nothing else reads.
std::optional<int64_t> ParseShift(std::u16string_view text);
// The shift as ParseShift reads it: "+1:00:00", "-2d03:00:00", "0:00:00".
std::u16string FormatShift(int64_t seconds);
// "yyyy/mm/dd hh:nn:ss" (or "yyyy/mm/dd hh:nn", or "yyyy-mm-dd ..."), as typed for
// "この写真の正しい日時"; nothing for a date that does not exist.
std::optional<TDateTime> ParseTypedDateTime(std::u16string_view text);
// The shift that turns `recorded` into `wanted`, to the second.
std::optional<int64_t> ShiftBetween(TDateTime recorded, TDateTime wanted);
// The time shifted, exact to the second (the milliseconds kept); nothing when the result
// falls before 1900 or after 2999.
std::optional<TDateTime> ShiftTime(TDateTime recorded, int64_t seconds);

// What a photo's time becomes under the rules.
struct CorrectedTime {
  TDateTime time = 0;              // the time the run files by
  const ClockRule* rule = nullptr;  // the rule that applied; null when none
  bool changed = false;             // the time differs from the recorded one
  bool outOfRange = false;          // the rule would move it outside 1900..2999: not applied
  bool headerAsLocal = false;       // a video's header time taken as the camera's local time
};

class ClockRules {
 public:
  std::vector<ClockRule> rules;

  // The rule of a camera: the body's own (serial) rule, else its model's, else the rule
  // for every camera.
  const ClockRule* Find(const CameraKey& camera) const;
  // The rule kept for exactly this key, if any.
  const ClockRule* Exact(const CameraKey& camera) const;
  // Replaces the rule of the same key, or adds it; an empty rule removes it.
  void Set(const ClockRule& rule);
  // A photo's recorded shot time (ExifDateTimeOriginal) corrected by its camera's rule.
  // A photo without a date keeps none.
  CorrectedTime Correct(const FileRecord& record) const;
};

// Stored in the settings hive under kClockRulesKey as one multi-string value, a rule a line.
inline constexpr char16_t kClockRulesKey[] = u"\\Software\\Quenfold\\Tessarine\\CameraClocks";
ClockRules ReadClockRules(SettingsStore& store);
bool WriteClockRules(SettingsStore& store, const ClockRules& rules);
// One stored line: make, model, serial, shift and "utc"/"local", separated by tabs.
std::u16string EncodeClockRule(const ClockRule& rule);
std::optional<ClockRule> DecodeClockRule(std::u16string_view line);

// The cameras a typed camera text names among those of a batch: "*" every camera, "MAKE/MODEL"
// that model (whether or not the batch holds it), else the model text as the file list
// shows it, or the camera as CameraLabel names it ("FUJIFILM X-T5", "... #SERIAL" for one
// body). Empty when it names none of the batch's.
std::vector<CameraKey> CamerasNamed(std::u16string_view text, const std::vector<CameraKey>& batchCameras);
// The distinct cameras of some records, in the order first met.
std::vector<CameraKey> DistinctCameras(const std::vector<const FileRecord*>& records);

namespace texts {
inline constexpr char16_t kRunShiftOutOfRange[] = u"時刻補正後の日時が 1900 年から 2999 年の範囲外のため除外します: ";
inline constexpr char16_t kSummaryShiftOutOfRange[] = u"時刻補正が範囲外 ";
inline constexpr char16_t kSummaryShifted[] = u"、時刻補正 ";
}  // namespace texts

// For the log: "2024/05/01 10:00:00 → 11:00:00 (+1:00:00, Canon EOS R6)"; the date of the
// corrected time is written only when it differs from the recorded one.
std::u16string CorrectionLine(TDateTime recorded, const CorrectedTime& corrected);

}  // namespace tess
