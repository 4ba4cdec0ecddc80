#include "platform/FileSystem.h"

#include <algorithm>
#include <vector>

#include "platform/Text.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace tess {
namespace {

struct CaseKeyEntry {
  char32_t from;
  char32_t key;
};

constexpr CaseKeyEntry kCaseKeys[] = {
#include "platform/CaseKeys.inc"
};

// Windows drops the dots and blanks that end a name.
void TrimNameEnd(std::u16string& name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
}

std::string ContentHashText(uint64_t high, uint64_t low) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "xxh128:";
  for (uint64_t half : {high, low})
    for (int shift = 60; shift >= 0; shift -= 4) text += digits[(half >> shift) & 15];
  return text;
}

}  // namespace

char32_t CaseKey(char32_t c) {
  auto it = std::lower_bound(std::begin(kCaseKeys), std::end(kCaseKeys), c,
                             [](const CaseKeyEntry& e, char32_t v) { return e.from < v; });
  return it != std::end(kCaseKeys) && it->from == c ? it->key : c;
}

std::u16string FileSystemPath(const std::u16string& path) {
  // A leading "\\" (a network path) keeps both separators; its server and share, like a
  // drive, are never climbed out of.
  std::u16string root;
  size_t i = 0;
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    root = u"\\\\";
    i = 2;
  }
  std::vector<std::u16string> segments;
  size_t fixed = 0;
  while (i <= path.size()) {
    size_t end = i;
    while (end < path.size() && !IsPathSeparator(path[end])) ++end;
    std::u16string segment = path.substr(i, end - i);
    i = end + 1;
    if (segment.empty() || segment == u".") continue;
    if (segment == u"..") {
      if (segments.size() > fixed) segments.pop_back();
      continue;
    }
    // Every level, not only the last: "Cam.\x" and "Cam\x" are one folder on disk.
    TrimNameEnd(segment);
    if (segment.empty()) continue;
    segments.push_back(std::move(segment));
    if (segments.size() == 1 && (!root.empty() || segments[0].back() == u':')) fixed = root.empty() ? 1 : 2;
  }
  std::u16string out = root;
  for (size_t s = 0; s < segments.size(); ++s) {
    if (s > 0) out += u'\\';
    out += segments[s];
  }
  return out;
}

std::u16string CaseFold(std::u16string_view text) {
  std::u16string key;
  key.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    // A supplementary letter (Deseret, Adlam, ...) is folded as one code point.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    char32_t k = CaseKey(c);
    if (k >= 0x10000) {
      key += char16_t(0xD800 + ((k - 0x10000) >> 10));
      key += char16_t(0xDC00 + ((k - 0x10000) & 0x3FF));
    } else {
      key += char16_t(k);
    }
  }
  return key;
}

struct ContentHasher::State {
  XXH3_state_t xxh;
};

ContentHasher::ContentHasher() : state_(new State) { XXH3_128bits_reset(&state_->xxh); }
ContentHasher::~ContentHasher() { delete state_; }
void ContentHasher::Update(const void* data, size_t size) { XXH3_128bits_update(&state_->xxh, data, size); }

std::string ContentHasher::Result() const {
  XXH128_hash_t value = XXH3_128bits_digest(&state_->xxh);
  return ContentHashText(value.high64, value.low64);
}

std::string ContentHashOf(std::string_view bytes) {
  ContentHasher hasher;
  hasher.Update(bytes.data(), bytes.size());
  return hasher.Result();
}

std::u16string FileSystemPathKey(const std::u16string& path) { return CaseFold(FileSystemPath(path)); }

}  // namespace tess
