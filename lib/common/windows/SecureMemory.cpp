#include "common/SecureMemory.h"

#include <windows.h>

namespace ov {

void SecureWipe(void* data, std::size_t size) noexcept {
  // SecureZeroMemory writes through a volatile pointer, so it is never dropped as a dead store.
  if (data != nullptr && size != 0) SecureZeroMemory(data, size);
}

}  // namespace ov
