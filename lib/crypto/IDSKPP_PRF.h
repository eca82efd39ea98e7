// IDSKPP_PRF: a DSKPP pseudo-random function (RFC 6063), as the enrollment computes its
// authentication data, provisioning keys and key confirmation MAC. Objects come from
// DSKPP_PRF_Factory, one per use, and hold no state.
#pragma once

#include <cstdint>
#include <span>

namespace ov {

class IDSKPP_PRF {
 public:
  // Writes dsLen bytes of PRF(key, message) to the front of `out` and returns dsLen; returns 0 and
  // writes nothing when the input is refused.
  virtual std::int32_t DoPrf(std::span<const std::uint8_t> key,
                             std::span<const std::uint8_t> message, std::int32_t dsLen,
                             std::span<std::uint8_t> out) = 0;
  virtual ~IDSKPP_PRF() = default;
};

}  // namespace ov
