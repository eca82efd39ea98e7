// CngProviders: the process-wide table of single-block (ECB) ciphers that BlockCipherKey works
// with: DES, 3DES and AES-128/192/256. It is loaded once, by the first caller, and never unloaded;
// its entries are read-only afterwards, so any thread may use it. An algorithm that OpenSSL does
// not offer (DES lives in OpenSSL's legacy provider, which is not loaded) has no entry.
#pragma once

#include "crypto/CryptAlgorithms.h"
#include "crypto/OpenSslUtil.h"

namespace ov {

class CngProviders {
 public:
  static const CngProviders& Get();

  // The ECB cipher of an effective algorithm (CALG_DES, CALG_3DES, CALG_AES_128/192/256), or null.
  const EVP_CIPHER* EcbCipher(ALG_ID algorithm) const noexcept;
  // True when the block ciphers this library needs (3DES and AES) are all present.
  bool IsPresent() const noexcept { return m_bPresent; }

  CngProviders(const CngProviders&) = delete;
  CngProviders& operator=(const CngProviders&) = delete;

 private:
  CngProviders();

  ossl::CipherPtr m_des;
  ossl::CipherPtr m_3des;
  ossl::CipherPtr m_aes128;
  ossl::CipherPtr m_aes192;
  ossl::CipherPtr m_aes256;
  bool m_bPresent = false;
};

}  // namespace ov
