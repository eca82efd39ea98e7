// HMAC-SHA-256 against RFC 4231, and the keyed object's life across several messages.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "common/OVException.h"
#include "crypto/HmacSha256.h"
#include "encoding/Hex.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

class HmacVectors : public ::testing::TestWithParam<VectorRecord> {};

// The same keyed object MACs the message twice: DoFinal must leave it keyed and empty, which a
// leftover of the first message or a lost key would break.
TEST_P(HmacVectors, MatchesPublishedMac) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto key = r.Hex("Key");
  const auto data = r.Hex("Data");
  const std::string expected = HexEncode(r.Hex("Mac"));
  const std::size_t compared = r.Has("Truncate") ? static_cast<std::size_t>(r.Int("Truncate")) : 32;

  HmacSha256 mac;
  mac.Init(KeyParameter(key));
  std::array<std::uint8_t, 32> out{};
  for (int round = 0; round < 2; ++round) {
    mac.BlockUpdate(data, 0, data.size());
    ASSERT_EQ(mac.DoFinal(out, 0), 32);
    EXPECT_EQ(HexEncode(std::span(out).first(compared)), expected) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Rfc4231, HmacVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/hmac_sha256.vec")),
                         test::VectorRecordName);

// RFC 4231 case 2: key "Jefe", data "what do ya want for nothing?".
const std::string kJefeMac = "5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843";

TEST(HmacSha256, ResetDropsAMessageHalfFedButKeepsTheKey) {
  const std::string key = "Jefe";
  const std::string data = "what do ya want for nothing?";
  HmacSha256 mac;
  mac.Init(KeyParameter({reinterpret_cast<const std::uint8_t*>(key.data()), key.size()}));
  const std::array<std::uint8_t, 3> junk{1, 2, 3};
  mac.BlockUpdate(junk, 0, junk.size());
  mac.Reset();
  mac.BlockUpdate({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, 0,
                  data.size());
  std::array<std::uint8_t, 40> out{};
  mac.DoFinal(out, 8);
  EXPECT_EQ(HexEncode(std::span(out).subspan(8)), kJefeMac);
}

TEST(HmacSha256, RefusesUseWithoutKeyAndOutOfBufferSlices) {
  HmacSha256 mac;
  const std::array<std::uint8_t, 4> in{};
  std::array<std::uint8_t, 32> out{};
  EXPECT_THROW(mac.BlockUpdate(in, 0, 4), OVException);
  EXPECT_THROW(mac.DoFinal(out, 0), OVException);

  mac.Init(KeyParameter(in));
  EXPECT_THROW(mac.BlockUpdate(in, 2, 3), OVException);
  EXPECT_THROW(mac.BlockUpdate(in, 5, 0), OVException);
  EXPECT_THROW(mac.DoFinal(out, 1), OVException);
  EXPECT_EQ(mac.DoFinal(out, 0), 32);
}

TEST(HmacSha256WithCounter, PrefixesTheCounterBigEndian) {
  const std::string key = "Jefe";
  const std::string text = "what do ya want for nothing?";
  const std::span<const std::uint8_t> keyBytes(reinterpret_cast<const std::uint8_t*>(key.data()),
                                               key.size());
  // "what" read as a big-endian counter, followed by the rest, is the RFC 4231 case 2 message.
  const std::uint32_t counter = 0x77686174;
  const std::span<const std::uint8_t> rest(reinterpret_cast<const std::uint8_t*>(text.data()) + 4,
                                           text.size() - 4);
  const SecureBytes mac = HmacSha256WithCounter(keyBytes, rest, counter);
  EXPECT_EQ(HexEncode(mac), kJefeMac);
}

}  // namespace
}  // namespace ov
