// PBKDF2_SHA256: PBKDF2 of RFC 8018 with HMAC-SHA-256 as its pseudo-random function. Block i
// (from 1) is U_1 xor ... xor U_c with U_1 = HMAC(password, salt || i as 4 bytes big-endian) and
// U_j = HMAC(password, U_(j-1)); the blocks are concatenated and cut to the output length.
// Refused (empty result): an iteration count or output length that is not positive.
#pragma once

#include "crypto/IPBKDF2.h"

namespace ov {

class LogScope;

class PBKDF2_SHA256 final : public IPBKDF2 {
 public:
  SecureBytes DoPBKDF2(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt,
                       std::int32_t iterationCount, std::int32_t outputLength) override;

 private:
  // The derivation itself, by the platform's crypto library (OpenSSL, or CNG on Windows); fails
  // with an OVException. The arguments are checked already.
  static void Derive(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt,
                     std::int32_t iterationCount, std::span<std::uint8_t> out, LogScope& log);
};

}  // namespace ov
