#include "crypto/CngProviders.h"

#include <openssl/err.h>

#include "common/LogFacade.h"

namespace ov {

const CngProviders& CngProviders::Get() {
  // A function-local static is built exactly once; callers arriving meanwhile wait for it.
  static const CngProviders providers;
  return providers;
}

CngProviders::CngProviders() {
  LogScope log("CngProviders::CngProviders");
  m_des.reset(EVP_CIPHER_fetch(nullptr, "DES-ECB", nullptr));
  m_3des.reset(EVP_CIPHER_fetch(nullptr, "DES-EDE3-ECB", nullptr));
  m_aes128.reset(EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr));
  m_aes192.reset(EVP_CIPHER_fetch(nullptr, "AES-192-ECB", nullptr));
  m_aes256.reset(EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr));
  ERR_clear_error();  // a missing DES is expected and must not linger in the error queue
  m_bPresent = m_3des && m_aes128 && m_aes192 && m_aes256;
  log.Number("bPresent", m_bPresent ? 1 : 0);
}

const EVP_CIPHER* CngProviders::EcbCipher(ALG_ID algorithm) const noexcept {
  switch (algorithm) {
    case CALG_DES:
      return m_des.get();
    case CALG_3DES:
      return m_3des.get();
    case CALG_AES_128:
      return m_aes128.get();
    case CALG_AES_192:
      return m_aes192.get();
    case CALG_AES_256:
      return m_aes256.get();
    default:
      return nullptr;
  }
}

}  // namespace ov
