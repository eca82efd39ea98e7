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
  const EVP_CIPHER* cipher = CngProviders::Get().EcbCipher(m_algorithm);
  if (cipher == nullptr) ossl::Fail(log, "Unsupported algorithm or key length");

  SecureBytes material(key.begin(), key.end());
  if (m_algorithm == CALG_3DES && material.size() == 16) {
    material.insert(material.end(), key.begin(), key.begin() + 8);
  }
  m_nBlockLength = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cipher));
  m_encrypt.reset(EVP_CIPHER_CTX_new());
  m_decrypt.reset(EVP_CIPHER_CTX_new());
  if (!m_encrypt || !m_decrypt ||
      EVP_EncryptInit_ex2(m_encrypt.get(), cipher, material.data(), nullptr, nullptr) != 1 ||
      EVP_DecryptInit_ex2(m_decrypt.get(), cipher, material.data(), nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(m_encrypt.get(), 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(m_decrypt.get(), 0) != 1) {
    ossl::Fail(log, "Key import failed");
  }
}

void BlockCipherKey::EncryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  LogScope log("BlockCipherKey::EncryptBlock");
  Crypt(m_encrypt.get(), in, out, "Block encryption failed");
}

void BlockCipherKey::DecryptBlock(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  LogScope log("BlockCipherKey::DecryptBlock");
  Crypt(m_decrypt.get(), in, out, "Block decryption failed");
}

void BlockCipherKey::Crypt(EVP_CIPHER_CTX* context, std::span<const std::uint8_t> in,
                           std::span<std::uint8_t> out, const char* failure) {
  if (in.size() != m_nBlockLength || out.size() != m_nBlockLength) ossl::Fail(failure);
  int produced = 0;
  if (EVP_CipherUpdate(context, out.data(), &produced, in.data(), static_cast<int>(in.size())) !=
          1 ||
      static_cast<std::size_t>(produced) != m_nBlockLength) {
    ossl::Fail(failure);
  }
}

}  // namespace ov
