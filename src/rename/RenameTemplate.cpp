#include "rename/RenameTemplate.h"

#include <string_view>

#include "platform/Locale.h"
#include "platform/Text.h"
#include "platform/UiTexts.h"

namespace tess {
namespace {

enum class Value {
  At, Year4, Year2, EraShort, EraFull, EraYear2, EraYear1, Month2, Month1, Day2, Day1, Hour2, Hour1,
  Minute2, Minute1, Second2, Second1, Weekday, Seq1, Seq2, Seq3, Seq4, Model, Make, FileName,
};

struct Token {
  std::u16string_view text;
  Value value;
};

// In trial order: by row, the Japanese forms of a row before its ASCII form.
constexpr Token kTokens[] = {
    {u"@@", Value::At},
    {u"@年4", Value::Year4},       {u"@y4", Value::Year4},
    {u"@年2", Value::Year2},       {u"@y2", Value::Year2},
    {u"@元号1", Value::EraShort},  {u"@G1", Value::EraShort},
    {u"@元号2", Value::EraFull},   {u"@g2", Value::EraFull},
    {u"@元号年2", Value::EraYear2}, {u"@e2", Value::EraYear2},
    {u"@元号年1", Value::EraYear1}, {u"@E1", Value::EraYear1},
    {u"@月2", Value::Month2},      {u"@m2", Value::Month2},
    {u"@月1", Value::Month1},      {u"@m1", Value::Month1},
    {u"@日2", Value::Day2},        {u"@d2", Value::Day2},
    {u"@日1", Value::Day1},        {u"@d1", Value::Day1},
    {u"@時2", Value::Hour2},       {u"@h2", Value::Hour2},
    {u"@時1", Value::Hour1},       {u"@h1", Value::Hour1},
    {u"@分2", Value::Minute2},     {u"@n2", Value::Minute2},
    {u"@分1", Value::Minute1},     {u"@n1", Value::Minute1},
    {u"@秒2", Value::Second2},     {u"@s2", Value::Second2},
    {u"@秒1", Value::Second1},     {u"@s1", Value::Second1},
    {u"@曜1", Value::Weekday},     {u"@w1", Value::Weekday},
    {u"@通1", Value::Seq1},        {u"@番1", Value::Seq1},        {u"@num1", Value::Seq1},
    {u"@通2", Value::Seq2},        {u"@番2", Value::Seq2},        {u"@num2", Value::Seq2},
    {u"@通3", Value::Seq3},        {u"@番3", Value::Seq3},        {u"@num3", Value::Seq3},
    {u"@通4", Value::Seq4},        {u"@番4", Value::Seq4},        {u"@num4", Value::Seq4},
    {u"@モデル", Value::Model},    {u"@model", Value::Model},
    {u"@メーカー", Value::Make},   {u"@make", Value::Make},
    {u"@元のファイル名", Value::FileName}, {u"@file", Value::FileName},
};

// What each value means, in the order of the token table.
struct ValueMeaning {
  Value value;
  const char16_t* meaning;
};
constexpr ValueMeaning kMeanings[] = {
    {Value::Year4, texts::kTokenYear4},       {Value::Year2, texts::kTokenYear2},
    {Value::EraShort, texts::kTokenEraShort}, {Value::EraFull, texts::kTokenEraFull},
    {Value::EraYear2, texts::kTokenEraYear2}, {Value::EraYear1, texts::kTokenEraYear1},
    {Value::Month2, texts::kTokenMonth2},     {Value::Month1, texts::kTokenMonth1},
    {Value::Day2, texts::kTokenDay2},         {Value::Day1, texts::kTokenDay1},
    {Value::Hour2, texts::kTokenHour2},       {Value::Hour1, texts::kTokenHour1},
    {Value::Minute2, texts::kTokenMinute2},   {Value::Minute1, texts::kTokenMinute1},
    {Value::Second2, texts::kTokenSecond2},   {Value::Second1, texts::kTokenSecond1},
    {Value::Weekday, texts::kTokenWeekday},   {Value::Seq1, texts::kTokenSeq1},
    {Value::Seq2, texts::kTokenSeq2},         {Value::Seq3, texts::kTokenSeq3},
    {Value::Seq4, texts::kTokenSeq4},         {Value::Model, texts::kTokenModel},
    {Value::Make, texts::kTokenMake},         {Value::FileName, texts::kTokenFileName},
    {Value::At, texts::kTokenAt},
};

bool IsAsciiText(std::u16string_view text) {
  for (char16_t c : text)
    if (c >= 0x80) return false;
  return true;
}

const Token* MatchToken(std::u16string_view rest) {
  for (const Token& token : kTokens) {
    // ASCII letters match either case; every other character must be the same unit.
    if (rest.size() >= token.text.size() && SameTextAscii(rest.substr(0, token.text.size()), token.text)) return &token;
  }
  return nullptr;
}

// Where a mistyped token ends: what a user types between tokens.
bool EndsUnknownToken(char16_t c) {
  if (c == u'@' || c == u'\\' || c == u'/' || c <= u' ' || c == 0x3000) return true;
  if (c < 0x80 && !((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) return true;
  // Full-width brackets and the Japanese punctuation.
  return c == u'（' || c == u'）' || c == u'「' || c == u'」' || c == u'、' || c == u'。' || c == u'・' || c == u'－';
}

// What one expansion reads from its entry, decoded once.
class EntryValues {
 public:
  EntryValues(const SourceRecord& entry, int sequence) : entry_(entry), sequence_(sequence) {
    // A value with no calendar date (MissingDate) leaves every field 0.
    hasDate_ = DecodeDateTime(entry.ExifDateTimeOriginal, date_);
  }

  std::u16string Get(Value v) {
    switch (v) {
      case Value::At: return u"@";
      case Value::Year4: return PadNumber(date_.year, 4);
      case Value::Year2: return PadNumber(date_.year % 100, 2);
      case Value::EraShort: return ShortEraName(Era().eraName);
      case Value::EraFull: return Era().eraName;
      case Value::EraYear2: return Era().eraYear;
      case Value::EraYear1: {
        std::u16string year = Era().eraYear;
        if (!year.empty() && year[0] == u'0') year.erase(0, 1);
        return year;
      }
      case Value::Month2: return PadNumber(date_.month, 2);
      case Value::Month1: return PadNumber(date_.month, 1);
      case Value::Day2: return PadNumber(date_.day, 2);
      case Value::Day1: return PadNumber(date_.day, 1);
      case Value::Hour2: return PadNumber(date_.hour, 2);
      case Value::Hour1: return PadNumber(date_.hour, 1);
      case Value::Minute2: return PadNumber(date_.minute, 2);
      case Value::Minute1: return PadNumber(date_.minute, 1);
      case Value::Second2: return PadNumber(date_.second, 2);
      case Value::Second1: return PadNumber(date_.second, 1);
      case Value::Weekday:
        return hasDate_ ? CurrentLocale().ShortDayName(DayOfWeek(entry_.ExifDateTimeOriginal)) : std::u16string();
      case Value::Seq1: return PadNumber(sequence_, 1);
      case Value::Seq2: return PadNumber(sequence_, 2);
      case Value::Seq3: return PadNumber(sequence_, 3);
      case Value::Seq4: return PadNumber(sequence_, 4);
      case Value::Model: return entry_.ExifCameraModel;
      case Value::Make: return entry_.ExifCameraMake;
      case Value::FileName: return NameWithoutExtension(entry_.Name);
    }
    return {};
  }

 private:
  const EraDate& Era() {
    if (!eraLooked_) {
      eraLooked_ = true;
      if (hasDate_) {
        if (auto era = CurrentLocale().AltCalendarEra(date_.year, date_.month, date_.day)) era_ = *era;
      }
    }
    return era_;
  }

  static std::u16string ShortEraName(const std::u16string& name) {
    switch (CurrentLocale().Language()) {
      case LocaleLanguage::Japanese: return name.substr(0, 1);
      case LocaleLanguage::ChineseTraditional: return name.size() == 4 ? name.substr(2, 2) : name;
      default: return name;
    }
  }

  const SourceRecord& entry_;
  int sequence_;
  DateTimeParts date_;
  bool hasDate_ = false;
  bool eraLooked_ = false;
  EraDate era_;
};

}  // namespace

bool IsTemplateMarker(const std::u16string& templateText, MarkerKind kind) {
  const TemplateMarker& marker = Marker(kind);
  return SameTextAscii(templateText, marker.japanese) || SameTextAscii(templateText, marker.ascii);
}

std::vector<std::u16string> UnknownTemplateTokens(const std::u16string& templateText) {
  if (IsTemplateMarker(templateText, MarkerKind::KeepFolder) || IsTemplateMarker(templateText, MarkerKind::KeepName))
    return {};
  std::vector<std::u16string> unknown;
  std::u16string_view rest = templateText;
  while (!rest.empty()) {
    if (rest[0] != u'@') {
      rest.remove_prefix(1);
      continue;
    }
    if (const Token* match = MatchToken(rest)) {
      rest.remove_prefix(match->text.size());
      continue;
    }
    size_t end = 1;
    while (end < rest.size() && !EndsUnknownToken(rest[end])) ++end;
    unknown.emplace_back(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  return unknown;
}

std::vector<TemplateTokenHelp> TemplateTokenTable(const SourceRecord* example) {
  std::vector<TemplateTokenHelp> rows;
  for (const ValueMeaning& m : kMeanings) {
    TemplateTokenHelp row;
    for (const Token& token : kTokens) {
      if (token.value != m.value) continue;
      if (IsAsciiText(token.text)) {
        row.ascii = token.text;
      } else {
        if (!row.japanese.empty()) row.japanese += u" / ";
        row.japanese += token.text;
      }
    }
    if (row.japanese.empty()) row.japanese = row.ascii;
    row.meaning = m.meaning;
    if (example) row.example = ExpandRenameTemplate(row.japanese.substr(0, row.japanese.find(u' ')), u"", *example, 1);
    rows.push_back(std::move(row));
  }
  std::u16string folderName, fileName;
  if (example) {
    std::u16string_view folder = example->Folder;
    while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.remove_suffix(1);
    size_t cut = folder.find_last_of(u"\\/");
    folderName = cut == std::u16string_view::npos ? folder : folder.substr(cut + 1);
    fileName = NameWithoutExtension(example->Name);
  }
  const TemplateMarker& keepFolder = Marker(MarkerKind::KeepFolder);
  const TemplateMarker& keepName = Marker(MarkerKind::KeepName);
  rows.push_back({keepFolder.japanese, keepFolder.ascii, texts::kTokenFolderMarker, folderName});
  rows.push_back({keepName.japanese, keepName.ascii, texts::kTokenFileMarker, fileName});
  return rows;
}

std::u16string NameWithoutExtension(const std::u16string& name) {
  size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string NameExtension(const std::u16string& name) {
  size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? std::u16string() : name.substr(dot);
}

namespace {

std::u16string Expand(const std::u16string& templateText, const std::u16string& prefix,
                      const SourceRecord& entry, int sequence, bool forName) {
  EntryValues values(entry, sequence);
  std::u16string result = prefix;
  std::u16string_view rest = templateText;
  while (!rest.empty()) {
    if (rest[0] != u'@') {
      result += rest[0];
      rest.remove_prefix(1);
      continue;
    }
    if (const Token* match = MatchToken(rest)) {
      std::u16string value = values.Get(match->value);
      if (forName)
        for (char16_t& c : value)
          if (IsForbiddenNameCharacter(c)) c = u'_';
      result += value;
      rest.remove_prefix(match->text.size());
    } else {
      rest.remove_prefix(1);
    }
  }
  return result;
}

}  // namespace

bool IsForbiddenNameCharacter(char16_t c) {
  return c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
         c == u'>' || c == u'|';
}

std::u16string ExpandRenameTemplate(const std::u16string& templateText, const std::u16string& prefix,
                                    const SourceRecord& entry, int sequence) {
  return Expand(templateText, prefix, entry, sequence, false);
}

std::u16string ExpandRenameTemplateForName(const std::u16string& templateText, const SourceRecord& entry,
                                           int sequence) {
  return Expand(templateText, u"", entry, sequence, true);
}

bool TemplateUsesShotDate(const std::u16string& templateText) {
  std::u16string_view rest = templateText;
  while (!rest.empty()) {
    const Token* match = rest[0] == u'@' ? MatchToken(rest) : nullptr;
    if (!match) {
      rest.remove_prefix(1);
      continue;
    }
    switch (match->value) {
      case Value::At: case Value::Seq1: case Value::Seq2: case Value::Seq3: case Value::Seq4:
      case Value::Model: case Value::Make: case Value::FileName:
        break;
      default:
        return true;
    }
    rest.remove_prefix(match->text.size());
  }
  return false;
}

bool TemplatesNeedShotDate(const std::u16string& folderTemplate, const std::u16string& nameTemplate) {
  return (!IsTemplateMarker(folderTemplate, MarkerKind::KeepFolder) && TemplateUsesShotDate(folderTemplate)) ||
         (!IsTemplateMarker(nameTemplate, MarkerKind::KeepName) && TemplateUsesShotDate(nameTemplate));
}

}  // namespace tess
