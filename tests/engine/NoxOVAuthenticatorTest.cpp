// The passcode object: HOTP values against RFC 6238's SHA-256 column, truncation and check digits
// on hand-built hashes, the length rule, the counter, and the multi-host host keys.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <string>
#include <vector>

#include "common/OVException.h"
#include "encoding/Hex.h"
#include "engine/NoxOVAuthenticator.h"
#include "policy/OVPolicy.h"
#include "support/ErrorCode.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

using test::CodeOf;

const std::string kKey32Text = "12345678901234567890123456789012";
const std::vector<uint8_t> kKey32(kKey32Text.begin(), kKey32Text.end());

class HotpVectors : public ::testing::TestWithParam<VectorRecord> {};

// Once as the bare computation and once through an authenticator whose own counter differs from
// the moving factor: time mode passes the step, never the counter.
TEST_P(HotpVectors, MatchesRfc6238Sha256) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto key = r.Hex("Key");
  const auto factor = static_cast<int32_t>(r.Int("MovingFactor"));
  const std::string& expected = r.Text("Passcode");
  EXPECT_EQ(NoxOVAuthenticator::GenerateOTP(key, factor, 8, false).view(), expected);

  NoxOVAuthenticator authenticator(key, 8, 7, "HmacSHA256");
  EXPECT_EQ(authenticator.GenPwd(nullptr, factor).view(), expected);
  EXPECT_EQ(authenticator.GetCounter(), 8);
}

INSTANTIATE_TEST_SUITE_P(Rfc6238, HotpVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/hotp_sha256.vec")),
                         test::VectorRecordName);

class TruncationVectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(TruncationVectors, TruncatesPadsAndChecks) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  EXPECT_EQ(NoxOVAuthenticator::GetOTP(r.Hex("Hash"), static_cast<int32_t>(r.Int("Digits")),
                                       r.Int("Check") != 0)
                .view(),
            r.Text("Passcode"));
}

INSTANTIATE_TEST_SUITE_P(Rfc4226, TruncationVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/truncation.vec")),
                         test::VectorRecordName);

TEST(NoxOVAuthenticator, ChecksumIsLuhn) {
  // The textbook Luhn example: 7992739871 takes the check digit 3.
  EXPECT_EQ(NoxOVAuthenticator::CalcChecksum(7992739871, 10), 3);
  // RFC 6238 T = 59 (46119246) with its check digit, computed by hand: 461192460.
  EXPECT_EQ(NoxOVAuthenticator::GenerateOTP(kKey32, 1, 8, true).view(), "461192460");
}

// A negative moving factor is written with FF bytes in front, as a 64-bit counter would be:
// HOTP over eight FF bytes, computed with Python's hmac module.
TEST(NoxOVAuthenticator, NegativeMovingFactorIsSignExtended) {
  EXPECT_EQ(NoxOVAuthenticator::GenerateOTP(kKey32, -1, 8, false).view(), "40635627");
}

TEST(NoxOVAuthenticator, RefusesDigitCountsOutsideTheTable) {
  for (const int32_t digits : {0, 9, -1}) {
    EXPECT_EQ(CodeOf([&] { NoxOVAuthenticator::GenerateOTP(kKey32, 1, digits, false); }), 6003)
        << digits;
  }
  const std::vector<uint8_t> shortHash(20, 0);
  EXPECT_EQ(CodeOf([&] { NoxOVAuthenticator::GetOTP(shortHash, 6, false); }), 6003);
}

TEST(NoxOVAuthenticator, LengthsOutsideFourToEightBecomeSix) {
  const struct { int32_t given, used; } cases[] = {{3, 6}, {4, 4}, {8, 8}, {9, 6}, {0, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    const std::string expected(NoxOVAuthenticator::GenerateOTP(kKey32, 1, c.used, false).view());
    NoxOVAuthenticator constructed(kKey32, c.given, 0, "HmacSHA256");
    EXPECT_EQ(constructed.GetPasscodeLength(), c.used);
    EXPECT_EQ(constructed.GenPwd(nullptr, 1).view(), expected);
    NoxOVAuthenticator set(kKey32, 8, 0, "HmacSHA256");
    set.SetPasscodeLength(c.given);
    EXPECT_EQ(set.GenPwd(nullptr, 1).view(), expected);
  }
}

// The OCRA passcode of the worked message example (suite OCRA-1:HOTP-SHA256-8:QN08, question
// 12345678), computed with Python's hmac module; see engine/ocra_messages.vec.
constexpr const char* kExampleOcra = "70885282";

// The counter rises once per passcode in both modes and wraps instead of overflowing; a refused
// challenge leaves it alone, so the engine never stores a counter for a code it did not give.
TEST(NoxOVAuthenticator, CounterAdvancesOncePerPasscode) {
  NoxOVAuthenticator ocra(kKey32, 8, INT32_MAX, "OCRA-1:HOTP-SHA256-8:QN08");
  EXPECT_EQ(ocra.GenPwd("12345678", 0).view(), kExampleOcra);
  EXPECT_EQ(ocra.GetCounter(), INT32_MIN);
  // The counter text is now negative; the suite does not read it.
  EXPECT_EQ(ocra.GenPwd("12345678", 0).view(), kExampleOcra);
  EXPECT_EQ(ocra.GetCounter(), INT32_MIN + 1);

  EXPECT_EQ(CodeOf([&] { ocra.GenPwd("1234567A", 0); }), 6002);
  EXPECT_EQ(CodeOf([&] { ocra.GenPwd("123456789", 0); }), 6003);
  EXPECT_EQ(CodeOf([&] { ocra.GenPwd(nullptr, 0); }), 6002);
  EXPECT_EQ(ocra.GetCounter(), INT32_MIN + 1);

  NoxOVAuthenticator hotp(kKey32, 6, 0, "HmacSHA256");
  hotp.GenPwd(nullptr, 0);
  hotp.SetCounter(41);
  hotp.GenPwd(nullptr, 0);
  EXPECT_EQ(hotp.GetCounter(), 42);
}

TEST(NoxOVAuthenticator, SettersKeepTheRulesOfTheConstructor) {
  NoxOVAuthenticator authenticator(kKey32, 8, 0, "OCRA-1:HOTP-SHA256-8:QN08");
  authenticator.SetAlgorithm("");
  EXPECT_EQ(authenticator.GetAlgorithm(), "OCRA-1:HOTP-SHA256-8:QN08");
  authenticator.SetAlgorithm("HmacSHA256");
  EXPECT_EQ(authenticator.GenPwd(nullptr, 1).view(), "46119246");

  const std::vector<uint8_t> key31(31, 1);
  EXPECT_EQ(CodeOf([&] { authenticator.SetKey(key31); }), 6003);
  EXPECT_EQ(authenticator.GenPwd(nullptr, 1).view(), "46119246");
  EXPECT_EQ(CodeOf([&] { NoxOVAuthenticator(key31, 6, 0, "HmacSHA256"); }), 6003);
}

TEST(NoxOVAuthenticator, DecodesOnlyA32ByteHexKey) {
  const std::string hex = HexEncode(kKey32);
  EXPECT_EQ(NoxOVAuthenticator::DecodeOtpKey(hex), SecureBytes(kKey32.begin(), kKey32.end()));
  std::string lower = hex;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(NoxOVAuthenticator::DecodeOtpKey(lower), SecureBytes(kKey32.begin(), kKey32.end()));
  for (const std::string& bad :
       {std::string(), hex.substr(2), hex.substr(1), hex + "00", std::string(63, '0') + "G"}) {
    EXPECT_EQ(CodeOf([&] { NoxOVAuthenticator::DecodeOtpKey(bad); }), 6003) << bad;
  }
}

class HostVectors : public ::testing::TestWithParam<VectorRecord> {};

// The authenticator starts as the token's own (mode 3 tokens carry an event algorithm) and is
// re-keyed for the host, as the engine does on every multi-host request.
TEST_P(HostVectors, DerivesTheHostKeyAndItsPasscode) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const auto otpKey = r.Hex("OtpKey");
  const auto host = static_cast<int32_t>(r.Int("Host"));
  const auto counter = static_cast<int32_t>(r.Int("Counter"));
  const std::string& expected = r.Text("Passcode");
  EXPECT_EQ(HexEncode(NoxOVAuthenticator::DeriveHostKey(otpKey, host)), r.Text("HostKey"));
  const OVPolicy hostPolicy = NoxOVAuthenticator::GetHostPolicy(host);
  EXPECT_EQ(hostPolicy.GetPwdLen(), static_cast<int32_t>(expected.size()));
  if (r.Has("Question")) {
    EXPECT_EQ(hostPolicy.GetChallLen(), static_cast<int32_t>(r.Text("Question").size()));
  }

  NoxOVAuthenticator authenticator(otpKey, 6, 100, "HmacSHA256");
  authenticator.UpdateForHost(otpKey, host, counter);
  const std::string question = r.Has("Question") ? r.Text("Question") : std::string();
  EXPECT_EQ(authenticator.GenPwd(r.Has("Question") ? question.c_str() : nullptr, counter).view(),
            expected);
  EXPECT_EQ(authenticator.GetCounter(), counter + 1);
}

INSTANTIATE_TEST_SUITE_P(MultiHost, HostVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("engine/multihost.vec")),
                         test::VectorRecordName);

TEST(NoxOVAuthenticator, HostsOutsideOneToNineAreRefusedAndChangeNothing) {
  NoxOVAuthenticator authenticator(kKey32, 8, 5, "HmacSHA256");
  for (const int32_t host : {0, 10, -1}) {
    EXPECT_EQ(CodeOf([&] { NoxOVAuthenticator::DeriveHostKey(kKey32, host); }), 6003) << host;
    EXPECT_EQ(CodeOf([&] { NoxOVAuthenticator::GetHostPolicy(host); }), 6003) << host;
    EXPECT_EQ(CodeOf([&] { authenticator.UpdateForHost(kKey32, host, 0); }), 6003) << host;
  }
  EXPECT_EQ(authenticator.GetCounter(), 5);
  EXPECT_EQ(authenticator.GenPwd(nullptr, 1).view(), "46119246");
}

}  // namespace
}  // namespace ov
