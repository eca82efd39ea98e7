// Passcodes through the public API after a manual activation, with the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/PasscodeTime.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"
#include "storage/OVEngineStore.h"
#include "support/ApiPasscode.h"
#include "support/PasscodeReference.h"
#include "support/StorageEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

using ov::test::ActivationKey;
using ov::test::Formulate;
using ov::test::Hotp;

class PasscodeApiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OV_InitializeA("KLSA_GA_8_2", 0), OV_OK); }
  void TearDown() override { OV_Finalize(); }

  // Activates a PIN-less token and returns the OTP key its activation code implies.
  std::vector<uint8_t> Activate(const char* name, const std::string& policy) {
    EXPECT_EQ(OV_CreateInstanceA(name, 0), OV_OK);
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    EXPECT_EQ(OV_GenerateActivationCodeA(policy.c_str(), code), OV_OK);
    return ActivationKey(code, policy);
  }
  std::string Next(const char* challenge = nullptr) { return ov::test::NextPasscode(challenge); }

  ov::test::StorageEnvironment env;
};

TEST_F(PasscodeApiTest, EventCodesFollowTheStoredCounter) {
  const std::string policy = Formulate({{"mode", 0}, {"pinlen", 0}, {"pwdlen", 8}});
  const auto key = Activate("Event token", policy);
  EXPECT_EQ(Next(), Hotp(key, 0, 8));
  EXPECT_EQ(Next(), Hotp(key, 1, 8));
  ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  ASSERT_EQ(OV_CreateInstanceA("Event token", 0), OV_OK);
  EXPECT_EQ(Next(), Hotp(key, 2, 8)) << "the counter was saved";

  int32_t length = 3;
  char small[4] = {};
  EXPECT_EQ(OV_GenerateOtpA(nullptr, 0, small, &length), OV_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 8);
  int32_t seconds = 0;
  EXPECT_EQ(OV_GetRemainingTickCount(&seconds), OV_ERR_OPERATION_FAILED);
}

TEST_F(PasscodeApiTest, TimeCodesRepeatWithinAStep) {
  const std::string policy = Formulate({{"mode", 1}, {"pinlen", 0}, {"pwdlen", 6}, {"tstick", 30}});
  const auto key = Activate("Time token", policy);
  // A step boundary: seconds since 2000-01-01 00:00:01 divisible by 30.
  env.clock.now = ov::kTimeStepBaseUnixSeconds + 30 * 25110506;
  int32_t seconds = 0;
  ASSERT_EQ(OV_GetRemainingTickCount(&seconds), OV_OK);
  EXPECT_EQ(seconds, 30);
  const std::string first = Next();
  EXPECT_EQ(first, Hotp(key, 25110506, 6));
  const std::string path = ov::OVEngineStore::GetFullFilePath(ov::OVEngineStore::GetFileName("Time token"), true);
  const std::string file = ov::test::ReadFile(path);
  env.clock.now += 29;
  EXPECT_EQ(Next(), first);
  EXPECT_EQ(ov::test::ReadFile(path), file) << "the same step does not rewrite the file";
  env.clock.now += 1;
  EXPECT_EQ(Next(), Hotp(key, 25110507, 6));
}

TEST_F(PasscodeApiTest, ChallengeResponseChecksItsChallenge) {
  const std::string policy = Formulate({{"mode", 2}, {"pinlen", 0}, {"challlen", 8}});
  Activate("Challenge token", policy);
  int32_t length = 0;
  EXPECT_EQ(OV_GenerateOtpA(nullptr, 0, nullptr, &length), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(OV_GenerateOtpA("1234567", 0, nullptr, &length), OV_ERR_INVALID_PARAM);
  const std::string a = Next("12345678");
  EXPECT_FALSE(a.empty());
  EXPECT_NE(Next("12345679"), a);
  length = 8;
  char otp[9] = {};
  EXPECT_EQ(OV_GenerateOtpA("1234567A", 0, otp, &length), OV_ERR_INVALID_PARAM) << "letters";
}

// A multi-host token exists only as a file (activation refuses its policy). Host 9's challenge has
// the token's own length, here 6, although its passcode is computed with the 8-digit host suite.
TEST_F(PasscodeApiTest, HostNineTakesTheTokensChallengeLength) {
  const std::string policy = Formulate({{"mode", 3}, {"pinlen", 4}, {"challlen", 6}});
  ASSERT_TRUE(ov::test::MakeLegacyToken("Multi-host token", ACTIVATED_STATE, "1234", policy));
  ASSERT_EQ(OV_CreateInstanceA("Multi-host token", 0), OV_OK);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  OVTokenInfoA info{};
  ASSERT_EQ(OV_GetTokenInfoA(&info), OV_OK);
  EXPECT_EQ(info.m_nChallengeLength, 6);
  OV_FreeTokenInfoA(&info);

  int32_t length = 0;
  EXPECT_EQ(OV_GenerateOtpA("12345678", 9, nullptr, &length), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(OV_GenerateOtpA(nullptr, 9, nullptr, &length), OV_ERR_INVALID_PARAM);
  const auto passcode = [](const char* challenge) {
    int32_t size = 9;
    char otp[10] = {};
    EXPECT_EQ(OV_GenerateOtpA(challenge, 9, otp, &size), OV_OK) << challenge;
    return std::string(otp);
  };
  const std::string a = passcode("123456");
  EXPECT_EQ(a.size(), 8u);
  EXPECT_NE(passcode("123457"), a);
}

}  // namespace
