// The tests' own passcode reference, written from RFC 4226 with HMAC-SHA-256 in place of
// HMAC-SHA-1, so a passcode the library gives can be checked against a key the test knows.
#pragma once

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdint>
#include <span>
#include <string>

namespace ov::test {

inline std::string Hotp(std::span<const uint8_t> key, uint64_t counter, int digits) {
  uint8_t message[8];
  for (int i = 7; i >= 0; --i, counter >>= 8) message[i] = static_cast<uint8_t>(counter);
  uint8_t mac[32];
  unsigned length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message, 8, mac, &length);
  const int offset = mac[31] & 0x0F;
  const uint32_t binary = (mac[offset] & 0x7F) << 24 | mac[offset + 1] << 16 | mac[offset + 2] << 8 | mac[offset + 3];
  uint32_t modulus = 1;
  for (int i = 0; i < digits; ++i) modulus *= 10;
  std::string code = std::to_string(binary % modulus);
  return std::string(static_cast<std::size_t>(digits) - code.size(), '0') + code;
}

}  // namespace ov::test
