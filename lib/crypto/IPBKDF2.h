// IPBKDF2: a password-based key derivation (PBKDF2 of RFC 8018), as the token files derive their
// PIN keys and the enrollment its authentication-code key. Objects come from DSKPP_PRF_Factory,
// one per use, and hold no state.
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"

namespace ov {

class IPBKDF2 {
 public:
  // outputLength derived bytes; empty when the arguments are refused or the derivation fails.
  virtual SecureBytes DoPBKDF2(std::span<const std::uint8_t> password,
                               std::span<const std::uint8_t> salt, std::int32_t iterationCount,
                               std::int32_t outputLength) = 0;
  virtual ~IPBKDF2() = default;
};

}  // namespace ov
