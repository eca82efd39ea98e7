#include "common/WideText.h"

#include <cstdint>
#include <utility>

namespace ov {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(std::uint32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void EncodeUtf8(char32_t c, SecureString& out) {
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

// Calls `take` with each character of UTF-16 text (or of UTF-32 text, where no unit is a
// surrogate pair); a lone surrogate is passed on as it is, for the encoder to replace.
template <class Unit, class Take>
void DecodeUtf16(std::basic_string_view<Unit> text, Take take) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if (sizeof(Unit) == 2 && IsHighSurrogate(c) && i + 1 < text.size() &&
        IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
    }
    take(c);
  }
}

template <class Unit>
void EncodeUtf16(char32_t c, std::basic_string<Unit>& out) {
  if (sizeof(Unit) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<Unit>(0xD800 + (c >> 10)));
    out.push_back(static_cast<Unit>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<Unit>(c));
  }
}

// Calls `take` with each character of UTF-8 text. A truncated, overlong or out-of-range sequence
// is one replacement character; the bytes read so far are consumed, the next byte starts afresh.
template <class Take>
void DecodeUtf8(std::string_view utf8, Take take) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = 0;
    std::uint32_t c = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      take(lead);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      take(kReplacement);
      ++i;
      continue;
    }
    std::size_t taken = 1;
    while (taken <= extra && i + taken < utf8.size() &&
           (static_cast<unsigned char>(utf8[i + taken]) & 0xC0) == 0x80) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + taken]) & 0x3F);
      ++taken;
    }
    take(taken != extra + 1 || c < minimum || !IsScalarValue(c) ? kReplacement : char32_t{c});
    i += taken;
  }
}

}  // namespace

void AppendUtf8(std::wstring_view text, SecureString& out) {
  out.reserve(out.size() + text.size() * 4);
  DecodeUtf16(text, [&](char32_t c) { EncodeUtf8(c, out); });
}

std::wstring ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  DecodeUtf8(utf8, [&](char32_t c) { EncodeUtf16(c, out); });
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  SecureString out;
  DecodeUtf16(text, [&](char32_t c) { EncodeUtf8(c, out); });
  return std::string(out.view());
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  DecodeUtf8(utf8, [&](char32_t c) { EncodeUtf16(c, out); });
  return out;
}

bool IsControlOrFormatCharacter(char32_t c) noexcept {
  // The format characters (general category Cf) of Unicode 15.0: invisible, they make two names
  // that differ look alike, and some turn the direction of what follows. Kept equal to the front
  // ends' list of the characters they show escaped (frontend/DisplayText.cpp).
  static constexpr std::pair<char32_t, char32_t> kFormatCharacters[] = {
      {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
      {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
      {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
      {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
      {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
      {0xE0020, 0xE007F},
  };
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) return true;
  for (const auto& [first, last] : kFormatCharacters) {
    if (c < first) return false;
    if (c <= last) return true;
  }
  return false;
}

bool IsPrintableUtf8(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if (lead < 0x20 || lead == 0x7F) return false;
      ++i;
      continue;
    }
    std::size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    if (IsControlOrFormatCharacter(value)) return false;
    i += length;
  }
  return true;
}

}  // namespace ov
