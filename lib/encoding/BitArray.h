// BitArray: a growable bit string, most significant bit first. Policy strings and activation codes
// are bit strings shown to people as decimal or Base32 text; this class builds them field by field
// and reads the fields back.
//
// Bit i lives in byte i / 8 at bit position 7 - (i mod 8), so the first bit is the most significant
// bit of the first byte. Bits beyond the count are always zero, which lets GetBytes() hand out the
// bytes as they stand.
//
// Bad ranges never raise: reads outside the array give 0 or an empty array, and an append whose
// value does not fit appends nothing, so callers check bit counts themselves. The storage is wiped
// when released, because an activation code's bits carry the random entropy its OTP key comes from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

class BitArray {
 public:
  BitArray() = default;

  // The value of a decimal text in `bitCount` bits; 0 means the fewest bits that hold it (the
  // smallest n >= 1 with value < 2^n: 0 gives one bit, 5 three, 8 four). Leading digits are read
  // and the rest ignored, as "%llu" would; text that does not start with a digit reads as 0. A
  // value of 2^63 or more, or one that does not fit an explicit width, yields an empty array.
  static BitArray FromDecimal(std::string_view text, int32_t bitCount = 0);

  void AppendBit(bool bit);
  // Appends `value` in `bitCount` bits, most significant first. Appends nothing when the value is
  // negative, the count is not in 1..32, or the value needs more than `bitCount` bits.
  void AppendValue(int32_t value, int32_t bitCount);
  // The same for a 64-bit value given as its two 32-bit halves (count 1..64); a value with the top
  // bit set counts as negative and appends nothing.
  void AppendValue64(uint32_t lowWord, uint32_t highWord, int32_t bitCount);
  void AppendValue64(int64_t value, int32_t bitCount);
  // Appends all bits of `other` (which may be this array).
  void AppendBits(const BitArray& other);
  // Appends the first `bitCount` bits of `bytes`; appends nothing when the count is negative or
  // larger than 8 * bytes.size().
  void AppendBytes(std::span<const std::uint8_t> bytes, int32_t bitCount);

  // Bit `index` as 0 or 1; an index outside the array reads as 0.
  int GetBit(int32_t index) const;
  // Bits start .. start+count-1 as an unsigned value, most significant first. 0 when start < 0,
  // start >= GetBitCount(), count <= 0, count > 32 or start + count > GetBitCount().
  uint32_t GetBits(int32_t start, int32_t count) const;
  // The same with count <= 64.
  uint64_t GetValue64(int32_t start, int32_t count) const;
  // A new array of those bits; an invalid range (the rules of GetBits without the width limit)
  // yields an empty array.
  BitArray GetSubArray(int32_t start, int32_t count) const;

  int32_t GetBitCount() const noexcept { return m_nBitCount; }

  // The whole array read as one unsigned number, in decimal. An empty array and one of more than
  // 64 bits both give "0".
  std::string GetBase10() const;
  // Each group of 5 bits as one character of the RFC 4648 Base32 alphabet, with no fill bits and
  // no padding; nullopt when the bit count is not a multiple of 5 (an empty array gives "").
  std::optional<SecureString> GetBase32() const;
  // The bits as bytes, the last byte filled with zero bits: (GetBitCount() + 7) / 8 bytes.
  SecureBytes GetBytes() const;

  friend bool operator==(const BitArray& a, const BitArray& b) noexcept;

 private:
  void PushBit(bool bit);
  int BitAt(int32_t index) const noexcept;
  bool ValidRange(int32_t start, int32_t count) const noexcept;
  uint64_t ReadBits(int32_t start, int32_t count) const noexcept;
  void PushValue(uint64_t value, int32_t bitCount);

  SecureBytes m_bytes;
  int32_t m_nBitCount = 0;
};

}  // namespace ov
