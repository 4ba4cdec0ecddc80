#pragma once
// UTF-16 text helpers shared by the portable core. Text is std::u16string everywhere so
// that "compare by UTF-16 code unit" means the same on every platform.
#include <string>
#include <string_view>

namespace tess {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF) with at least one non-ASCII character: what a phone writes into a camera text,
// and what a Shift_JIS text almost never is.
bool IsNonAsciiUtf8(std::string_view bytes);

// ASCII-only case folding, as the file list and the template matcher use it.
constexpr char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
constexpr char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
// Upper case of the letters that Windows file names and the list's filter treat as one:
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width Latin letters.
char16_t UpperCaseLetter(char16_t c);
bool SameTextAscii(std::u16string_view a, std::u16string_view b);
// By UTF-16 code unit with only a-z folded to A-Z: the first differing unit decides by its
// numeric difference; a prefix sorts first (-1 or 1); equal texts give 0.
int CompareTextAscii(std::u16string_view a, std::u16string_view b);

// Whether the running system's paths are Windows paths.
#ifdef _WIN32
inline constexpr bool kNativeWindowsPaths = true;
#else
inline constexpr bool kNativeWindowsPaths = false;
#endif
// A path separator: "/" always, and "\" in a Windows path (the paths the core handles, and
// every path on Windows); elsewhere "\" is a character of a name.
constexpr bool IsPathSeparator(char16_t c, bool windowsPath = true) { return c == u'/' || (windowsPath && c == u'\\'); }

// Decimal digits of a non-negative number, padded with zeros to at least minDigits.
std::u16string PadNumber(long long value, int minDigits);

}  // namespace tess
