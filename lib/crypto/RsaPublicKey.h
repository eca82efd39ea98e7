// RsaPublicKey: an RSA public key read from a DER SubjectPublicKeyInfo, as an enrollment server
// sends its key, and RSA encryption with PKCS #1 v1.5 padding under it (the xmlenc "rsa_1_5"
// algorithm). The key's own length decides the ciphertext length; the decoder reads only the
// structure at the front of the bytes it is given and never past them. Anything that is not an
// RSA key in that form, and any failing encryption, raises OVException 6003.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace ov {

class RsaPublicKey {
 public:
  explicit RsaPublicKey(std::span<const std::uint8_t> subjectPublicKeyInfo);
  ~RsaPublicKey();
  RsaPublicKey(RsaPublicKey&&) noexcept;
  RsaPublicKey& operator=(RsaPublicKey&&) noexcept;

  // The modulus length in bytes, which is also the length of every ciphertext.
  std::size_t Size() const noexcept;
  // PKCS #1 v1.5 encryption, big-endian output of Size() bytes. The plaintext may be at most
  // Size() - 11 bytes long.
  std::vector<std::uint8_t> EncryptPkcs1v15(std::span<const std::uint8_t> plaintext) const;

 private:
  struct Key;
  std::unique_ptr<Key> m_key;
};

}  // namespace ov
