#include "crypto/BlockCipherKey.h"

#include "common/LogFacade.h"
#include "common/SecureMemory.h"
#include "crypto/CngProviders.h"

namespace ov {

BlockCipherKey::BlockCipherKey(ALG_ID algorithm, std::span<const std::uint8_t> key) {
  LogScope log("BlockCipherKey::BlockCipherKey");
  log.Number("Algid", static_cast<int32_t>(algorithm));
  log.Number("dwKeyLen", static_cast<int32_t>(key.size() > 64 ? 64 : key.size()));
  m_algorithm = EffectiveBlockAlgorithm(algorithm, key.size());
  void* cipher = CngProviders::Get().EcbCipher(m_algorithm);
  if (cipher == nullptr) cng::Fail(log, "Unsupported algorithm or key length");

  SecureBytes material(key.begin(), key.end());
  if (m_algorithm == CALG_3DES && material.size() == 16) {
    material.insert(material.end(), key.begin(), key.begin() + 8);
  }
  m_nBlockLength = m_algorithm == CALG_DES || m_algorithm == CALG_3DES ? 8 : 16;
  m_encrypt = cng::ImportKey(cipher, material);
  m_decrypt = cng::ImportKey(cipher, material);
}

void BlockCipherKey::EncryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  LogScope log("BlockCipherKey::EncryptBlock");
  Crypt(m_encrypt.get(), in, out, "Block encryption failed");
}

void BlockCipherKey::DecryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  LogScope log("BlockCipherKey::DecryptBlock");
  Crypt(m_decrypt.get(), in, out, "Block decryption failed");
}

// A CNG key does both directions, so the key passed in also names the direction.
void BlockCipherKey::Crypt(crypto::CipherContext::pointer context,
                           std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                           const char* failure) {
  if (in.size() != m_nBlockLength || out.size() != m_nBlockLength) cng::Fail(failure);
  const bool encrypt = context == m_encrypt.get();
  // `in` and `out` may be the same block; the copy keeps the input whole while the output is
  // written.
  SecureBytes input(in.begin(), in.end());
  const bool byCbc = cng::IsCbc(CngProviders::Get().EcbCipher(m_algorithm));
  const bool done = byCbc ? cng::CryptOneBlockByCbc(context, encrypt, input, out)
                          : cng::Crypt(context, encrypt, input, out, {});
  if (!done) cng::Fail(failure);
}

}  // namespace ov
