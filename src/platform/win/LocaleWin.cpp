// Locale data from the user's Windows locale.
#include <windows.h>

#include "platform/Locale.h"
#include "platform/Text.h"
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

class WinLocale final : public LocaleData {
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
  std::optional<EraDate> AltCalendarEra(int year, int month, int day) const override {
    SYSTEMTIME st{};
    st.wYear = WORD(year);
    st.wMonth = WORD(month);
    st.wDay = WORD(day);
    std::u16string era = FormatDate(st, DATE_USE_ALT_CALENDAR, L"gg");
    std::u16string gregorianEra = FormatDate(st, 0, L"gg");
    // Some platforms (Wine among them) answer the Gregorian era for the alternative
    // calendar; that names no real era, so the program's own era data stands in.
    if (!era.empty() && era != gregorianEra && era != u"西暦") {
      std::u16string eraYear = FormatDate(st, DATE_USE_ALT_CALENDAR, L"yy");
      if (!eraYear.empty()) return EraDate{era, eraYear};
    }
    return BuiltInEra(Language(), year, month, day);
  }
  LocaleLanguage Language() const override {
    LANGID id = LANGIDFROMLCID(GetUserDefaultLCID());
    if (PRIMARYLANGID(id) == LANG_JAPANESE) return LocaleLanguage::Japanese;
    if (PRIMARYLANGID(id) == LANG_CHINESE &&
        (SUBLANGID(id) == SUBLANG_CHINESE_TRADITIONAL || SUBLANGID(id) == SUBLANG_CHINESE_HONGKONG ||
         SUBLANGID(id) == SUBLANG_CHINESE_MACAU))
      return LocaleLanguage::ChineseTraditional;
    return LocaleLanguage::Other;
  }
  std::u16string ThousandSeparator() const override { return LocaleString(LOCALE_STHOUSAND, u","); }
  std::u16string DateSeparator() const override { return LocaleString(LOCALE_SDATE, u"/"); }
  std::u16string TimeSeparator() const override { return LocaleString(LOCALE_STIME, u":"); }

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
  std::u16string text = n ? U16(buf, n) : u"Error " + PadNumber(static_cast<long long>(code), 1);
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  return text;
}

}  // namespace tess
