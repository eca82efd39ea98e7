// SHA-256 through Sha256Digest and SHA-1 through the CryptHash wrapper, against FIPS 180 values.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "common/OVException.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptProvider.h"
#include "crypto/Sha256Digest.h"
#include "encoding/Hex.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

// The message of a record: Text repeated Repeat times (once when absent).
std::vector<std::uint8_t> Message(const VectorRecord& r) {
  const auto text = r.Bytes("Text");
  const long long repeat = r.Has("Repeat") ? r.Int("Repeat") : 1;
  std::vector<std::uint8_t> message;
  message.reserve(text.size() * static_cast<std::size_t>(repeat));
  for (long long i = 0; i < repeat; ++i) message.insert(message.end(), text.begin(), text.end());
  return message;
}

class Sha256Vectors : public ::testing::TestWithParam<VectorRecord> {};

// The digest is fed three ways that must agree: in one slice, as uneven slices taken from inside
// a larger buffer (offsets must be honoured), and byte by byte for the short messages.
TEST_P(Sha256Vectors, MatchesPublishedDigest) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto message = Message(r);
  const std::string expected = HexEncode(r.Hex("Digest"));

  Sha256Digest digest;
  std::array<std::uint8_t, 40> out{};
  digest.BlockUpdate(message, 0, message.size());
  ASSERT_EQ(digest.DoFinal(out, 4), 32);
  EXPECT_EQ(HexEncode(std::span(out).subspan(4, 32)), expected) << "one slice";

  std::vector<std::uint8_t> framed(3, 0xEE);
  framed.insert(framed.end(), message.begin(), message.end());
  framed.insert(framed.end(), 5, 0xEE);
  for (std::size_t at = 0, step = 1; at < message.size(); at += step, step = step * 3 + 1) {
    const std::size_t n = std::min(step, message.size() - at);
    digest.BlockUpdate(framed, 3 + at, n);
  }
  digest.DoFinal(out, 0);
  EXPECT_EQ(HexEncode(std::span(out).first(32)), expected) << "uneven slices";

  if (message.size() <= 1000) {
    for (std::uint8_t b : message) digest.Update(b);
    digest.DoFinal(out, 0);
    EXPECT_EQ(HexEncode(std::span(out).first(32)), expected) << "byte by byte";
  }
}

INSTANTIATE_TEST_SUITE_P(Fips180, Sha256Vectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/sha256.vec")),
                         test::VectorRecordName);

// A slice or an output place outside its buffer is refused without touching memory beyond it.
TEST(Sha256Digest, RefusesSlicesAndOutputOutsideTheirBuffers) {
  Sha256Digest digest;
  const std::array<std::uint8_t, 8> in{};
  std::array<std::uint8_t, 32> out{};
  EXPECT_THROW(digest.BlockUpdate(in, 9, 0), OVException);
  EXPECT_THROW(digest.BlockUpdate(in, 4, 5), OVException);
  EXPECT_THROW(digest.BlockUpdate(in, 1, SIZE_MAX), OVException);
  EXPECT_THROW(digest.DoFinal(out, 1), OVException);
  EXPECT_THROW(digest.DoFinal(std::span(out).first(31), 0), OVException);
  try {
    digest.DoFinal(out, 33);
    FAIL() << "no exception";
  } catch (const OVException& e) {
    EXPECT_EQ(e.GetErrorCode(), 6003);
  }
  // The refused calls left no trace: the digest still hashes the empty message.
  digest.DoFinal(out, 0);
  EXPECT_EQ(HexEncode(out), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST(Sha256Digest, ResetDropsAMessageHalfFed) {
  Sha256Digest digest;
  digest.Update('x');
  digest.Reset();
  const std::array<std::uint8_t, 3> abc{'a', 'b', 'c'};
  digest.BlockUpdate(abc, 0, abc.size());
  std::array<std::uint8_t, 32> out{};
  digest.DoFinal(out, 0);
  EXPECT_EQ(HexEncode(out), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
}

class Sha1Vectors : public ::testing::TestWithParam<VectorRecord> {};

// HashData reports the value so far as hex; hashing in two pieces and reading once at the end
// gives the value of the whole, as the drive key (name, then record) needs.
TEST_P(Sha1Vectors, MatchesPublishedDigest) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto message = Message(r);
  const std::string expected = HexEncode(r.Hex("Digest"));
  auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
  ASSERT_TRUE(provider);

  CryptHash hash(*provider);
  hash.CreateHash(CALG_SHA1);
  const std::size_t half = message.size() / 2;
  SecureString hex;
  hash.HashData(std::span(message).first(half), hex);
  hash.HashData(std::span(message).subspan(half), hex);
  EXPECT_EQ(hex.view(), expected);

  std::array<std::uint8_t, 24> value{};
  std::uint32_t length = 0;
  hash.GetHashValue(value, length);
  ASSERT_EQ(length, 20u);
  EXPECT_EQ(HexEncode(std::span(value).first(20)), expected);
}

INSTANTIATE_TEST_SUITE_P(Fips180, Sha1Vectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/sha1.vec")),
                         test::VectorRecordName);

TEST(CryptHash, FailuresRaise6003) {
  auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
  ASSERT_TRUE(provider);
  CryptHash hash(*provider);
  SecureString hex;
  EXPECT_THROW(hash.HashData({}, hex), OVException) << "no hash created";
  EXPECT_THROW(hash.CreateHash(CALG_3DES), OVException) << "not a hash algorithm";

  hash.CreateHash(CALG_SHA1);
  std::array<std::uint8_t, 19> small{};
  std::uint32_t length = 0;
  try {
    hash.GetHashValue(small, length);
    FAIL() << "no exception";
  } catch (const OVException& e) {
    EXPECT_EQ(e.GetErrorCode(), 6003);
    EXPECT_EQ(e.GetErrorString(), "Insufficient bufffer passed for hash data failed.");
  }
  EXPECT_EQ(length, 0u);
}

TEST(CryptProvider, KnowsOnlyItsTwoTypes) {
  EXPECT_TRUE(CryptProvider::Acquire(PROV_RSA_FULL));
  EXPECT_TRUE(CryptProvider::Acquire(PROV_RSA_AES));
  EXPECT_FALSE(CryptProvider::Acquire(2));
}

}  // namespace
}  // namespace ov
