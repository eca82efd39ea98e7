// KDFParameters: the input of the counter-mode hash KDF, the shared secret Z (an owned copy, wiped
// when released) and a 64-byte IV area. No caller sets the IV area; it stays zero, and the
// generator reads it as text up to its first zero byte, so nothing of it enters the hash.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "common/SecureMemory.h"

namespace ov {

class KDFParameters {
 public:
  static constexpr std::size_t kIVAreaSize = 64;

  explicit KDFParameters(std::span<const std::uint8_t> z) : m_Z(z.begin(), z.end()) {}

  std::span<const std::uint8_t> GetZ() const noexcept { return m_Z; }
  std::span<const std::uint8_t, kIVAreaSize> GetIV() const noexcept { return m_IV; }

 private:
  SecureBytes m_Z;
  std::array<std::uint8_t, kIVAreaSize> m_IV{};
};

}  // namespace ov
