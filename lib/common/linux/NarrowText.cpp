// The narrow strings of the A functions are UTF-8 on Linux, and wchar_t is UTF-32.
#include "common/WideText.h"

namespace ov {

NarrowArgument::NarrowArgument(const wchar_t* text) : m_isNull(text == nullptr) {
  if (text != nullptr) AppendUtf8(text, m_text);
}

std::wstring NarrowToWide(std::string_view narrow) { return ToWide(narrow); }

bool IsPrintableNarrow(std::string_view text) noexcept { return IsPrintableUtf8(text); }

}  // namespace ov
