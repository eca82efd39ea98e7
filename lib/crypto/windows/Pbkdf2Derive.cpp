// PBKDF2-HMAC-SHA256 through CNG's BCryptDeriveKeyPBKDF2.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <climits>

#include "crypto/PBKDF2_SHA256.h"
#include "crypto/windows/CngUtil.h"

namespace ov {

void PBKDF2_SHA256::Derive(std::span<const std::uint8_t> password,
                           std::span<const std::uint8_t> salt, std::int32_t iterationCount,
                           std::span<std::uint8_t> out, LogScope& log) {
  if (password.size() > ULONG_MAX || salt.size() > ULONG_MAX) cng::Fail(log, "Error");
  static std::uint8_t empty = 0;
  auto octets = [](std::span<const std::uint8_t> bytes) {
    return bytes.empty() ? &empty : const_cast<std::uint8_t*>(bytes.data());
  };
  if (BCryptDeriveKeyPBKDF2(cng::HmacSha256(), octets(password),
                            static_cast<ULONG>(password.size()), octets(salt),
                            static_cast<ULONG>(salt.size()), static_cast<ULONGLONG>(iterationCount),
                            out.data(), static_cast<ULONG>(out.size()), 0) < 0) {
    cng::Fail(log, "Error");
  }
}

}  // namespace ov
