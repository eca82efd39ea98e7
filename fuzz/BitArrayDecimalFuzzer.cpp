// Fuzzes BitArray built from decimal text (policy strings come from users and servers), its
// decimal, Base32 and byte renderings and its range readers, plus Base32 and the checksum.
//
// Input layout: byte 0 picks the width (-4 .. 70, where 0 means the fewest bits), bytes 1-2 and
// 3-4 a start and a count for the range readers (as signed 16-bit values, so that negative and
// past-the-end ranges come up), the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "common/OVException.h"
#include "encoding/Base32.h"
#include "encoding/Base32Checksum.h"
#include "encoding/BitArray.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

int32_t Signed16(const std::uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
}

bool InBase32Alphabet(char c) { return c != '\0' && std::strchr(ov::Base32::kAlphabet, c); }

void CheckRanges(const ov::BitArray& bits, int32_t start, int32_t count) {
  const int32_t n = bits.GetBitCount();
  const bool valid = start >= 0 && start < n && count > 0 && int64_t{start} + count <= n;
  const ov::BitArray sub = bits.GetSubArray(start, count);
  Check(sub.GetBitCount() == (valid ? count : 0));
  const uint64_t value64 = bits.GetValue64(start, count);
  const uint32_t value32 = bits.GetBits(start, count);
  if (!valid) {
    Check(value64 == 0 && value32 == 0);
    return;
  }
  if (count <= 64) Check(value64 == sub.GetValue64(0, count));
  if (count <= 32) Check(value32 == value64);
  for (int32_t i = 0; i < count && i < 8; ++i) Check(sub.GetBit(i) == bits.GetBit(start + i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const int32_t width = static_cast<int32_t>(data[0] % 75) - 4;
  const int32_t start = Signed16(data + 1);
  const int32_t count = Signed16(data + 3);
  const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);

  const ov::BitArray bits = ov::BitArray::FromDecimal(text, width);
  const int32_t n = bits.GetBitCount();
  Check(n >= 0 && n <= 64);
  Check(width == 0 || n == 0 || n == width);

  // The decimal rendering reads back to the same bits, and to the text's leading digits.
  const std::string base10 = bits.GetBase10();
  if (n > 0) {
    Check(ov::BitArray::FromDecimal(base10, width) == bits);
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    std::string_view leading = text.substr(0, digits);
    while (leading.size() > 1 && leading[0] == '0') leading.remove_prefix(1);
    Check(base10 == (leading.empty() ? std::string_view("0") : leading));
  }

  const auto base32 = bits.GetBase32();
  Check(base32.has_value() == (n % 5 == 0));
  if (base32) {
    Check(static_cast<int32_t>(base32->size()) == n / 5);
    for (char c : *base32) Check(InBase32Alphabet(c));
  }

  const ov::SecureBytes bytes = bits.GetBytes();
  Check(bytes.size() == static_cast<std::size_t>(n + 7) / 8);
  ov::BitArray rebuilt;
  rebuilt.AppendBytes(bytes, n);
  Check(rebuilt == bits);

  CheckRanges(bits, start, count);
  ov::BitArray doubled = bits;
  doubled.AppendBits(doubled);
  Check(doubled.GetBitCount() == 2 * n);
  if (n > 0) Check(doubled.GetSubArray(n, n) == bits);
  CheckRanges(doubled, start, count);

  // Base32 of the raw text and its checksum character.
  const std::span<const std::uint8_t> raw(data + 5, size - 5);
  const ov::SecureString encoded = ov::Base32::Encode(raw);
  Check(encoded.size() == (raw.size() + 4) / 5 * 8);
  const char checksum = ov::Base32Checksum::GetChecksumChar(text);
  Check(text.empty() ? checksum == '\0' : InBase32Alphabet(checksum));
  try {
    (void)ov::Base32::GetBase32Char(start);
    Check(start >= 0 && start <= 31);
  } catch (const ov::OVException& e) {
    Check(e.GetErrorCode() == 6003 && (start < 0 || start > 31));
  }
  return 0;
}
