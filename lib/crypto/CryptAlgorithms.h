// Identifiers of the algorithms and provider types the token library names. They keep the values
// of the Windows platform's definitions because callers and stored formats were written against
// them; on Linux they only select which OpenSSL algorithm does the work.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ov {

using ALG_ID = std::uint32_t;

inline constexpr ALG_ID CALG_SHA1 = 0x8004;
inline constexpr ALG_ID CALG_DES = 0x6601;
inline constexpr ALG_ID CALG_3DES = 0x6603;
inline constexpr ALG_ID CALG_AES = 0x6611;
inline constexpr ALG_ID CALG_AES_128 = 0x660E;
inline constexpr ALG_ID CALG_AES_192 = 0x660F;
inline constexpr ALG_ID CALG_AES_256 = 0x6610;

// Provider types: the general-purpose provider (SHA-1, 3DES) and the one that also does AES.
inline constexpr std::uint32_t PROV_RSA_FULL = 1;
inline constexpr std::uint32_t PROV_RSA_AES = 24;

// The algorithm a single-block cipher key of `keyLength` bytes works with (CALG_AES resolved to
// its sized identifier), or 0 when the pair is not supported.
constexpr ALG_ID EffectiveBlockAlgorithm(ALG_ID algorithm, std::size_t keyLength) {
  switch (algorithm) {
    case CALG_DES:
      return keyLength == 8 ? CALG_DES : 0;
    case CALG_3DES:
      return keyLength == 16 || keyLength == 24 ? CALG_3DES : 0;
    case CALG_AES:
      if (keyLength == 16) return CALG_AES_128;
      if (keyLength == 24) return CALG_AES_192;
      if (keyLength == 32) return CALG_AES_256;
      return 0;
    case CALG_AES_128:
      return keyLength == 16 ? algorithm : 0;
    case CALG_AES_192:
      return keyLength == 24 ? algorithm : 0;
    case CALG_AES_256:
      return keyLength == 32 ? algorithm : 0;
    default:
      return 0;
  }
}

}  // namespace ov
