#include "crypto/Aead.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include "crypto/OpenSslUtil.h"
#include "crypto/OrvantiAPI.h"

namespace ov {

namespace {

using CipherCtx = ossl::CipherCtxPtr;

int Length(std::size_t n) { return static_cast<int>(n); }

}  // namespace

std::optional<std::vector<uint8_t>> AeadSeal(std::span<const uint8_t> key,
                                             std::span<const uint8_t> aad,
                                             std::span<const uint8_t> plaintext) {
  if (key.size() != kAeadKeySize) return std::nullopt;
  std::vector<uint8_t> sealed(kAeadNonceSize + plaintext.size() + kAeadTagSize);
  const std::span<uint8_t> nonce(sealed.data(), kAeadNonceSize);
  if (!OrvantiAPI::GenerateRandomKey(nonce)) return std::nullopt;

  CipherCtx ctx(EVP_CIPHER_CTX_new());
  int written = 0;
  int finalWritten = 0;
  uint8_t* body = sealed.data() + kAeadNonceSize;
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce.data()) != 1 ||
      (!aad.empty() &&
       EVP_EncryptUpdate(ctx.get(), nullptr, &written, aad.data(), Length(aad.size())) != 1) ||
      EVP_EncryptUpdate(ctx.get(), body, &written, plaintext.data(), Length(plaintext.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), body + written, &finalWritten) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, Length(kAeadTagSize),
                          body + plaintext.size()) != 1) {
    return std::nullopt;
  }
  return sealed;
}

std::optional<SecureBytes> AeadOpen(std::span<const uint8_t> key, std::span<const uint8_t> aad,
                                    std::span<const uint8_t> sealed) {
  if (key.size() != kAeadKeySize || sealed.size() < kAeadNonceSize + kAeadTagSize) {
    return std::nullopt;
  }
  const std::size_t bodySize = sealed.size() - kAeadNonceSize - kAeadTagSize;
  const uint8_t* nonce = sealed.data();
  const uint8_t* body = nonce + kAeadNonceSize;
  // OpenSSL takes the expected tag through a non-const pointer; it only reads it.
  std::vector<uint8_t> tag(body + bodySize, body + bodySize + kAeadTagSize);

  SecureBytes plain(bodySize);
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  int written = 0;
  int finalWritten = 0;
  if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
      (!aad.empty() &&
       EVP_DecryptUpdate(ctx.get(), nullptr, &written, aad.data(), Length(aad.size())) != 1) ||
      EVP_DecryptUpdate(ctx.get(), plain.data(), &written, body, Length(bodySize)) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, Length(kAeadTagSize), tag.data()) != 1 ||
      EVP_DecryptFinal_ex(ctx.get(), plain.data() + written, &finalWritten) != 1) {
    return std::nullopt;  // plain is wiped as it goes
  }
  return plain;
}

SecureBytes HkdfSha256(std::span<const uint8_t> secret, std::span<const uint8_t> salt,
                       std::span<const uint8_t> info, std::size_t length) {
  SecureBytes out(length);
  ossl::KdfPtr kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
  if (!kdf) return {};
  ossl::KdfCtxPtr ctx(EVP_KDF_CTX_new(kdf.get()));
  if (!ctx) return {};
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<uint8_t*>(secret.data()),
                                        secret.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<uint8_t*>(salt.data()),
                                        salt.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<uint8_t*>(info.data()),
                                        info.size()),
      OSSL_PARAM_construct_end(),
  };
  if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) != 1) return {};
  return out;
}

}  // namespace ov
