// The CNG providers of the table.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include "common/LogFacade.h"
#include "crypto/CngProviders.h"

namespace ov {

// Each entry is a provider of its own set to ECB; the system's one AES takes all three key sizes.
CngProviders::CngProviders() {
  LogScope log("CngProviders::CngProviders");
  m_des = cng::OpenCipher(BCRYPT_DES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  m_3des = cng::OpenCipher(BCRYPT_3DES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  // Where the system offers 3DES in CBC only (as Wine does), one block from a zero IV is the same
  // as ECB; BlockCipherKey works it that way.
  if (!m_3des) m_3des = cng::OpenCipher(BCRYPT_3DES_ALGORITHM, BCRYPT_CHAIN_MODE_CBC);
  m_aes128 = cng::OpenCipher(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  m_aes192 = cng::OpenCipher(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  m_aes256 = cng::OpenCipher(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  m_bPresent = m_3des && m_aes128 && m_aes192 && m_aes256;
  log.Number("bPresent", m_bPresent ? 1 : 0);
}

}  // namespace ov
