#include "crypto/PBKDF2_SHA256.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <climits>
#include <new>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/windows/CngUtil.h"

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
    if (password.size() > ULONG_MAX || salt.size() > ULONG_MAX) cng::Fail(log, "Error");
    static std::uint8_t empty = 0;
    auto octets = [](std::span<const std::uint8_t> bytes) {
      return bytes.empty() ? &empty : const_cast<std::uint8_t*>(bytes.data());
    };
    SecureBytes out(static_cast<std::size_t>(outputLength));
    if (BCryptDeriveKeyPBKDF2(cng::HmacSha256(), octets(password),
                              static_cast<ULONG>(password.size()), octets(salt),
                              static_cast<ULONG>(salt.size()),
                              static_cast<ULONGLONG>(iterationCount), out.data(),
                              static_cast<ULONG>(out.size()), 0) < 0) {
      cng::Fail(log, "Error");
    }
    return out;
  } catch (const OVException&) {
  } catch (const std::bad_alloc&) {
    log.Message("Bad_Alloc");
  }
  return {};
}

}  // namespace ov
