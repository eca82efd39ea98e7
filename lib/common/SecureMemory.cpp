#include "common/SecureMemory.h"

#include <string.h>

namespace ov {

void SecureWipe(void* data, std::size_t size) noexcept {
  // explicit_bzero is never optimised away, unlike memset on a buffer about to be freed.
  if (data != nullptr && size != 0) explicit_bzero(data, size);
}

}  // namespace ov
