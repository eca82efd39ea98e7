#include "crypto/RandomBytes.h"

#include <openssl/rand.h>

#include <climits>

namespace ov {

bool RandomReady() noexcept { return RAND_status() == 1; }

bool RandomBytes(std::span<std::uint8_t> buffer) noexcept {
  if (buffer.size() > INT_MAX) return false;
  return RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) == 1;
}

}  // namespace ov
