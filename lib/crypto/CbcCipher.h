// CbcCipher: CBC chaining over a BlockCipherKey's single-block cipher, the AES-CBC of the token
// file key protection. Each Encrypt or Decrypt call is one whole message that starts from the IV.
//
// Padding mode 1 (none): Encrypt keeps whole blocks only (a partial last block is dropped, so the
// output length is the input length rounded down) and Decrypt gives every block back. Mode 2
// (PKCS#7): Encrypt always pads, with 1 to block-length bytes each holding the pad length (a whole
// block when the input fills its blocks), and Decrypt checks and removes the pad. Decrypt refuses
// -- gives no output at all -- an input that is not whole blocks, and in mode 2 an empty input or
// a last byte p that is 0, larger than the block length, or not repeated in each of the last p
// bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/SecureMemory.h"
#include "crypto/BlockCipherKey.h"

namespace ov {

class CbcCipher {
 public:
  static constexpr std::int32_t kNoPadding = 1;
  static constexpr std::int32_t kPkcs7Padding = 2;

  // The IV must be one block long and the mode 1 or 2; else OVException 6003. The key must
  // outlive the cipher.
  CbcCipher(BlockCipherKey& key, std::span<const std::uint8_t> iv, std::int32_t paddingMode);

  SecureBytes Encrypt(std::span<const std::uint8_t> input);
  std::optional<SecureBytes> Decrypt(std::span<const std::uint8_t> input);

 private:
  BlockCipherKey& m_key;
  std::int32_t m_nPaddingMode;
  SecureBytes m_iv;
};

}  // namespace ov
