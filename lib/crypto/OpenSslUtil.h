// The edge between the crypto services and OpenSSL: RAII holders for every OpenSSL object the
// services create, the algorithms fetched once per process, and the one place where an OpenSSL
// failure becomes an OVException. Only this folder calls OpenSSL; other folders see these holders
// only as private members of the crypto classes.
#pragma once

#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <memory>

namespace ov {

class LogScope;

namespace ossl {

struct Free {
  void operator()(EVP_MD* p) const noexcept { EVP_MD_free(p); }
  void operator()(EVP_MD_CTX* p) const noexcept { EVP_MD_CTX_free(p); }
  void operator()(EVP_MAC* p) const noexcept { EVP_MAC_free(p); }
  void operator()(EVP_MAC_CTX* p) const noexcept { EVP_MAC_CTX_free(p); }
  void operator()(EVP_CIPHER* p) const noexcept { EVP_CIPHER_free(p); }
  void operator()(EVP_CIPHER_CTX* p) const noexcept { EVP_CIPHER_CTX_free(p); }
  void operator()(EVP_KDF* p) const noexcept { EVP_KDF_free(p); }
  void operator()(EVP_KDF_CTX* p) const noexcept { EVP_KDF_CTX_free(p); }
};

using MdPtr = std::unique_ptr<EVP_MD, Free>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Free>;
using MacPtr = std::unique_ptr<EVP_MAC, Free>;
using MacCtxPtr = std::unique_ptr<EVP_MAC_CTX, Free>;
using CipherPtr = std::unique_ptr<EVP_CIPHER, Free>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, Free>;
using KdfPtr = std::unique_ptr<EVP_KDF, Free>;
using KdfCtxPtr = std::unique_ptr<EVP_KDF_CTX, Free>;

// Reports `text` to the log, drops OpenSSL's error queue (so a later caller does not read a stale
// error) and raises OVException 6003 carrying the text.
[[noreturn]] void Fail(LogScope& log, const char* text);
// The same without a log scope of the caller's.
[[noreturn]] void Fail(const char* text);

// Algorithms fetched once per process. An explicit fetch avoids OpenSSL's implicit fetch on every
// initialisation, which costs more than hashing a short message. Raise 6003 when unavailable.
const EVP_MD* Sha256();
const EVP_MD* Sha1();
EVP_MAC* Hmac();
EVP_KDF* Pbkdf2();

}  // namespace ossl
}  // namespace ov
