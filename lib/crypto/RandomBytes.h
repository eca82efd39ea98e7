// The system's cryptographic random generator, the one source of keys, nonces and challenges.
#pragma once

#include <cstdint>
#include <span>

namespace ov {

// True when the generator is ready to serve.
bool RandomReady() noexcept;
// Fills the whole buffer (at most INT_MAX bytes); false when the generator fails.
bool RandomBytes(std::span<std::uint8_t> buffer) noexcept;

}  // namespace ov
