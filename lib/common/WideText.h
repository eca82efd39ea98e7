// Conversions between the W functions' wide strings (wchar_t, UTF-32) and the narrow strings
// (UTF-8) that the A functions and everything behind them work on. Like the code-page conversions
// they stand in for, they never fail on content: a wide character that is not a Unicode scalar
// value becomes "?", and a malformed UTF-8 sequence becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// A narrow copy of a wide argument, wiped when it goes (arguments may be PINs or passwords). A null
// argument gives a null copy.
class NarrowArgument {
 public:
  explicit NarrowArgument(const wchar_t* text);
  const char* get() const noexcept { return m_isNull ? nullptr : m_text.c_str(); }

 private:
  SecureString m_text;
  bool m_isNull;
};

void AppendUtf8(std::wstring_view text, SecureString& out);
std::wstring ToWide(std::string_view utf8);

// UTF-16 (USB string descriptors) and back, with the same replacement rules: a lone surrogate
// becomes "?", a malformed UTF-8 sequence U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace ov
