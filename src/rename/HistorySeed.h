#pragma once
// The import history's first filling: the runs the journals still keep are recorded once, so
// that the first run after the history arrived already knows what the last runs filed.
#include <functional>
#include <optional>
#include <string>

#include "history/ImportHistory.h"
#include "platform/JournalFolder.h"
#include "rename/RunJournal.h"

namespace tess {

// The identity of the photo in a file (its camera, serial and recorded time); nothing when
// the file cannot be read. Name, size and hash come from the journal.
using ReadPhotoIdentity = std::function<std::optional<PhotoIdentity>(const std::u16string& path)>;

// What a journal's pair filed, when it filed something that is still filed: a verified copy or
// a move that arrived, not undone. The photo is read at its destination (the same bytes), else
// at its source.
std::optional<ImportEntry> FiledEntry(const RunJournal& run, const JournalPair& pair, const ReadPhotoIdentity& read);

// Records every kept journal's filed pairs, once per database; the number recorded.
size_t SeedHistoryFromJournals(ImportHistory& history, JournalFolder& journals, const ReadPhotoIdentity& read);

// The identity as the metadata reader gives it (the shot date after the same fallback the
// file list uses: original, else DateTime, else digitized).
std::optional<PhotoIdentity> ReadPhotoIdentityFromFile(const std::u16string& path);

}  // namespace tess
