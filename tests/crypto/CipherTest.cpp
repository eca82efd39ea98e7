// AES and 3DES in CBC mode: the block-cipher service (BlockCipherKey + CbcCipher) and the cipher
// wrapper (CryptSymmetric) against the same known answers, and the padding checks of both.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "common/OVException.h"
#include "crypto/BlockCipherKey.h"
#include "crypto/CbcCipher.h"
#include "crypto/CngProviders.h"
#include "crypto/CryptProvider.h"
#include "crypto/CryptSymmetric.h"
#include "encoding/Hex.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

ALG_ID Algorithm(const VectorRecord& r) {
  return r.Text("Algorithm") == "3DES" ? CALG_3DES : CALG_AES;
}

std::vector<VectorRecord> CbcVectors() { return test::LoadVectorFile("crypto/cbc.vec"); }

class CbcCipherVectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(CbcCipherVectors, EncryptsAndDecryptsKnownAnswer) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto key = r.Hex("Key");
  const auto iv = r.Hex("IV");
  const auto plain = r.Hex("Plain");
  const auto mode = static_cast<std::int32_t>(r.Int("Padding"));

  BlockCipherKey blockKey(Algorithm(r), key);
  CbcCipher cipher(blockKey, iv, mode);
  EXPECT_EQ(HexEncode(cipher.Encrypt(plain)), HexEncode(r.Hex("Cipher")));
  const auto decrypted = cipher.Decrypt(r.Hex("Cipher"));
  ASSERT_TRUE(decrypted.has_value());
  EXPECT_EQ(HexEncode(*decrypted), HexEncode(plain));
}

INSTANTIATE_TEST_SUITE_P(Cbc, CbcCipherVectors, ::testing::ValuesIn(CbcVectors()),
                         test::VectorRecordName);

class CryptSymmetricVectors : public ::testing::TestWithParam<VectorRecord> {};

// Padded records use the final call; unpadded ones are fed block by block in calls that are not
// final, so the chaining value must carry from call to call. Each message is done twice to show
// that a final call starts the next message from the IV again.
TEST_P(CryptSymmetricVectors, EncryptsAndDecryptsKnownAnswer) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto key = r.Hex("Key");
  const auto plain = r.Hex("Plain");
  const auto expected = HexEncode(r.Hex("Cipher"));
  auto provider = CryptProvider::Acquire(PROV_RSA_AES);
  ASSERT_TRUE(provider);
  if (Algorithm(r) == CALG_3DES && key.size() == 16) {
    // Two-key 3DES is a feature of the block-cipher service only; the wrapper wants 24 bytes.
    EXPECT_THROW(CryptSymmetric(*provider, CALG_3DES, key), OVException);
    return;
  }
  CryptSymmetric cipher(*provider, Algorithm(r), key);
  cipher.SetIV(r.Hex("IV"));
  ASSERT_TRUE(cipher.IsIVSet());
  SecureBytes out;
  if (r.Int("Padding") == 2) {
    for (int round = 0; round < 2; ++round) {
      cipher.Encrypt(plain, out, true);
      EXPECT_EQ(HexEncode(out), expected) << "round " << round;
      cipher.Decrypt(r.Hex("Cipher"), out, true);
      EXPECT_EQ(HexEncode(out), HexEncode(plain)) << "round " << round;
    }
    return;
  }
  const std::size_t blockLength = cipher.GetBlockLength();
  std::string joined;
  for (std::size_t at = 0; at < plain.size(); at += blockLength) {
    cipher.Encrypt(std::span(plain).subspan(at, blockLength), out, false);
    joined += HexEncode(out);
  }
  EXPECT_EQ(joined, expected);
}

INSTANTIATE_TEST_SUITE_P(Cbc, CryptSymmetricVectors, ::testing::ValuesIn(CbcVectors()),
                         test::VectorRecordName);

// A PKCS#7 check is driven by choosing the last plaintext block exactly: it is encrypted without
// padding and then decrypted with padding.
struct PadCase {
  const char* name;
  ALG_ID algorithm;
  const char* lastBlock;            // hex, one block
  std::optional<std::size_t> kept;  // plaintext bytes left after the pad, none when refused
};

void PrintTo(const PadCase& c, std::ostream* os) { *os << c.name; }

class PaddingCheck : public ::testing::TestWithParam<PadCase> {};

TEST_P(PaddingCheck, AcceptsOnlyAWellFormedPad) {
  const PadCase& c = GetParam();
  const std::vector<std::uint8_t> key(c.algorithm == CALG_3DES ? 24 : 32, 0x42);
  BlockCipherKey blockKey(c.algorithm, key);
  const std::vector<std::uint8_t> iv(blockKey.GetBlockLength(), 0x17);
  SecureBytes plain(blockKey.GetBlockLength(), 0x61);  // one ordinary block first
  SecureBytes last;
  ASSERT_TRUE(HexDecode(c.lastBlock, last));
  ASSERT_EQ(last.size(), blockKey.GetBlockLength());
  plain.insert(plain.end(), last.begin(), last.end());

  const SecureBytes encrypted = CbcCipher(blockKey, iv, CbcCipher::kNoPadding).Encrypt(plain);
  const auto decrypted = CbcCipher(blockKey, iv, CbcCipher::kPkcs7Padding).Decrypt(encrypted);
  if (!c.kept) {
    EXPECT_FALSE(decrypted.has_value());
    return;
  }
  ASSERT_TRUE(decrypted.has_value());
  EXPECT_EQ(HexEncode(*decrypted), HexEncode(std::span(plain).first(*c.kept)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PaddingCheck,
    ::testing::Values(
        PadCase{"aes_one_byte_pad", CALG_AES, "41414141414141414141414141414101", 31},
        PadCase{"aes_full_block_pad", CALG_AES, "10101010101010101010101010101010", 16},
        PadCase{"aes_last_byte_0", CALG_AES, "41414141414141414141414141414100", std::nullopt},
        PadCase{"aes_last_byte_17", CALG_AES, "11111111111111111111111111111111", std::nullopt},
        PadCase{"aes_pad_bytes_differ", CALG_AES, "41414141414141414141414141410302", std::nullopt},
        PadCase{"aes_full_pad_first_byte_differs", CALG_AES, "0f101010101010101010101010101010",
                std::nullopt},
        PadCase{"tdes_three_byte_pad", CALG_3DES, "4141414141030303", 13},
        PadCase{"tdes_last_byte_9", CALG_3DES, "0909090909090909", std::nullopt}),
    [](const ::testing::TestParamInfo<PadCase>& info) { return std::string(info.param.name); });

TEST(CbcCipher, RefusesInputThatIsNotWholeBlocks) {
  const std::vector<std::uint8_t> key(16, 1);
  const std::vector<std::uint8_t> iv(16, 2);
  BlockCipherKey blockKey(CALG_AES, key);
  for (std::int32_t mode : {CbcCipher::kNoPadding, CbcCipher::kPkcs7Padding}) {
    CbcCipher cipher(blockKey, iv, mode);
    EXPECT_FALSE(cipher.Decrypt(std::vector<std::uint8_t>(31, 0)).has_value()) << mode;
    EXPECT_FALSE(cipher.Decrypt(std::vector<std::uint8_t>(1, 0)).has_value()) << mode;
  }
  EXPECT_FALSE(CbcCipher(blockKey, iv, CbcCipher::kPkcs7Padding).Decrypt({}).has_value());
  const auto none = CbcCipher(blockKey, iv, CbcCipher::kNoPadding).Decrypt({});
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
}

// Without padding a partial last block is dropped, and the whole blocks before it come out as
// they would on their own.
TEST(CbcCipher, UnpaddedEncryptionKeepsWholeBlocksOnly) {
  const std::vector<std::uint8_t> key(24, 3);
  const std::vector<std::uint8_t> iv(16, 4);
  BlockCipherKey blockKey(CALG_AES, key);
  CbcCipher cipher(blockKey, iv, CbcCipher::kNoPadding);
  const std::vector<std::uint8_t> input(37, 0x5C);
  const SecureBytes out = cipher.Encrypt(input);
  ASSERT_EQ(out.size(), 32u);
  EXPECT_EQ(HexEncode(out), HexEncode(cipher.Encrypt(std::span(input).first(32))));
  EXPECT_TRUE(cipher.Encrypt(std::span(input).first(15)).empty());
}

TEST(BlockCipherKey, ChoosesTheAlgorithmByKeyLength) {
  EXPECT_EQ(BlockCipherKey(CALG_AES, std::vector<std::uint8_t>(16)).GetAlgorithm(), CALG_AES_128);
  EXPECT_EQ(BlockCipherKey(CALG_AES, std::vector<std::uint8_t>(24)).GetAlgorithm(), CALG_AES_192);
  EXPECT_EQ(BlockCipherKey(CALG_AES, std::vector<std::uint8_t>(32)).GetAlgorithm(), CALG_AES_256);
  EXPECT_EQ(BlockCipherKey(CALG_3DES, std::vector<std::uint8_t>(16)).GetBlockLength(), 8u);
  EXPECT_THROW(BlockCipherKey(CALG_AES, std::vector<std::uint8_t>(20)), OVException);
  EXPECT_THROW(BlockCipherKey(CALG_AES_128, std::vector<std::uint8_t>(32)), OVException);
  EXPECT_THROW(BlockCipherKey(CALG_3DES, std::vector<std::uint8_t>(8)), OVException);
  EXPECT_THROW(BlockCipherKey(CALG_SHA1, std::vector<std::uint8_t>(16)), OVException);
  EXPECT_TRUE(CngProviders::Get().IsPresent());
}

// Two-key 3DES is K1 K2 K1: the 16-byte key must give what its 24-byte extension gives.
TEST(BlockCipherKey, TwoKey3DesRepeatsTheFirstKey) {
  SecureBytes key16;
  SecureBytes key24;
  ASSERT_TRUE(HexDecode("0123456789ABCDEFFEDCBA9876543210", key16));
  ASSERT_TRUE(HexDecode("0123456789ABCDEFFEDCBA98765432100123456789ABCDEF", key24));
  BlockCipherKey shortKey(CALG_3DES, key16);
  BlockCipherKey longKey(CALG_3DES, key24);
  const std::vector<std::uint8_t> block{1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<std::uint8_t> a(8);
  std::vector<std::uint8_t> b(8);
  shortKey.EncryptBlock(block, a);
  longKey.EncryptBlock(block, b);
  EXPECT_EQ(a, b);
  EXPECT_THROW(shortKey.EncryptBlock(std::span(block).first(7), a), OVException);
}

TEST(CbcCipher, RefusesAnIVOfAnotherLengthAndUnknownModes) {
  BlockCipherKey blockKey(CALG_AES, std::vector<std::uint8_t>(16));
  EXPECT_THROW(CbcCipher(blockKey, std::vector<std::uint8_t>(8), CbcCipher::kNoPadding),
               OVException);
  EXPECT_THROW(CbcCipher(blockKey, std::vector<std::uint8_t>(16), 0), OVException);
  EXPECT_THROW(CbcCipher(blockKey, std::vector<std::uint8_t>(16), 3), OVException);
}

void ExpectFailure(const std::function<void()>& call, const std::string& text) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected " << text;
  } catch (const OVException& e) {
    EXPECT_EQ(e.GetErrorCode(), 6003);
    EXPECT_EQ(e.GetErrorString(), text);
  }
}

TEST(CryptSymmetric, FailuresRaise6003WithTheirTexts) {
  auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
  ASSERT_TRUE(provider);
  const std::vector<std::uint8_t> key(24, 9);
  ExpectFailure([&] { CryptSymmetric(*provider, CALG_3DES, std::vector<std::uint8_t>(16)); },
                "CryptImportKey failed");
  ExpectFailure([&] { CryptSymmetric(*provider, CALG_SHA1, key); }, "CryptImportKey failed");

  CryptSymmetric cipher(*provider, CALG_3DES, key);
  EXPECT_EQ(cipher.GetBlockLength(), 8u);
  EXPECT_EQ(cipher.GetIVLength(), 8u);
  EXPECT_FALSE(cipher.IsIVSet());
  ExpectFailure([&] { cipher.SetIV(std::vector<std::uint8_t>(16)); }, "CryptSetKeyParam failed");

  SecureBytes out;
  ExpectFailure([&] { cipher.Encrypt(std::vector<std::uint8_t>(7), out, false); },
                "CrtypEncrypt failed-1");
  ExpectFailure([&] { cipher.Decrypt(std::vector<std::uint8_t>(12), out, true); },
                "CrtypDecrypt failed-1");
  ExpectFailure([&] { cipher.Decrypt({}, out, true); }, "CrtypDecrypt failed-1");

  // Ciphertext whose last plaintext byte is 0 fails the pad check and gives nothing back.
  cipher.Encrypt(std::vector<std::uint8_t>(16, 0), out, false);
  const SecureBytes zeroPadded = out;
  ExpectFailure([&] { cipher.Decrypt(zeroPadded, out, true); }, "CrtypDecrypt failed-2");
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace ov
