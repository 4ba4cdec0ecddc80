// Off Windows there is no registry: settings live in memory for the life of the store.
#include "platform/MemorySettings.h"

namespace tess {

std::unique_ptr<SettingsStore> MakeUserSettingsStore(std::u16string) { return std::make_unique<MemorySettingsStore>(); }

}  // namespace tess
