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

}  // namespace ov
