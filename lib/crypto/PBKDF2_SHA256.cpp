#include "crypto/PBKDF2_SHA256.h"

#include <new>

#include "common/LogFacade.h"
#include "common/OVException.h"

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
    SecureBytes out(static_cast<std::size_t>(outputLength));
    Derive(password, salt, iterationCount, out, log);
    return out;
  } catch (const OVException&) {
  } catch (const std::bad_alloc&) {
    log.Message("Bad_Alloc");
  }
  return {};
}

}  // namespace ov
