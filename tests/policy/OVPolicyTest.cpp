#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/OVException.h"
#include "policy/OVPolicy.h"
#include "support/KeyValueRecords.h"

namespace ov {
namespace {

// Runs `action` and returns the code of the OVException it raises (0 when none); the text goes to
// `text` when asked for.
int32_t ErrorOf(const std::function<void()>& action, std::string* text = nullptr) {
  try {
    action();
  } catch (const OVException& e) {
    if (text != nullptr) *text = e.GetErrorString();
    return e.GetErrorCode();
  }
  return 0;
}

OVPolicy Parsed(const std::string& text) {
  OVPolicy policy;
  policy.SetPolicyString(text);
  return policy;
}

// One record of tests/data/policy/policy_strings.txt: the string is accepted with the given
// answers, or refused with the given code and text. An accepted string is also written back
// from its fields, and that text read again must answer the same.
class PolicyStringTest : public testing::TestWithParam<test::KeyValueRecord> {
 protected:
  static void ExpectAnswers(const OVPolicy& policy, const test::KeyValueRecord& r) {
    for (const auto& [key, value] : r.values) {
      if (key == "Policy" || key == "Text" || key == "Formulated") continue;
      if (key == "DefaultOfMode") {
        EXPECT_EQ(OVPolicy::GetDefaultPolicy(std::stoi(value)).GetPolicyString(), r.Get("Policy"));
        continue;
      }
      const std::string where = r.file + ":" + std::to_string(r.line) + " " + key;
      if (key == "Level") {
        EXPECT_EQ(policy.GetPolicyLevel(), std::stoi(value)) << where;
      } else if (key == "Algorithm") {
        EXPECT_EQ(policy.GetTokenAlgorithm(), value) << where;
      } else if (key == "PinLen") {
        EXPECT_EQ(policy.GetPinLen(), std::stoi(value)) << where;
      } else if (key == "Trivial") {
        EXPECT_EQ(policy.IsTrivialPinAllowed(), value == "1") << where;
      } else if (key == "TrivialEx") {
        EXPECT_EQ(policy.IsTrivialPinAllowedEx(), value == "1") << where;
      } else {
        EXPECT_EQ(policy.GetPolicyParameter(key), std::stoi(value)) << where;
      }
    }
  }
};

TEST_P(PolicyStringTest, ReadsAsRecorded) {
  const test::KeyValueRecord& r = GetParam();
  OVPolicy policy;
  std::string message;
  const int32_t error = ErrorOf([&] { policy.SetPolicyString(r.Get("Policy")); }, &message);
  if (r.values.count("Error")) {
    EXPECT_EQ(error, std::stoi(r.Get("Error")));
    if (r.values.count("Message")) {
      EXPECT_EQ(message, r.Get("Message"));
    }
    EXPECT_FALSE(policy.IsValid());
    return;
  }
  ASSERT_EQ(error, 0) << message;
  EXPECT_TRUE(policy.IsValid());
  const std::string text = r.values.count("Text") ? r.Get("Text") : r.Get("Policy");
  EXPECT_EQ(policy.GetPolicyString(), text);
  ExpectAnswers(policy, r);

  const std::string formulated = r.values.count("Formulated") ? r.Get("Formulated") : text;
  OVPolicy copy = policy;
  EXPECT_EQ(copy.FormulatePolicyString(), formulated);
  ExpectAnswers(Parsed(formulated), r);
}

INSTANTIATE_TEST_SUITE_P(PolicyStrings, PolicyStringTest,
                         testing::ValuesIn(test::ReadKeyValueRecords("policy/policy_strings.txt")),
                         test::RecordName);

TEST(PolicyStringFileTest, HasRecords) {
  EXPECT_GE(test::ReadKeyValueRecords("policy/policy_strings.txt").size(), 30u);
}

TEST(OVPolicyTest, ChecksumValueOfEachCharacterRange) {
  // Texts chosen for their checksum characters: "27" A, "1" R, "2" S, "9" Z, "24" 2, "17" 7.
  EXPECT_EQ(OVPolicy::GetChecksum("27"), 31);
  EXPECT_EQ(OVPolicy::GetChecksum("1"), 14);
  EXPECT_EQ(OVPolicy::GetChecksum("2"), 7);
  EXPECT_EQ(OVPolicy::GetChecksum("9"), 0);
  EXPECT_EQ(OVPolicy::GetChecksum("24"), 2);
  EXPECT_EQ(OVPolicy::GetChecksum("17"), 7);
  EXPECT_EQ(OVPolicy::GetChecksum(""), -1);
  EXPECT_EQ(OVPolicy::GetValidatedPolicyString("642777159"), "20086786");
}

TEST(OVPolicyTest, NewPolicyIsAnInvalidLevel3Default) {
  const OVPolicy policy;
  EXPECT_FALSE(policy.IsValid());
  EXPECT_EQ(policy.GetPolicyString(), "");
  EXPECT_EQ(policy.GetPolicyLevel(), 3);
  EXPECT_EQ(policy.GetMode(), 0);
  EXPECT_EQ(policy.GetPwdLen(), 6);
  EXPECT_EQ(policy.GetPinLen(), 4);
  EXPECT_EQ(policy.GetMaxAttacks(), 10);
  EXPECT_EQ(policy.GetTStick(), -1);
  EXPECT_EQ(policy.GetTokenAlgorithm(), "");
}

TEST(OVPolicyTest, DefaultPoliciesOfTheShortForms) {
  const OVPolicy event = OVPolicy::GetDefaultPolicy(4);
  const OVPolicy time = OVPolicy::GetDefaultPolicy(5);
  const OVPolicy challenge = OVPolicy::GetDefaultPolicy(6);
  EXPECT_EQ(event.GetPolicyString(), "9859");
  EXPECT_EQ(time.GetPolicyString(), "9894");
  EXPECT_EQ(challenge.GetPolicyString(), "9946");
  EXPECT_TRUE(event.IsValid() && time.IsValid() && challenge.IsValid());
  EXPECT_TRUE(event.IsEventBased());
  EXPECT_EQ(event.GetTokenAlgorithm(), "HmacSHA256");
  EXPECT_TRUE(time.IsTimeBased());
  EXPECT_EQ(time.GetTStick(), 30);
  EXPECT_TRUE(challenge.IsChallengeResponse());
  EXPECT_EQ(challenge.GetPwdLen(), 8);
  EXPECT_EQ(challenge.GetTokenAlgorithm(), "OCRA-1:HOTP-SHA256-8:QN08");

  for (int32_t mode : {0, 3, 7, -1}) {
    std::string message;
    EXPECT_EQ(ErrorOf([&] { OVPolicy::GetDefaultPolicy(mode); }, &message), 4097) << mode;
    EXPECT_EQ(message,
              "Cannot generate default policy for the mode :   : " + std::to_string(mode) + " ");
  }
}

TEST(OVPolicyTest, ModePredicates) {
  const OVPolicy multiHost = Parsed("153070338");
  EXPECT_FALSE(multiHost.IsEventBased() || multiHost.IsTimeBased() ||
               multiHost.IsChallengeResponse());
  EXPECT_TRUE(Parsed("18927577").IsEventBased());
  EXPECT_TRUE(Parsed("75811023").IsTimeBased());
  EXPECT_TRUE(Parsed("642777159").IsChallengeResponse());
  EXPECT_FALSE(Parsed("642777159").IsPinRequired());
  EXPECT_TRUE(Parsed("75811023").IsTransactionSigning());
  EXPECT_TRUE(Parsed("18927577").IsSecureMode());
  EXPECT_FALSE(Parsed("9859").IsSecureMode());
}

TEST(OVPolicyTest, RefusedStringLeavesThePolicyAsItWas) {
  OVPolicy policy = Parsed("43063243095");
  for (const char* bad : {"43063243094", "11906", "19347477", "75811042", "21026961", "abc"}) {
    EXPECT_NE(ErrorOf([&] { policy.SetPolicyString(bad); }), 0) << bad;
    EXPECT_TRUE(policy.IsValid());
    EXPECT_EQ(policy.GetPolicyString(), "43063243095");
    EXPECT_EQ(policy.GetPolicyLevel(), 4);
    EXPECT_EQ(policy.GetPinLen(), 6);
    EXPECT_FALSE(policy.IsTrivialPinAllowed());
  }
  EXPECT_EQ(ErrorOf([&] { policy.SetPolicyString(static_cast<const char*>(nullptr)); }), 4097);
  EXPECT_EQ(policy.GetPolicyString(), "43063243095");

  // A new string replaces everything, also the level.
  policy.SetPolicyString("9946");
  EXPECT_EQ(policy.GetPolicyLevel(), 3);
  EXPECT_EQ(policy.GetTokenAlgorithm(), "OCRA-1:HOTP-SHA256-8:QN08");
  EXPECT_TRUE(policy.IsTrivialPinAllowed());
}

TEST(OVPolicyTest, SetPolicyParameterValuesAndErrors) {
  OVPolicy policy = Parsed("9859");
  policy.SetPinLen(6);
  EXPECT_EQ(policy.GetPinLen(), 6);

  std::string message;
  EXPECT_EQ(ErrorOf([&] { policy.SetPinLen(5); }, &message), 4100);
  EXPECT_EQ(message, "Invalid value:  5 provided for Orvanti token policy parameter:  pinlen");
  EXPECT_EQ(policy.GetPinLen(), 6);

  EXPECT_EQ(ErrorOf([&] { policy.SetPolicyParameter("foo", 1); }, &message), 4098);
  EXPECT_EQ(message, "The policy parameter foo does not exist");
  EXPECT_EQ(ErrorOf([&] { policy.GetPolicyParameter("PINLEN"); }, &message), 4098);
  EXPECT_EQ(message, "The policy parameter PINLEN does not exist");
  // Level 4 flags do not exist below level 4.
  EXPECT_EQ(ErrorOf([&] { policy.GetPolicyParameter("ALLOW_TRIVIAL_PIN"); }), 4098);
}

TEST(OVPolicyTest, MaxAttacksUsesTheLevel3ExtensionWhenLevel2CannotHoldIt) {
  OVPolicy policy = Parsed("9859");
  policy.SetMaxAttacks(7);
  EXPECT_EQ(policy.GetMaxAttacks(), 7);
  EXPECT_EQ(policy.GetPolicyParameter("v3maxattacks"), 7);
  EXPECT_EQ(Parsed(policy.FormulatePolicyString()).GetMaxAttacks(), 7);

  policy.SetMaxAttacks(3);
  EXPECT_EQ(policy.GetMaxAttacks(), 3);
  EXPECT_EQ(policy.GetPolicyParameter("v3maxattacks"), -1);

  // 21 would be stored as "take level 2's value" and read back as 3.
  EXPECT_EQ(ErrorOf([&] { policy.SetMaxAttacks(21); }), 4100);
  EXPECT_EQ(ErrorOf([&] { policy.SetMaxAttacks(22); }), 4100);
  EXPECT_EQ(policy.GetMaxAttacks(), 3);

  // Level 2 has no extension: only its own four values.
  OVPolicy level2 = Parsed("75811023");
  EXPECT_EQ(ErrorOf([&] { level2.SetMaxAttacks(7); }), 4100);
}

TEST(OVPolicyTest, ChangingAFieldClearsTheLevel1Mark) {
  OVPolicy policy = Parsed("");
  EXPECT_EQ(policy.GetPolicyLevel(), 1);
  policy.SetPinLen(6);
  EXPECT_EQ(policy.GetPolicyLevel(), 2);
  const OVPolicy reread = Parsed(policy.FormulatePolicyString());
  EXPECT_EQ(reread.GetPolicyLevel(), 2);
  EXPECT_EQ(reread.GetPinLen(), 6);
}

TEST(OVPolicyTest, FormulatedLongFormReadsBackTheSameFields) {
  OVPolicy policy;
  policy.SetMode(1);
  policy.SetTStick(60);
  policy.SetPinLen(0);
  policy.SetPwdLen(8);
  policy.SetAttackDelay(4);
  policy.SetPinUseChanges(256);
  policy.SetTransactionSigning();
  const OVPolicy reread = Parsed(policy.FormulatePolicyString());
  EXPECT_EQ(reread.GetPolicyLevel(), 3);
  EXPECT_EQ(reread.GetMode(), 1);
  EXPECT_EQ(reread.GetTStick(), 60);
  EXPECT_FALSE(reread.IsPinRequired());
  EXPECT_EQ(reread.GetPwdLen(), 8);
  EXPECT_EQ(reread.GetAttackDelay(), 4);
  EXPECT_EQ(reread.GetPinUseChanges(), 256);
  EXPECT_TRUE(reread.IsTransactionSigning());
  EXPECT_EQ(reread.GetChallLen(), -1);

  // A short form cannot carry the fields: writing it resets them to the mode's defaults.
  policy.SetMode(5);
  EXPECT_EQ(policy.FormulatePolicyString(), "9894");
  EXPECT_EQ(policy.GetTStick(), 30);
  EXPECT_TRUE(policy.IsPinRequired());
}

TEST(OVPolicyTest, AlgorithmFollowsTheFields) {
  OVPolicy policy = Parsed("38039554");  // level 2, mode 2, 6 digits, 6-digit challenge
  EXPECT_EQ(policy.GetTokenAlgorithm(), "OCRA-1:HOTP-SHA256-6:QN06");
  policy.SetPwdLen(8);
  policy.SetChallLen(8);
  EXPECT_EQ(policy.GetTokenAlgorithm(), "OCRA-1:HOTP-SHA256-8:QN08");
  policy.SetMode(0);
  EXPECT_EQ(policy.GetTokenAlgorithm(), "HmacSHA256");
}

TEST(OVPolicyTest, UndefinedModeSetByHandIsRefusedWhereItMatters) {
  OVPolicy policy = Parsed("9859");
  policy.SetMode(7);
  EXPECT_EQ(policy.GetTokenAlgorithm(), "");
  EXPECT_EQ(ErrorOf([&] { policy.GetPwdLen(); }), 4099);
  EXPECT_EQ(ErrorOf([&] { policy.FormulatePolicyString(); }), 4098);
  EXPECT_EQ(policy.GetPolicyString(), "9859");
  EXPECT_EQ(ErrorOf([&] { policy.SetMode(16); }), 4100);
}

TEST(OVPolicyTest, CopiesAreIndependent) {
  const OVPolicy original = Parsed("43063243095");
  OVPolicy copy = original;
  copy.SetPolicyString("9946");
  copy = original;
  copy.SetPinLen(8);
  EXPECT_EQ(original.GetPolicyParameter("pinlen"), 6);
  EXPECT_EQ(copy.GetPolicyParameter("pinlen"), 8);
  EXPECT_EQ(copy.GetPolicyLevel(), 4);
}

}  // namespace
}  // namespace ov
