#include "support/ReferenceCrypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <memory>

namespace ov::test::ref {

namespace {

Bytes Digest(const EVP_MD* md, std::span<const uint8_t> data) {
  Bytes out(static_cast<std::size_t>(EVP_MD_get_size(md)));
  unsigned length = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &length, md, nullptr);
  return out;
}

}  // namespace

Bytes Sha1(std::span<const uint8_t> data) { return Digest(EVP_sha1(), data); }

Bytes Sha256(std::span<const uint8_t> data) { return Digest(EVP_sha256(), data); }

Bytes HmacSha256(std::span<const uint8_t> key, std::span<const uint8_t> message) {
  Bytes mac(32);
  unsigned length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(),
       mac.data(), &length);
  return mac;
}

Bytes Pbkdf2Sha256(std::string_view password, std::span<const uint8_t> salt, uint32_t iterations,
                   std::size_t length) {
  Bytes out(length);
  PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                    static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                    static_cast<int>(length), out.data());
  return out;
}

Bytes TripleDesCbcEncrypt(std::span<const uint8_t> key, std::span<const uint8_t, 8> iv,
                          std::span<const uint8_t> plain) {
  Bytes out(plain.size() + 8);
  int n1 = 0, n2 = 0;
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  EVP_EncryptInit_ex(ctx.get(), EVP_des_ede3_cbc(), nullptr, key.data(), iv.data());
  EVP_EncryptUpdate(ctx.get(), out.data(), &n1, plain.data(), static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(ctx.get(), out.data() + n1, &n2);
  out.resize(static_cast<std::size_t>(n1 + n2));
  return out;
}

}  // namespace ov::test::ref
