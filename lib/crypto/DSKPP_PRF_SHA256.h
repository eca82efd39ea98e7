// DSKPP_PRF_SHA256: DSKPP-PRF-SHA256 of RFC 6063. Block i (from 1) is
// HMAC-SHA-256(key, i as 4 bytes big-endian || message); the output is the blocks in order with
// the last one cut, dsLen bytes in all. Refused (0, nothing written): a key shorter than 16 bytes,
// an empty message, a dsLen that is not positive, or an output buffer shorter than dsLen.
#pragma once

#include "crypto/IDSKPP_PRF.h"

namespace ov {

class DSKPP_PRF_SHA256 final : public IDSKPP_PRF {
 public:
  static constexpr std::size_t kMinKeyLength = 16;

  std::int32_t DoPrf(std::span<const std::uint8_t> key, std::span<const std::uint8_t> message,
                     std::int32_t dsLen, std::span<std::uint8_t> out) override;
};

}  // namespace ov
