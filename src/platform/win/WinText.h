#pragma once
// The one bridge between the core's UTF-16 strings and the W functions: wchar_t is 16 bits
// on Windows, so the cast is exact.
#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");

namespace tess {

inline const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline wchar_t* W(std::u16string& s) { return reinterpret_cast<wchar_t*>(s.data()); }
// A text that lives for the whole run (the texts of UiTexts.h).
inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline std::u16string U16(const wchar_t* s) { return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string(); }
inline std::u16string U16(const wchar_t* s, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }
inline std::u16string U16(std::wstring_view s) { return U16(s.data(), s.size()); }
inline std::wstring WStr(std::u16string_view s) { return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size()); }

// The system's message text for an error code, without the trailing line break.
std::u16string SystemErrorMessage(unsigned long code);

}  // namespace tess
