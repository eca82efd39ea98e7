// Base64: the standard alphabet of RFC 4648 ("A"-"Z", "a"-"z", "0"-"9", "+", "/") with "="
// padding. Token files keep every item as base64 text, the enrollment messages carry nonces, keys
// and MACs in it, and an enrollment string is base64 of key-value lines.
//
// The decoder is lenient in the way those producers need: every character outside the alphabet
// ("=", line breaks, blanks, anything) is skipped, each remaining character adds 6 bits and each
// completed 8 bits give one byte. Its output is never longer than the length the text announces:
// (length + 3) / 4 * 3 bytes, less one for a final "=" and one more for a "=" before that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// Base64 of the bytes, padded with "=" to a multiple of 4 characters.
std::string Base64Encode(std::span<const std::uint8_t> bytes);
// The same, into a string that is wiped when released (for keys, MACs and decrypted records).
SecureString Base64EncodeSecret(std::span<const std::uint8_t> bytes);

// The length `text` announces: (text.size() + 3) / 4 * 3, less one for a final "=" and one more
// for a "=" before it. The text's characters are all counted, skipped or not.
std::size_t Base64DecodedLength(std::string_view text) noexcept;

// Decodes `text`, skipping every character outside the alphabet. The result holds the bytes
// actually decoded, at most Base64DecodedLength(text) of them; bits left over at the end (fewer
// than 8) are dropped. The buffer is wiped when released. Memory exhaustion raises
// OVException 6003.
SecureBytes Base64Decode(std::string_view text);

// The base64 test of texts received from outside: every character is in the alphabet, "=", CR or
// LF (anything else fails at once), and the characters other than CR and LF number a multiple of
// 4. An empty text passes; where "=" stands is not checked.
bool IsBase64(std::string_view text) noexcept;

}  // namespace ov
