// Enrollment strings: the one piece of text an administrator hands a user to start automatic
// enrollment. Base64 of CR LF-separated "key=value" lines; "EnrollmentURL" is required, "UserID"
// and "Passphrase" are optional, further keys are kept and not used.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace ov::frontend {

// The alphabet-and-length test: every character is of the base64 alphabet or "=", or a CR or LF
// (skipped); the characters counted make a multiple of 4. The place of "=" is not checked.
bool IsBase64(std::string_view text);

// Standard decoding that skips every character outside the alphabet; the result is as long as the
// text's length and padding imply, and ends at its first zero byte, as a text does.
std::string DecodeBase64(std::string_view text);

// The text, or the text with one or two "=" appended, whichever first passes IsBase64: padding
// that was cut off is accepted. Nothing when none passes.
std::optional<std::string> CheckIfBase64Relaxed(std::string_view text);

// Splits decoded text into its key/value lines. A later key replaces an earlier one; a line
// without "=" gives an empty key with the whole line as its value.
std::map<std::string, std::string> ParseConnectionString(std::string_view text);

// Whether base64 text decodes to lines that hold "EnrollmentURL".
bool CheckIfBase64ConnectionString(std::string_view text);

struct EnrollmentString {
  std::string url;
  std::optional<std::string> userId;
  std::optional<std::string> passphrase;
};

// An enrollment string as the user handed it in (padding may be cut off), or nothing when it is
// not one.
std::optional<EnrollmentString> ParseEnrollmentString(std::string_view text);

}  // namespace ov::frontend
