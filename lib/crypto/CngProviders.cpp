#include "crypto/CngProviders.h"

#include "common/LogFacade.h"

namespace ov {

const CngProviders& CngProviders::Get() {
  // A function-local static is built exactly once; callers arriving meanwhile wait for it.
  static const CngProviders providers;
  return providers;
}

crypto::EcbCipher CngProviders::EcbCipher(ALG_ID algorithm) const noexcept {
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
