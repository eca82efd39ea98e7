#include "crypto/PBKDF2_SHA256.h"

#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <new>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/OpenSslUtil.h"

namespace ov {

SecureBytes PBKDF2_SHA256::DoPBKDF2(std::span<const std::uint8_t> password,
                                    std::span<const std::uint8_t> salt, std::int32_t iterationCount,
                                    std::int32_t outputLength) {
  LogScope log("PBKDF2_SHA256::DoPBKDF2");
  log.Number("nIterationCount", iterationCount);
  log.Number("nOutputLength", outputLength);
  if (iterationCount <= 0 || outputLength <= 0) {
    log.Message("Invalid parameters");
    return {};
  }
  try {
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
    SecureBytes out(static_cast<std::size_t>(outputLength));
    if (EVP_KDF_derive(context.get(), out.data(), out.size(), params) != 1) {
      ossl::Fail(log, "Error");
    }
    return out;
  } catch (const OVException&) {
  } catch (const std::bad_alloc&) {
    log.Message("Bad_Alloc");
  }
  return {};
}

}  // namespace ov
