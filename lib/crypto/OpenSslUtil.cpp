#include "crypto/OpenSslUtil.h"

#include <openssl/err.h>
#include <openssl/kdf.h>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "ov/ov_api.h"

namespace ov::ossl {

void Fail(LogScope& log, const char* text) {
  log.Message(text);
  Fail(text);
}

void Fail(const char* text) {
  ERR_clear_error();
  throw OVException(OV_ERR_OPERATION_FAILED, text);
}

const EVP_MD* Sha256() {
  static const MdPtr md(EVP_MD_fetch(nullptr, "SHA2-256", nullptr));
  if (!md) Fail("SHA-256 is not available");
  return md.get();
}

const EVP_MD* Sha1() {
  static const MdPtr md(EVP_MD_fetch(nullptr, "SHA1", nullptr));
  if (!md) Fail("SHA-1 is not available");
  return md.get();
}

EVP_MAC* Hmac() {
  static const MacPtr mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
  if (!mac) Fail("HMAC is not available");
  return mac.get();
}

EVP_KDF* Pbkdf2() {
  static const KdfPtr kdf(EVP_KDF_fetch(nullptr, "PBKDF2", nullptr));
  if (!kdf) Fail("PBKDF2 is not available");
  return kdf.get();
}

}  // namespace ov::ossl
