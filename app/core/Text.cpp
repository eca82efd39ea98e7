#include "app/core/Text.h"

#include <cstdint>

#include "frontend/DisplayText.h"
#include "frontend/StringTable.h"

namespace ov::app {

std::string Text::str() const {
  if (id == 0) return literal;
  switch (numbers.size()) {
    case 0:
      return frontend::OVString(id);
    case 1:
      return frontend::LoadOVString(id, numbers[0]);
    default:
      return frontend::LoadOVString(id, numbers[0], numbers[1]);
  }
}

std::string DisplayName(std::string_view name) { return frontend::DisplayName(name); }

std::string DisplayName(std::wstring_view name) { return frontend::DisplayName(ToUtf8(name)); }

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendWide(std::wstring& out, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(c);
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        const auto low = static_cast<char32_t>(text[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    AppendUtf8(out, c);
  }
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80             ? 0
                      : (lead & 0xE0) == 0xC0 ? 1
                      : (lead & 0xF0) == 0xE0 ? 2
                      : (lead & 0xF8) == 0xF0 ? 3
                                              : -1;
    if (extra < 0 || (extra > 0 && i + static_cast<std::size_t>(extra) >= text.size())) {
      // A stray continuation byte or a sequence cut off at the end.
      AppendWide(out, kReplacement);
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (!valid || c < kLeast[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      AppendWide(out, kReplacement);
      ++i;
      continue;
    }
    AppendWide(out, c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace ov::app
