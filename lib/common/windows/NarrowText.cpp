// The narrow strings of the A functions are in the ANSI code page on Windows, and wchar_t is
// UTF-16, as the system's own A and W functions have them.
#include <windows.h>

#include <climits>

#include "common/WideText.h"

namespace ov {

NarrowArgument::NarrowArgument(const wchar_t* text) : m_isNull(text == nullptr) {
  if (text == nullptr) return;
  const std::wstring_view wide(text);
  if (wide.empty() || wide.size() > INT_MAX / 4) return;
  const int length = static_cast<int>(wide.size());
  // No best-fit mapping: a character the code page lacks becomes "?", never a look-alike ("∞" is
  // not "8"), so that a PIN or password never matches one the user did not type.
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr,
                                       0, "?", nullptr);
  if (size <= 0) return;
  m_text.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, m_text.data(), size, "?",
                      nullptr);
}

std::wstring NarrowToWide(std::string_view narrow) {
  if (narrow.empty() || narrow.size() > INT_MAX) return {};
  const int length = static_cast<int>(narrow.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, wide.data(), size);
  return wide;
}

bool IsPrintableNarrow(std::string_view text) noexcept {
  if (text.empty()) return true;
  if (text.size() > INT_MAX) return false;
  const int length = static_cast<int>(text.size());
  // MB_ERR_INVALID_CHARS: a byte that is no character of the code page (a lead byte of a
  // double-byte code page without its trail) fails the conversion.
  const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = static_cast<char16_t>(wide[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
    }
    if (IsControlOrFormatCharacter(c)) return false;
  }
  return true;
}

}  // namespace ov
