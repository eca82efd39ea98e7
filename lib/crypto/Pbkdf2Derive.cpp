// PBKDF2-HMAC-SHA256 through OpenSSL's KDF.
#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include "crypto/OpenSslUtil.h"
#include "crypto/PBKDF2_SHA256.h"

namespace ov {

void PBKDF2_SHA256::Derive(std::span<const std::uint8_t> password,
                           std::span<const std::uint8_t> salt, std::int32_t iterationCount,
                           std::span<std::uint8_t> out, LogScope& log) {
  ossl::KdfCtxPtr context(EVP_KDF_CTX_new(ossl::Pbkdf2()));
  if (!context) ossl::Fail(log, "PBKDF2 context allocation failed");
  // OpenSSL reads an empty octet string through a valid pointer only.
  static std::uint8_t empty = 0;
  auto octets = [](std::span<const std::uint8_t> bytes) {
    return bytes.empty() ? &empty : const_cast<std::uint8_t*>(bytes.data());
  };
  auto iterations = static_cast<unsigned int>(iterationCount);
  // The PKCS#5 mode drops the SP 800-132 lower bounds (salt, iterations, key length) that the
  // published vectors and the stored token files do not meet.
  int pkcs5 = 1;
  char digest[] = OSSL_DIGEST_NAME_SHA2_256;
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, octets(password),
                                        password.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, octets(salt), salt.size()),
      OSSL_PARAM_construct_uint(OSSL_KDF_PARAM_ITER, &iterations),
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_int(OSSL_KDF_PARAM_PKCS5, &pkcs5),
      OSSL_PARAM_construct_end(),
  };
  if (EVP_KDF_derive(context.get(), out.data(), out.size(), params) != 1) ossl::Fail(log, "Error");
}

}  // namespace ov
