// The tests' own cryptography, for working out expected values without the library's crypto
// classes: OpenSSL called directly on Linux, CNG called directly on Windows.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ov::test::ref {

using Bytes = std::vector<uint8_t>;

inline std::span<const uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

Bytes Sha1(std::span<const uint8_t> data);
Bytes Sha256(std::span<const uint8_t> data);
Bytes HmacSha256(std::span<const uint8_t> key, std::span<const uint8_t> message);
Bytes Pbkdf2Sha256(std::string_view password, std::span<const uint8_t> salt, uint32_t iterations,
                   std::size_t length);
// 3DES-CBC with a 24-byte key and PKCS#5 padding.
Bytes TripleDesCbcEncrypt(std::span<const uint8_t> key, std::span<const uint8_t, 8> iv,
                          std::span<const uint8_t> plain);

}  // namespace ov::test::ref
