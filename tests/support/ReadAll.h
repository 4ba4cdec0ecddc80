#pragma once
// What a test wrote into a temporary FILE* (a command's output), read back whole.
#include <cstdio>
#include <string>

namespace tess::testing {

inline std::string ReadAll(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

}  // namespace tess::testing
