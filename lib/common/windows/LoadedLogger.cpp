#include "common/LoadedLogger.h"

#include <windows.h>

namespace ov {

// The loader keeps no public count of loads; looking a module up by name is cheap enough to do at
// every new scope.
unsigned long long LoadGeneration() noexcept { return kUnknownLoadGeneration; }

void* FindLoadedLogger() noexcept {
  // Pinned: whoever loaded the logger may free it, but the facade keeps calling into it.
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, "brisel.dll", &module)) return nullptr;
  return module;
}

void* LoggerSymbol(void* logger, const char* name) noexcept {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(logger), name));
}

}  // namespace ov
