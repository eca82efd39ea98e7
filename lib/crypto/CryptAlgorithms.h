// Identifiers of the algorithms and provider types the token library names. They keep the values
// of the Windows platform's definitions because callers and stored formats were written against
// them; on this platform they only select which OpenSSL algorithm does the work.
#pragma once

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

}  // namespace ov
