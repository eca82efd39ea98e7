// The DSKPP pseudo-random function, PBKDF2 and the factory that hands them out.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "crypto/DSKPP_PRF_Factory.h"
#include "crypto/HmacSha256.h"
#include "encoding/Hex.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

constexpr std::string_view kUrn = "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256";

class PrfVectors : public ::testing::TestWithParam<VectorRecord> {};

// Each block of the file was computed on its own as HMAC(key, INT(i) || message); the output must
// be those blocks joined and cut, and HmacSha256WithCounter with counter i must give block i.
// The output buffer is longer than dsLen so that a write past dsLen shows.
TEST_P(PrfVectors, JoinsTheCounterBlocksAndCutsTheLast) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto key = r.Hex("Key");
  const auto message = r.Hex("Message");
  const auto dsLen = static_cast<std::int32_t>(r.Int("DsLen"));
  const auto size = static_cast<std::size_t>(dsLen);

  std::string joined;
  for (std::uint32_t i = 1; r.Has("Block" + std::to_string(i)); ++i) {
    const std::string block = HexEncode(r.Hex("Block" + std::to_string(i)));
    EXPECT_EQ(HexEncode(HmacSha256WithCounter(key, message, i)), block) << "block " << i;
    joined += block;
  }
  ASSERT_EQ(joined.size(), (size + 31) / 32 * 64) << "the file lists every block";
  EXPECT_EQ(joined.substr(0, 2 * size), HexEncode(r.Hex("Output")));

  auto prf = DSKPP_PRF_Factory::GetPRFInstance(kUrn);
  ASSERT_NE(prf, nullptr);
  std::vector<std::uint8_t> out(size + 8, 0xEE);
  ASSERT_EQ(prf->DoPrf(key, message, dsLen, out), dsLen);
  EXPECT_EQ(HexEncode(std::span(out).first(size)), HexEncode(r.Hex("Output")));
  EXPECT_EQ(HexEncode(std::span(out).last(8)), "EEEEEEEEEEEEEEEE");
}

INSTANTIATE_TEST_SUITE_P(Rfc6063, PrfVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/dskpp_prf_sha256.vec")),
                         test::VectorRecordName);

struct PrfRefusal {
  const char* name;
  std::size_t keyLength;
  std::size_t messageLength;
  std::int32_t dsLen;
  std::size_t outLength;
};

void PrintTo(const PrfRefusal& c, std::ostream* os) { *os << c.name; }

class PrfRefused : public ::testing::TestWithParam<PrfRefusal> {};

TEST_P(PrfRefused, ReturnsZeroAndWritesNothing) {
  const PrfRefusal& c = GetParam();
  const std::vector<std::uint8_t> key(c.keyLength, 0x11);
  const std::vector<std::uint8_t> message(c.messageLength, 0x22);
  std::vector<std::uint8_t> out(c.outLength, 0xEE);
  auto prf = DSKPP_PRF_Factory::GetPRFInstance(kUrn);
  ASSERT_NE(prf, nullptr);
  EXPECT_EQ(prf->DoPrf(key, message, c.dsLen, out), 0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(c.outLength, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(Table, PrfRefused,
                         ::testing::Values(PrfRefusal{"key_15_bytes", 15, 16, 16, 16},
                                           PrfRefusal{"key_empty", 0, 16, 16, 16},
                                           PrfRefusal{"message_empty", 16, 0, 16, 16},
                                           PrfRefusal{"dslen_zero", 16, 16, 0, 16},
                                           PrfRefusal{"dslen_negative", 16, 16, -32, 16},
                                           PrfRefusal{"out_shorter_than_dslen", 32, 16, 40, 39}),
                         [](const ::testing::TestParamInfo<PrfRefusal>& info) {
                           return std::string(info.param.name);
                         });

class Pbkdf2Vectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(Pbkdf2Vectors, MatchesPublishedOutput) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  auto kdf = DSKPP_PRF_Factory::GetPBKDF2Instance(kUrn);
  ASSERT_NE(kdf, nullptr);
  const SecureBytes out = kdf->DoPBKDF2(r.Bytes("Password"), r.Bytes("Salt"),
                                        static_cast<std::int32_t>(r.Int("Iterations")),
                                        static_cast<std::int32_t>(r.Int("Length")));
  EXPECT_EQ(HexEncode(out), HexEncode(r.Hex("Output")));
}

INSTANTIATE_TEST_SUITE_P(Rfc7914, Pbkdf2Vectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/pbkdf2_sha256.vec")),
                         test::VectorRecordName);

TEST(PBKDF2_SHA256, RefusesCountsAndLengthsBelowOne) {
  auto kdf = DSKPP_PRF_Factory::GetPBKDF2Instance(kUrn);
  ASSERT_NE(kdf, nullptr);
  const std::vector<std::uint8_t> password{'p', 'w'};
  const std::vector<std::uint8_t> salt(32, 7);
  EXPECT_TRUE(kdf->DoPBKDF2(password, salt, 0, 32).empty());
  EXPECT_TRUE(kdf->DoPBKDF2(password, salt, -1, 32).empty());
  EXPECT_TRUE(kdf->DoPBKDF2(password, salt, 1, 0).empty());
  EXPECT_TRUE(kdf->DoPBKDF2(password, salt, 1, -16).empty());
  // An empty PIN and an empty salt are still inputs of PBKDF2, not refusals.
  EXPECT_EQ(kdf->DoPBKDF2({}, {}, 1, 16).size(), 16u);
}

TEST(DSKPP_PRF_Factory, KnowsOnlyThePrfSha256UrnInAnyCase) {
  for (std::string_view urn :
       {kUrn, std::string_view("URN:IETF:PARAMS:XML:NS:KEYPROV:DSKPP:PRF-SHA256"),
        std::string_view("Urn:Ietf:Params:Xml:Ns:Keyprov:Dskpp:Prf-Sha256")}) {
    EXPECT_NE(DSKPP_PRF_Factory::GetPRFInstance(urn), nullptr) << urn;
    EXPECT_NE(DSKPP_PRF_Factory::GetPBKDF2Instance(urn), nullptr) << urn;
  }
  for (std::string_view urn :
       {std::string_view(""), kUrn.substr(0, kUrn.size() - 1),
        std::string_view("urn:ietf:params:xml:ns:keyprov:dskpp:prf-aes-128"),
        std::string_view("urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha2566"),
        std::string_view(" urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256")}) {
    EXPECT_EQ(DSKPP_PRF_Factory::GetPRFInstance(urn), nullptr) << urn;
    EXPECT_EQ(DSKPP_PRF_Factory::GetPBKDF2Instance(urn), nullptr) << urn;
  }
}

}  // namespace
}  // namespace ov
