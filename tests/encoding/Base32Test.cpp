#include "encoding/Base32.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "support/KeyValueRecords.h"
#include "common/OVException.h"
#include "encoding/Base32Checksum.h"
#include "encoding/BitArray.h"
#include "encoding/Hex.h"

namespace ov {
namespace {

using test::KeyValueRecord;

// --- Base32::Encode (tests/data/encoding/base32.txt) ---

class Base32Vectors : public testing::TestWithParam<KeyValueRecord> {};

TEST_P(Base32Vectors, Encodes) {
  SecureBytes bytes;
  ASSERT_TRUE(HexDecode(GetParam().Get("Hex"), bytes));
  EXPECT_EQ(Base32::Encode(bytes).view(), GetParam().Get("Base32"));

  // Whole groups of five bytes need no fill bits, so the bit string renders the same text: the
  // two routes by which activation codes are made agree.
  if (bytes.size() % 5 == 0) {
    BitArray bits;
    bits.AppendBytes(bytes, static_cast<int32_t>(bytes.size() * 8));
    const auto text = bits.GetBase32();
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->view(), GetParam().Get("Base32"));
  }
}

INSTANTIATE_TEST_SUITE_P(File, Base32Vectors,
                         testing::ValuesIn(test::ReadKeyValueRecords("encoding/base32.txt")),
                         test::RecordName);

TEST(Base32, GetBase32CharCoversTheAlphabetAndRefusesOtherIndexes) {
  EXPECT_EQ(Base32::GetBase32Char(0), 'A');
  EXPECT_EQ(Base32::GetBase32Char(25), 'Z');
  EXPECT_EQ(Base32::GetBase32Char(26), '2');
  EXPECT_EQ(Base32::GetBase32Char(31), '7');
  for (int32_t index : {-1, 32, INT_MIN, INT_MAX}) {
    try {
      Base32::GetBase32Char(index);
      ADD_FAILURE() << "index " << index << " was accepted";
    } catch (const OVException& e) {
      EXPECT_EQ(e.GetErrorCode(), 6003);
    }
  }
}

// --- Base32Checksum (tests/data/encoding/checksum.txt) ---

class ChecksumVectors : public testing::TestWithParam<KeyValueRecord> {};

TEST_P(ChecksumVectors, ComputesAndAppends) {
  const std::string& text = GetParam().Get("Text");
  const std::string& expected = GetParam().Get("Char");
  ASSERT_EQ(expected.size(), 1u);
  EXPECT_EQ(Base32Checksum::GetChecksumChar(text), expected[0]);

  std::string appended = text;
  Base32Checksum::AddChecksum(appended);
  EXPECT_EQ(appended, text + expected);
  SecureString secret(text);
  Base32Checksum::AddChecksum(secret);
  EXPECT_EQ(secret.view(), text + expected);
}

INSTANTIATE_TEST_SUITE_P(File, ChecksumVectors,
                         testing::ValuesIn(test::ReadKeyValueRecords("encoding/checksum.txt")),
                         test::RecordName);

TEST(Base32Checksum, EmptyTextHasNoChecksum) {
  EXPECT_EQ(Base32Checksum::GetChecksumChar(""), '\0');
  std::string empty;
  Base32Checksum::AddChecksum(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(Base32Checksum, WeightsByPositionSoSwapsAreCaught) {
  EXPECT_NE(Base32Checksum::GetChecksumChar("12"), Base32Checksum::GetChecksumChar("21"));
}

TEST(Base32Checksum, BytesAboveAsciiStayInsideTheAlphabet) {
  // Such bytes count as negative terms; the index is still taken modulo 32 into the alphabet
  // rather than going negative. 0xFF alone sums to -1, which is 31 modulo 32: "7".
  EXPECT_EQ(Base32Checksum::GetChecksumChar("\xFF"), '7');
  EXPECT_EQ(Base32Checksum::GetChecksumChar("\x80\x81"), 'C');  // -128 - 2 * 127 = -382 = 2 mod 32
}

TEST(Base32Checksum, LongTextsDoNotOverflowTheSum) {
  // 6000 "z" sum to 122 * 6000 * 6001 / 2 = 2196366000, which a signed 32-bit sum would wrap to a
  // negative number; the result must still be the true value modulo 32 (16, "Q").
  EXPECT_EQ(Base32Checksum::GetChecksumChar(std::string(6000, 'z')), 'Q');
}

}  // namespace
}  // namespace ov
