#include "crypto/CryptProvider.h"

#include "common/LogFacade.h"
#include "crypto/CryptAlgorithms.h"
#include "crypto/RandomBytes.h"

namespace ov {

std::optional<CryptProvider> CryptProvider::Acquire(std::uint32_t type) {
  LogScope log("CryptProvider::Acquire");
  log.Number("dwProvType", static_cast<int32_t>(type));
  if (type != PROV_RSA_FULL && type != PROV_RSA_AES) {
    log.Message("Unknown provider type");
    return std::nullopt;
  }
  if (!RandomReady()) {
    log.Message("Random generator not ready");
    return std::nullopt;
  }
  return CryptProvider(type);
}

}  // namespace ov
