#include "platform/UiTexts.h"

#include <new>

#include "platform/Text.h"

namespace tess {

EUserError::EUserError(std::u16string text) : std::runtime_error(ToUtf8(text)), text_(std::move(text)) {}

std::u16string UserErrorText(const std::exception& e) {
  if (const auto* user = dynamic_cast<const EUserError*>(&e)) return user->Text();
  if (dynamic_cast<const std::bad_alloc*>(&e)) return texts::kErrorOutOfMemory;
  return texts::kErrorUnexpected;
}

}  // namespace tess
