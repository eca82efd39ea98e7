#include "encoding/BitArray.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "support/KeyValueRecords.h"
#include "encoding/Base32Checksum.h"

namespace ov {
namespace {

using test::KeyValueRecord;

std::string BitsOf(const BitArray& bits) {
  std::string out;
  for (int32_t i = 0; i < bits.GetBitCount(); ++i) out.push_back(bits.GetBit(i) ? '1' : '0');
  return out;
}

BitArray FromBits(std::string_view text) {
  BitArray bits;
  for (char c : text) bits.AppendBit(c == '1');
  return bits;
}

// --- Decimal text in, bits and renderings out (tests/data/encoding/bitarray_decimal.txt) ---

class BitArrayDecimalVectors : public testing::TestWithParam<KeyValueRecord> {};

TEST_P(BitArrayDecimalVectors, ReadsAndRenders) {
  const KeyValueRecord& r = GetParam();
  const BitArray bits = BitArray::FromDecimal(r.Get("Text"), std::stoi(r.Get("BitCount")));
  EXPECT_EQ(BitsOf(bits), r.Get("Bits"));
  EXPECT_EQ(bits.GetBase10(), r.Get("Base10"));
  const auto base32 = bits.GetBase32();
  if (r.Get("Base32") == "-") {
    EXPECT_FALSE(base32.has_value());
  } else {
    ASSERT_TRUE(base32.has_value());
    EXPECT_EQ(base32->view(), r.Get("Base32"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    File, BitArrayDecimalVectors,
    testing::ValuesIn(test::ReadKeyValueRecords("encoding/bitarray_decimal.txt")),
    test::RecordName);

// --- Appending ---

struct AppendCase {
  const char* label;
  int32_t value;
  int32_t bitCount;
  const char* bits;
};
void PrintTo(const AppendCase& c, std::ostream* os) { *os << c.label; }


class BitArrayAppendValue : public testing::TestWithParam<AppendCase> {};

TEST_P(BitArrayAppendValue, AppendsOnlyWhatFits) {
  // Appended after a marker bit, so that a refused append is seen to leave the array alone.
  BitArray bits;
  bits.AppendBit(true);
  bits.AppendValue(GetParam().value, GetParam().bitCount);
  EXPECT_EQ(BitsOf(bits), std::string("1") + GetParam().bits);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BitArrayAppendValue,
    testing::Values(AppendCase{"FiveInThree", 5, 3, "101"}, AppendCase{"EightInThree", 8, 3, ""},
                    AppendCase{"Negative", -1, 5, ""}, AppendCase{"ZeroWidth", 0, 0, ""},
                    AppendCase{"NegativeWidth", 1, -3, ""}, AppendCase{"ZeroInOne", 0, 1, "0"},
                    AppendCase{"OneIn32", 1, 32, "00000000000000000000000000000001"},
                    AppendCase{"MaxIn31", INT32_MAX, 31, "1111111111111111111111111111111"},
                    AppendCase{"WiderThanTheValueType", 1, 33, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(BitArray, AppendValue64TakesLowAndHighWords) {
  BitArray bits;
  bits.AppendValue64(0u, 1u, 33);  // 2^32
  EXPECT_EQ(BitsOf(bits), "1" + std::string(32, '0'));

  BitArray ones;
  ones.AppendValue64(0xFFFFFFFFu, 0x7FFFFFFFu, 63);
  EXPECT_EQ(BitsOf(ones), std::string(63, '1'));

  BitArray refused;
  refused.AppendValue64(0u, 0x80000000u, 64);  // top bit set: a negative value
  refused.AppendValue64(0u, 1u, 32);           // 2^32 needs 33 bits
  refused.AppendValue64(int64_t{1}, 65);
  refused.AppendValue64(int64_t{1}, 0);
  EXPECT_EQ(refused.GetBitCount(), 0);
}

TEST(BitArray, AppendBitsCopiesAnotherArrayOrItself) {
  BitArray bits = FromBits("101");
  bits.AppendBits(FromBits("0011"));
  EXPECT_EQ(BitsOf(bits), "1010011");
  bits.AppendBits(bits);
  EXPECT_EQ(BitsOf(bits), "10100111010011");
}

TEST(BitArray, AppendBytesTakesTheLeadingBits) {
  const std::vector<std::uint8_t> bytes = {0xA5, 0xFF};
  BitArray bits = FromBits("0");
  bits.AppendBytes(bytes, 12);
  EXPECT_EQ(BitsOf(bits), "0101001011111");

  bits.AppendBytes(bytes, 17);  // more bits than the bytes hold
  bits.AppendBytes(bytes, -1);
  bits.AppendBytes({}, 1);
  EXPECT_EQ(BitsOf(bits), "0101001011111");
}

TEST(BitArray, GrowsPastItsFirstBufferWithoutLosingBits) {
  // 100 bytes go past the first 40-byte allocation and several growth steps; a byte written past
  // the end of the buffer would show under the sanitizers, a lost one in the comparison.
  std::vector<std::uint8_t> bytes(100);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  BitArray bits;
  bits.AppendBit(true);
  bits.AppendBytes(bytes, 800);
  ASSERT_EQ(bits.GetBitCount(), 801);
  EXPECT_EQ(bits.GetSubArray(1, 800).GetBytes(), SecureBytes(bytes.begin(), bytes.end()));
}

TEST(BitArray, CopiesAreIndependent) {
  BitArray original = FromBits("11");
  BitArray copy = original;
  copy.AppendValue(0, 3);
  EXPECT_EQ(BitsOf(original), "11");
  EXPECT_EQ(BitsOf(copy), "11000");
}

// --- Reading ranges: a fixed 40-bit array read inside, at and past its edges ---

struct RangeCase {
  const char* label;
  int32_t start;
  int32_t count;
  uint32_t bits;      // GetBits
  uint64_t value64;   // GetValue64
  const char* sub;    // GetSubArray, as bits
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.label; }


// 0x9A 0x0C 0xF0 0x12 0x34
constexpr const char* kForty = "1001101000001100111100000001001000110100";

class BitArrayRanges : public testing::TestWithParam<RangeCase> {};

TEST_P(BitArrayRanges, ReadOnlyInsideTheArray) {
  const BitArray bits = FromBits(kForty);
  const RangeCase& c = GetParam();
  EXPECT_EQ(bits.GetBits(c.start, c.count), c.bits);
  EXPECT_EQ(bits.GetValue64(c.start, c.count), c.value64);
  EXPECT_EQ(BitsOf(bits.GetSubArray(c.start, c.count)), c.sub);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BitArrayRanges,
    testing::Values(
        RangeCase{"FirstBit", 0, 1, 1, 1, "1"},
        RangeCase{"LevelField", 1, 4, 0x3, 0x3, "0011"},
        RangeCase{"AcrossBytes", 6, 6, 0x20, 0x20, "100000"},
        RangeCase{"LastFive", 35, 5, 0x14, 0x14, "10100"},
        RangeCase{"ThirtyTwo", 8, 32, 0x0CF01234, 0x0CF01234, "00001100111100000001001000110100"},
        RangeCase{"WiderThan32", 0, 33, 0, 0x13419E024ull, "100110100000110011110000000100100"},
        RangeCase{"Whole", 0, 40, 0, 0x9A0CF01234ull, kForty},
        RangeCase{"NegativeStart", -1, 2, 0, 0, ""},
        RangeCase{"StartAtEnd", 40, 1, 0, 0, ""},
        RangeCase{"ZeroCount", 3, 0, 0, 0, ""},
        RangeCase{"NegativeCount", 3, -2, 0, 0, ""},
        RangeCase{"PastTheEnd", 36, 5, 0, 0, ""},
        RangeCase{"SumOverflows", 39, INT32_MAX, 0, 0, ""},
        RangeCase{"HugeStart", INT32_MAX, 1, 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(BitArray, WidthLimitsOfTheReaders) {
  const BitArray bits = FromBits(std::string(70, '1'));
  EXPECT_EQ(bits.GetValue64(0, 64), UINT64_MAX);
  EXPECT_EQ(bits.GetValue64(0, 65), 0u);
  EXPECT_EQ(bits.GetSubArray(0, 70).GetBitCount(), 70);
  EXPECT_EQ(bits.GetBit(-1), 0);
  EXPECT_EQ(bits.GetBit(70), 0);
  EXPECT_EQ(bits.GetBit(69), 1);
}

// --- Renderings ---

TEST(BitArray, Base10OfWideArrays) {
  EXPECT_EQ(FromBits("1011").GetBase10(), "11");
  EXPECT_EQ(FromBits(std::string(64, '1')).GetBase10(), "18446744073709551615");
  EXPECT_EQ(FromBits(std::string(65, '1')).GetBase10(), "0");
  EXPECT_EQ(BitArray().GetBase10(), "0");
}

TEST(BitArray, GetBytesFillsTheLastByteWithZeros) {
  EXPECT_EQ(FromBits("101").GetBytes(), SecureBytes({0xA0}));
  EXPECT_EQ(FromBits("111111111").GetBytes(), SecureBytes({0xFF, 0x80}));
  EXPECT_TRUE(BitArray().GetBytes().empty());
}

// The policy string format splits its bits into the text R (all but the last five bits) and a
// five-bit checksum of R. The default policies' strings must come apart into their known R and
// checksum character.
struct PolicySplit {
  const char* policy;
  const char* r;
  char checksumChar;
  uint64_t checksumBits;
};
void PrintTo(const PolicySplit& c, std::ostream* os) { *os << c.policy; }


class BitArrayPolicySplit : public testing::TestWithParam<PolicySplit> {};

TEST_P(BitArrayPolicySplit, SplitsIntoTextAndChecksum) {
  const BitArray bits = BitArray::FromDecimal(GetParam().policy);
  const int32_t n = bits.GetBitCount();
  EXPECT_EQ(bits.GetValue64(n - 5, 5), GetParam().checksumBits);
  const std::string r = bits.GetSubArray(0, n - 5).GetBase10();
  EXPECT_EQ(r, GetParam().r);
  EXPECT_EQ(Base32Checksum::GetChecksumChar(r), GetParam().checksumChar);
}

INSTANTIATE_TEST_SUITE_P(DefaultPolicies, BitArrayPolicySplit,
                         testing::Values(PolicySplit{"9859", "308", '3', 3},
                                         PolicySplit{"9894", "309", '6', 6},
                                         PolicySplit{"9946", "310", 'F', 26},
                                         PolicySplit{"17840159", "557504", 'A', 31}),
                         [](const auto& info) { return std::string(info.param.policy); });

// A known-answer file that is missing or unreadable would silently instantiate no cases.
TEST(EncodingVectorFiles, AreReadable) {
  for (const char* name : {"encoding/bitarray_decimal.txt", "encoding/base32.txt",
                           "encoding/checksum.txt", "encoding/base64.txt"}) {
    EXPECT_GE(test::ReadKeyValueRecords(name).size(), 5u) << name;
  }
}

}  // namespace
}  // namespace ov
