// BaseKDFBytesGenerator: the counter-mode hash KDF of the activation and multi-host keys.
// Block i (the counter starting at 0) is SHA-256(Z || i as 4 bytes big-endian || IV text), and the
// output is the blocks in order, cut to the length asked for. With the 32 bytes every caller asks
// for, the result is SHA-256(Z || 00 00 00 00).
//
// GenerateBytes(out, blockLength, outOffset, length) writes `length` bytes at out[outOffset], where
// blockLength is the size of the part of `out` the caller offers (callers pass 32, 0, 32). A
// request that does not fit into that part or into `out`, a negative value, or a generator whose
// Init was refused (Z longer than 64 bytes) gives 0 and writes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "crypto/KDFParameters.h"
#include "crypto/Sha256Digest.h"

namespace ov {

class BaseKDFBytesGenerator {
 public:
  static constexpr std::size_t kMaxZ = 64;

  BaseKDFBytesGenerator() = default;
  ~BaseKDFBytesGenerator();
  BaseKDFBytesGenerator(const BaseKDFBytesGenerator&) = delete;
  BaseKDFBytesGenerator& operator=(const BaseKDFBytesGenerator&) = delete;

  void Init(const KDFParameters& parameters);
  std::int32_t GenerateBytes(std::span<std::uint8_t> out, std::int32_t blockLength,
                             std::int32_t outOffset, std::int32_t length);

 private:
  std::int32_t m_nCounterStart = 0;
  Sha256Digest m_digest;
  std::array<std::uint8_t, kMaxZ> m_Z{};
  std::size_t m_nZLength = 0;
  std::array<std::uint8_t, KDFParameters::kIVAreaSize> m_IV{};
  bool m_bInitialised = false;
};

}  // namespace ov
