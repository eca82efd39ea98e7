// Token names, and other text from outside such as a server's serial number, as the front ends
// show them. Stored names come from files and older versions that did not check them: a name may
// hold line breaks, terminal escape sequences, invisible characters or bytes that are not UTF-8.
// Shown as they are, they forge rows of a list, drive the terminal or pass for another name.
#pragma once

#include <string>
#include <string_view>

namespace ov::frontend {

// The text with everything that is not plainly printable written as an escape: control
// characters below 32 and 127 as \xNN, the C1 controls, the Unicode line and paragraph
// separators and the invisible format characters (direction controls, zero-width characters,
// tags; general category Cf) as \uNNNN or \UNNNNNNNN, each byte of a sequence that is not UTF-8
// as \xNN, and the backslash as \\. Printable UTF-8 text comes back unchanged.
std::string DisplayName(std::string_view text);

// The text as the contents of a JSON string (without the quotes): quote, backslash, control and
// format characters escaped, and each byte that is not part of a UTF-8 sequence replaced by
// U+FFFD, so that the output is always valid JSON in UTF-8.
std::string JsonStringContent(std::string_view text);

}  // namespace ov::frontend
