// OCRASuite: the challenge-response passcode, OCRA (RFC 6287) with HMAC-SHA-256.
//
// A suite text such as "OCRA-1:HOTP-SHA256-8:QN08" names the hash, the passcode length and the
// data inputs. The passcode is the HOTP truncation of HMAC-SHA-256(key, message), where the
// message is the suite text exactly as given, one 0x00 byte, then the data inputs the suite
// names, always in this order:
//
//   C     counter: 8 bytes big-endian. Given as decimal text (the authenticator's counter).
//   Qfxx  question: 128 bytes. f = N: decimal digits, at most 8, written as the value in hex
//         without leading zeros; A: ASCII letters and digits, at most 128, written as their
//         bytes; H: hex digits, at most 256, written as they are. The hex text is padded on the
//         right with "0" to 256 digits.
//   Phash PIN hash (PSHA1, PSHA256, PSHA512): the hash value, given as hex text, padded on the
//         left with "0" to the hash size.
//   Snnn  session information: nnn bytes (001 .. 512), given as hex text, padded on the left.
//   TG    time stamp (G = 1-59 S, 1-59 M or 0-48 H): 8 bytes big-endian of the number of time
//         steps, given as decimal text.
//
// The policy only ever builds "OCRA-1:HOTP-SHA256-<6|8>:QN0<6|8>"; the other inputs are encoded
// as RFC 6287 encodes them so that the published vectors check the builder.
//
// The suite is read case-insensitively. A question is outside input: text that breaks the rules
// of its format, and a missing question (nullopt) for a suite that names one, raise OVException
// 6002; a numeric question of more than 8 digits or a question too long for its 128 bytes raises
// 6003. A suite that is not HOTP-SHA256, or names an input this builder does not know, raises
// 6003; so does a counter, PIN hash, session or time stamp that does not fit its field (6002 when
// it holds a character its encoding does not allow). Inputs the suite does not name are ignored.
//
// The engine reaches OCRA only through NoxOVAuthenticator::GenPwd, which passes the token's suite,
// its key, its counter, the caller's challenge and empty PIN hash, session and time stamp.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov::OCRASuite {

// The passcode of `digits` (1 .. 8) decimal digits.
SecureString GenerateOCRA(std::string_view suite, std::span<const std::uint8_t> key,
                          std::string_view counter, std::optional<std::string_view> question,
                          std::string_view password, std::string_view session,
                          std::string_view timestamp, std::int32_t digits);

// The message bytes that GenerateOCRA MACs.
SecureBytes GenerateMessage(std::string_view suite, std::string_view counter,
                            std::optional<std::string_view> question, std::string_view password,
                            std::string_view session, std::string_view timestamp);

}  // namespace ov::OCRASuite
