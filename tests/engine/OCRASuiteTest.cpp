// The OCRA passcode and its message builder: RFC 6287's published SHA-256 suites, messages laid
// out by hand, and the questions and suites the builder refuses.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/OVException.h"
#include "encoding/Hex.h"
#include "engine/OCRASuite.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

std::string Optional(const VectorRecord& r, const std::string& key) {
  return r.Has(key) ? r.Text(key) : std::string();
}

std::optional<std::string> Question(const VectorRecord& r) {
  return r.Has("Question") ? std::optional(r.Text("Question")) : std::nullopt;
}

SecureString Ocra(const VectorRecord& r, std::span<const uint8_t> key, int32_t digits) {
  const std::optional<std::string> question = Question(r);
  return OCRASuite::GenerateOCRA(
      r.Text("Suite"), key, Optional(r, "Counter"),
      question ? std::optional<std::string_view>(*question) : std::nullopt, Optional(r, "PinHash"),
      Optional(r, "Session"), Optional(r, "TimeStamp"), digits);
}

class OcraVectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(OcraVectors, MatchesPublishedValue) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const std::string& expected = r.Text("Passcode");
  EXPECT_EQ(Ocra(r, r.Hex("Key"), static_cast<int32_t>(expected.size())).view(), expected);
}

INSTANTIATE_TEST_SUITE_P(Rfc6287, OcraVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/ocra_sha256.vec")),
                         test::VectorRecordName);

const std::string kKey32 = "12345678901234567890123456789012";
const std::span<const uint8_t> kKey32Bytes(reinterpret_cast<const uint8_t*>(kKey32.data()),
                                           kKey32.size());

class OcraMessages : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(OcraMessages, LaysOutTheMessageAndItsPasscode) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const std::optional<std::string> question = Question(r);
  const SecureBytes message = OCRASuite::GenerateMessage(
      r.Text("Suite"), Optional(r, "Counter"), std::optional<std::string_view>(*question),
      Optional(r, "PinHash"), Optional(r, "Session"), Optional(r, "TimeStamp"));
  EXPECT_EQ(HexEncode(message), HexEncode(r.Hex("Message")));
  const std::string& expected = r.Text("Passcode");
  EXPECT_EQ(Ocra(r, kKey32Bytes, static_cast<int32_t>(expected.size())).view(), expected);
}

INSTANTIATE_TEST_SUITE_P(Layout, OcraMessages,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/ocra_messages.vec")),
                         test::VectorRecordName);

class OcraErrors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(OcraErrors, RefusedWithItsCode) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  try {
    Ocra(r, kKey32Bytes, 8);
    ADD_FAILURE() << "accepted";
  } catch (const OVException& e) {
    EXPECT_EQ(e.GetErrorCode(), r.Int("Code"));
  }
}

INSTANTIATE_TEST_SUITE_P(Refused, OcraErrors,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/ocra_errors.vec")),
                         test::VectorRecordName);

// The authenticator hands every suite its counter in decimal, negative after a wrap, and empty
// PIN hash, session and time stamp: inputs a "QN" suite does not name must not be read at all.
TEST(OCRASuite, IgnoresInputsTheSuiteDoesNotName) {
  const std::string suite = "OCRA-1:HOTP-SHA256-8:QN08";
  const SecureBytes plain = OCRASuite::GenerateMessage(suite, "", "12345678", "", "", "");
  const SecureBytes junk =
      OCRASuite::GenerateMessage(suite, "-2147483648", "12345678", "zz", "not hex", "x");
  EXPECT_EQ(plain, junk);
}

}  // namespace
}  // namespace ov
