// SHA-256 (FIPS 180-4) as a running digest: data goes in a byte or a slice at a time, DoFinal
// writes the 32-byte value and leaves the digest reset for the next message. The work is done by
// the platform's crypto library; the class keeps the interface the token code is written against (slices given as
// buffer, offset and length, and the output written at an offset of a caller's buffer). A slice or
// an output place outside its buffer raises OVException 6003 instead of reading or writing there.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/CryptoHandles.h"

namespace ov {

class Sha256Digest {
 public:
  static constexpr std::int32_t kDigestSize = 32;

  Sha256Digest();

  void Reset();
  void Update(std::uint8_t in);
  void BlockUpdate(std::span<const std::uint8_t> in, std::size_t offset, std::size_t length);
  // Writes the digest at out[offset..offset+32), resets, and returns 32.
  std::int32_t DoFinal(std::span<std::uint8_t> out, std::size_t offset);
  std::int32_t GetDigestSize() const noexcept { return kDigestSize; }

 private:
  crypto::DigestContext m_context;
};

}  // namespace ov
