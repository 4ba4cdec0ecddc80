#include "rename/ClockRules.h"

#include <cmath>
#include <memory>

#include "platform/Text.h"

namespace tess {

namespace {

constexpr char16_t kRulesValue[] = u"Rules";
constexpr char16_t kArrow[] = u" → ";
constexpr char16_t kVideoLocal[] = u"動画はカメラの時刻";

std::u16string Trimmed(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == u' ' || text[begin] == u'\t' || text[begin] == u'\u3000')) ++begin;
  while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t' || text[end - 1] == u'\u3000')) --end;
  return std::u16string(text.substr(begin, end - begin));
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Digits at `at` (at least minDigits, at most maxDigits) as a number; `at` moves past them.
bool ReadNumber(std::u16string_view s, size_t& at, int minDigits, int maxDigits, int64_t& value) {
  size_t start = at;
  value = 0;
  while (at < s.size() && IsDigit(s[at]) && static_cast<int>(at - start) < maxDigits) value = value * 10 + (s[at++] - u'0');
  const int n = static_cast<int>(at - start);
  return n >= minDigits && !(at < s.size() && IsDigit(s[at]));
}

bool Expect(std::u16string_view s, size_t& at, char16_t c) {
  if (at >= s.size() || s[at] != c) return false;
  ++at;
  return true;
}

// Whole seconds of a date's calendar fields, counted from 1899-12-30; false without a date.
bool WholeSeconds(TDateTime value, int64_t& seconds) {
  DateTimeParts p;
  TDateTime day;
  if (!DecodeDateTime(value, p) || !TryEncodeDate(p.year, p.month, p.day, day)) return false;
  seconds = static_cast<int64_t>(std::llround(day)) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
  return true;
}

bool StartsWithText(const std::u16string& text, const std::u16string& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

}  // namespace

CameraKey CameraOf(const FileRecord& record) {
  return CameraKey{Trimmed(record.ExifCameraMake), Trimmed(record.ExifCameraModel), Trimmed(record.ExifCameraSerial)};
}

std::u16string CameraLabel(const CameraKey& camera) {
  if (camera.any) return u"*";
  std::u16string label;
  if (StartsWithText(camera.model, camera.make) || camera.make.empty())
    label = camera.model;
  else if (camera.model.empty())
    label = camera.make;
  else
    label = camera.make + u" " + camera.model;
  if (label.empty()) label = u"?";
  if (!camera.serial.empty()) label += u" #" + camera.serial;
  return label;
}

std::optional<int64_t> ParseShift(std::u16string_view input) {
  const std::u16string text = Trimmed(input);
  std::u16string_view s = text;
  size_t at = 0;
  bool negative = false;
  if (at < s.size() && (s[at] == u'+' || s[at] == u'-')) negative = s[at++] == u'-';
  int64_t days = 0, hours = 0, minutes = 0, seconds = 0;
  // Days, when a "d" follows the first number.
  size_t dayEnd = at;
  while (dayEnd < s.size() && IsDigit(s[dayEnd])) ++dayEnd;
  const bool hasDays = dayEnd < s.size() && (s[dayEnd] == u'd' || s[dayEnd] == u'D');
  if (hasDays) {
    if (!ReadNumber(s, at, 1, 6, days) || !Expect(s, at, s[dayEnd])) return std::nullopt;
  }
  if (!ReadNumber(s, at, 1, hasDays ? 2 : 7, hours) || !Expect(s, at, u':') || !ReadNumber(s, at, 2, 2, minutes) ||
      !Expect(s, at, u':') || !ReadNumber(s, at, 2, 2, seconds) || at != s.size())
    return std::nullopt;
  if (minutes >= 60 || seconds >= 60 || (hasDays && hours >= 24)) return std::nullopt;
  const int64_t total = ((days * 24 + hours) * 60 + minutes) * 60 + seconds;
  if (total > kMaxShiftSeconds) return std::nullopt;
  return negative ? -total : total;
}

std::u16string FormatShift(int64_t seconds) {
  std::u16string out = seconds > 0 ? u"+" : seconds < 0 ? u"-" : u"";
  uint64_t rest = seconds < 0 ? uint64_t(0) - uint64_t(seconds) : uint64_t(seconds);
  const uint64_t days = rest / 86400;
  rest %= 86400;
  if (days) out += PadNumber(static_cast<long long>(days), 1) + u"d";
  out += PadNumber(static_cast<long long>(rest / 3600), days ? 2 : 1) + u":" +
         PadNumber(static_cast<long long>(rest / 60 % 60), 2) + u":" + PadNumber(static_cast<long long>(rest % 60), 2);
  return out;
}

std::optional<TDateTime> ParseTypedDateTime(std::u16string_view input) {
  const std::u16string text = Trimmed(input);
  std::u16string_view s = text;
  size_t at = 0;
  int64_t y, mo, d, h, mi, sec = 0;
  if (!ReadNumber(s, at, 4, 4, y)) return std::nullopt;
  const char16_t dateSeparator = at < s.size() ? s[at] : u'/';
  if ((dateSeparator != u'/' && dateSeparator != u'-') || !Expect(s, at, dateSeparator) || !ReadNumber(s, at, 1, 2, mo) ||
      !Expect(s, at, dateSeparator) || !ReadNumber(s, at, 1, 2, d))
    return std::nullopt;
  if (!Expect(s, at, u' ') && !Expect(s, at, u'T')) return std::nullopt;
  while (at < s.size() && s[at] == u' ') ++at;
  if (!ReadNumber(s, at, 1, 2, h) || !Expect(s, at, u':') || !ReadNumber(s, at, 2, 2, mi)) return std::nullopt;
  if (at < s.size() && (!Expect(s, at, u':') || !ReadNumber(s, at, 2, 2, sec))) return std::nullopt;
  if (at != s.size() || h > 23 || mi > 59 || sec > 59) return std::nullopt;
  DateTimeParts parts{static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
                      static_cast<int>(mi), static_cast<int>(sec), 0};
  TDateTime value;
  if (!TryEncodeDateTime(parts, value)) return std::nullopt;
  if (parts.year < kFirstCorrectedYear || parts.year > kLastCorrectedYear) return std::nullopt;
  return value;
}

std::optional<int64_t> ShiftBetween(TDateTime recorded, TDateTime wanted) {
  int64_t from, to;
  if (!WholeSeconds(recorded, from) || !WholeSeconds(wanted, to)) return std::nullopt;
  const int64_t shift = to - from;
  if (shift > kMaxShiftSeconds || shift < -kMaxShiftSeconds) return std::nullopt;
  return shift;
}

std::optional<TDateTime> ShiftTime(TDateTime recorded, int64_t seconds) {
  DateTimeParts p;
  if (seconds > kMaxShiftSeconds || seconds < -kMaxShiftSeconds || !DecodeDateTime(recorded, p)) return std::nullopt;
  const TDateTime shifted = IncMilliSecond(recorded, seconds * 1000);
  if (!DecodeDateTime(shifted, p) || p.year < kFirstCorrectedYear || p.year > kLastCorrectedYear) return std::nullopt;
  return shifted;
}

const ClockRule* ClockRules::Exact(const CameraKey& camera) const {
  for (const ClockRule& rule : rules)
    if (rule.camera == camera) return &rule;
  return nullptr;
}

const ClockRule* ClockRules::Find(const CameraKey& camera) const {
  if (!camera.serial.empty())
    if (const ClockRule* own = Exact(camera)) return own;
  if (const ClockRule* model = Exact(CameraKey{camera.make, camera.model, u""})) return model;
  return Exact(CameraKey{u"", u"", u"", true});
}

void ClockRules::Set(const ClockRule& rule) {
  for (auto it = rules.begin(); it != rules.end(); ++it) {
    if (it->camera != rule.camera) continue;
    if (rule.Empty())
      rules.erase(it);
    else
      *it = rule;
    return;
  }
  if (!rule.Empty()) rules.push_back(rule);
}

CorrectedTime ClockRules::Correct(const FileRecord& record) const {
  CorrectedTime out;
  out.time = record.ExifDateTimeOriginal;
  DateTimeParts parts;
  if (record.ExifDateTimeOriginal == 0 || !DecodeDateTime(record.ExifDateTimeOriginal, parts)) return out;
  out.rule = Find(CameraOf(record));
  if (!out.rule) return out;
  TDateTime base = record.ExifDateTimeOriginal;
  // "Local": the header's own figures are the camera's clock, converted by nothing.
  if (out.rule->video == VideoTime::Local && record.ExifMovieHeaderTime > 0) {
    base = record.ExifMovieHeaderTime;
    out.headerAsLocal = true;
  }
  std::optional<TDateTime> shifted = ShiftTime(base, out.rule->shiftSeconds);
  if (!shifted) {
    out.outOfRange = true;
    return out;
  }
  out.time = *shifted;
  out.changed = *shifted != record.ExifDateTimeOriginal;
  return out;
}

std::vector<CameraKey> CamerasNamed(std::u16string_view input, const std::vector<CameraKey>& batchCameras) {
  const std::u16string text = Trimmed(input);
  if (text == u"*") return {CameraKey{u"", u"", u"", true}};
  const size_t slash = text.find(u'/');
  if (slash != std::u16string::npos) {
    CameraKey key{Trimmed(text.substr(0, slash)), Trimmed(text.substr(slash + 1)), u""};
    if (key.make.empty() && key.model.empty()) return {};
    return {key};
  }
  std::vector<CameraKey> named;
  auto add = [&](const CameraKey& key) {
    for (const CameraKey& k : named)
      if (k == key) return;
    named.push_back(key);
  };
  for (const CameraKey& camera : batchCameras) {
    CameraKey model{camera.make, camera.model, u""};
    if (!text.empty() && (text == camera.model || text == CameraLabel(model))) add(model);
    else if (!camera.serial.empty() && text == CameraLabel(camera)) add(camera);
  }
  return named;
}

std::vector<CameraKey> DistinctCameras(const std::vector<const FileRecord*>& records) {
  std::vector<CameraKey> cameras;
  for (const FileRecord* record : records) {
    if (!record->HasMetadata) continue;
    CameraKey camera = CameraOf(*record);
    bool known = false;
    for (const CameraKey& c : cameras) known = known || c == camera;
    if (!known) cameras.push_back(camera);
  }
  return cameras;
}

std::u16string EncodeClockRule(const ClockRule& rule) {
  const CameraKey& c = rule.camera;
  return (c.any ? u"*" : c.make) + u"\t" + c.model + u"\t" + c.serial + u"\t" + FormatShift(rule.shiftSeconds) +
         u"\t" + (rule.video == VideoTime::Local ? u"local" : u"utc");
}

std::optional<ClockRule> DecodeClockRule(std::u16string_view line) {
  std::vector<std::u16string> fields;
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == u'\t') {
      fields.emplace_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  if (fields.size() != 5) return std::nullopt;
  std::optional<int64_t> shift = ParseShift(fields[3]);
  if (!shift || (fields[4] != u"utc" && fields[4] != u"local")) return std::nullopt;
  ClockRule rule;
  if (fields[0] == u"*" && fields[1].empty() && fields[2].empty())
    rule.camera.any = true;
  else
    rule.camera = CameraKey{fields[0], fields[1], fields[2]};
  rule.shiftSeconds = *shift;
  rule.video = fields[4] == u"local" ? VideoTime::Local : VideoTime::Utc;
  return rule;
}

ClockRules ReadClockRules(SettingsStore& store) {
  ClockRules out;
  std::unique_ptr<SettingsKey> key = store.Open(kClockRulesKey, false);
  std::vector<std::u16string> lines;
  if (!key || ReadMultiString(*key, kRulesValue, lines) != ReadResult::Ok) return out;
  // A line this version cannot read is passed over rather than taken for a wrong rule.
  for (const std::u16string& line : lines)
    if (std::optional<ClockRule> rule = DecodeClockRule(line)) out.Set(*rule);
  return out;
}

bool WriteClockRules(SettingsStore& store, const ClockRules& rules) {
  std::unique_ptr<SettingsKey> key = store.Open(kClockRulesKey, true);
  if (!key) return false;
  std::vector<std::u16string> lines;
  for (const ClockRule& rule : rules.rules)
    if (!rule.Empty()) lines.push_back(EncodeClockRule(rule));
  return WriteMultiString(*key, kRulesValue, lines);
}

std::u16string CorrectionLine(TDateTime recorded, const CorrectedTime& corrected) {
  const std::u16string from = FormatDateTime(recorded);
  std::u16string to = FormatDateTime(corrected.time);
  if (to.compare(0, 10, from, 0, 10) == 0) to = to.substr(11);
  std::u16string line = from + kArrow + to + u" (";
  if (corrected.rule) {
    line += FormatShift(corrected.rule->shiftSeconds) + u", ";
    if (corrected.headerAsLocal) line += std::u16string(kVideoLocal) + u", ";
    line += CameraLabel(corrected.rule->camera);
  }
  return line + u")";
}

}  // namespace tess
