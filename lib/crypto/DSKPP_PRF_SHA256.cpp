#include "crypto/DSKPP_PRF_SHA256.h"

#include <algorithm>
#include <array>

#include "common/LogFacade.h"
#include "common/SecureMemory.h"
#include "crypto/HmacSha256.h"

namespace ov {

std::int32_t DSKPP_PRF_SHA256::DoPrf(std::span<const std::uint8_t> key,
                                     std::span<const std::uint8_t> message, std::int32_t dsLen,
                                     std::span<std::uint8_t> out) {
  LogScope log("DSKPP_PRF_SHA256::DoPrf");
  log.Number("nKeyLength", static_cast<int32_t>(std::min<std::size_t>(key.size(), INT32_MAX)));
  log.Number("nMessageLength",
             static_cast<int32_t>(std::min<std::size_t>(message.size(), INT32_MAX)));
  log.Number("dsLen", dsLen);
  if (key.size() < kMinKeyLength || message.empty() || dsLen <= 0 ||
      out.size() < static_cast<std::size_t>(dsLen)) {
    log.Message("Invalid parameters");
    return log.Return(0);
  }
  HmacSha256 mac;
  mac.Init(KeyParameter(key));
  std::array<std::uint8_t, HmacSha256::kMacSize> block{};
  WipeOnExit wipeBlock(block);
  const auto total = static_cast<std::size_t>(dsLen);
  std::uint32_t i = 1;
  for (std::size_t done = 0; done < total; done += block.size(), ++i) {
    const std::array<std::uint8_t, 4> index{
        static_cast<std::uint8_t>(i >> 24), static_cast<std::uint8_t>(i >> 16),
        static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
    mac.BlockUpdate(index, 0, index.size());
    mac.BlockUpdate(message, 0, message.size());
    mac.DoFinal(block, 0);
    std::copy_n(block.begin(), std::min(block.size(), total - done), out.begin() + done);
  }
  return log.Return(dsLen);
}

}  // namespace ov
