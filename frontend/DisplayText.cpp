#include "frontend/DisplayText.h"

#include <cstdint>
#include <utility>

namespace ov::frontend {
namespace {

constexpr char kHex[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at the start of `text` and its code point, or 0
// when it is not one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view text, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return length;
}

// The format characters (general category Cf) of Unicode 15.0: invisible, they make two texts
// that differ look alike, and some turn the direction of what follows. Kept equal to the
// library's list of the characters a new name refuses (lib/common/WideText.cpp).
constexpr std::pair<char32_t, char32_t> kFormatCharacters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
    {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

// Characters that move the cursor, end a line, turn the text's direction or cannot be seen.
bool IsControl(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) return true;
  for (const auto& [first, last] : kFormatCharacters) {
    if (c < first) return false;
    if (c <= last) return true;
  }
  return false;
}

void AppendByteEscape(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

void AppendHex(std::string& out, char32_t c, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0x0F];
}

// \uNNNN, or \UNNNNNNNN beyond the first plane.
void AppendUnicodeEscape(std::string& out, char32_t c) {
  out += c > 0xFFFF ? "\\U" : "\\u";
  AppendHex(out, c, c > 0xFFFF ? 8 : 4);
}

// JSON's \uNNNN, as a surrogate pair beyond the first plane.
void AppendJsonEscape(std::string& out, char32_t c) {
  if (c > 0xFFFF) {
    c -= 0x10000;
    AppendJsonEscape(out, 0xD800 + (c >> 10));
    AppendJsonEscape(out, 0xDC00 + (c & 0x3FF));
    return;
  }
  out += "\\u";
  AppendHex(out, c, 4);
}

}  // namespace

std::string DisplayName(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8(text, c);
    if (length == 0) {
      AppendByteEscape(out, static_cast<unsigned char>(text[0]));
      text.remove_prefix(1);
      continue;
    }
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7F) {
      AppendByteEscape(out, static_cast<unsigned char>(c));
    } else if (IsControl(c)) {
      AppendUnicodeEscape(out, c);
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

std::string JsonStringContent(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t c = 0;
    const std::size_t length = DecodeUtf8(text, c);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      text.remove_prefix(1);
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (IsControl(c)) {
      AppendJsonEscape(out, c);
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace ov::frontend
