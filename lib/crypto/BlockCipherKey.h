// BlockCipherKey: one key imported for single-block encryption (ECB, no padding), the building
// block of CbcCipher. CALG_3DES takes a 24-byte key, or a 16-byte one that is extended with its
// first 8 bytes (two-key 3DES); CALG_AES picks AES-128, -192 or -256 by a key length of 16, 24 or
// 32; CALG_DES takes 8 bytes when DES is available. Anything else raises OVException 6003. The key
// schedule lives in the crypto library's objects, which wipe it when the key is destroyed.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/CryptAlgorithms.h"
#include "crypto/CryptoHandles.h"

namespace ov {

class BlockCipherKey {
 public:
  BlockCipherKey(ALG_ID algorithm, std::span<const std::uint8_t> key);

  // The algorithm actually used (CALG_AES resolved to its sized identifier).
  ALG_ID GetAlgorithm() const noexcept { return m_algorithm; }
  // 8 for DES and 3DES, 16 for AES.
  std::size_t GetBlockLength() const noexcept { return m_nBlockLength; }

  // One block each: `in` and `out` hold exactly GetBlockLength() bytes and may be the same.
  void EncryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);
  void DecryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

 private:
  void Crypt(crypto::CipherContext::pointer context, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
             const char* failure);

  ALG_ID m_algorithm = 0;
  std::size_t m_nBlockLength = 0;
  crypto::CipherContext m_encrypt;
  crypto::CipherContext m_decrypt;
};

}  // namespace ov
