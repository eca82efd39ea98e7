// The rules every text passes before the library stores or sends it. They work on the narrow
// (UTF-8) form and compare bytes: lengths count bytes, "letter" and "digit" mean ASCII only. A text
// that breaks its rule makes the calling OV_ function answer OV_ERR_INVALID_PARAM.
//
// The token-PIN rules depend on the token's policy: its PIN length, its level, and the level 4/5
// flags as OVPolicy::IsTrivialPinAllowed and IsTrivialPinAllowedEx report them. The state checks
// around them (an open instance, the token's state, a policy without PIN) belong to the caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ov {

class OVPolicy;

// Token names, the library's unique ID and the import name: 4 to 64 characters, not all blanks,
// none of + = | ; < > , \ " * ? : /
bool IsValidTokenName(const char* text) noexcept;
// Names given to a new or renamed token, and enrollment device names: the rule above, and text of
// the narrow encoding (UTF-8; the ANSI code page on Windows) without control characters, which
// would forge lines or drive the terminal wherever the name is shown. Names stored before this
// rule are not held to it.
bool IsValidNewTokenName(const char* text) noexcept;

// Every character is an ASCII letter or digit (an empty text passes); null fails.
bool IsAlphaNumeric(const char* text) noexcept;
// Every character is an ASCII digit (an empty text passes); null fails.
bool IsNumeric(const char* text) noexcept;

// Enrollment URLs. Backslashes become slashes first (the text is changed even when the rule
// fails); then the text must contain "https://" and be longer than 8 characters, or contain
// "http://" and be longer than 7.
bool IsValidUrl(std::string& text) noexcept;
// Enrollment user names: 1 to 128 characters, none of + = | ; < > , \ " * # ( ) /
bool IsValidUserName(const char* text) noexcept;
// Enrollment passphrases: 4 to 128 printable ASCII characters (blank included).
bool IsValidEnrollmentPin(const char* text) noexcept;
// Soft PINs: minLength <= length <= maxLength, compared as unsigned numbers (a negative maximum
// sets no upper bound, a negative minimum refuses everything). With `complex` != 0 the PIN needs
// a lower-case letter, an upper-case letter and a digit and may hold other characters except line
// breaks; otherwise only letters and digits.
bool IsValidSoftPin(const char* text, int32_t minLength, int32_t maxLength,
                    int32_t complex) noexcept;

// One character repeated ("7777"); an empty text counts as repeated.
bool IsRepeatedCharacter(std::string_view text) noexcept;
// Each character one above the one before ("1234", "abcd") or each one below ("4321"); texts of
// one character or none count as sequences.
bool IsSequence(std::string_view text) noexcept;
// At least one lower-case letter, one upper-case letter and one digit, non-empty, no CR or LF.
bool HasMixedCaseAndDigit(std::string_view text) noexcept;

// The token-PIN rule, for setting a PIN: exactly the policy's PIN length (GetPinLen), letters and
// digits only, then the level rule (level 5: SetPin_Validation_Level5, else ..._Level4).
// Returns 0 or OV_ERR_INVALID_PARAM.
int32_t SetPin_Validation(const OVPolicy& policy, const char* pin);
// Levels 1 to 4. Trivial PINs allowed (always below level 4): letters and digits. Otherwise no
// single repeated character, and a lower-case letter, an upper-case letter and a digit.
int32_t SetPin_Validation_Level4(const OVPolicy& policy, const char* pin);
// Level 5. "ALLOW_TRIVIAL_PIN" 1 and "NUMERIC_ONLY_PIN" 1: letters and digits; "ALLOW_TRIVIAL_PIN"
// 1 alone: no repeated character and no sequence; "ALLOW_TRIVIAL_PIN" 0: letters and digits, not
// digits only, with a lower-case letter, an upper-case letter and a digit.
int32_t SetPin_Validation_Level5(const OVPolicy& policy, const char* pin);

}  // namespace ov
