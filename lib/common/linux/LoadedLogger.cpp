#include "common/LoadedLogger.h"

#include <dlfcn.h>
#include <link.h>

#include <cstddef>
#include <cstring>

namespace ov {

namespace {

constexpr const char* kLoggerName = "libbrisel.so";

int ReadLoadCount(struct dl_phdr_info* info, size_t size, void* data) {
  unsigned long long adds = kUnknownLoadGeneration;
  if (size >= offsetof(struct dl_phdr_info, dlpi_adds) + sizeof info->dlpi_adds)
    adds = info->dlpi_adds;
  *static_cast<unsigned long long*>(data) = adds;
  return 1;  // the first object carries the count; stop there
}

// Finds the path under which the logging library was loaded, without touching the file system:
// a dlopen with RTLD_NOLOAD on a bare name that is not loaded would search the library path on
// every call, and the lookup runs at every new scope until the library appears.
int FindLoggerPath(struct dl_phdr_info* info, size_t, void* data) {
  const char* name = info->dlpi_name;
  if (name == nullptr || *name == '\0') return 0;
  const char* base = std::strrchr(name, '/');
  base = base ? base + 1 : name;
  if (std::strcmp(base, kLoggerName) != 0) return 0;
  *static_cast<const char**>(data) = name;
  return 1;
}

}  // namespace

// The loader's count of loaded objects: without a logger a new scope costs one short call into
// the loader instead of a walk over every loaded object.
unsigned long long LoadGeneration() noexcept {
  unsigned long long loads = kUnknownLoadGeneration;
  dl_iterate_phdr(ReadLoadCount, &loads);
  return loads;
}

void* FindLoadedLogger() noexcept {
  const char* path = nullptr;
  if (dl_iterate_phdr(FindLoggerPath, &path) == 0 || path == nullptr) return nullptr;
  return dlopen(path, RTLD_LAZY | RTLD_NOLOAD);  // the reference is never dropped
}

void* LoggerSymbol(void* logger, const char* name) noexcept { return dlsym(logger, name); }

}  // namespace ov
