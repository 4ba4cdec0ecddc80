// Camera clock rules: the shift text, the arithmetic over calendar edges, which rule a
// photo takes, the video rule and the stored form.
#include <gtest/gtest.h>

#include "platform/MemorySettings.h"
#include "platform/Text.h"
#include "rename/ClockRules.h"
#include "rename/ClockTable.h"

using namespace tess;

namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  TDateTime v = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, ms}, v));
  return v;
}

std::string Show(TDateTime v) { return ToUtf8(FormatDateTime(v, true)); }

FileRecord Shot(const char16_t* make, const char16_t* model, const char16_t* serial, TDateTime when) {
  FileRecord r;
  r.HasMetadata = true;
  r.ExifCameraMake = make;
  r.ExifCameraModel = model;
  r.ExifCameraSerial = serial;
  r.ExifDateTimeOriginal = when;
  return r;
}

}  // namespace

TEST(ClockShift, ReadsAndWritesTheShiftText) {
  const struct {
    const char16_t* text;
    std::optional<int64_t> seconds;
    const char16_t* formatted;  // null: as typed
  } cases[] = {
      {u"+1:00:00", 3600, nullptr},
      {u"-0:30:00", -1800, nullptr},
      {u"1:00:00", 3600, u"+1:00:00"},
      {u" +01:00:05 ", 3605, u"+1:00:05"},
      {u"+2d03:00:00", 2 * 86400 + 3 * 3600, nullptr},
      {u"-1D00:00:01", -86401, u"-1d00:00:01"},
      {u"+400d00:00:00", 400 * 86400, nullptr},
      {u"+36:00:00", 36 * 3600, u"+1d12:00:00"},
      {u"0:00:00", 0, nullptr},
      {u"+1:60:00", std::nullopt, nullptr},
      {u"+1:00:60", std::nullopt, nullptr},
      {u"+1d24:00:00", std::nullopt, nullptr},
      {u"+1:00", std::nullopt, nullptr},
      {u"1h", std::nullopt, nullptr},
      {u"+-1:00:00", std::nullopt, nullptr},
      {u"+1:00:00x", std::nullopt, nullptr},
      {u"", std::nullopt, nullptr},
      {u"+999999d00:00:00", std::nullopt, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    EXPECT_EQ(ParseShift(c.text), c.seconds);
    if (c.seconds) EXPECT_EQ(FormatShift(*c.seconds), c.formatted ? c.formatted : c.text);
  }
}

TEST(ClockShift, ArithmeticOverCalendarEdges) {
  const struct {
    const char* name;
    TDateTime from;
    const char16_t* shift;
    const char* to;  // null: refused
  } cases[] = {
      {"hour", At(2024, 5, 1, 10, 0, 0), u"+1:00:00", "2024/05/01 11:00:00.000"},
      {"milliseconds kept", At(2024, 5, 1, 10, 0, 0, 250), u"-0:00:01", "2024/05/01 09:59:59.250"},
      {"month roll-over", At(2024, 4, 30, 23, 30, 0), u"+1:00:00", "2024/05/01 00:30:00.000"},
      {"year roll-over", At(2023, 12, 31, 23, 0, 0), u"+2:00:00", "2024/01/01 01:00:00.000"},
      {"back over new year", At(2024, 1, 1, 0, 10, 0), u"-0:20:00", "2023/12/31 23:50:00.000"},
      {"onto the leap day", At(2024, 2, 28, 12, 0, 0), u"+1d00:00:00", "2024/02/29 12:00:00.000"},
      {"no leap day in 2023", At(2023, 2, 28, 12, 0, 0), u"+1d00:00:00", "2023/03/01 12:00:00.000"},
      {"no leap day in 1900", At(1900, 2, 28, 12, 0, 0), u"+1d00:00:00", "1900/03/01 12:00:00.000"},
      {"back from the leap day", At(2024, 3, 1, 0, 0, 0), u"-0:00:01", "2024/02/29 23:59:59.000"},
      {"years", At(2015, 6, 1, 8, 0, 0), u"+3288d00:00:00", "2024/06/01 08:00:00.000"},
      {"Heisei into Reiwa", At(2019, 4, 30, 23, 0, 0), u"+1:30:00", "2019/05/01 00:30:00.000"},
      {"before 1900", At(1900, 1, 1, 0, 30, 0), u"-1:00:00", nullptr},
      {"after 2999", At(2999, 12, 31, 23, 30, 0), u"+1:00:00", nullptr},
      {"last second of 2999", At(2999, 12, 31, 23, 0, 0), u"+0:59:59", "2999/12/31 23:59:59.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<int64_t> shift = ParseShift(c.shift);
    ASSERT_TRUE(shift);
    std::optional<TDateTime> to = ShiftTime(c.from, *shift);
    if (!c.to) {
      EXPECT_FALSE(to);
      continue;
    }
    ASSERT_TRUE(to);
    EXPECT_EQ(Show(*to), c.to);
    // The shift between the two times is the shift applied, to the second.
    EXPECT_EQ(ShiftBetween(c.from, *to), shift);
  }
}

TEST(ClockShift, ShiftFromAReferencePhoto) {
  const struct {
    const char16_t* typed;
    std::optional<int64_t> shift;
  } cases[] = {
      {u"2024/05/01 11:00:00", 3600},
      {u"2024/5/1 9:59", -60},
      {u"2024-04-30 10:00:00", -86400},
      {u"2024/05/01T10:00:00", 0},
      {u"2024/02/30 10:00:00", std::nullopt},
      {u"2024/05/01 24:00:00", std::nullopt},
      {u"1899/12/31 10:00:00", std::nullopt},
      {u"3000/01/01 00:00:00", std::nullopt},
      {u"きのう", std::nullopt},
  };
  const TDateTime recorded = At(2024, 5, 1, 10, 0, 0, 400);
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.typed));
    std::optional<TDateTime> wanted = ParseTypedDateTime(c.typed);
    EXPECT_EQ(wanted.has_value(), c.shift.has_value());
    if (wanted) EXPECT_EQ(ShiftBetween(recorded, *wanted), c.shift);
  }
}

TEST(ClockRules, TheBodyRuleComesBeforeTheModelRule) {
  ClockRules rules;
  rules.Set({{u"Canon", u"Canon EOS R6", u""}, 3600});
  rules.Set({{u"Canon", u"Canon EOS R6", u"0123"}, -600});
  rules.Set({{u"", u"", u"", true}, 60});
  const TDateTime t = At(2024, 5, 1, 10, 0, 0);
  const struct {
    const char* name;
    FileRecord photo;
    const char* corrected;
    const char16_t* rule;
  } cases[] = {
      {"the body with its own rule", Shot(u"Canon", u"Canon EOS R6", u"0123", t), "2024/05/01 09:50:00.000",
       u"Canon EOS R6 #0123"},
      {"another body of the model", Shot(u"Canon", u"Canon EOS R6", u"9999", t), "2024/05/01 11:00:00.000",
       u"Canon EOS R6"},
      {"no serial", Shot(u"Canon ", u"Canon EOS R6 ", u"", t), "2024/05/01 11:00:00.000", u"Canon EOS R6"},
      {"another camera: the rule for all", Shot(u"FUJIFILM", u"X-T5", u"", t), "2024/05/01 10:01:00.000", u"*"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CorrectedTime corrected = rules.Correct(c.photo);
    EXPECT_EQ(Show(corrected.time), c.corrected);
    ASSERT_TRUE(corrected.rule);
    EXPECT_EQ(CameraLabel(corrected.rule->camera), c.rule);
    EXPECT_TRUE(corrected.changed);
  }
  // A photo without a date keeps none; an empty rule removes the camera's.
  EXPECT_EQ(rules.Correct(Shot(u"Canon", u"Canon EOS R6", u"", 0)).time, 0);
  rules.Set({{u"", u"", u"", true}, 0});
  EXPECT_FALSE(rules.Correct(Shot(u"FUJIFILM", u"X-T5", u"", t)).rule);
  // A shift that would leave 1900..2999 is not applied, and said.
  rules.Set({{u"FUJIFILM", u"X-T5", u""}, -200LL * 365 * 86400});
  CorrectedTime refused = rules.Correct(Shot(u"FUJIFILM", u"X-T5", u"", At(1990, 1, 1, 0, 0, 0)));
  EXPECT_TRUE(refused.outOfRange);
  EXPECT_FALSE(refused.changed);
}

TEST(ClockRules, TheVideoRuleTakesTheHeaderTimeAsTheCameraWroteIt) {
  // The header said 01:00 UTC; in Tokyo that was shown as 10:00. The camera meant 01:00.
  FileRecord video = Shot(u"Panasonic", u"DC-GH6", u"", At(2024, 5, 1, 10, 0, 0));
  video.ExifMovieHeaderTime = At(2024, 5, 1, 1, 0, 0);
  FileRecord photo = Shot(u"Panasonic", u"DC-GH6", u"", At(2024, 5, 1, 10, 0, 0));
  ClockRules rules;
  rules.Set({{u"Panasonic", u"DC-GH6", u""}, 0, VideoTime::Local});
  EXPECT_EQ(Show(rules.Correct(video).time), "2024/05/01 01:00:00.000");
  EXPECT_FALSE(rules.Correct(photo).changed) << "photos are not videos";
  rules.Set({{u"Panasonic", u"DC-GH6", u""}, 3600, VideoTime::Local});
  CorrectedTime corrected = rules.Correct(video);
  EXPECT_EQ(Show(corrected.time), "2024/05/01 02:00:00.000") << "the shift applies to the camera's own time";
  EXPECT_EQ(CorrectionLine(video.ExifDateTimeOriginal, corrected),
            u"2024/05/01 10:00:00 → 02:00:00 (+1:00:00, 動画はカメラの時刻, Panasonic DC-GH6)");
  EXPECT_EQ(CorrectionLine(photo.ExifDateTimeOriginal, rules.Correct(photo)),
            u"2024/05/01 10:00:00 → 11:00:00 (+1:00:00, Panasonic DC-GH6)");
  rules.Set({{u"Panasonic", u"DC-GH6", u""}, 15 * 3600, VideoTime::Utc});
  EXPECT_EQ(CorrectionLine(photo.ExifDateTimeOriginal, rules.Correct(photo)),
            u"2024/05/01 10:00:00 → 2024/05/02 01:00:00 (+15:00:00, Panasonic DC-GH6)");
  EXPECT_EQ(Show(rules.Correct(video).time), "2024/05/02 01:00:00.000") << "a UTC rule keeps the converted time";
}

TEST(ClockRules, KeptInTheSettingsHive) {
  MemorySettingsStore store;
  EXPECT_TRUE(ReadClockRules(store).rules.empty());
  ClockRules rules;
  rules.Set({{u"Canon", u"Canon EOS R6", u"0123"}, -86400 - 1, VideoTime::Local});
  rules.Set({{u"SONY", u"ILCE-7M4", u""}, 3600});
  rules.Set({{u"", u"", u"", true}, 0, VideoTime::Local});
  ASSERT_TRUE(WriteClockRules(store, rules));
  ClockRules read = ReadClockRules(store);
  ASSERT_EQ(read.rules.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read.rules[i].camera, rules.rules[i].camera);
    EXPECT_EQ(read.rules[i].shiftSeconds, rules.rules[i].shiftSeconds);
    EXPECT_EQ(read.rules[i].video, rules.rules[i].video);
  }
  // A line that cannot be read is passed over, not taken for a rule.
  EXPECT_FALSE(DecodeClockRule(u"Canon\tEOS\t\t+1h\tutc"));
  EXPECT_FALSE(DecodeClockRule(u"Canon\tEOS\t\t+1:00:00"));
  EXPECT_TRUE(DecodeClockRule(u"Canon\tEOS\t\t+1:00:00\tutc"));
}

// The "時刻補正..." table's logic: the batch's cameras, a shift typed or found from a photo,
// the corrected span as typed, and bad input refused with nothing applied.
TEST(ClockTable, SetsARuleFromAReferencePhoto) {
  RenameJob job;
  auto add = [&](const char16_t* name, const char16_t* model, TDateTime when) {
    SourceRecord r;
    static_cast<FileRecord&>(r) = Shot(u"Canon", model, u"", when);
    r.Name = name;
    job.photos.push_back({std::u16string(u"E:\\DCIM\\") + name, r});
  };
  add(u"IMG_0002.JPG", u"Canon EOS R6", At(2024, 5, 1, 9, 30, 0));
  add(u"IMG_0001.JPG", u"Canon EOS R6", At(2024, 5, 1, 9, 0, 0));
  add(u"MVI_0003.MP4", u"Canon EOS R6", At(2024, 5, 1, 9, 45, 0));
  add(u"IMG_9001.JPG", u"Canon EOS R8", At(2024, 5, 1, 10, 0, 0));
  ClockRules stored;
  stored.Set({{u"Canon", u"Canon EOS R8", u""}, -60});
  stored.Set({{u"SONY", u"ILCE-7M4", u""}, 60});
  EXPECT_EQ(RulesOfBatchLine(job, stored), u"時刻補正あり: Canon EOS R8 (-0:01:00)") << "only the batch's cameras";
  ClockTable table(job, stored);
  ASSERT_EQ(table.Rows().size(), 2u);
  const ClockTableRow& r6 = table.Rows()[0];
  EXPECT_EQ(r6.label, u"Canon EOS R6");
  EXPECT_EQ(r6.photos, 2u);
  EXPECT_EQ(r6.videos, 1u);
  EXPECT_EQ(Show(r6.first), "2024/05/01 09:00:00.000");
  EXPECT_EQ(Show(r6.last), "2024/05/01 09:45:00.000");
  EXPECT_EQ(r6.shiftText, u"0:00:00");
  EXPECT_EQ(table.Rows()[1].shiftText, u"-0:01:00") << "the kept rule";
  // The reference photo (the first shot) shows a clock an hour behind.
  EXPECT_EQ(table.ShotText(0, 0), u"IMG_0001.JPG  2024/05/01 09:00:00");
  EXPECT_EQ(table.SetShiftFromPhoto(0, 0, u"2024/05/01 10:00:00"), u"");
  EXPECT_EQ(table.Rows()[0].shiftText, u"+1:00:00");
  EXPECT_EQ(table.CorrectedSpan(0), u"2024/05/01 10:00:00 - 2024/05/01 10:45:00");
  // Bad input: refused with a message; Apply gives nothing while one row is bad.
  EXPECT_NE(table.SetShiftFromPhoto(0, 0, u"2024/13/01 10:00:00").find(u"正しい日時を読めません"), std::u16string::npos);
  EXPECT_EQ(table.Rows()[0].shiftText, u"+1:00:00") << "a time that cannot be read changes nothing";
  std::u16string error;
  EXPECT_NE(table.SetShiftText(1, u"+1h").find(u"時刻のずれを読めません"), std::u16string::npos);
  EXPECT_FALSE(table.Apply(stored, error));
  EXPECT_EQ(error.rfind(u"Canon EOS R8: ", 0), 0u);
  EXPECT_NE(table.SetShiftText(1, u"-50000d00:00:00").find(u"範囲外"), std::u16string::npos);
  EXPECT_FALSE(table.Apply(stored, error));
  // Set right: the R6 rule is kept, the R8's removed, the other camera's untouched.
  EXPECT_EQ(table.SetShiftText(1, u"0:00:00"), u"");
  table.SetVideoRule(0, VideoTime::Local);
  std::optional<ClockRules> applied = table.Apply(stored, error);
  ASSERT_TRUE(applied) << ToUtf8(error);
  ASSERT_EQ(applied->rules.size(), 2u);
  EXPECT_EQ(CameraLabel(applied->rules[0].camera), u"SONY ILCE-7M4");
  EXPECT_EQ(applied->rules[1].shiftSeconds, 3600);
  EXPECT_EQ(applied->rules[1].video, VideoTime::Local);
  EXPECT_EQ(RulesOfBatchLine(job, *applied), u"時刻補正あり: Canon EOS R6 (+1:00:00, 動画はカメラの時刻)");
}
