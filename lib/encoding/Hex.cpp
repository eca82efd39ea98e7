#include "encoding/Hex.h"

namespace ov {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

template <class Text>
void AppendHex(std::span<const std::uint8_t> bytes, Text& out) {
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
}

}  // namespace

std::string HexEncode(std::span<const std::uint8_t> bytes) {
  std::string out;
  AppendHex(bytes, out);
  return out;
}

SecureString HexEncodeSecret(std::span<const std::uint8_t> bytes) {
  SecureString out;
  AppendHex(bytes, out);
  return out;
}

int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HexDecode(std::string_view text, SecureBytes& out) {
  out.clear();
  if (text.size() % 2 != 0) return false;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigitValue(text[i]);
    const int lo = HexDigitValue(text[i + 1]);
    if (hi < 0 || lo < 0) {
      SecureWipe(out.data(), out.size());
      out.clear();
      return false;
    }
    out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  return true;
}

}  // namespace ov
