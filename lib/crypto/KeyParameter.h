// KeyParameter: the key of a MAC, an owned copy of the key bytes that is wiped when released.
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"

namespace ov {

class KeyParameter {
 public:
  explicit KeyParameter(std::span<const std::uint8_t> key) : m_key(key.begin(), key.end()) {}

  std::span<const std::uint8_t> GetKey() const noexcept { return m_key; }
  std::int32_t GetLength() const noexcept { return static_cast<std::int32_t>(m_key.size()); }

 private:
  SecureBytes m_key;
};

}  // namespace ov
