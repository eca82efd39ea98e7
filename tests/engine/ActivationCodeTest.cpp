#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ReferenceCrypto.h"
#include "encoding/Base32Checksum.h"
#include "engine/ActivationCode.h"

namespace {

const std::vector<uint8_t> kEntropy = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};

// The code's 100 bits, read back from its Base32 characters.
std::vector<int> Bits(std::string code) {
  std::erase(code, '-');
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  std::vector<int> bits;
  for (char c : code) {
    const auto value = alphabet.find(c);
    for (int b = 4; b >= 0; --b) bits.push_back(static_cast<int>((value >> b) & 1));
  }
  return bits;
}

int Value(const std::vector<int>& bits, int start, int count) {
  int v = 0;
  for (int i = 0; i < count; ++i) v = v << 1 | bits[start + i];
  return v;
}

TEST(ActivationCodeTest, VersionOneLayout) {
  for (int level = 2; level <= 5; ++level) {
    const auto code = ov::CreateV1ActivationCode(kEntropy, level);
    ASSERT_TRUE(code.has_value()) << level;
    ASSERT_EQ(code->size(), 23u);
    const std::vector<int> bits = Bits(std::string(code->view()));
    ASSERT_EQ(bits.size(), 100u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Value(bits, 8 * i, 8), kEntropy[i]) << level;
    EXPECT_EQ(Value(bits, 80, 5), level - 1);
    EXPECT_EQ(Value(bits, 85, 7), 0) << "more-payloads flag, fill bit and zero field";
    // Detection byte: the last byte of SHA-256 over bits 0..91 padded to 12 bytes.
    uint8_t bytes[12] = {};
    for (int i = 0; i < 92; ++i) bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
    const auto digest = ov::test::ref::Sha256(bytes);
    EXPECT_EQ(Value(bits, 92, 8), digest[31]) << level;
  }
  const auto level3 = ov::CreateV1ActivationCode(kEntropy, 3);
  const auto level4 = ov::CreateV1ActivationCode(kEntropy, 4);
  EXPECT_EQ(level3->view().substr(0, 19), level4->view().substr(0, 19));
  EXPECT_NE(level3->view(), level4->view());
}

TEST(ActivationCodeTest, LegacyFormCarriesChecksumsAndNoLevel) {
  const auto code = ov::CreateLegacyActivationCode(kEntropy);
  ASSERT_TRUE(code.has_value());
  // 00 11 22 33 44 55 66 77 88 99 in Base32: AAISEM2EKVTHPCEZ.
  const std::string groups[] = {"AAIS", "EM2E", "KVTH", "PCEZ"};
  std::string expected;
  for (const auto& g : groups) {
    if (!expected.empty()) expected += '-';
    expected += g + ov::Base32Checksum::GetChecksumChar(g);
  }
  EXPECT_EQ(code->view(), expected);
}

TEST(ActivationCodeTest, BadPayloadsGiveNoCode) {
  EXPECT_FALSE(ov::CreateV1ActivationCode(std::vector<uint8_t>(9, 1), 3)) << "too short a text";
  EXPECT_FALSE(ov::CreateV1ActivationCode(std::vector<uint8_t>(11, 1), 3));
  EXPECT_FALSE(ov::CreateV1ActivationCode(kEntropy, 33));
  EXPECT_FALSE(ov::CreateV1ActivationCode({}, 3));
  EXPECT_FALSE(ov::CreateLegacyActivationCode(std::vector<uint8_t>(11, 1)));
}

}  // namespace
