// The drive key of token files on a USB drive: SHA-1 of the key material (the unique ID and the
// flash identity record), stretched into a 3DES key the way the platform's key derivation does
// it: the 20-byte hash XORed into 64 bytes of 0x36 and into 64 bytes of 0x5C, each hashed with
// SHA-1, the two values concatenated and the first 24 bytes taken. The key encrypts with 3DES-CBC,
// a zero IV and PKCS#5 padding. Files sealed this way stay byte-compatible with those of other
// builds of the system.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/SecureMemory.h"

namespace ov {

// The 24-byte 3DES key derived from `material`; empty on failure.
SecureBytes Derive3DesKeyFromSha1(std::span<const std::uint8_t> material);

// 3DES-CBC with a zero IV and PKCS#5 padding under a 24-byte key. nullopt on failure (for
// Decrypt also: input not whole blocks, or padding that does not check out).
std::optional<SecureBytes> TripleDesCbcEncrypt(std::span<const std::uint8_t> key,
                                               std::span<const std::uint8_t> plain);
std::optional<SecureBytes> TripleDesCbcDecrypt(std::span<const std::uint8_t> key,
                                               std::span<const std::uint8_t> sealed);

}  // namespace ov
