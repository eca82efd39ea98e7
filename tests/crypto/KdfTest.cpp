// The counter-mode hash KDF behind the activation and multi-host keys.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "crypto/BaseKDFBytesGenerator.h"
#include "crypto/KDFParameters.h"
#include "encoding/Hex.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

class KdfVectors : public ::testing::TestWithParam<VectorRecord> {};

// Generated twice from one generator (it must be left reset), the second time into the middle of
// a larger buffer whose surrounding bytes must stay untouched.
TEST_P(KdfVectors, MatchesSha256OfZAndCounter) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto z = r.Hex("Z");
  const auto length = static_cast<std::int32_t>(r.Has("Length") ? r.Int("Length") : 32);
  const std::string expected = HexEncode(r.Hex("Output"));

  BaseKDFBytesGenerator generator;
  generator.Init(KDFParameters(z));
  std::vector<std::uint8_t> out(static_cast<std::size_t>(length));
  ASSERT_EQ(generator.GenerateBytes(out, length, 0, length), length);
  EXPECT_EQ(HexEncode(out), expected);

  std::vector<std::uint8_t> framed(static_cast<std::size_t>(length) + 10, 0xAA);
  ASSERT_EQ(generator.GenerateBytes(framed, length + 8, 8, length), length);
  EXPECT_EQ(HexEncode(std::span(framed).subspan(8, static_cast<std::size_t>(length))), expected);
  EXPECT_EQ(HexEncode(std::span(framed).first(8)), "AAAAAAAAAAAAAAAA");
  EXPECT_EQ(HexEncode(std::span(framed).last(2)), "AAAA");
}

INSTANTIATE_TEST_SUITE_P(Sha256Counter, KdfVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("crypto/kdf_sha256.vec")),
                         test::VectorRecordName);

struct BadRequest {
  const char* name;
  std::int32_t blockLength;
  std::int32_t outOffset;
  std::int32_t length;
};

void PrintTo(const BadRequest& c, std::ostream* os) { *os << c.name; }

class KdfBadRequest : public ::testing::TestWithParam<BadRequest> {};

// Every refused request returns 0 and leaves the 32-byte output buffer exactly as it was.
TEST_P(KdfBadRequest, ReturnsZeroAndWritesNothing) {
  const BadRequest& b = GetParam();
  const std::vector<std::uint8_t> z(33, 0x5A);
  BaseKDFBytesGenerator generator;
  generator.Init(KDFParameters(z));
  std::vector<std::uint8_t> out(32, 0xAA);
  EXPECT_EQ(generator.GenerateBytes(out, b.blockLength, b.outOffset, b.length), 0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(32, 0xAA));
}

INSTANTIATE_TEST_SUITE_P(Table, KdfBadRequest,
                         ::testing::Values(BadRequest{"offset_past_room", 32, 1, 32},
                                           BadRequest{"block_longer_than_buffer", 64, 0, 64},
                                           BadRequest{"offset_beyond_buffer", 32, 40, 0},
                                           BadRequest{"negative_block_length", -1, 0, 32},
                                           BadRequest{"negative_offset", 32, -8, 32},
                                           BadRequest{"negative_length", 32, 0, -1},
                                           BadRequest{"zero_length", 32, 0, 0}),
                         [](const ::testing::TestParamInfo<BadRequest>& info) {
                           return std::string(info.param.name);
                         });

TEST(BaseKDFBytesGenerator, RefusesUntilInitialisedWithAZThatFits) {
  std::vector<std::uint8_t> out(32, 0xAA);
  BaseKDFBytesGenerator generator;
  EXPECT_EQ(generator.GenerateBytes(out, 32, 0, 32), 0) << "never initialised";

  generator.Init(KDFParameters(std::vector<std::uint8_t>(65, 1)));
  EXPECT_EQ(generator.GenerateBytes(out, 32, 0, 32), 0) << "Z longer than 64 bytes";
  EXPECT_EQ(out, std::vector<std::uint8_t>(32, 0xAA));

  generator.Init(KDFParameters(std::vector<std::uint8_t>(64, 1)));
  EXPECT_EQ(generator.GenerateBytes(out, 32, 0, 32), 32) << "a fitting Z re-arms it";
}

}  // namespace
}  // namespace ov
