// The token engine through the public API: activation, the PIN life cycle, lock-out and
// deactivation, renaming, reset and deletion, with the clock and the drives of the test platform.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "crypto/OrvantiAPI.h"
#include "engine/OVEngine.h"
#include "storage/Ov80Profile.h"
#include "storage/StoragePaths.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"
#include "storage/OVEngineStore.h"
#include "support/PasscodeReference.h"
#include "support/StorageEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

namespace fs = std::filesystem;

// Level 3, event, PIN of 4, "maxattacks" 5, "attackdelay" 2.
constexpr char kPinPolicy[] = "318998566";
// Level 3, event, no PIN.
constexpr char kNoPinPolicy[] = "19929092";

using ov::test::EntropyOf;
using ov::test::Formulate;

std::string Sha256Hex(const std::vector<uint8_t>& data) { return ov::test::UpperHex(ov::test::Sha256(data)); }

class EngineApiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OV_InitializeA("KLSA_GA_8_2", 0), OV_OK); }
  void TearDown() override { OV_Finalize(); }

  // A new token activated with `policy`, its PIN set when the policy has one.
  std::string Activate(const char* name, const char* policy, const char* pin = "1234") {
    EXPECT_EQ(OV_CreateInstanceA(name, 0), OV_OK);
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    EXPECT_EQ(OV_GenerateActivationCodeA(policy, code), OV_OK);
    if (State() == PENDING_PIN_STATE) {
      EXPECT_EQ(OV_SetPinA(pin), OV_OK);
    }
    return code;
  }
  int32_t State() {
    OVTokenInfoA info{};
    OV_GetTokenInfoA(&info);
    const int32_t state = info.m_nTokenState;
    OV_FreeTokenInfoA(&info);
    return state;
  }
  int32_t LockTimeLeft() {
    OVTokenInfoA info{};
    OV_GetTokenInfoA(&info);
    const int32_t left = info.m_nLockTimeLeft;
    OV_FreeTokenInfoA(&info);
    return left;
  }
  void Reopen(const char* name) {
    ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
    ASSERT_EQ(OV_CreateInstanceA(name, 0), OV_OK);
  }
  std::string OtpKey() { return std::string(ov::OVEngine::GetInstance("", "")->OtpKey().view()); }

  ov::test::StorageEnvironment env;
};

TEST_F(EngineApiTest, ActivationCodeImpliesTheOtpKey) {
  struct Case {
    const char* policy;
    bool appendsPolicy;
  };
  int n = 0;
  for (const Case& c : {Case{kPinPolicy, true}, Case{nullptr, false}}) {
    const std::string name = "Token " + std::to_string(++n);
    ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
    EXPECT_EQ(State(), INSTALLED_STATE);
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    ASSERT_EQ(OV_GenerateActivationCodeA(c.policy, code), OV_OK);
    EXPECT_EQ(State(), PENDING_PIN_STATE);
    EXPECT_EQ(OV_GenerateActivationCodeA(c.policy, code), OV_ERR_INVALID_TOKEN_STATE);
    ASSERT_EQ(std::strlen(code), 23u);
    EXPECT_EQ(OV_SetPinA("12"), OV_ERR_INVALID_PARAM);
    ASSERT_EQ(OV_SetPinA("1234"), OV_OK);
    EXPECT_EQ(OV_SetPinA("1234"), OV_ERR_PIN_ALREADY_SET);
    EXPECT_EQ(State(), ACTIVATED_STATE);

    // Level 1 codes are the legacy form: four groups of four characters and a checksum each.
    std::vector<uint8_t> material;
    if (c.appendsPolicy) {
      material = EntropyOf(code);
      material.insert(material.end(), c.policy, c.policy + std::strlen(c.policy));
    } else {
      std::string text;
      for (int g = 0; g < 4; ++g) text += std::string(code + 6 * g, 4);
      material = EntropyOf(text + "AAAA");
    }
    material.insert(material.end(), 4, 0);
    Reopen(name.c_str());
    ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
    EXPECT_EQ(OtpKey(), Sha256Hex(material)) << name;
    ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  }
}

TEST_F(EngineApiTest, EveryPolicyLevelActivates) {
  struct Case {
    const char* policy;
    const char* pin;
    const char* trivialPin;  // refused where the level forbids trivial PINs
  };
  const Case cases[] = {{"75811023", "1234", nullptr},        // level 2
                        {kPinPolicy, "1234", nullptr},        // level 3
                        {"43063243095", "Ab12cd", "111111"},  // level 4, no trivial PINs
                        {"90421453503", "Ab12cd", "123456"}};  // level 5
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "Level token " + std::to_string(++n);
    ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    ASSERT_EQ(OV_GenerateActivationCodeA(c.policy, code), OV_OK) << c.policy;
    if (c.trivialPin != nullptr) {
      EXPECT_EQ(OV_SetPinValidationA(c.trivialPin), OV_ERR_INVALID_PARAM) << c.policy;
      EXPECT_EQ(OV_SetPinA(c.trivialPin), OV_ERR_INVALID_PARAM) << c.policy;
    }
    ASSERT_EQ(OV_SetPinA(c.pin), OV_OK) << c.policy;
    std::vector<uint8_t> material = EntropyOf(code);
    material.insert(material.end(), c.policy, c.policy + std::strlen(c.policy));
    material.insert(material.end(), 4, 0);
    Reopen(name.c_str());
    ASSERT_EQ(OV_ValidatePinA(c.pin), OV_OK) << c.policy;
    EXPECT_EQ(OtpKey(), Sha256Hex(material)) << c.policy;
    ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  }
}

TEST_F(EngineApiTest, PinValidationAndChange) {
  Activate("Bank", kPinPolicy);
  Reopen("bank");
  EXPECT_EQ(OV_ChangeTokenNameA("Bank 2"), OV_ERR_PIN_NOT_VERIFIED);
  EXPECT_EQ(OV_ValidatePinA("4321"), OV_ERR_INVALID_PIN);
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OV_ChangePinA("1234", "1234"), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(OV_ChangePinA("1234", "12345"), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(OV_ChangePinA("1234", "5678"), OV_OK);
  Reopen("Bank");
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_INVALID_PIN);
  EXPECT_EQ(OV_ValidatePinA("5678"), OV_OK);
  // A wrong PIN after a right one opens the instance afresh: the PIN is no longer verified.
  EXPECT_EQ(OV_ValidatePinA("0000"), OV_ERR_INVALID_PIN);
  EXPECT_EQ(OV_ChangeTokenNameA("Bank 2"), OV_ERR_PIN_NOT_VERIFIED);
}

TEST_F(EngineApiTest, WrongPinsLockThenDeactivate) {
  Activate("Locky", kPinPolicy);
  EXPECT_EQ(OV_ValidatePinA("0001"), OV_ERR_INVALID_PIN);
  EXPECT_EQ(LockTimeLeft(), 0);
  const int32_t expectedLock[] = {60, 120, 180};
  for (int32_t lock : expectedLock) {
    EXPECT_EQ(OV_ValidatePinA("0001"), OV_ERR_INVALID_PIN);
    EXPECT_EQ(LockTimeLeft(), lock);
    EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_TOKEN_LOCKED);
    env.clock.now += lock;
  }
  EXPECT_EQ(OV_ValidatePinA("0001"), OV_ERR_TOKEN_DEACTIVATED);
  EXPECT_EQ(State(), INSTALLED_STATE);
  Reopen("Locky");
  EXPECT_EQ(State(), INSTALLED_STATE);
}

TEST_F(EngineApiTest, LockOutIsCappedAtTwentyMinutes) {
  const std::string policy = Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 0}, {"attackdelay", 2}});
  Activate("Capped", policy.c_str());
  for (int attempt = 1; attempt <= 25; ++attempt) {
    ASSERT_EQ(OV_ValidatePinA("0001"), OV_ERR_INVALID_PIN) << attempt;
    const int32_t left = LockTimeLeft();
    env.clock.now += left;
    if (attempt == 25) {
      EXPECT_EQ(left, 1200);
    }
  }
}

TEST_F(EngineApiTest, PinUseCountDemandsAChange) {
  const std::string policy = Formulate({{"mode", 0}, {"pinlen", 4}, {"pinusechanges", 128}});
  Activate("Counted", policy.c_str());
  for (int i = 1; i <= 128; ++i) ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK) << i;
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_CHANGE_PIN_REQUIRED);
  EXPECT_EQ(OV_ChangePinA("1234", "5678"), OV_OK);
  EXPECT_EQ(OV_ValidatePinA("5678"), OV_OK);
}

TEST_F(EngineApiTest, TokenWithoutPinOpensVerified) {
  Activate("Plain", kNoPinPolicy);
  EXPECT_EQ(State(), ACTIVATED_STATE);
  Reopen("Plain");
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_PIN_NOT_SUPPORTED);
  EXPECT_EQ(OV_SetPinValidationA("1234"), OV_ERR_PIN_NOT_SUPPORTED);
  EXPECT_EQ(OV_ChangeTokenNameA("Plain 2"), OV_OK) << "verified without a PIN";
}

TEST_F(EngineApiTest, MultiHostPolicyIsRefusedAndChangesNothing) {
  ASSERT_EQ(OV_CreateInstanceA("Hosts", 0), OV_OK);
  const std::string path = ov::OVEngineStore::GetFullFilePath(ov::OVEngineStore::GetFileName("Hosts"), true);
  const std::string before = ov::test::ReadFile(path);
  const std::string multiHost = Formulate({{"mode", 3}});
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  EXPECT_EQ(OV_GenerateActivationCodeA(multiHost.c_str(), code), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(ov::test::ReadFile(path), before);
  EXPECT_EQ(State(), INSTALLED_STATE);
}

TEST_F(EngineApiTest, RenameResetAndDelete) {
  Activate("Other", kPinPolicy);
  ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  Activate("Work", kPinPolicy);
  EXPECT_EQ(OV_ChangeTokenNameA("Work"), OV_ERR_DUPLICATE_TOKEN_NAME);
  EXPECT_EQ(OV_ChangeTokenNameA("WORK"), OV_ERR_DUPLICATE_TOKEN_NAME);
  EXPECT_EQ(OV_ChangeTokenNameA("other"), OV_ERR_DUPLICATE_TOKEN_NAME);
  EXPECT_EQ(OV_ChangeTokenNameA("Office"), OV_OK);
  Reopen("Office");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK) << "the seed follows the new name";

  Reopen("Office");
  EXPECT_EQ(OV_DeleteToken(), OV_ERR_PIN_NOT_VERIFIED);
  EXPECT_EQ(OV_ResetToken(), OV_ERR_PIN_NOT_VERIFIED);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  ASSERT_EQ(OV_ResetToken(), OV_OK);
  EXPECT_EQ(State(), INSTALLED_STATE);
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  EXPECT_EQ(OV_GenerateActivationCodeA(kPinPolicy, code), OV_OK) << "a reset token activates again";
  const std::string path = ov::OVEngineStore::GetFullFilePath(ov::OVEngineStore::GetFileName("Office"), true);
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(OV_DeleteToken(), OV_OK);
  EXPECT_FALSE(fs::exists(path));
  OVTokenInfoA info{};
  EXPECT_EQ(OV_GetTokenInfoA(&info), OV_ERR_NO_INSTANCE);
}

TEST_F(EngineApiTest, ATokenWaitingForItsPinSurvivesReopening) {
  ASSERT_EQ(OV_CreateInstanceA("Pending", 0), OV_OK);
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  ASSERT_EQ(OV_GenerateActivationCodeA(kPinPolicy, code), OV_OK);
  Reopen("Pending");
  EXPECT_EQ(State(), PENDING_PIN_STATE);
  ASSERT_EQ(OV_SetPinA("1234"), OV_OK);
  std::vector<uint8_t> material = EntropyOf(code);
  material.insert(material.end(), kPinPolicy, kPinPolicy + std::strlen(kPinPolicy));
  material.insert(material.end(), 4, 0);
  Reopen("Pending");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OtpKey(), Sha256Hex(material));
  EXPECT_EQ(ov::OVEngine::GetInstance("", "")->Record().m_szKeyMaterial[0], '\0')
      << "the key material goes once the PIN protects the key";

  // Keys delivered by enrollment wait under the internal PIN, also across reopening.
  ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  ASSERT_EQ(OV_CreateInstanceA("Delivered", 0), OV_OK);
  ov::OVEngine* engine = ov::OVEngine::GetInstance("", "");
  ASSERT_EQ(engine->ValidateAndSavePolicy(kPinPolicy), OV_OK);
  const std::string key(64, 'C');
  ASSERT_EQ(engine->SetTokenKeys(key.c_str()), OV_OK);
  engine->SetTokenState(PENDING_PIN_STATE);
  ASSERT_TRUE(engine->SaveToken());
  Reopen("Delivered");
  EXPECT_EQ(State(), PENDING_PIN_STATE);
  ASSERT_EQ(OV_SetPinA("1234"), OV_OK);
  Reopen("Delivered");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OtpKey(), key);
}

TEST_F(EngineApiTest, ALockOutHoldsAcrossReopening) {
  Activate("Locked", kPinPolicy);
  EXPECT_EQ(OV_ValidatePinA("0001"), OV_ERR_INVALID_PIN);
  EXPECT_EQ(OV_ValidatePinA("0001"), OV_ERR_INVALID_PIN);
  Reopen("Locked");
  EXPECT_EQ(LockTimeLeft(), 60);
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_TOKEN_LOCKED);
  env.clock.now += 60;
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_OK);
}

// The state checks of the library object, in their order: each row opens a fresh token in one
// state and runs one operation.
TEST_F(EngineApiTest, StateChecks) {
  enum class Setup { Installed, Pending, Unverified, Locked, NoPin };
  struct Row {
    Setup setup;
    const char* operation;
    int32_t expected;
  };
  const Row rows[] = {
      {Setup::Installed, "SetPin", OV_ERR_ACTIVATION_REQUIRED},
      {Setup::Installed, "ValidatePin", OV_ERR_TOKEN_NOT_ACTIVATED},
      {Setup::Installed, "ChangePin", OV_ERR_TOKEN_NOT_ACTIVATED},
      {Setup::Installed, "GenerateOtp", OV_ERR_TOKEN_NOT_ACTIVATED},
      {Setup::Installed, "Rename", OV_ERR_TOKEN_NOT_ACTIVATED},
      {Setup::Installed, "SetPinValidation", OV_OK},
      {Setup::Installed, "Reset", OV_OK},
      {Setup::Installed, "Delete", OV_OK},
      {Setup::Pending, "Activate", OV_ERR_INVALID_TOKEN_STATE},
      {Setup::Pending, "ValidatePin", OV_ERR_TOKEN_NOT_ACTIVATED},
      {Setup::Pending, "GenerateOtp", OV_ERR_TOKEN_NOT_ACTIVATED},
      {Setup::Pending, "SetPin", OV_OK},
      {Setup::Unverified, "SetPin", OV_ERR_PIN_ALREADY_SET},
      {Setup::Unverified, "GenerateOtp", OV_ERR_PIN_NOT_VERIFIED},
      {Setup::Unverified, "Rename", OV_ERR_PIN_NOT_VERIFIED},
      {Setup::Unverified, "Reset", OV_ERR_PIN_NOT_VERIFIED},
      {Setup::Unverified, "Delete", OV_ERR_PIN_NOT_VERIFIED},
      {Setup::Unverified, "ValidatePin", OV_OK},
      {Setup::Locked, "ValidatePin", OV_ERR_TOKEN_LOCKED},
      {Setup::Locked, "ChangePin", OV_ERR_TOKEN_LOCKED},
      {Setup::Locked, "GenerateOtp", OV_ERR_TOKEN_LOCKED},
      {Setup::Locked, "Rename", OV_ERR_TOKEN_LOCKED},
      {Setup::Locked, "Reset", OV_ERR_TOKEN_LOCKED},
      {Setup::Locked, "Delete", OV_ERR_TOKEN_LOCKED},
      {Setup::NoPin, "SetPin", OV_ERR_PIN_NOT_SUPPORTED},
      {Setup::NoPin, "ValidatePin", OV_ERR_PIN_NOT_SUPPORTED},
      {Setup::NoPin, "ChangePin", OV_ERR_PIN_NOT_SUPPORTED},
      {Setup::NoPin, "SetPinValidation", OV_ERR_PIN_NOT_SUPPORTED},
      {Setup::NoPin, "GenerateOtp", OV_OK},
  };
  int n = 0;
  for (const Row& row : rows) {
    const std::string name = "State token " + std::to_string(++n);
    ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    if (row.setup != Setup::Installed) {
      ASSERT_EQ(OV_GenerateActivationCodeA(row.setup == Setup::NoPin ? kNoPinPolicy : kPinPolicy, code), OV_OK);
    }
    if (row.setup == Setup::Unverified || row.setup == Setup::Locked) {
      ASSERT_EQ(OV_SetPinA("1234"), OV_OK);
      Reopen(name.c_str());
    }
    if (row.setup == Setup::Locked) {
      OV_ValidatePinA("0001");
      OV_ValidatePinA("0001");
    }
    const std::string op = row.operation;
    int32_t length = 0;
    int32_t result = -1;
    if (op == "SetPin") result = OV_SetPinA("1234");
    if (op == "ValidatePin") result = OV_ValidatePinA("1234");
    if (op == "ChangePin") result = OV_ChangePinA("1234", "5678");
    if (op == "GenerateOtp") result = OV_GenerateOtpA(nullptr, 0, nullptr, &length);
    if (op == "Rename") result = OV_ChangeTokenNameA((name + " renamed").c_str());
    if (op == "SetPinValidation") result = OV_SetPinValidationA("1234");
    if (op == "Reset") result = OV_ResetToken();
    if (op == "Delete") result = OV_DeleteToken();
    if (op == "Activate") result = OV_GenerateActivationCodeA(kPinPolicy, code);
    EXPECT_EQ(result, row.expected) << "row " << n << ": " << op;
    OV_ReleaseInstance();
  }
}

TEST_F(EngineApiTest, ARightPinConvertsALegacyToken) {
  ASSERT_TRUE(ov::test::MakeLegacyToken("Old token", ACTIVATED_STATE, "1234"));
  const std::string file = ov::OVEngineStore::GetFileName("Old token");
  const std::string legacy = ov::OVEngineStore::GetFullFilePath(file, false);
  const std::string current = ov::OVEngineStore::GetFullFilePath(file, true);
  ASSERT_TRUE(fs::exists(legacy));
  ASSERT_EQ(OV_CreateInstanceA("Old token", 0), OV_OK);
  EXPECT_EQ(OV_ValidatePinA("9999"), OV_ERR_INVALID_PIN);
  EXPECT_TRUE(fs::exists(legacy)) << "a wrong PIN converts nothing";
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OtpKey(), ov::test::kFixtureOtpKey);
  EXPECT_FALSE(fs::exists(legacy));
  EXPECT_TRUE(fs::exists(current));
  Reopen("Old token");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OtpKey(), ov::test::kFixtureOtpKey);
}

TEST_F(EngineApiTest, AnOldProfileImportsOnceAndStaysUsable) {
  const fs::path profilePath = fs::path(ov::GetFilePath(nullptr)) / "ProfileData";
  EXPECT_EQ(OV_ImportLegacyTokenDataA("Imported"), OV_OK) << "no profile";
  EXPECT_EQ(OV_CreateInstanceA("Imported", 0), OV_OK);
  EXPECT_EQ(State(), INSTALLED_STATE) << "no token came from nowhere";
  ASSERT_EQ(OV_DeleteToken(), OV_OK);

  ASSERT_TRUE(ov::test::WriteOv80Profile(0));  // waiting for its PIN: the key comes from the key material
  ASSERT_EQ(OV_ImportLegacyTokenDataA("Waiting"), OV_OK);
  EXPECT_FALSE(fs::exists(profilePath));
  ASSERT_EQ(OV_CreateInstanceA("Waiting", 0), OV_OK);
  EXPECT_EQ(State(), PENDING_PIN_STATE);
  ASSERT_EQ(OV_SetPinA("1234"), OV_OK);
  Reopen("Waiting");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OtpKey(), Sha256Hex({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0, 0, 0, 0}));
  ASSERT_EQ(OV_ReleaseInstance(), OV_OK);

  ASSERT_TRUE(ov::test::WriteOv80Profile(1));  // activated: the profile's PIN opens the imported key
  ASSERT_EQ(OV_ImportLegacyTokenDataA("Activated"), OV_OK);
  EXPECT_FALSE(fs::exists(profilePath));
  ASSERT_EQ(OV_CreateInstanceA("Activated", 0), OV_OK);
  EXPECT_EQ(State(), ACTIVATED_STATE);
  EXPECT_EQ(OV_ValidatePinA("4321"), OV_ERR_INVALID_PIN);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  EXPECT_EQ(OtpKey(), ov::test::kFixtureOtpKey);
  Reopen("Activated");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK) << "converted to format 3 on the first right PIN";
  EXPECT_TRUE(fs::exists(ov::OVEngineStore::GetFullFilePath(ov::OVEngineStore::GetFileName("Activated"), true)));
}

TEST_F(EngineApiTest, InstanceRules) {
  ASSERT_EQ(OV_CreateInstanceA("Token one", 0), OV_OK);
  EXPECT_EQ(OV_CreateInstanceA("Token one", 0), OV_ERR_INSTANCE_EXISTS);
  EXPECT_EQ(OV_CreateInstanceA("Token two", 0), OV_ERR_OTHER_TOKEN_OPEN);
  EXPECT_EQ(OV_SetPinA("1234"), OV_ERR_ACTIVATION_REQUIRED);
  EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_TOKEN_NOT_ACTIVATED);
  EXPECT_EQ(OV_ReleaseInstance(), OV_OK);
  EXPECT_EQ(OV_ReleaseInstance(), OV_ERR_NO_INSTANCE);
}

}  // namespace
