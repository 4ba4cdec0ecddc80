#pragma once
// The core writes paths with "\" as Windows does; natively they are taken with "/".
#include <string>

#include "platform/Text.h"

namespace tess {

inline std::string NativePath(const std::u16string& path) {
  std::u16string p = path;
  for (char16_t& c : p)
    if (c == u'\\') c = u'/';
  return ToUtf8(p);
}

}  // namespace tess
