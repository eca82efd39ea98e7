// Hexadecimal text: keys, key material and protected keys are held as upper-case hexadecimal
// text, two digits per byte. Decoding accepts either case and refuses odd lengths and non-hex
// characters as a whole (nothing is half-decoded).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// Upper-case hex of the bytes.
std::string HexEncode(std::span<const std::uint8_t> bytes);
// The same, into a string that is wiped when released (for keys and seeds).
SecureString HexEncodeSecret(std::span<const std::uint8_t> bytes);

// Decodes `text` into `out` (replacing its contents). False, with `out` emptied, when the text
// has an odd length or a character that is not a hex digit.
bool HexDecode(std::string_view text, SecureBytes& out);

// The value of one hex digit, or -1.
int HexDigitValue(char c) noexcept;

}  // namespace ov
