#include "platform/Text.h"

namespace tess {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  auto cont = [&](size_t k) { return k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80; };
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t c;
    size_t len;
    if (b < 0x80) { c = b; len = 1; }
    else if ((b & 0xE0) == 0xC0 && cont(i + 1)) { c = ((b & 0x1F) << 6) | (text[i + 1] & 0x3F); len = 2; }
    else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      c = ((b & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F); len = 3;
    } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      c = ((b & 0x07) << 18) | ((text[i + 1] & 0x3F) << 12) | ((text[i + 2] & 0x3F) << 6) | (text[i + 3] & 0x3F);
      len = 4;
    } else { c = 0xFFFD; len = 1; }
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c > 0x10FFFF ? 0xFFFD : c);
    }
    i += len;
  }
  return out;
}

bool IsNonAsciiUtf8(std::string_view bytes) {
  bool nonAscii = false;
  size_t i = 0;
  auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    unsigned char b = byte(i);
    if (b < 0x80) { ++i; continue; }
    nonAscii = true;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) len = 2;
    else if (b >= 0xE0 && b <= 0xEF) { len = 3; if (b == 0xE0) lo = 0xA0; if (b == 0xED) hi = 0x9F; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 4; if (b == 0xF0) lo = 0x90; if (b == 0xF4) hi = 0x8F; }
    else return false;
    if (bytes.size() - i < len) return false;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return false;
    for (size_t k = 2; k < len; ++k)
      if ((byte(i + k) & 0xC0) != 0x80) return false;
    i += len;
  }
  return nonAscii;
}

char16_t UpperCaseLetter(char16_t c) {
  if (c < 0x80) return AsciiUpper(c);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs capital and small letters on even and odd code points,
    // shifted by one in two runs; a few letters have no pair here.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 0) ? char16_t(c - 1) : c;
    return (c % 2 == 1) ? char16_t(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 0x20);
  return c;
}

int CompareTextAscii(std::u16string_view a, std::u16string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
    if (x != y) return x - y;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameTextAscii(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareTextAscii(a, b) == 0;
}

std::u16string PadNumber(long long value, int minDigits) {
  std::u16string digits;
  bool negative = value < 0;
  unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    digits.insert(digits.begin(), char16_t(u'0' + v % 10));
    v /= 10;
  } while (v != 0);
  while (static_cast<int>(digits.size()) < minDigits) digits.insert(digits.begin(), u'0');
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

}  // namespace tess
