// Authenticated encryption (AES-256-GCM) and HKDF-SHA-256 key derivation, for the user-bound
// protection of the platform layer. A sealed message is nonce (12 bytes) || ciphertext || tag (16
// bytes); the nonce is drawn at random for every message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/SecureMemory.h"

namespace ov {

inline constexpr std::size_t kAeadKeySize = 32;
inline constexpr std::size_t kAeadNonceSize = 12;
inline constexpr std::size_t kAeadTagSize = 16;

// nullopt when the key is not 32 bytes or the cipher fails.
std::optional<std::vector<uint8_t>> AeadSeal(std::span<const uint8_t> key,
                                             std::span<const uint8_t> aad,
                                             std::span<const uint8_t> plaintext);
// nullopt when the message is too short, was changed, or the key or aad differ.
std::optional<SecureBytes> AeadOpen(std::span<const uint8_t> key, std::span<const uint8_t> aad,
                                    std::span<const uint8_t> sealed);

// HKDF-SHA-256 (RFC 5869) of `length` bytes; empty on failure.
SecureBytes HkdfSha256(std::span<const uint8_t> secret, std::span<const uint8_t> salt,
                       std::span<const uint8_t> info, std::size_t length);

}  // namespace ov
