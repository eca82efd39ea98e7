#include <array>

#include "common/LogFacade.h"
#include "crypto/HmacSha256.h"

namespace ov {

SecureBytes HmacSha256WithCounter(std::span<const std::uint8_t> key,
                                  std::span<const std::uint8_t> data, std::uint32_t counter) {
  LogScope log("HmacSha256WithCounter");
  log.Number("nCounter", static_cast<int32_t>(counter));
  HmacSha256 mac;
  mac.Init(KeyParameter(key));
  const std::array<std::uint8_t, 4> prefix{
      static_cast<std::uint8_t>(counter >> 24), static_cast<std::uint8_t>(counter >> 16),
      static_cast<std::uint8_t>(counter >> 8), static_cast<std::uint8_t>(counter)};
  mac.BlockUpdate(prefix, 0, prefix.size());
  mac.BlockUpdate(data, 0, data.size());
  SecureBytes out(HmacSha256::kMacSize, 0);
  mac.DoFinal(out, 0);
  return out;
}

}  // namespace ov
