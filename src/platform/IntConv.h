#pragma once
// The one conversion of text to a 32-bit integer used wherever text becomes a number:
// leading blanks, an optional sign, then decimal digits, or hexadecimal after "$", "x" or
// "0x"; the text ends at its end or at a NUL. Anything else, or overflow, fails.
#include <cstdint>
#include <string_view>

namespace tess {

bool TryStrToInt(std::u16string_view text, int32_t& value);
bool TryStrToInt(std::string_view text, int32_t& value);

}  // namespace tess
