#include "frontend/WipeBytes.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <string.h>
#endif

namespace ov::frontend {

void WipeBytes(void* data, std::size_t size) noexcept {
  if (data == nullptr || size == 0) return;
#ifdef _WIN32
  SecureZeroMemory(data, size);
#else
  explicit_bzero(data, size);
#endif
}

}  // namespace ov::frontend
