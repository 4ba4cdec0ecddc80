// Locale data from the user's Windows locale.
#include <windows.h>

#include "platform/Locale.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"
#include "platform/win/WinText.h"

namespace tess {
namespace {

std::u16string LocaleString(LCTYPE type, const char16_t* fallback) {
  wchar_t buf[128];
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 128);
  return n > 1 ? U16(buf, size_t(n - 1)) : std::u16string(fallback);
}

std::u16string FormatDate(const SYSTEMTIME& st, DWORD flags, const wchar_t* picture) {
  wchar_t buf[128];
  int n = GetDateFormatW(LOCALE_USER_DEFAULT, flags, &st, picture, buf, 128);
  return n > 1 ? U16(buf, size_t(n - 1)) : std::u16string();
}

std::u16string DecodeCodePage(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(size_t(n), u'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), W(out), n);
  return out;
}

class WinLocale final : public AltCalendarLocale {
 public:
  explicit WinLocale(UINT codePage) : codePage_(codePage) {}
  std::u16string DecodeAnsi(std::string_view bytes) const override { return DecodeCodePage(codePage_, bytes); }
  std::u16string ShortDayName(int dayOfWeek) const override {
    // LOCALE_SABBREVDAYNAME1 is Monday; ours start with Sunday.
    static const LCTYPE types[] = {LOCALE_SABBREVDAYNAME7, LOCALE_SABBREVDAYNAME1, LOCALE_SABBREVDAYNAME2,
                                   LOCALE_SABBREVDAYNAME3, LOCALE_SABBREVDAYNAME4, LOCALE_SABBREVDAYNAME5,
                                   LOCALE_SABBREVDAYNAME6};
    if (dayOfWeek < 1 || dayOfWeek > 7) return {};
    return LocaleString(types[dayOfWeek - 1], u"");
  }
  LocaleLanguage Language() const override { return LanguageOfLangId(LANGIDFROMLCID(GetUserDefaultLCID())); }
  std::u16string ThousandSeparator() const override { return LocaleString(LOCALE_STHOUSAND, u","); }
  std::u16string DateSeparator() const override { return LocaleString(LOCALE_SDATE, u"/"); }
  std::u16string TimeSeparator() const override { return LocaleString(LOCALE_STIME, u":"); }

 protected:
  AltCalendarAnswer FormatAltCalendar(int year, int month, int day) const override {
    AltCalendarAnswer answer;
    if (year < 1601 || year > 30827) return answer;  // outside SYSTEMTIME: nothing to format
    SYSTEMTIME st{};
    st.wYear = WORD(year);
    st.wMonth = WORD(month);
    st.wDay = WORD(day);
    answer.eraName = FormatDate(st, DATE_USE_ALT_CALENDAR, L"gg");
    answer.eraYear = FormatDate(st, DATE_USE_ALT_CALENDAR, L"yy");
    wchar_t buf[64];
    int n = GetCalendarInfoW(LOCALE_USER_DEFAULT, CAL_GREGORIAN, CAL_SERASTRING, buf, 64, nullptr);
    if (n > 1) answer.gregorianEraName = U16(buf, size_t(n - 1));
    return answer;
  }

 private:
  UINT codePage_;
};

}  // namespace

std::unique_ptr<LocaleData> MakeJapaneseLocale() {
  // Japanese data whatever the user's locale: code page 932 and the program's own eras.
  class Japanese final : public JapaneseLocaleBase {
   public:
    std::u16string DecodeAnsi(std::string_view bytes) const override { return DecodeCodePage(932, bytes); }
  };
  return std::make_unique<Japanese>();
}

const LocaleData& PlatformLocale() {
  static const WinLocale locale(CP_ACP);
  return locale;
}

std::u16string SystemErrorMessage(unsigned long code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::u16string text = n ? U16(buf, n) : texts::kErrorCodePrefix + PadNumber(static_cast<long long>(code), 1);
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  return text;
}

}  // namespace tess
