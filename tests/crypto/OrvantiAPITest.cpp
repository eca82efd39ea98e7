// The passphrase services: random bytes, the passphrase key, and the protection of key texts.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <ostream>
#include <vector>

#include "crypto/OrvantiAPI.h"
#include "encoding/Hex.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

class GenerateCryptKeyVectors : public ::testing::TestWithParam<VectorRecord> {};

// The output buffer is larger than asked for, so writing past the requested length shows up in
// the guard bytes behind it.
TEST_P(GenerateCryptKeyVectors, InterleavesTheTwoDigests) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto length = static_cast<std::size_t>(r.Int("Length"));
  const auto a = r.Hex("A");
  const auto b = r.Hex("B");
  std::vector<std::uint8_t> out(length + 4, 0xEE);
  ASSERT_TRUE(
      OrvantiAPI::GenerateCryptKey(r.Text("Passphrase").c_str(), std::span(out).first(length)));
  EXPECT_EQ(HexEncode(std::span(out).first(length)), HexEncode(r.Hex("Key")));
  for (std::size_t i = 0; i < length; ++i) {
    EXPECT_EQ(out[i], i % 2 == 0 ? a[i / 2] : b[i / 2]) << "byte " << i;
  }
  EXPECT_EQ(HexEncode(std::span(out).last(4)), "EEEEEEEE");
}

INSTANTIATE_TEST_SUITE_P(Sha1Pairs, GenerateCryptKeyVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/generate_crypt_key.vec")),
                         test::VectorRecordName);

TEST(GenerateCryptKey, RefusesNullPassphraseAndLengthsItCannotFill) {
  std::array<std::uint8_t, 42> out{};
  EXPECT_FALSE(OrvantiAPI::GenerateCryptKey(nullptr, std::span(out).first(24)));
  EXPECT_FALSE(OrvantiAPI::GenerateCryptKey("1234", std::span(out).first(23))) << "odd";
  EXPECT_FALSE(OrvantiAPI::GenerateCryptKey("1234", std::span(out).first(42))) << "above 40";
  EXPECT_FALSE(OrvantiAPI::GenerateCryptKey("1234", {})) << "empty";
  EXPECT_EQ(out, decltype(out){});
}

class EncryptKPVectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(EncryptKPVectors, ProtectsAndRestoresTheKeyText) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const std::string& passphrase = r.Text("Passphrase");
  const std::string& plain = r.Text("Plain");
  const std::string& cipher = r.Text("Cipher");

  SecureString text(plain);
  ASSERT_TRUE(OrvantiAPI::EncryptKP(passphrase.c_str(), &text, CALG_3DES));
  EXPECT_EQ(text.view(), cipher);
  EXPECT_EQ(text.size(), (plain.size() / 8 + 1) * 16);

  ASSERT_TRUE(OrvantiAPI::DecryptKP(passphrase.c_str(), &text, CALG_3DES));
  EXPECT_EQ(text.view(), plain);

  // Stored protected texts may come back in lower case; decoding accepts either.
  std::string lower = cipher;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  SecureString lowerText(lower);
  ASSERT_TRUE(OrvantiAPI::DecryptKP(passphrase.c_str(), &lowerText, CALG_3DES));
  EXPECT_EQ(lowerText.view(), plain);
}

INSTANTIATE_TEST_SUITE_P(TripleDesCbc, EncryptKPVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/encrypt_kp.vec")),
                         test::VectorRecordName);

const char* const kOtpKey = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";

// A wrong PIN is told by the plaintext check or the pad check; either way the protected text the
// caller holds must survive (it may be the stored one), and nothing else is claimed as a key.
TEST(DecryptKP, RefusesAnotherPassphraseAndKeepsTheText) {
  SecureString text(kOtpKey);
  ASSERT_TRUE(OrvantiAPI::EncryptKP("1234", &text, CALG_3DES));
  ASSERT_EQ(text.size(), 144u);
  const std::string protectedText(text.view());
  for (const char* wrong : {"1235", "", "12345", "4321"}) {
    EXPECT_FALSE(OrvantiAPI::DecryptKP(wrong, &text, CALG_3DES)) << wrong;
    EXPECT_EQ(text.view(), protectedText) << wrong;
  }
  EXPECT_TRUE(OrvantiAPI::DecryptKP("1234", &text, CALG_3DES));
  EXPECT_EQ(text.view(), kOtpKey);
}

struct BadText {
  const char* name;
  const char* text;
};

void PrintTo(const BadText& c, std::ostream* os) { *os << c.name; }

class DecryptKPBadText : public ::testing::TestWithParam<BadText> {};

TEST_P(DecryptKPBadText, IsRefusedAndLeftAsItWas) {
  SecureString text(GetParam().text);
  EXPECT_FALSE(OrvantiAPI::DecryptKP("1234", &text, CALG_3DES));
  EXPECT_EQ(text.view(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecryptKPBadText,
    ::testing::Values(BadText{"empty", ""},
                      BadText{"odd_length", "37B1BDEDF8F2CB5ADF947062AB8D20582"},
                      BadText{"not_hex", "37B1BDEDF8F2CB5ADF947062AB8D205G"},
                      BadText{"partial_block", "37B1BDEDF8F2CB5A37B1"},
                      // The first block of a protected 64-digit key alone: its pad is wrong.
                      BadText{"first_block_only", "37B1BDEDF8F2CB5A"},
                      // "00aabbcc" protected with "1234" (openssl enc -des-ede3-cbc): lower case is
                      // not a key text.
                      BadText{"plaintext_not_upper_hex", "A0D67FA877B09F0B1A1CF87AE2831BBD"}),
    [](const ::testing::TestParamInfo<BadText>& info) { return std::string(info.param.name); });

TEST(EncryptKP, RefusesNullArgumentsAndOtherAlgorithms) {
  SecureString text(kOtpKey);
  EXPECT_FALSE(OrvantiAPI::EncryptKP("1234", nullptr, CALG_3DES));
  EXPECT_FALSE(OrvantiAPI::DecryptKP("1234", nullptr, CALG_3DES));
  EXPECT_FALSE(OrvantiAPI::EncryptKP(nullptr, &text, CALG_3DES));
  EXPECT_FALSE(OrvantiAPI::EncryptKP("1234", &text, CALG_AES));
  EXPECT_FALSE(OrvantiAPI::DecryptKP(nullptr, &text, CALG_3DES));
  EXPECT_EQ(text.view(), kOtpKey);
}

// Lower-case hex is not a key text, so protecting one is possible but opening it is refused.
TEST(DecryptKP, AcceptsOnlyUpperCaseHexPlaintext) {
  SecureString text("00aabbcc");
  ASSERT_TRUE(OrvantiAPI::EncryptKP("1234", &text, CALG_3DES));
  EXPECT_FALSE(OrvantiAPI::DecryptKP("1234", &text, CALG_3DES));
}

TEST(GenerateRandomKey, FillsTheWholeBuffer) {
  // 64 random bytes that keep a given byte value at every place have odds of 2^-512.
  std::array<std::uint8_t, 64> a{};
  std::array<std::uint8_t, 64> b{};
  b.fill(0xFF);
  ASSERT_TRUE(OrvantiAPI::GenerateRandomKey(a));
  ASSERT_TRUE(OrvantiAPI::GenerateRandomKey(b));
  std::array<std::uint8_t, 64> ones{};
  ones.fill(0xFF);
  EXPECT_NE(a, decltype(a){});
  EXPECT_NE(b, ones);
  EXPECT_NE(a, b);
  EXPECT_TRUE(OrvantiAPI::GenerateRandomKey({}));
}

}  // namespace
}  // namespace ov
