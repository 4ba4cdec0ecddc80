#include "platform/Shell.h"

namespace tess {

std::u16string PackPaths(const std::vector<std::u16string>& paths) {
  std::u16string packed;
  for (const std::u16string& p : paths) {
    packed += p;
    packed += u'\0';
  }
  packed += u'\0';
  return packed;
}

}  // namespace tess
