#include "crypto/RsaPublicKey.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <climits>

#include "common/LogFacade.h"
#include "crypto/OpenSslUtil.h"

namespace ov {

namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* p) const noexcept { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const noexcept { EVP_PKEY_CTX_free(p); }
};

}  // namespace

struct RsaPublicKey::Key {
  std::unique_ptr<EVP_PKEY, PkeyFree> pkey;
};

RsaPublicKey::RsaPublicKey(std::span<const std::uint8_t> subjectPublicKeyInfo)
    : m_key(std::make_unique<Key>()) {
  LogScope log("RsaPublicKey::RsaPublicKey");
  if (subjectPublicKeyInfo.empty() || subjectPublicKeyInfo.size() > LONG_MAX) {
    ossl::Fail(log, "Invalid public key");
  }
  const unsigned char* cursor = subjectPublicKeyInfo.data();
  m_key->pkey.reset(d2i_PUBKEY(nullptr, &cursor, static_cast<long>(subjectPublicKeyInfo.size())));
  if (!m_key->pkey) ossl::Fail(log, "d2i_PUBKEY failed");
  if (EVP_PKEY_get_base_id(m_key->pkey.get()) != EVP_PKEY_RSA) {
    ossl::Fail(log, "The public key is not an RSA key");
  }
  log.Number("dwKeyBits", EVP_PKEY_get_bits(m_key->pkey.get()));
}

RsaPublicKey::~RsaPublicKey() = default;
RsaPublicKey::RsaPublicKey(RsaPublicKey&&) noexcept = default;
RsaPublicKey& RsaPublicKey::operator=(RsaPublicKey&&) noexcept = default;

std::size_t RsaPublicKey::Size() const noexcept {
  const int size = EVP_PKEY_get_size(m_key->pkey.get());
  return size > 0 ? static_cast<std::size_t>(size) : 0;
}

std::vector<std::uint8_t> RsaPublicKey::EncryptPkcs1v15(
    std::span<const std::uint8_t> plaintext) const {
  LogScope log("RsaPublicKey::EncryptPkcs1v15");
  std::unique_ptr<EVP_PKEY_CTX, PkeyFree> context(
      EVP_PKEY_CTX_new_from_pkey(nullptr, m_key->pkey.get(), nullptr));
  if (!context || EVP_PKEY_encrypt_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1) {
    ossl::Fail(log, "RSA encryption set-up failed");
  }
  std::size_t length = 0;
  if (EVP_PKEY_encrypt(context.get(), nullptr, &length, plaintext.data(), plaintext.size()) != 1) {
    ossl::Fail(log, "RSA encryption failed");
  }
  std::vector<std::uint8_t> out(length);
  if (EVP_PKEY_encrypt(context.get(), out.data(), &length, plaintext.data(), plaintext.size()) !=
      1) {
    ossl::Fail(log, "RSA encryption failed");
  }
  out.resize(length);
  return out;
}

}  // namespace ov
