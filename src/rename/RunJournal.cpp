#include "rename/RunJournal.h"

#include <algorithm>
#include <charconv>

#include "platform/DateTime.h"
#include "platform/Text.h"

namespace tess {
namespace {

const char kMagic[] = "tessarine-journal";
const char kVersion[] = "2";
// Every record ends with this field: a line cut short by a crash, even one ended later by
// a line break, never passes for a record.
const char kEndMark[] = ".";
// The fields of each record, its kind and the end mark included.
size_t FieldCount(std::string_view kind) {
  if (kind == "pair") return 7;
  if (kind == "event") return 6;
  if (kind == "arriving") return 5;
  if (kind == "temp" || kind == "backup") return 4;
  if (kind == "back") return 3;
  if (kind == "run") return 5;
  if (kind == "end" || kind == "undone" || kind == "undo-end") return 4;
  if (kind == "folder" || kind == "undo" || kind == "left" || kind == kMagic) return 3;
  if (kind == "start") return 2;
  return 0;
}

// A field holds any text: "%" and the control characters (tab and line ends among them)
// are written as %XX, so that a line is always one record and a tab always a field end.
std::string Escape(const std::u16string& text) {
  std::string utf8 = ToUtf8(text), out;
  static const char digits[] = "0123456789ABCDEF";
  for (unsigned char c : utf8) {
    if (c < 0x20 || c == '%' || c == 0x7F) {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::u16string Unescape(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '%' && i + 2 < field.size() && HexValue(field[i + 1]) >= 0 && HexValue(field[i + 2]) >= 0) {
      out += char(HexValue(field[i + 1]) * 16 + HexValue(field[i + 2]));
      i += 2;
    } else {
      out += field[i];
    }
  }
  return FromUtf8(out);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::optional<uint64_t> ParseCount(std::string_view text) {
  uint64_t value = 0;
  if (text.empty()) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<PairEvent> ParseEvent(std::string_view word) {
  for (PairEvent e : {PairEvent::Written, PairEvent::Verified, PairEvent::Moved, PairEvent::Failed})
    if (word == EventWord(e)) return e;
  return std::nullopt;
}

std::optional<UndoResult> ParseUndo(std::string_view word) {
  for (UndoResult r : {UndoResult::Restored, UndoResult::Kept, UndoResult::Nothing})
    if (word == UndoWord(r)) return r;
  return std::nullopt;
}

std::u16string Ascii(const std::string& text) { return FromUtf8(text); }
std::u16string Number(uint64_t value) { return Ascii(std::to_string(value)); }

}  // namespace

const char* ActionWord(JournalAction action) { return action == JournalAction::Move ? "move" : "copy"; }

const char* EventWord(PairEvent event) {
  switch (event) {
    case PairEvent::Written: return "written";
    case PairEvent::Verified: return "verified";
    case PairEvent::Moved: return "moved";
    case PairEvent::Failed: return "failed";
  }
  return "";
}

const char* UndoWord(UndoResult result) {
  switch (result) {
    case UndoResult::Restored: return "restored";
    case UndoResult::Kept: return "kept";
    case UndoResult::Nothing: return "nothing";
  }
  return "";
}

RunJournal ParseJournal(std::string_view text, std::u16string name) {
  RunJournal journal;
  journal.name = std::move(name);
  bool header = false;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    // The last piece has no line end: a line whose writing was cut short.
    if (end == std::string_view::npos) break;
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> f = SplitFields(line);
    const std::string_view kind = f[0];
    if (f.size() != FieldCount(kind) || f.back() != kEndMark) continue;
    if (!header) {
      // Anything before the first line of this format is not a journal.
      header = kind == kMagic;
      if (header) journal.version = static_cast<int>(ParseCount(f[1]).value_or(1));
      continue;
    }
    if (kind == "run") {
      journal.action = f[1] == "move" ? JournalAction::Move : JournalAction::Copy;
      journal.time = Unescape(f[2]);
    } else if (kind == "pair" && !journal.started) {
      // Pairs are numbered from 0 in order; one out of order is not trusted.
      if (ParseCount(f[1]) != journal.pairs.size()) continue;
      JournalPair pair;
      pair.source = Unescape(f[2]);
      pair.destination = Unescape(f[3]);
      pair.size = ParseCount(f[4]);
      pair.hash = std::string(f[5]);
      journal.pairs.push_back(std::move(pair));
    } else if (kind == "backup" && !journal.started) {
      // Follows its pair's line: that pair is a backup copy, whose other copy is at the path.
      if (journal.pairs.empty() || ParseCount(f[1]) != journal.pairs.size() - 1) continue;
      journal.pairs.back().backupOf = Unescape(f[2]);
    } else if (kind == "folder" && !journal.started) {
      journal.folders.push_back(Unescape(f[1]));
    } else if (kind == "start") {
      journal.started = true;
    } else if (kind == "arriving" || kind == "temp" || kind == "back") {
      std::optional<uint64_t> index = ParseCount(f[1]);
      if (!journal.started || !index || *index >= journal.pairs.size()) continue;
      JournalPair& pair = journal.pairs[*index];
      if (kind == "arriving") {
        pair.arriving = true;
        if (!f[2].empty()) pair.hash = std::string(f[2]);
        if (std::optional<uint64_t> size = ParseCount(f[3])) pair.size = size;
      } else if (kind == "temp") {
        pair.temporaries.push_back(Unescape(f[2]));
      } else {
        pair.back = true;
      }
    } else if (kind == "event" || kind == "undone") {
      std::optional<uint64_t> index = ParseCount(f[1]);
      if (!index || *index >= journal.pairs.size()) continue;
      JournalPair& pair = journal.pairs[*index];
      if (kind == "event") {
        if (std::optional<PairEvent> e = ParseEvent(f[2])) {
          pair.event = e;
          if (!f[3].empty()) pair.hash = std::string(f[3]);
          if (std::optional<uint64_t> size = ParseCount(f[4])) pair.size = size;
        }
      } else if (std::optional<UndoResult> r = ParseUndo(f[2])) {
        pair.undone = r;
      }
    } else if (kind == "end") {
      journal.ended = true;
      journal.endState = std::string(f[1]);
    } else if (kind == "undo") {
      journal.undoStarted = true;
    } else if (kind == "undo-end") {
      journal.undoEnded = true;
    } else if (kind == "left") {
      journal.left = true;
    }
  }
  return journal;
}

std::u16string JournalTimeNow() { return LocalTimeNowText("%Y-%m-%d %H:%M:%S"); }

std::u16string JournalNameFor(const std::u16string& time) {
  // "2026-12-10 14:05:03" -> "20261210-140503": names sort as the runs' times do.
  std::u16string name;
  for (char16_t c : time) {
    if (c >= u'0' && c <= u'9') name += c;
    else if (c == u' ') name += u'-';
  }
  return name;
}

std::unique_ptr<JournalWriter> JournalWriter::Start(JournalFolder& folder, JournalAction action,
                                                   const std::vector<JournalPair>& pairs,
                                                   const std::vector<std::u16string>& folders) {
  std::u16string time = JournalTimeNow();
  std::u16string base = JournalNameFor(time);
  std::vector<std::u16string> names = folder.Names();
  // The newest run's name sorts last: two runs in one second (or after the clock went
  // back) take the last name with a number after it.
  std::u16string name = base;
  if (!names.empty() && names.back() >= base) {
    std::u16string stem = names.back();
    int n = 2;
    size_t dash = stem.rfind(u'-');
    if (dash != std::u16string::npos && stem.size() - dash == 4) {
      if (std::optional<uint64_t> last = ParseCount(ToUtf8(stem.substr(dash + 1)))) {
        n = static_cast<int>(*last) + 1;
        stem.resize(dash);
      }
    }
    name = stem + u"-" + PadNumber(n, 3);
  }
  for (size_t i = 0; i + kJournalsKept <= names.size(); ++i) folder.Remove(names[i]);

  std::unique_ptr<JournalFile> file = folder.Open(name);
  if (!file) return nullptr;
  std::unique_ptr<JournalWriter> writer(new JournalWriter(name, std::move(file)));
  // The plan goes as one block, then to the disk: a crash from here on leaves it whole.
  const std::string end = std::string("\t") + kEndMark + "\n";
  std::string text = std::string(kMagic) + "\t" + kVersion + end;
  text += std::string("run\t") + ActionWord(action) + "\t" + Escape(time) + "\t" + std::to_string(pairs.size()) + end;
  for (size_t i = 0; i < pairs.size(); ++i) {
    const JournalPair& p = pairs[i];
    text += "pair\t" + std::to_string(i) + "\t" + Escape(p.source) + "\t" + Escape(p.destination) + "\t" +
            (p.size ? std::to_string(*p.size) : std::string()) + "\t" + p.hash + end;
    if (!p.backupOf.empty()) text += "backup\t" + std::to_string(i) + "\t" + Escape(p.backupOf) + end;
  }
  for (const std::u16string& f : folders) text += "folder\t" + Escape(f) + end;
  text += "start" + end;
  if (!writer->file_->Append(text) || !writer->file_->Sync()) {
    writer.reset();
    folder.Remove(name);
    return nullptr;
  }
  return writer;
}

std::unique_ptr<JournalWriter> JournalWriter::Reopen(JournalFolder& folder, const std::u16string& name) {
  std::optional<std::string> text = folder.Read(name);
  if (!text) return nullptr;
  std::unique_ptr<JournalFile> file = folder.Open(name);
  if (!file) return nullptr;
  // A line cut short by a crash is ended, so that it stays one ignored line.
  if (!text->empty() && text->back() != '\n' && !file->Append("\n")) return nullptr;
  return std::unique_ptr<JournalWriter>(new JournalWriter(name, std::move(file)));
}

void JournalWriter::Line(const std::vector<std::u16string>& fields, bool sync) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text += '\t';
    text += Escape(fields[i]);
  }
  text += std::string("\t") + kEndMark + "\n";
  // A journal that can no longer be written does not stop the files' run: the undo then
  // judges the pairs without an outcome by what is on the disk.
  file_->Append(text);
  auto now = std::chrono::steady_clock::now();
  if (sync) {
    file_->Sync();
    lastSync_ = now;
  } else if (now - lastSync_ >= std::chrono::seconds(1)) {
    SyncLater();
    lastSync_ = now;
  }
}

void JournalWriter::SyncLater() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    syncWanted_ = true;
  }
  if (!syncer_.joinable()) syncer_ = std::thread([this] { SyncLoop(); });
  wake_.notify_one();
}

// Both systems' appends and flushes may meet on one handle: each flush takes at least what
// was appended before it began.
void JournalWriter::SyncLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return syncWanted_ || stopping_; });
    if (!syncWanted_) return;
    syncWanted_ = false;
    lock.unlock();
    file_->Sync();
    lock.lock();
  }
}

JournalWriter::~JournalWriter() {
  if (!syncer_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  // A sync asked for and not yet begun is made before the thread ends.
  syncer_.join();
}

void JournalWriter::Event(size_t pair, PairEvent event, const std::string& hash, std::optional<uint64_t> size) {
  Line({u"event", Number(pair), Ascii(EventWord(event)), Ascii(hash), size ? Number(*size) : u""}, false);
}

void JournalWriter::Arriving(size_t pair, const std::string& hash, std::optional<uint64_t> size) {
  Line({u"arriving", Number(pair), Ascii(hash), size ? Number(*size) : u""}, false);
}

void JournalWriter::Temporary(size_t pair, const std::u16string& path) { Line({u"temp", Number(pair), path}, false); }

void JournalWriter::Back(size_t pair) { Line({u"back", Number(pair)}, false); }

void JournalWriter::End(const std::string& state, size_t done) { Line({u"end", Ascii(state), Number(done)}, true); }

void JournalWriter::UndoStart() { Line({u"undo", JournalTimeNow()}, true); }

void JournalWriter::Undone(size_t pair, UndoResult result) {
  Line({u"undone", Number(pair), Ascii(UndoWord(result))}, false);
}

void JournalWriter::UndoEnd(size_t restored, size_t kept) {
  Line({u"undo-end", Number(restored), Number(kept)}, true);
}

void JournalWriter::Left() { Line({u"left", JournalTimeNow()}, true); }

}  // namespace tess
