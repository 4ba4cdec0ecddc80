// The rename template language: every token in both forms, the matching rule and the
// edge cases of dates, eras and names.
#include <gtest/gtest.h>

#include "exif/Exif.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "rename/RenameTemplate.h"

using namespace tess;

namespace {

SourceRecord Entry(double shot, const std::u16string& name = u"IMG_0012.JPG",
                           const std::u16string& model = u"X-T5", const std::u16string& make = u"FUJIFILM") {
  SourceRecord e;
  e.Name = name;
  e.HasMetadata = true;
  e.ExifDateTimeOriginal = shot;
  e.ExifCameraModel = model;
  e.ExifCameraMake = make;
  e.Folder = u"C:\\DCIM\\";
  return e;
}

double Shot(int y, int mo, int d, int h, int mi, int s) {
  double v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, 0}, v));
  return v;
}

class JapaneseLocaleTest : public ::testing::Test {
 protected:
  std::unique_ptr<LocaleData> japanese_ = MakeJapaneseLocale();
  ScopedLocaleOverride override_{*japanese_};
};

// A locale with a chosen language and era, for the era shortening rules.
class FakeLocale : public LocaleData {
 public:
  FakeLocale(LocaleLanguage language, std::optional<EraDate> era) : language_(language), era_(std::move(era)) {}
  std::u16string DecodeAnsi(std::string_view bytes) const override { return FromUtf8(bytes); }
  std::u16string ShortDayName(int dayOfWeek) const override { return u"D" + PadNumber(dayOfWeek, 1); }
  std::optional<EraDate> AltCalendarEra(int, int, int) const override { return era_; }
  LocaleLanguage Language() const override { return language_; }
  std::u16string ThousandSeparator() const override { return u","; }
  std::u16string DateSeparator() const override { return u"/"; }
  std::u16string TimeSeparator() const override { return u":"; }

 private:
  LocaleLanguage language_;
  std::optional<EraDate> era_;
};

std::string U8(const std::u16string& s) { return ToUtf8(s); }

}  // namespace

using RenameTemplate = JapaneseLocaleTest;

TEST_F(RenameTemplate, EveryTokenInEveryForm) {
  // 2024-05-01 (a Wednesday, 令和6年) 09:03:07, sequence 7.
  const SourceRecord e = Entry(Shot(2024, 5, 1, 9, 3, 7));
  struct Row { std::vector<const char16_t*> forms; const char16_t* value; } rows[] = {
      {{u"@@"}, u"@"},
      {{u"@年4", u"@y4", u"@Y4"}, u"2024"},
      {{u"@年2", u"@y2", u"@Y2"}, u"24"},
      {{u"@元号1", u"@G1", u"@g1"}, u"令"},
      {{u"@元号2", u"@g2", u"@G2"}, u"令和"},
      {{u"@元号年2", u"@e2", u"@E2"}, u"06"},
      {{u"@元号年1", u"@E1", u"@e1"}, u"6"},
      {{u"@月2", u"@m2", u"@M2"}, u"05"},
      {{u"@月1", u"@m1", u"@M1"}, u"5"},
      {{u"@日2", u"@d2", u"@D2"}, u"01"},
      {{u"@日1", u"@d1", u"@D1"}, u"1"},
      {{u"@時2", u"@h2", u"@H2"}, u"09"},
      {{u"@時1", u"@h1", u"@H1"}, u"9"},
      {{u"@分2", u"@n2", u"@N2"}, u"03"},
      {{u"@分1", u"@n1", u"@N1"}, u"3"},
      {{u"@秒2", u"@s2", u"@S2"}, u"07"},
      {{u"@秒1", u"@s1", u"@S1"}, u"7"},
      {{u"@曜1", u"@w1", u"@W1"}, u"水"},
      {{u"@通1", u"@番1", u"@num1", u"@NUM1"}, u"7"},
      {{u"@通2", u"@番2", u"@num2", u"@Num2"}, u"07"},
      {{u"@通3", u"@番3", u"@num3", u"@nUm3"}, u"007"},
      {{u"@通4", u"@番4", u"@num4", u"@NUM4"}, u"0007"},
      {{u"@モデル", u"@model", u"@MODEL"}, u"X-T5"},
      {{u"@メーカー", u"@make", u"@Make"}, u"FUJIFILM"},
      {{u"@元のファイル名", u"@file", u"@File", u"@FILE"}, u"IMG_0012"},
  };
  for (const Row& row : rows) {
    for (const char16_t* form : row.forms) {
      // Alone, and between ordinary text, which is copied.
      EXPECT_EQ(ExpandRenameTemplate(form, u"", e, 7), row.value) << U8(form);
      EXPECT_EQ(ExpandRenameTemplate(std::u16string(u"<") + form + u">", u"P\\", e, 7),
                std::u16string(u"P\\<") + row.value + u">")
          << U8(form);
    }
  }
}

TEST_F(RenameTemplate, EdgeCases) {
  const SourceRecord e = Entry(Shot(2024, 5, 1, 9, 3, 7));
  struct Case { const char16_t* templ; const char16_t* prefix; int seq; const char16_t* result; } cases[] = {
      {u"@年4@月2@日2-@時2@分2@秒2", u"", 7, u"20240501-090307"},
      {u"@y2@m1@d1_@h1@n1@s1", u"", 7, u"2451_937"},
      {u"@file_@通3", u"", 7, u"IMG_0012_007"},
      {u"@NUM1", u"", 7, u"7"},
      {u"", u"", 7, u""},
      {u"", u"C:\\DCIM\\", 7, u"C:\\DCIM\\"},
      {u"@@@y4", u"", 7, u"@2024"},
      {u"abc@", u"", 7, u"abc"},
      {u"@", u"", 7, u""},
      {u"@x", u"", 7, u"x"},
      {u"@@@", u"", 7, u"@"},
      {u"@@y4", u"", 7, u"@y4"},
      {u"@年４", u"", 7, u"年４"},        // full-width digit: no token
      {u"＠年4", u"", 7, u"＠年4"},       // full-width at sign: ordinary text
      {u"@num12", u"", 7, u"72"},
      {u"@folder", u"", 7, u"folder"},
      {u"@元のフォルダ名", u"", 7, u"元のフォルダ名"},
      {u"@通2", u"", 123, u"123"},
      {u"@num1", u"", 12345, u"12345"},
      {u"@年4\\@月2@日2", u"", 1, u"2024\\0501"},
      {u"@モデル\\@年4@月2@日2", u"D:\\Photos\\", 1, u"D:\\Photos\\X-T5\\20240501"},
      {u"@@@@", u"", 1, u"@@"},
      {u"@e3", u"", 1, u"e3"},  // "@e3" begins no token: only the "@" goes
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExpandRenameTemplate(c.templ, c.prefix, e, c.seq), c.result) << U8(c.templ);
}

TEST_F(RenameTemplate, ValuesAreInsertedUnscanned) {
  SourceRecord e = Entry(Shot(2024, 5, 1, 9, 3, 7), u"@y4.@file.JPG", u"@make@@", u"");
  EXPECT_EQ(ExpandRenameTemplate(u"@モデル", u"", e, 1), u"@make@@");
  EXPECT_EQ(ExpandRenameTemplate(u"@file", u"", e, 1), u"@y4.@file");
  EXPECT_EQ(ExpandRenameTemplate(u"A@モデルB", u"", Entry(Shot(2024, 5, 1, 9, 3, 7), u"a.JPG", u""), 1), u"AB");
  EXPECT_EQ(ExpandRenameTemplate(u"A@メーカーB", u"", e, 1), u"AB");
}

TEST_F(RenameTemplate, FileNameWithoutItsLastExtension) {
  struct Case { const char16_t* name; const char16_t* value; } cases[] = {
      {u"a.b.JPG", u"a.b"}, {u"README", u"README"}, {u".hidden", u""}, {u"trail.", u"trail"}, {u"IMG_0001.jpeg", u"IMG_0001"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExpandRenameTemplate(u"@file", u"", Entry(Shot(2024, 5, 1, 0, 0, 0), c.name), 1), c.value) << U8(c.name);
}

TEST_F(RenameTemplate, MissingDateGivesZerosAndNoEraOrWeekday) {
  for (double missing : {MissingDate, -693594.0 - 5, 1e12}) {
    const SourceRecord e = Entry(missing);
    EXPECT_EQ(ExpandRenameTemplate(u"@年4|@年2|@月2|@月1|@日2|@日1|@時2|@時1|@分2|@分1|@秒2|@秒1", u"", e, 1),
              u"0000|00|00|0|00|0|00|0|00|0|00|0");
    EXPECT_EQ(ExpandRenameTemplate(u"[@元号1][@元号2][@元号年2][@元号年1][@曜1]", u"", e, 1), u"[][][][][]");
  }
}

TEST_F(RenameTemplate, JapaneseEraYears) {
  struct Case { int y, m, d; const char16_t* full; const char16_t* shortName; const char16_t* year2; const char16_t* year1; } cases[] = {
      {2024, 5, 1, u"令和", u"令", u"06", u"6"},
      {2019, 5, 1, u"令和", u"令", u"01", u"1"},
      {2019, 4, 30, u"平成", u"平", u"31", u"31"},
      {2000, 1, 1, u"平成", u"平", u"12", u"12"},
      {1989, 1, 7, u"昭和", u"昭", u"64", u"64"},
      {1989, 1, 8, u"平成", u"平", u"01", u"1"},
  };
  for (const Case& c : cases) {
    const SourceRecord e = Entry(Shot(c.y, c.m, c.d, 12, 0, 0));
    EXPECT_EQ(ExpandRenameTemplate(u"@元号2|@元号1|@元号年2|@元号年1", u"", e, 1),
              std::u16string(c.full) + u"|" + c.shortName + u"|" + c.year2 + u"|" + c.year1)
        << c.y << "-" << c.m << "-" << c.d;
  }
  // Before the first era the platform names none: every era token is empty.
  EXPECT_EQ(ExpandRenameTemplate(u"[@g2@G1@e2@E1]", u"", Entry(Shot(1800, 1, 1, 0, 0, 0)), 1), u"[]");
}

TEST(RenameTemplateLocale, EraShorteningByLanguage) {
  struct Case { LocaleLanguage language; const char16_t* era; const char16_t* shortName; } cases[] = {
      {LocaleLanguage::ChineseTraditional, u"中華民國", u"民國"},
      {LocaleLanguage::ChineseTraditional, u"民國", u"民國"},       // not 4 characters: whole
      {LocaleLanguage::ChineseTraditional, u"ABCDE", u"ABCDE"},
      {LocaleLanguage::Japanese, u"令和", u"令"},
      {LocaleLanguage::Other, u"Heisei", u"Heisei"},
  };
  const SourceRecord e = Entry(Shot(2024, 5, 1, 9, 3, 7));
  for (const Case& c : cases) {
    FakeLocale locale(c.language, EraDate{c.era, u"13"});
    ScopedLocaleOverride guard(locale);
    EXPECT_EQ(ExpandRenameTemplate(u"@G1|@g2|@e2|@E1|@w1", u"", e, 1),
              std::u16string(c.shortName) + u"|" + c.era + u"|13|13|D4")
        << U8(c.era);
  }
  // A platform that cannot format the date in its alternative calendar: empty values.
  FakeLocale none(LocaleLanguage::Japanese, std::nullopt);
  ScopedLocaleOverride guard(none);
  EXPECT_EQ(ExpandRenameTemplate(u"<@元号1@元号2@元号年2@元号年1>", u"", e, 1), u"<>");
  // An empty era name shortens to nothing rather than failing.
  FakeLocale empty(LocaleLanguage::Japanese, EraDate{u"", u""});
  ScopedLocaleOverride guard2(empty);
  EXPECT_EQ(ExpandRenameTemplate(u"<@元号1>", u"", e, 1), u"<>");
}

// テスト names each "@" a user typed that the expander would silently drop.
TEST(RenameTemplateUnknownTokens, NamesEachAtThatStartsNoToken) {
  struct Case {
    std::u16string templateText;
    std::vector<std::u16string> unknown;
  } cases[] = {
      {u"@年4@月2@日2-@時2@分2@秒2", {}},
      {u"@年@月", {u"@年", u"@月"}},                       // the digits forgotten
      {u"@年5\\@モデル", {u"@年5"}},                        // no such width; stops at the separator
      {u"@yyyy-@m2", {u"@yyyy"}},
      {u"@Y4@NUM2@Model", {}},                              // ASCII forms in either case
      {u"photo@", {u"@"}},                                  // a lone "@" at the end
      {u"@@x@ x", {u"@"}},                                  // "@@" is a token; "@ " is not
      {u"@元のフォルダ名", {}},                             // whole-template markers
      {u"@FOLDER", {}},
      {u"@file", {}},
      {u"@元のフォルダ名\\@年4", {u"@元のフォルダ名"}},    // a marker only counts alone
      {u"(@曜)@日2", {u"@曜"}},
      {u"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(UnknownTemplateTokens(c.templateText), c.unknown) << U8(c.templateText);
}

TEST_F(RenameTemplate, TokenTableShowsBothFormsAndTheExamplePhotosValues) {
  SourceRecord photo = Entry(Shot(2019, 5, 1, 9, 5, 7), u"IMG_0012.JPG");
  photo.Folder = u"D:\\DCIM\\100CANON\\";
  std::vector<TemplateTokenHelp> rows = TemplateTokenTable(&photo);
  auto row = [&](const std::u16string& ascii) {
    for (const TemplateTokenHelp& r : rows)
      if (r.ascii == ascii) return r;
    ADD_FAILURE() << "no row " << U8(ascii);
    return TemplateTokenHelp{};
  };
  struct Case {
    std::u16string ascii, japanese, example;
  } cases[] = {
      {u"@y4", u"@年4", u"2019"},
      {u"@m1", u"@月1", u"5"},
      {u"@n2", u"@分2", u"05"},
      {u"@num3", u"@通3 / @番3", u"001"},
      {u"@g2", u"@元号2", u"令和"},
      {u"@file", u"@元のファイル名", u"IMG_0012"},
      {u"@folder", u"@元のフォルダ名", u"100CANON"},
      {u"@@", u"@@", u"@"},
  };
  for (const Case& c : cases) {
    TemplateTokenHelp r = row(c.ascii);
    EXPECT_EQ(r.japanese, c.japanese) << U8(c.ascii);
    EXPECT_EQ(r.example, c.example) << U8(c.ascii);
    EXPECT_FALSE(r.meaning.empty()) << U8(c.ascii);
  }
  // Every form of the table is a token the expander knows: none is reported unknown.
  for (const TemplateTokenHelp& r : TemplateTokenTable(nullptr)) {
    EXPECT_TRUE(r.example.empty());
    for (const std::u16string& form : {r.ascii, r.japanese.substr(0, r.japanese.find(u' '))})
      EXPECT_TRUE(UnknownTemplateTokens(form).empty()) << U8(form);
  }
}
