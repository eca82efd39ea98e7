// The OpenSSL ciphers of the table, fetched by name.
#include <openssl/err.h>

#include "common/LogFacade.h"
#include "crypto/CngProviders.h"

namespace ov {

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

}  // namespace ov
