// Conversions between the W functions' wide strings and the narrow strings that the A functions and
// everything behind them work on. The narrow encoding is UTF-8 on Linux (wchar_t is UTF-32) and
// the ANSI code page on Windows (wchar_t is UTF-16), as each system's own functions have them.
// They never fail on content: a character that cannot be had becomes "?", and a malformed UTF-8
// sequence becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// A narrow copy of a wide argument, wiped when it goes (arguments may be PINs or passwords). A null
// argument gives a null copy. (linux/NarrowText.cpp, windows/NarrowText.cpp)
class NarrowArgument {
 public:
  explicit NarrowArgument(const wchar_t* text);
  const char* get() const noexcept { return m_isNull ? nullptr : m_text.c_str(); }

 private:
  SecureString m_text;
  bool m_isNull;
};

// A wide copy of a narrow string (linux/NarrowText.cpp, windows/NarrowText.cpp).
std::wstring NarrowToWide(std::string_view narrow);
// Text of the narrow encoding, each byte part of a character, without a control or format
// character: UTF-8 on Linux (IsPrintableUtf8), the ANSI code page on Windows.
bool IsPrintableNarrow(std::string_view text) noexcept;

// C0 and C1 controls, DEL, the line and paragraph separators and the invisible format
// characters (general category Cf: zero-width and direction characters, tags, ...).
bool IsControlOrFormatCharacter(char32_t c) noexcept;

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF) without a control or
// format character (IsControlOrFormatCharacter).
bool IsPrintableUtf8(std::string_view text) noexcept;

// UTF-8 and wide text, on every platform.
void AppendUtf8(std::wstring_view text, SecureString& out);
std::wstring ToWide(std::string_view utf8);

// UTF-16 (USB string descriptors) and back, with the same replacement rules: a lone surrogate
// becomes "?", a malformed UTF-8 sequence U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace ov
