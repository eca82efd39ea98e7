#include "common/WideText.h"

#include <cstdint>

namespace ov {

namespace {

bool IsScalarValue(std::uint32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

}  // namespace

NarrowArgument::NarrowArgument(const wchar_t* text) : m_isNull(text == nullptr) {
  if (text != nullptr) AppendUtf8(text, m_text);
}

void AppendUtf8(std::wstring_view text, SecureString& out) {
  out.reserve(out.size() + text.size() * 4);
  for (wchar_t wc : text) {
    auto c = static_cast<std::uint32_t>(wc);
    if (!IsScalarValue(c)) c = '?';
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

std::wstring ToWide(std::string_view utf8) {
  constexpr wchar_t kReplacement = 0xFFFD;
  std::wstring out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = 0;
    std::uint32_t c = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      out.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t taken = 1;
    while (taken <= extra && i + taken < utf8.size() &&
           (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
      ++taken;
    }
    // A truncated, overlong or out-of-range sequence is one replacement character; the bytes read
    // so far are consumed, the next byte starts afresh.
    if (taken != extra + 1 || c < minimum || !IsScalarValue(c)) {
      out.push_back(kReplacement);
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
    i += taken;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    wide.push_back(static_cast<wchar_t>(c));  // a lone surrogate is replaced by AppendUtf8
  }
  SecureString out;
  AppendUtf8(wide, out);
  return std::string(out.view());
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  for (wchar_t wc : ToWide(utf8)) {
    auto c = static_cast<char32_t>(wc);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

}  // namespace ov
