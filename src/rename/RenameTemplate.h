#pragma once
// The rename template language: "@" tokens replaced by a photo's shooting date and time,
// camera, file name and the run's sequence number; every other character copied.
#include <string>
#include <vector>

#include "records/FileRecord.h"

namespace tess {

// The templates that, as a whole, keep each photo's own folder or file name instead of
// being expanded: the Japanese form (the one the dialog puts first) and the ASCII form,
// either taken without regard to ASCII case.
struct TemplateMarker {
  const char16_t* japanese;
  const char16_t* ascii;
};
enum class MarkerKind { KeepFolder, KeepName };
inline constexpr TemplateMarker kTemplateMarkers[] = {
    {u"@元のフォルダ名", u"@folder"},  // KeepFolder
    {u"@元のファイル名", u"@file"},    // KeepName
};
constexpr const TemplateMarker& Marker(MarkerKind kind) { return kTemplateMarkers[static_cast<int>(kind)]; }
// True when the template is wholly the marker of that kind.
bool IsTemplateMarker(const std::u16string& templateText, MarkerKind kind);

// prefix followed by the expansion of templateText for entry. Values are inserted as they
// are and never scanned again; an "@" that starts no token is dropped.
std::u16string ExpandRenameTemplate(const std::u16string& templateText, const std::u16string& prefix,
                                    const SourceRecord& entry, int sequence);
// The same with every value made fit for one name on disk: each character Windows forbids
// in a name (\ / : * ? " < > | and control characters) becomes "_", so that a camera text
// can neither fail a copy nor open a folder or climb out of one.
std::u16string ExpandRenameTemplateForName(const std::u16string& templateText, const SourceRecord& entry,
                                           int sequence);

// True when the template holds a token of the shooting date or time (year, era, month,
// day, weekday, hour, minute, second): a photo without a date cannot be named by it.
bool TemplateUsesShotDate(const std::u16string& templateText);
// Whether a photo needs a shooting date to be filed by these templates (a template that is
// a keep-as-it-was marker asks for none).
bool TemplatesNeedShotDate(const std::u16string& folderTemplate, const std::u16string& nameTemplate);

// True for a character Windows does not allow in a file or folder name.
bool IsForbiddenNameCharacter(char16_t c);

// The "@" of a template that start no token, each with the characters typed after it up to
// the next "@", separator, blank or punctuation ("@年@月" gives "@年" and "@月"), in order.
// A template that is wholly one of the markers that keep a photo's folder or name has none.
std::vector<std::u16string> UnknownTemplateTokens(const std::u16string& templateText);

// One row of the token table the template editor shows.
struct TemplateTokenHelp {
  std::u16string japanese;  // the Japanese form(s), " / " between two
  std::u16string ascii;     // the ASCII form
  std::u16string meaning;
  std::u16string example;   // the value for the example photo; empty without one
};
// Every token, in the order of the language's table, the two whole-template markers last.
// example may be null.
std::vector<TemplateTokenHelp> TemplateTokenTable(const SourceRecord* example);

// Everything of a file name before its last "."; the whole name when it has no ".".
std::u16string NameWithoutExtension(const std::u16string& name);
// The file name from its last "." on, dot included; empty when it has no ".".
std::u16string NameExtension(const std::u16string& name);

}  // namespace tess
