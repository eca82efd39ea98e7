#include "encoding/BitArray.h"

#include <algorithm>
#include <limits>

#include "common/LogFacade.h"
#include "encoding/Base32.h"

namespace ov {

namespace {

// The first bit allocates this many zeroed bytes, and a full buffer grows by the second amount:
// policy strings and activation codes (at most 100 bits) never grow past the first allocation.
constexpr std::size_t kInitialBytes = 40;
constexpr std::size_t kGrowthBytes = 16;
constexpr int32_t kMaxBits = std::numeric_limits<int32_t>::max();

// Reads the leading decimal digits of `text`, saturating at the largest 64-bit value the way
// strtoull does on overflow (such a value is then refused for being 2^63 or more).
uint64_t ParseLeadingDecimal(std::string_view text) noexcept {
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
      return std::numeric_limits<uint64_t>::max();
    }
    value = value * 10 + digit;
  }
  return value;
}

int32_t FewestBits(uint64_t value) noexcept {
  int32_t n = 1;
  while (n < 64 && (value >> n) != 0) ++n;
  return n;
}

}  // namespace

BitArray BitArray::FromDecimal(std::string_view text, int32_t bitCount) {
  LogScope log("BitArray::BitArray");
  log.Text("szBase10", text);
  log.Number("nBitCount", bitCount);
  const uint64_t value = ParseLeadingDecimal(text);
  BitArray bits;
  if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    log.Message("value does not fit in 63 bits");
    return bits;
  }
  bits.PushValue(value, bitCount == 0 ? FewestBits(value) : bitCount);
  log.Number("m_nBitCount", bits.m_nBitCount);
  return bits;
}

void BitArray::PushBit(bool bit) {
  const std::size_t byte = static_cast<std::size_t>(m_nBitCount) / 8;
  if (byte >= m_bytes.size()) {
    m_bytes.resize(m_bytes.empty() ? kInitialBytes : m_bytes.size() + kGrowthBytes, 0);
  }
  if (bit) m_bytes[byte] |= static_cast<std::uint8_t>(0x80u >> (m_nBitCount % 8));
  ++m_nBitCount;
}

int BitArray::BitAt(int32_t index) const noexcept {
  if (index < 0 || index >= m_nBitCount) return 0;
  const std::size_t i = static_cast<std::size_t>(index);
  return (m_bytes[i / 8] >> (7 - i % 8)) & 1;
}

bool BitArray::ValidRange(int32_t start, int32_t count) const noexcept {
  return start >= 0 && start < m_nBitCount && count > 0 &&
         static_cast<int64_t>(start) + count <= m_nBitCount;
}

uint64_t BitArray::ReadBits(int32_t start, int32_t count) const noexcept {
  uint64_t value = 0;
  for (int32_t i = 0; i < count; ++i) value = value << 1 | static_cast<uint64_t>(BitAt(start + i));
  return value;
}

void BitArray::PushValue(uint64_t value, int32_t bitCount) {
  if (bitCount <= 0 || bitCount > 64) return;
  if (bitCount < 64 && (value >> bitCount) != 0) return;
  if (bitCount > kMaxBits - m_nBitCount) return;
  for (int32_t i = bitCount - 1; i >= 0; --i) PushBit(((value >> i) & 1) != 0);
}

void BitArray::AppendBit(bool bit) {
  LogScope log("BitArray::AppendBit");
  if (m_nBitCount == kMaxBits) return;
  PushBit(bit);
}

void BitArray::AppendValue(int32_t value, int32_t bitCount) {
  LogScope log("BitArray::AppendValue");
  log.Number("nValue", value);
  log.Number("nBitCount", bitCount);
  if (value < 0 || bitCount > 32) {
    log.Message("Invalid State or Params");
    return;
  }
  PushValue(static_cast<uint64_t>(value), bitCount);
}

void BitArray::AppendValue64(uint32_t lowWord, uint32_t highWord, int32_t bitCount) {
  AppendValue64(static_cast<int64_t>(static_cast<uint64_t>(highWord) << 32 | lowWord), bitCount);
}

void BitArray::AppendValue64(int64_t value, int32_t bitCount) {
  LogScope log("BitArray::AppendValue64");
  log.Number("nBitCount", bitCount);
  if (value < 0) {
    log.Message("Invalid State or Params");
    return;
  }
  PushValue(static_cast<uint64_t>(value), bitCount);
}

void BitArray::AppendBits(const BitArray& other) {
  LogScope log("BitArray::AppendBits");
  // Read the count first: `other` may be this array, which grows while it is read.
  const int32_t count = other.m_nBitCount;
  log.Number("nBitCount", count);
  if (count > kMaxBits - m_nBitCount) return;
  for (int32_t i = 0; i < count; ++i) PushBit(other.BitAt(i) != 0);
}

void BitArray::AppendBytes(std::span<const std::uint8_t> bytes, int32_t bitCount) {
  LogScope log("BitArray::AppendBytes");
  log.Number("nByteCount", static_cast<int32_t>(std::min<std::size_t>(bytes.size(), kMaxBits)));
  log.Number("nBitCount", bitCount);
  if (bitCount < 0 || static_cast<uint64_t>(bitCount) > 8 * static_cast<uint64_t>(bytes.size()) ||
      bitCount > kMaxBits - m_nBitCount) {
    log.Message("Invalid State or Params");
    return;
  }
  for (int32_t i = 0; i < bitCount; ++i) {
    const std::size_t b = static_cast<std::size_t>(i);
    PushBit(((bytes[b / 8] >> (7 - b % 8)) & 1) != 0);
  }
}

int BitArray::GetBit(int32_t index) const {
  LogScope log("BitArray::GetBit");
  return BitAt(index);
}

uint32_t BitArray::GetBits(int32_t start, int32_t count) const {
  LogScope log("BitArray::GetBits");
  log.Number("nStart", start);
  log.Number("nCount", count);
  if (count > 32 || !ValidRange(start, count)) return 0;
  return static_cast<uint32_t>(ReadBits(start, count));
}

uint64_t BitArray::GetValue64(int32_t start, int32_t count) const {
  LogScope log("BitArray::GetValue64");
  log.Number("nStart", start);
  log.Number("nCount", count);
  if (count > 64 || !ValidRange(start, count)) return 0;
  return ReadBits(start, count);
}

BitArray BitArray::GetSubArray(int32_t start, int32_t count) const {
  LogScope log("BitArray::GetSubArray");
  log.Number("nStart", start);
  log.Number("nCount", count);
  BitArray sub;
  if (!ValidRange(start, count)) return sub;
  for (int32_t i = 0; i < count; ++i) sub.PushBit(BitAt(start + i) != 0);
  return sub;
}

std::string BitArray::GetBase10() const {
  LogScope log("BitArray::GetBase10");
  log.Number("m_nBitCount", m_nBitCount);
  if (m_nBitCount > 64) return "0";
  return std::to_string(m_nBitCount > 0 ? ReadBits(0, m_nBitCount) : 0);
}

std::optional<SecureString> BitArray::GetBase32() const {
  LogScope log("BitArray::GetBase32");
  log.Number("m_nBitCount", m_nBitCount);
  if (m_nBitCount % 5 != 0) {
    log.Message("bit count is not a multiple of 5");
    return std::nullopt;
  }
  SecureString text;
  text.reserve(static_cast<std::size_t>(m_nBitCount / 5));
  for (int32_t start = 0; start < m_nBitCount; start += 5) {
    text.push_back(Base32::kAlphabet[ReadBits(start, 5)]);
  }
  return text;
}

SecureBytes BitArray::GetBytes() const {
  LogScope log("BitArray::GetBytes");
  const std::size_t n = (static_cast<std::size_t>(m_nBitCount) + 7) / 8;
  return SecureBytes(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

bool operator==(const BitArray& a, const BitArray& b) noexcept {
  if (a.m_nBitCount != b.m_nBitCount) return false;
  const std::size_t n = (static_cast<std::size_t>(a.m_nBitCount) + 7) / 8;
  return std::equal(a.m_bytes.begin(), a.m_bytes.begin() + static_cast<std::ptrdiff_t>(n),
                    b.m_bytes.begin());
}

}  // namespace ov
