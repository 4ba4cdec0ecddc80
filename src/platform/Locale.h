#pragma once
// Locale data the core needs from the platform: ANSI text decoding for EXIF strings,
// weekday names, the alternative calendar's era, and number and date separators.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tess {

enum class LocaleLanguage { Japanese, ChineseTraditional, Other };

struct EraDate {
  std::u16string eraName;   // the "gg" picture, e.g. 令和
  std::u16string eraYear;   // the "yy" picture, two digits, e.g. 06
};

class LocaleData {
 public:
  virtual ~LocaleData() = default;
  // Bytes in the system's ANSI code page, one character per byte sequence; an embedded
  // NUL stays a U+0000 character.
  virtual std::u16string DecodeAnsi(std::string_view bytes) const = 0;
  // Abbreviated weekday name, 1 = Sunday ... 7 = Saturday.
  virtual std::u16string ShortDayName(int dayOfWeek) const = 0;
  // The era of a calendar date in the user's alternative calendar; nothing when the
  // platform cannot name a real era for it.
  virtual std::optional<EraDate> AltCalendarEra(int year, int month, int day) const = 0;
  virtual LocaleLanguage Language() const = 0;
  virtual std::u16string ThousandSeparator() const = 0;
  virtual std::u16string DateSeparator() const = 0;
  virtual std::u16string TimeSeparator() const = 0;
};

// The program's own Japanese era data, for platforms that do not name the Japanese eras
// themselves; nothing for any other language or a date before the first era.
std::optional<EraDate> BuiltInEra(LocaleLanguage language, int year, int month, int day);

// The language of a Windows language identifier (primary language in the low 10 bits,
// sublanguage above). Traditional Chinese with eras is Taiwan's: Hong Kong and Macao
// write traditional characters but count no Republic of China years.
LocaleLanguage LanguageOfLangId(uint16_t langId);

// What the platform formats for a date in the user's alternative calendar, before the
// program's rules are applied.
struct AltCalendarAnswer {
  std::u16string eraName;           // the "gg" picture; empty when the date cannot be formatted
  std::u16string eraYear;           // the "yy" picture
  std::u16string gregorianEraName;  // the Gregorian calendar's era in the user's locale ("西暦", "A.D.")
};

// The era a rename uses: the platform's answer wherever it names an alternative-calendar
// era; the program's own table only for a Japanese user locale whose platform answers the
// Gregorian era (once or repeated, as Wine writes it for "gg") or nothing.
std::optional<EraDate> ChooseEra(LocaleLanguage language, const AltCalendarAnswer& answer, int year, int month,
                                 int day);

// A locale whose eras come from the platform's alternative calendar (the Win32 locale, and
// the fakes that stand for it in tests).
class AltCalendarLocale : public LocaleData {
 public:
  std::optional<EraDate> AltCalendarEra(int year, int month, int day) const final {
    return ChooseEra(Language(), FormatAltCalendar(year, month, day), year, month, day);
  }

 protected:
  virtual AltCalendarAnswer FormatAltCalendar(int year, int month, int day) const = 0;
};

// Everything of a Japanese locale but its text decoding: weekday names, the program's own
// eras, and the separators.
class JapaneseLocaleBase : public LocaleData {
 public:
  std::u16string ShortDayName(int dayOfWeek) const override;
  std::optional<EraDate> AltCalendarEra(int year, int month, int day) const override;
  LocaleLanguage Language() const override { return LocaleLanguage::Japanese; }
  std::u16string ThousandSeparator() const override { return u","; }
  std::u16string DateSeparator() const override { return u"/"; }
  std::u16string TimeSeparator() const override { return u":"; }
};

// Japanese locale data with code page 932 decoding, independent of the machine.
std::unique_ptr<LocaleData> MakeJapaneseLocale();

// The user's locale: the platform's implementation unless a test replaced it.
const LocaleData& CurrentLocale();
// Replaces the locale for the lifetime of the returned guard (tests).
class ScopedLocaleOverride {
 public:
  explicit ScopedLocaleOverride(const LocaleData& locale);
  ~ScopedLocaleOverride();
  ScopedLocaleOverride(const ScopedLocaleOverride&) = delete;
  ScopedLocaleOverride& operator=(const ScopedLocaleOverride&) = delete;

 private:
  const LocaleData* previous_;
};

// Implemented per platform: the machine's own locale.
const LocaleData& PlatformLocale();

}  // namespace tess
