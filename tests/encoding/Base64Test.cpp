#include "encoding/Base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/KeyValueRecords.h"
#include "encoding/Hex.h"

namespace ov {
namespace {

using test::KeyValueRecord;

SecureBytes BytesOf(std::string_view text) { return SecureBytes(text.begin(), text.end()); }

// --- Known answers both ways (tests/data/encoding/base64.txt) ---

class Base64Vectors : public testing::TestWithParam<KeyValueRecord> {};

TEST_P(Base64Vectors, EncodesAndDecodes) {
  SecureBytes bytes;
  ASSERT_TRUE(HexDecode(GetParam().Get("Hex"), bytes));
  const std::string& text = GetParam().Get("Base64");
  EXPECT_EQ(Base64Encode(bytes), text);
  EXPECT_EQ(Base64EncodeSecret(bytes).view(), text);
  EXPECT_EQ(Base64Decode(text), bytes);
  // Clean text announces exactly the length it decodes to.
  EXPECT_EQ(Base64DecodedLength(text), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(File, Base64Vectors,
                         testing::ValuesIn(test::ReadKeyValueRecords("encoding/base64.txt")),
                         test::RecordName);

TEST(Base64, RoundTripsEveryLengthAndSurvivesLineBreaks) {
  std::mt19937 random(20240611);
  for (std::size_t n = 0; n < 200; ++n) {
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    const std::string text = Base64Encode(bytes);
    ASSERT_EQ(text.size(), (n + 2) / 3 * 4) << n;
    ASSERT_EQ(Base64Decode(text), SecureBytes(bytes.begin(), bytes.end())) << n;

    // A writer that wraps lines (every 76 characters, CR LF) yields the same bytes.
    std::string wrapped;
    for (std::size_t i = 0; i < text.size(); i += 76) wrapped += text.substr(i, 76) + "\r\n";
    ASSERT_EQ(Base64Decode(wrapped), SecureBytes(bytes.begin(), bytes.end())) << n;
  }
}

// --- The lenient decoder: what is skipped, and how long the result is ---

struct DecodeCase {
  const char* label;
  std::string_view text;
  std::size_t announced;  // Base64DecodedLength
  std::string_view bytes;  // what Base64Decode returns
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.label; }


class Base64Decoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(Base64Decoding, SkipsOutsideTheAlphabetAndReturnsOnlyDecodedBytes) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(Base64DecodedLength(c.text), c.announced);
  const SecureBytes decoded = Base64Decode(c.text);
  EXPECT_EQ(decoded, BytesOf(c.bytes));
  EXPECT_LE(decoded.size(), c.announced);
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Table, Base64Decoding,
    testing::Values(
        DecodeCase{"Empty", ""sv, 0, ""sv},
        // Skipped characters count towards the announced length but hold no data: the result
        // stops at the decoded bytes instead of padding up to the announced 9 or 6.
        DecodeCase{"LineBreakInside", "Zm9v\r\nYmFy"sv, 9, "foobar"sv},
        DecodeCase{"TrailingLineBreak", "Zm9vYmFy\r\n"sv, 9, "foobar"sv},
        DecodeCase{"PaddedThenLineBreak", "Zg==\r\n"sv, 6, "f"sv},
        DecodeCase{"Blanks", "Zm 9v"sv, 6, "foo"sv},
        DecodeCase{"BytesAboveAscii", "\xC3\xA9Zg=="sv, 4, "f"sv},
        DecodeCase{"NulInside", "Zm\0009v"sv, 6, "foo"sv},
        // Padding cut off: the announced length is a whole group, the result what was there.
        DecodeCase{"UnpaddedOne", "Zg"sv, 3, "f"sv},
        DecodeCase{"UnpaddedTwo", "Zm8"sv, 3, "fo"sv},
        // A "=" inside the text is skipped like any other character and the bit stream runs on:
        // Zg + Zm8 are 30 bits, 66 06 66 and six bits left over.
        DecodeCase{"PaddingInside", "Zg==Zm8="sv, 5, "\x66\x06\x66"sv},
        // Six bits make no byte.
        DecodeCase{"OneCharacter", "Z"sv, 3, ""sv},
        // Only two trailing "=" count, and a lone "=" has none before it to look at.
        DecodeCase{"LoneEquals", "="sv, 2, ""sv},
        DecodeCase{"TwoEquals", "=="sv, 1, ""sv},
        DecodeCase{"ThreeEquals", "==="sv, 1, ""sv},
        DecodeCase{"EqualsOnly", "===="sv, 1, ""sv},
        DecodeCase{"NothingDecodable", "\r\n\r\n--"sv, 6, ""sv}),
    [](const auto& info) { return std::string(info.param.label); });

// --- The base64 test of received texts ---

struct CheckCase {
  const char* label;
  std::string_view text;
  bool passes;
};
void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.label; }


class Base64Check : public testing::TestWithParam<CheckCase> {};

TEST_P(Base64Check, CountsAlphabetAndPadding) {
  EXPECT_EQ(IsBase64(GetParam().text), GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Base64Check,
    testing::Values(CheckCase{"Empty", ""sv, true}, CheckCase{"Group", "Zm9v"sv, true},
                    CheckCase{"Padded", "Zm9vYg=="sv, true},
                    CheckCase{"PaddingCutOff", "Zm9vYg"sv, false},
                    CheckCase{"LineBreaksNotCounted", "Zm9v\r\nYmFy\n"sv, true},
                    CheckCase{"EqualsPositionNotChecked", "Zg=\n="sv, true},
                    CheckCase{"EqualsOnly", "===="sv, true},
                    CheckCase{"Blank", "Zm9v YmFy"sv, false},
                    CheckCase{"Tab", "Zm9v\tYmFy"sv, false},
                    CheckCase{"UrlAlphabet", "Zm9-"sv, false},
                    CheckCase{"ByteAboveAscii", "Zm9\x80"sv, false},
                    CheckCase{"Nul", "Zm9\0"sv, false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace ov
