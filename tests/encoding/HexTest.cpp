#include "encoding/Hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ov {
namespace {

TEST(Hex, EveryByteRoundTripsInUpperCase) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  const std::string text = HexEncode(all);
  ASSERT_EQ(text.size(), 512u);
  EXPECT_EQ(text.substr(0, 8), "00010203");
  EXPECT_EQ(text.substr(504), "FCFDFEFF");
  EXPECT_EQ(HexEncodeSecret(all).view(), text);

  SecureBytes back;
  ASSERT_TRUE(HexDecode(text, back));
  EXPECT_EQ(back, SecureBytes(all.begin(), all.end()));
}

TEST(Hex, DecodingAcceptsEitherCase) {
  SecureBytes bytes;
  ASSERT_TRUE(HexDecode("abCDeF09", bytes));
  EXPECT_EQ(bytes, SecureBytes({0xAB, 0xCD, 0xEF, 0x09}));
  ASSERT_TRUE(HexDecode("", bytes));
  EXPECT_TRUE(bytes.empty());
}

// Characters just outside each digit range, in either place of a pair. A refused text must leave
// nothing behind, also not what the buffer held before.
TEST(Hex, RefusesWholeTextOnAnyBadCharacterOrOddLength) {
  const std::string bad[] = {"0", "ABC", "/0", "0:", "@0", "0G", "`0", "0g", "0 ", "0x12", "-1",
                             std::string("0\x80"), std::string("0\0", 2)};
  for (const std::string& text : bad) {
    SecureBytes bytes = {1, 2, 3};
    EXPECT_FALSE(HexDecode(text, bytes)) << text;
    EXPECT_TRUE(bytes.empty()) << text;
  }
}

}  // namespace
}  // namespace ov
