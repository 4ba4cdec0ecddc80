// Text, integer conversion, date-time and locale helpers that the rest of the core builds on.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/DateTime.h"
#include "platform/IntConv.h"
#include "platform/Locale.h"
#include "platform/Text.h"

using namespace tess;

TEST(IntConv, Table) {
  struct Case { const char16_t* text; bool ok; int32_t value; } cases[] = {
      {u"0", true, 0},          {u"42", true, 42},        {u"  7", true, 7},     {u"-5", true, -5},
      {u"+5", true, 5},         {u"$1F", true, 31},       {u"x10", true, 16},    {u"0x10", true, 16},
      {u"0X1f", true, 31},      {u"2147483647", true, 2147483647},             {u"2147483648", false, 0},
      {u"-2147483648", true, INT32_MIN},                  {u"$FFFFFFFF", true, -1},
      {u"", false, 0},          {u"   ", false, 0},       {u"-", false, 0},      {u"$", false, 0},
      {u"1 ", false, 0},        {u"1a", false, 0},        {u" 4 0", false, 0},   {u"12\0" u"9", true, 12},
      {u"\t1", false, 0},       {u"٣", false, 0},
  };
  for (const Case& c : cases) {
    std::u16string_view text(c.text);
    if (std::u16string_view(c.text) == u"12") text = std::u16string_view(c.text, 4);
    int32_t v = 12345;
    EXPECT_EQ(TryStrToInt(text, v), c.ok) << ToUtf8(text);
    if (c.ok) EXPECT_EQ(v, c.value) << ToUtf8(text);
  }
}

TEST(DateTimeValues, EncodeAndFormat) {
  struct Case { DateTimeParts parts; double value; const char16_t* text; } cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0, u"1899/12/30 00:00:00.000"},
      {{1899, 12, 29, 6, 0, 0, 0}, -1.25, u"1899/12/29 06:00:00.000"},
      {{1900, 1, 1, 12, 0, 0, 0}, 2.5, u"1900/01/01 12:00:00.000"},
      {{2012, 5, 3, 14, 22, 1, 450}, 41032.0 + (14 * 3600 + 22 * 60 + 1.45) / 86400.0, u"2012/05/03 14:22:01.450"},
      {{1, 1, 1, 0, 0, 0, 0}, -693593.0, u"0001/01/01 00:00:00.000"},
      {{9999, 12, 31, 23, 59, 59, 999}, 2958465.0 + 86399.999 / 86400.0, u"9999/12/31 23:59:59.999"},
  };
  for (const Case& c : cases) {
    double v;
    ASSERT_TRUE(TryEncodeDateTime(c.parts, v));
    EXPECT_NEAR(v, c.value, 1e-9);
    EXPECT_EQ(FormatDateTime(v, true), c.text);
  }
  EXPECT_EQ(FormatDateTime(-700000.0), u"0000/00/00 00:00:00");
  EXPECT_EQ(FormatDateTime(std::nan("")), u"0000/00/00 00:00:00");
}

TEST(DateTimeValues, InvalidDatesAreRefused) {
  double v;
  EXPECT_FALSE(TryEncodeDate(2012, 2, 30, v));
  EXPECT_TRUE(TryEncodeDate(2012, 2, 29, v));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, v));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, v));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, v));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, v));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, v));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, v));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, v));
}

TEST(DateTimeValues, MillisecondsCrossDaysInBothDirections) {
  double v;
  ASSERT_TRUE(TryEncodeDateTime({2012, 12, 31, 23, 59, 59, 900}, v));
  EXPECT_EQ(FormatDateTime(IncMilliSecond(v, 150), true), u"2013/01/01 00:00:00.050");
  EXPECT_EQ(FormatDateTime(IncMilliSecond(v, -1000), true), u"2012/12/31 23:59:58.900");
  // Before 1899-12-30 the fraction counts the other way.
  ASSERT_TRUE(TryEncodeDateTime({1899, 12, 29, 23, 59, 59, 500}, v));
  EXPECT_EQ(FormatDateTime(IncMilliSecond(v, 600), true), u"1899/12/30 00:00:00.100");
  EXPECT_EQ(FormatDateTime(IncMilliSecond(v, -600), true), u"1899/12/29 23:59:58.900");
}

TEST(DateTimeValues, DayOfWeekAndFileTime) {
  double v;
  ASSERT_TRUE(TryEncodeDate(2024, 5, 1, v));
  EXPECT_EQ(DayOfWeek(v), 4);  // Wednesday
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, v));
  EXPECT_EQ(DayOfWeek(v), 7);
  ASSERT_TRUE(TryEncodeDate(1899, 12, 24, v));
  EXPECT_EQ(DayOfWeek(v), 1);
  EXPECT_EQ(DayOfWeek(-700000.0), 0);
  // 2000-01-01 00:00:00 UTC as a FILETIME.
  EXPECT_EQ(FormatDateTime(FileTimeToDateTime(125911584000000000ull)), u"2000/01/01 00:00:00");
}

TEST(Text, Utf8RoundTripAndAsciiFolding) {
  std::u16string s = u"写真 IMG_0001.JPG \U0001F4F7";
  EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
  EXPECT_EQ(ToUtf8(u"年"), "\xE5\xB9\xB4");
  EXPECT_TRUE(SameTextAscii(u"@Folder", u"@fOLDER"));
  EXPECT_FALSE(SameTextAscii(u"Ａ", u"ａ"));  // full-width letters are not folded
  EXPECT_LT(CompareTextAscii(u"a", u"B"), 0);
  EXPECT_EQ(PadNumber(7, 3), u"007");
  EXPECT_EQ(PadNumber(123, 2), u"123");
}

TEST(LocaleData, BuiltInEras) {
  struct Case { LocaleLanguage lang; int y, m, d; const char16_t* era; const char16_t* year; } cases[] = {
      {LocaleLanguage::Japanese, 2019, 5, 1, u"令和", u"01"},  {LocaleLanguage::Japanese, 2019, 4, 30, u"平成", u"31"},
      {LocaleLanguage::Japanese, 1989, 1, 8, u"平成", u"01"},  {LocaleLanguage::Japanese, 1989, 1, 7, u"昭和", u"64"},
      {LocaleLanguage::Japanese, 1926, 12, 25, u"昭和", u"01"}, {LocaleLanguage::Japanese, 1912, 7, 30, u"大正", u"01"},
      {LocaleLanguage::Japanese, 1912, 7, 29, u"明治", u"45"}, {LocaleLanguage::Japanese, 1868, 1, 1, u"明治", u"01"},
      {LocaleLanguage::Japanese, 2024, 5, 1, u"令和", u"06"},
  };
  for (const Case& c : cases) {
    auto era = BuiltInEra(c.lang, c.y, c.m, c.d);
    ASSERT_TRUE(era.has_value()) << c.y;
    EXPECT_EQ(era->eraName, c.era);
    EXPECT_EQ(era->eraYear, c.year);
  }
  EXPECT_FALSE(BuiltInEra(LocaleLanguage::Japanese, 1867, 12, 31).has_value());
  EXPECT_FALSE(BuiltInEra(LocaleLanguage::ChineseTraditional, 2024, 5, 1).has_value());
  EXPECT_FALSE(BuiltInEra(LocaleLanguage::Other, 2024, 5, 1).has_value());
}

namespace {
// The platform locale as the era rules see it: a language and what its alternative
// calendar answers.
class FakeAltCalendarLocale final : public AltCalendarLocale {
 public:
  FakeAltCalendarLocale(LocaleLanguage language, AltCalendarAnswer answer) : language_(language), answer_(answer) {}
  std::u16string DecodeAnsi(std::string_view) const override { return {}; }
  std::u16string ShortDayName(int) const override { return {}; }
  LocaleLanguage Language() const override { return language_; }
  std::u16string ThousandSeparator() const override { return u","; }
  std::u16string DateSeparator() const override { return u"/"; }
  std::u16string TimeSeparator() const override { return u":"; }

 protected:
  AltCalendarAnswer FormatAltCalendar(int, int, int) const override { return answer_; }

 private:
  LocaleLanguage language_;
  AltCalendarAnswer answer_;
};
}  // namespace

TEST(LocaleData, ThePlatformsEraWinsWhereItNamesOne) {
  const LocaleLanguage ja = LocaleLanguage::Japanese, tw = LocaleLanguage::ChineseTraditional,
                       other = LocaleLanguage::Other;
  struct Case {
    const char* what;
    LocaleLanguage language;
    AltCalendarAnswer answer;
    const char16_t* era;  // null: no era
    const char16_t* year;
  } cases[] = {
      {"Windows, Japanese calendar", ja, {u"令和", u"06", u"西暦"}, u"令和", u"06"},
      {"a future era the own table does not know", ja, {u"新元号", u"02", u"西暦"}, u"新元号", u"02"},
      {"Wine: the Gregorian era, repeated", ja, {u"西暦西暦", u"24", u"西暦"}, u"令和", u"06"},
      {"the Gregorian era once", ja, {u"西暦", u"24", u"西暦"}, u"令和", u"06"},
      {"the Gregorian era with its name unknown", ja, {u"西暦", u"24", u""}, u"令和", u"06"},
      {"nothing formatted", ja, {u"", u"", u"西暦"}, u"令和", u"06"},
      {"Taiwan", tw, {u"中華民國", u"113", u"西元"}, u"中華民國", u"113"},
      {"Taiwan, Gregorian answer: no own table", tw, {u"西元", u"24", u"西元"}, nullptr, nullptr},
      {"Thai Buddhist era", other, {u"พ.ศ.", u"67", u"ค.ศ."}, u"พ.ศ.", u"67"},
      {"English: only A.D.", other, {u"A.D.", u"24", u"A.D."}, nullptr, nullptr},
      {"English: nothing", other, {u"", u"", u"A.D."}, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    FakeAltCalendarLocale locale(c.language, c.answer);
    std::optional<EraDate> era = locale.AltCalendarEra(2024, 5, 1);
    ASSERT_EQ(era.has_value(), c.era != nullptr) << c.what;
    if (!era) continue;
    EXPECT_EQ(era->eraName, c.era) << c.what;
    EXPECT_EQ(era->eraYear, c.year) << c.what;
  }
}

TEST(LocaleData, LanguageOfLangId) {
  struct Case { uint16_t langId; LocaleLanguage language; } cases[] = {
      {0x0411, LocaleLanguage::Japanese},           {0x0404, LocaleLanguage::ChineseTraditional},  // Taiwan
      {0x0C04, LocaleLanguage::Other},              {0x1404, LocaleLanguage::Other},  // Hong Kong, Macao
      {0x0804, LocaleLanguage::Other},              {0x1004, LocaleLanguage::Other},  // PRC, Singapore
      {0x0409, LocaleLanguage::Other},
  };
  for (const Case& c : cases) EXPECT_EQ(LanguageOfLangId(c.langId), c.language) << std::hex << c.langId;
}

TEST(LocaleData, JapaneseCodePage) {
  auto ja = MakeJapaneseLocale();
  EXPECT_EQ(ja->DecodeAnsi("Canon"), u"Canon");
  EXPECT_EQ(ja->DecodeAnsi(std::string_view("A\0B", 3)), std::u16string(u"A\0B", 3));
  EXPECT_EQ(ja->DecodeAnsi("\x83\x4A\x83\x81\x83\x89"), u"カメラ");
  EXPECT_EQ(ja->DecodeAnsi("\xB6\xD2\xD7"), u"ｶﾒﾗ");
  EXPECT_EQ(ja->ShortDayName(1), u"日");
  EXPECT_EQ(ja->ShortDayName(7), u"土");
}
