// Base32Checksum: one Base32 character that guards a short text against typing mistakes. Each
// character is weighted by its position, so swapped neighbours change the result too: the sum of
// i * c_i over the text's bytes (positions from 1, each byte a signed 8-bit value), modulo 32, is
// the index into the Base32 alphabet. "123" gives 1*49 + 2*50 + 3*51 = 302, index 14, "O".
//
// Policy strings (their decimal text without the checksum field) and the groups of a legacy
// activation code both use it.
#pragma once

#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

class Base32Checksum {
 public:
  // The checksum character of `text`, or '\0' for an empty text.
  static char GetChecksumChar(std::string_view text);

  // Appends the checksum character of a non-empty text; an empty text is left as it is.
  static void AddChecksum(std::string& text);
  static void AddChecksum(SecureString& text);
};

}  // namespace ov
