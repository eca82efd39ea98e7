// CngProviders: the process-wide table of single-block (ECB) ciphers that BlockCipherKey works
// with: DES, 3DES and AES-128/192/256. It is loaded once, by the first caller, and never unloaded;
// its entries are read-only afterwards, so any thread may use it. An algorithm that the platform does
// not offer (DES, which OpenSSL keeps in its legacy provider, not loaded here) has no entry.
#pragma once

#include "crypto/CryptAlgorithms.h"
#include "crypto/CryptoHandles.h"

namespace ov {

class CngProviders {
 public:
  static const CngProviders& Get();

  // The ECB cipher of an effective algorithm (CALG_DES, CALG_3DES, CALG_AES_128/192/256), or null.
  crypto::EcbCipher EcbCipher(ALG_ID algorithm) const noexcept;
  // True when the block ciphers this library needs (3DES and AES) are all present.
  bool IsPresent() const noexcept { return m_bPresent; }

  CngProviders(const CngProviders&) = delete;
  CngProviders& operator=(const CngProviders&) = delete;

 private:
  CngProviders();

  crypto::CipherAlgorithm m_des;
  crypto::CipherAlgorithm m_3des;
  crypto::CipherAlgorithm m_aes128;
  crypto::CipherAlgorithm m_aes192;
  crypto::CipherAlgorithm m_aes256;
  bool m_bPresent = false;
};

}  // namespace ov
