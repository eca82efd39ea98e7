// HMAC-SHA-256 (RFC 2104, block size 64; keys longer than a block are hashed first), the one MAC
// of the token library. Keyed once with Init, it can MAC any number of messages: DoFinal writes
// the 32-byte MAC and returns the object to its keyed initial state, Reset drops a message half
// fed. Using it before Init, or a slice or output place outside its buffer, raises OVException
// 6003.
//
// HmacSha256WithCounter is the keyed hash of the token file MACs, key derivations and the
// enrollment PRF: HMAC-SHA-256(key, counter as 4 bytes big-endian || data).
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"
#include "crypto/KeyParameter.h"
#include "crypto/CryptoHandles.h"

namespace ov {

class HmacSha256 {
 public:
  static constexpr std::int32_t kMacSize = 32;
  static constexpr std::int32_t kBlockSize = 64;

  HmacSha256();

  void Init(const KeyParameter& key);
  void BlockUpdate(std::span<const std::uint8_t> in, std::size_t offset, std::size_t length);
  // Writes the MAC at out[offset..offset+32), returns to the keyed initial state, returns 32.
  std::int32_t DoFinal(std::span<std::uint8_t> out, std::size_t offset);
  void Reset();
  std::int32_t GetMacSize() const noexcept { return kMacSize; }

 private:
  crypto::MacContext m_context;
  bool m_bKeyed = false;
};

SecureBytes HmacSha256WithCounter(std::span<const std::uint8_t> key,
                                  std::span<const std::uint8_t> data, std::uint32_t counter);

}  // namespace ov
