#pragma once
// The rename template language: "@" tokens replaced by a photo's shooting date and time,
// camera, file name and the run's sequence number; every other character copied.
#include <string>

#include "browse/FileRecords.h"

namespace tess {

// prefix followed by the expansion of templateText for entry. Values are inserted as they
// are and never scanned again; an "@" that starts no token is dropped.
std::u16string ExpandRenameTemplate(const std::u16string& templateText, const std::u16string& prefix,
                                    const TExifFilesToListItem& entry, int sequence);
// The same with every value made fit for one name on disk: each character Windows forbids
// in a name (\ / : * ? " < > | and control characters) becomes "_", so that a camera text
// can neither fail a copy nor open a folder or climb out of one.
std::u16string ExpandRenameTemplateForName(const std::u16string& templateText, const TExifFilesToListItem& entry,
                                           int sequence);

// True when the template holds a token of the shooting date or time (year, era, month,
// day, weekday, hour, minute, second): a photo without a date cannot be named by it.
bool TemplateUsesShotDate(const std::u16string& templateText);

// True for a character Windows does not allow in a file or folder name.
bool IsForbiddenNameCharacter(char16_t c);

// Everything of a file name before its last "."; the whole name when it has no ".".
std::u16string NameWithoutExtension(const std::u16string& name);
// The file name from its last "." on, dot included; empty when it has no ".".
std::u16string NameExtension(const std::u16string& name);

}  // namespace tess
