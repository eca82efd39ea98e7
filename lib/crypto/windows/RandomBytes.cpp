#include "crypto/RandomBytes.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <climits>

namespace ov {

// The system-preferred generator needs no opening and is always seeded.
bool RandomReady() noexcept { return true; }

bool RandomBytes(std::span<std::uint8_t> buffer) noexcept {
  if (buffer.size() > INT_MAX) return false;
  if (buffer.empty()) return true;
  return BCryptGenRandom(nullptr, buffer.data(), static_cast<ULONG>(buffer.size()),
                         BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

}  // namespace ov
