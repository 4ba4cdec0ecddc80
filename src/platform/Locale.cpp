#include "platform/Locale.h"

#include "platform/DateTime.h"
#include "platform/Text.h"

namespace tess {
namespace {

const LocaleData* g_override = nullptr;

struct EraStart {
  int year, month, day;
  const char16_t* name;
};

const EraStart kJapaneseEras[] = {
    {2019, 5, 1, u"令和"}, {1989, 1, 8, u"平成"}, {1926, 12, 25, u"昭和"}, {1912, 7, 30, u"大正"}, {1868, 1, 1, u"明治"},
};

template <size_t N>
std::optional<EraDate> FindEra(const EraStart (&eras)[N], int year, int month, int day) {
  for (const EraStart& e : eras) {
    if (year > e.year || (year == e.year && (month > e.month || (month == e.month && day >= e.day)))) {
      return EraDate{e.name, PadNumber((year - e.year + 1) % 100, 2)};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<EraDate> BuiltInEra(LocaleLanguage language, int year, int month, int day) {
  if (DaysInMonth(year, month) == 0 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  if (language != LocaleLanguage::Japanese) return std::nullopt;
  return FindEra(kJapaneseEras, year, month, day);
}

LocaleLanguage LanguageOfLangId(uint16_t langId) {
  constexpr uint16_t kJapanese = 0x11, kChinese = 0x04, kChineseTraditional = 0x01;  // Taiwan
  uint16_t primary = langId & 0x3FF, sub = langId >> 10;
  if (primary == kJapanese) return LocaleLanguage::Japanese;
  if (primary == kChinese && sub == kChineseTraditional) return LocaleLanguage::ChineseTraditional;
  return LocaleLanguage::Other;
}

namespace {
// The Gregorian era once or more ("西暦", or "西暦西暦" where "gg" repeats it).
bool IsGregorianEra(const std::u16string& era, const std::u16string& gregorian) {
  if (gregorian.empty() || era.empty() || era.size() % gregorian.size() != 0) return false;
  for (size_t i = 0; i < era.size(); i += gregorian.size())
    if (era.compare(i, gregorian.size(), gregorian) != 0) return false;
  return true;
}
}  // namespace

std::optional<EraDate> ChooseEra(LocaleLanguage language, const AltCalendarAnswer& answer, int year, int month,
                                 int day) {
  bool realEra = !answer.eraName.empty() && !answer.eraYear.empty() &&
                 !IsGregorianEra(answer.eraName, answer.gregorianEraName) && !IsGregorianEra(answer.eraName, u"西暦");
  if (realEra) return EraDate{answer.eraName, answer.eraYear};
  return BuiltInEra(language, year, month, day);
}

std::u16string JapaneseLocaleBase::ShortDayName(int dayOfWeek) const {
  static const char16_t* const names[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
  return dayOfWeek >= 1 && dayOfWeek <= 7 ? names[dayOfWeek - 1] : u"";
}

std::optional<EraDate> JapaneseLocaleBase::AltCalendarEra(int year, int month, int day) const {
  return BuiltInEra(LocaleLanguage::Japanese, year, month, day);
}

const LocaleData& CurrentLocale() { return g_override ? *g_override : PlatformLocale(); }

ScopedLocaleOverride::ScopedLocaleOverride(const LocaleData& locale) : previous_(g_override) { g_override = &locale; }
ScopedLocaleOverride::~ScopedLocaleOverride() { g_override = previous_; }

}  // namespace tess
