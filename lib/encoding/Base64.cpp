#include "encoding/Base64.h"

#include <array>
#include <new>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of every byte, or -1 for one outside the alphabet; indexed by the unsigned byte
// so that text with bytes above 0x7F cannot index before the table.
constexpr std::array<int8_t, 256> MakeDecodeTable() {
  std::array<int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
  return table;
}
constexpr std::array<int8_t, 256> kDecode = MakeDecodeTable();

template <class Text>
void EncodeInto(std::span<const std::uint8_t> bytes, Text& out) {
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
    out.push_back(kAlphabet[group >> 18 & 0x3F]);
    out.push_back(kAlphabet[group >> 12 & 0x3F]);
    out.push_back(kAlphabet[group >> 6 & 0x3F]);
    out.push_back(kAlphabet[group & 0x3F]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return;
  uint32_t group = uint32_t{bytes[i]} << 16;
  if (rest == 2) group |= uint32_t{bytes[i + 1]} << 8;
  out.push_back(kAlphabet[group >> 18 & 0x3F]);
  out.push_back(kAlphabet[group >> 12 & 0x3F]);
  out.push_back(rest == 2 ? kAlphabet[group >> 6 & 0x3F] : '=');
  out.push_back('=');
}

int32_t LogLength(std::size_t n) noexcept {
  return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(n);
}

}  // namespace

std::string Base64Encode(std::span<const std::uint8_t> bytes) {
  LogScope log("Base64Encode");
  log.Number("nLength", LogLength(bytes.size()));
  std::string out;
  EncodeInto(bytes, out);
  return out;
}

SecureString Base64EncodeSecret(std::span<const std::uint8_t> bytes) {
  LogScope log("Base64EncodeSecret");
  log.Number("nLength", LogLength(bytes.size()));
  SecureString out;
  EncodeInto(bytes, out);
  return out;
}

std::size_t Base64DecodedLength(std::string_view text) noexcept {
  const std::size_t n = text.size();
  // Written so that no intermediate value can overflow, whatever the text's length.
  std::size_t length = (n / 4 + (n % 4 != 0 ? 1 : 0)) * 3;
  if (n >= 1 && text[n - 1] == '=') {
    --length;
    if (n >= 2 && text[n - 2] == '=') --length;
  }
  return length;
}

SecureBytes Base64Decode(std::string_view text) {
  LogScope log("Base64Decode");
  log.Number("nLength", LogLength(text.size()));
  // Skipped characters (line breaks, blanks, a "=" inside the text) make the announced length
  // larger than what the text really holds. Handing out the announced length would pad the result
  // with bytes that were never decoded, so a damaged value would come back as a longer, made-up
  // one; the result ends where the decoded data ends instead. A clean text (what every writer of
  // the system produces) decodes to exactly the announced length, so nothing stored changes.
  const std::size_t limit = Base64DecodedLength(text);
  try {
    SecureBytes out;
    out.reserve(limit);
    uint32_t buffer = 0;
    int pending = 0;
    for (char c : text) {
      const int v = kDecode[static_cast<unsigned char>(c)];
      if (v < 0) continue;
      // At most 13 bits are pending at once; 16 are kept.
      buffer = (buffer << 6 | static_cast<uint32_t>(v)) & 0xFFFFu;
      pending += 6;
      if (pending >= 8) {
        pending -= 8;
        if (out.size() == limit) break;  // the announced length is the most a caller receives
        out.push_back(static_cast<std::uint8_t>(buffer >> pending & 0xFFu));
      }
    }
    SecureWipe(&buffer, sizeof buffer);
    log.Number("nDecoded", LogLength(out.size()));
    return out;
  } catch (const std::bad_alloc&) {
    log.Message("out of memory");
    throw OVException(OV_ERR_OPERATION_FAILED, "Base64Decode out of memory");
  }
}

bool IsBase64(std::string_view text) noexcept {
  LogScope log("IsBase64");
  std::size_t count = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c != '=' && kDecode[static_cast<unsigned char>(c)] < 0) {
      log.Message("not a base64 character");
      return false;
    }
    ++count;
  }
  const bool ok = count % 4 == 0;
  log.Return(ok ? 1 : 0);
  return ok;
}

}  // namespace ov
