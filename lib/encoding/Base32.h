// Base32: the RFC 4648 Base32 encoding ("A"-"Z" then "2"-"7"), in which activation codes are
// shown. Encode turns bytes into text with the RFC's "=" padding; GetBase32Char looks up one
// character. The system encodes only 10-byte values, which need no padding (16 characters).
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"

namespace ov {

class Base32 {
 public:
  // Index 0 is "A", 25 "Z", 26 "2" and 31 "7".
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";

  // The alphabet character at `index`; an index outside 0..31 raises OVException 6003.
  static char GetBase32Char(int32_t index);

  // RFC 4648 Base32 of the bytes: 8 characters per 5 bytes; a last group of 1, 2, 3 or 4 bytes
  // gives 2, 4, 5 or 7 characters followed by 6, 4, 3 or 1 "=". The text is wiped when released,
  // because what it encodes is key entropy. Memory exhaustion raises OVException 6003.
  static SecureString Encode(std::span<const std::uint8_t> bytes);
};

}  // namespace ov
