#include "platform/IntConv.h"

namespace tess {
namespace {

template <class Char>
bool Convert(std::basic_string_view<Char> s, int32_t& value) {
  // A NUL ends the text, as it ends a C string.
  for (size_t k = 0; k < s.size(); ++k) {
    if (s[k] == 0) { s = s.substr(0, k); break; }
  }
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true; ++i;
  } else if (i < s.size() && (s[i] == 'x' || s[i] == 'X')) {
    hex = true; ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true; i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t acc = 0;
  for (; i < s.size(); ++i) {
    Char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = unsigned(c - '0');
    else if (hex && c >= 'a' && c <= 'f') digit = unsigned(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F') digit = unsigned(c - 'A' + 10);
    else return false;
    acc = acc * (hex ? 16 : 10) + digit;
    // Hexadecimal may fill all 32 bits (it wraps to negative); decimal must fit the sign.
    if (acc > (hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull))) return false;
  }
  uint32_t bits = static_cast<uint32_t>(acc);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

}  // namespace

bool TryStrToInt(std::u16string_view text, int32_t& value) { return Convert(text, value); }
bool TryStrToInt(std::string_view text, int32_t& value) { return Convert(text, value); }

}  // namespace tess
