#include <gtest/gtest.h>

#include <string>

#include "api/InputValidation.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"
#include "support/KeyValueRecords.h"
#include "support/TokenFixtures.h"

namespace {

TEST(IsValidTokenNameTest, LengthBlanksAndForbiddenCharacters) {
  struct Case {
    std::string name;
    bool valid;
  };
  const Case cases[] = {
      {"abcd", true},
      {std::string(64, 'x'), true},
      {"abc", false},
      {std::string(65, 'x'), false},
      {"    ", false},
      {"  a  ", true},
      {"My token-1_(work).v2", true},
      {"T\xC3\xB6ke", true},  // bytes count: 5
      {"a:bcd", false},
      {"abc?d", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ov::IsValidTokenName(c.name.c_str()), c.valid) << c.name;
  for (char forbidden : std::string("+=|;<>,\\\"*?:/")) {
    const std::string name = std::string("name") + forbidden;
    EXPECT_FALSE(ov::IsValidTokenName(name.c_str())) << name;
  }
  EXPECT_FALSE(ov::IsValidTokenName(nullptr));
}

// New names must be UTF-8 without control characters, through every function that names a token;
// a name stored before that rule still opens.
class NewTokenNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(ov::GetFilePath(nullptr));
    ASSERT_EQ(OV_InitializeA("KLSA_GA_8_2", 0), OV_OK);
  }
  void TearDown() override { OV_Finalize(); }
};

TEST_F(NewTokenNameTest, ControlCharactersAndBrokenUtf8AreRefused) {
  struct Case {
    std::string name;
    bool valid;
  };
  const Case cases[] = {
      {"Home\nWork", false},
      {"Red \x1B[31m", false},
      {"Tab\tName", false},
      {"Delete\x7F", false},
#ifdef _WIN32
      // The ANSI code page (1252 here): every byte a character, C1 controls refused.
      {"C1 \x81 control", false},
      {"B\xFCro 2", true},
      {"Euro \x80 sign", true},
  };
#else
      {"Bad \xFF byte", false},
      {"Overlong \xC0\xAF", false},
      {"Surrogate \xED\xA0\x80", false},
      {"Cut short \xE2\x82", false},
      {"Past \xF4\x90\x80\x80", false},
      {"C1 \xC2\x85 next line", false},
      {"C1 \xC2\x9B"
       "31m",
       false},
      {"Line\xE2\x80\xA8separator", false},
      // Invisible format characters: "Work" and "Wo<U+200B>rk" would look alike.
      {"Wo\xE2\x80\x8Brk", false},         // zero-width space
      {"Wo\xE2\x80\x8Drk", false},         // zero-width joiner
      {"Soft\xC2\xADhyphen", false},       // U+00AD
      {"rtl \xE2\x80\xAEgpj.exe", false},  // U+202E
      {"Isolate \xE2\x81\xA9", false},     // U+2069
      {"Word\xE2\x81\xA0joiner", false},   // U+2060
      {"Bom\xEF\xBB\xBF", false},          // U+FEFF
      {"Arabic \xD8\x9C mark", false},     // U+061C
      {"Tag \xF3\xA0\x81\x81", false},     // U+E0041
      {"Hiero \xF0\x93\x90\xBF", false},   // U+1343F, format since Unicode 15
      {"B\xC3\xBCro 2", true},
      {"\xE6\x9D\xB1\xE4\xBA\xAC token", true},
      {"Key \xF0\x9F\x94\x91", true},
      {"Next \xE2\x80\x90 hyphen", true},  // U+2010, a visible neighbour of the range
  };
#endif
  for (const Case& c : cases) {
    const char* name = c.name.c_str();
    EXPECT_EQ(ov::IsValidNewTokenName(name), c.valid) << c.name;
    EXPECT_EQ(OV_CreateInstanceA(name, 0), c.valid ? OV_OK : OV_ERR_INVALID_PARAM) << c.name;
    if (c.valid) {
      EXPECT_EQ(OV_DeleteToken(), OV_OK) << c.name;
    }
    // Without an open token a good name gets as far as the missing instance.
    EXPECT_EQ(OV_ChangeTokenNameA(name), c.valid ? OV_ERR_NO_INSTANCE : OV_ERR_INVALID_PARAM)
        << c.name;
    int32_t minimum = 0, maximum = 0, complexity = 0;
    EXPECT_EQ(OV_PerformAutoEnrollmentA("https://enroll.example", "user", "secret", nullptr, name,
                                        5, &minimum, &maximum, &complexity),
              c.valid ? OV_ERR_NO_INSTANCE : OV_ERR_INVALID_PARAM)
        << c.name;
    if (!c.valid) {
      EXPECT_EQ(OV_ImportLegacyTokenDataA(name), OV_ERR_INVALID_PARAM) << c.name;
    }
  }
}

TEST_F(NewTokenNameTest, WideNamesAreCheckedAfterConversion) {
  struct Case {
    std::wstring name;
    bool valid;
  };
  const Case cases[] = {
      {L"Home\nWork", false},
      {L"Escape \x1B", false},
      {std::wstring(L"Lone ") + static_cast<wchar_t>(0xD800) + L" half", false},
#ifdef _WIN32
      // Names go through the ANSI code page (1252 here): a character it lacks becomes "?".
      {L"B\u00FCro \u6771", false},
      {L"B\u00FCro", true},
#else
      {std::wstring(L"Past ") + static_cast<wchar_t>(0x110000), false},
      {L"B\u00FCro \u6771", true},
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OV_CreateInstanceW(c.name.c_str(), 0), c.valid ? OV_OK : OV_ERR_INVALID_PARAM);
    if (c.valid) {
      EXPECT_EQ(OV_DeleteToken(), OV_OK);
    }
    EXPECT_EQ(OV_ChangeTokenNameW(c.name.c_str()),
              c.valid ? OV_ERR_NO_INSTANCE : OV_ERR_INVALID_PARAM);
    // A value that is no character becomes "?", which the older name rule refuses.
    if (!c.valid) {
      EXPECT_NE(OV_ImportLegacyTokenDataW(c.name.c_str()), OV_OK);
    }
  }
}

TEST_F(NewTokenNameTest, StoredNamesStillOpen) {
  for (const std::string stored : {"Home\nWork \xFF", "Wo\xE2\x80\x8Brk"}) {
    ASSERT_TRUE(ov::test::MakeOv3Token(stored, "", INSTALLED_STATE));
    ASSERT_EQ(OV_CreateInstanceA(stored.c_str(), 0), OV_OK);
    OVTokenInfoA info{};
    ASSERT_EQ(OV_GetTokenInfoA(&info), OV_OK);
    EXPECT_EQ(std::string(info.m_szTokenName), stored);
    OV_FreeTokenInfoA(&info);
    EXPECT_EQ(OV_DeleteToken(), OV_OK);
  }
}

}  // namespace

namespace ov {
namespace {

// The escapes of the data file: \t \n \r \\ and \xHH.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == 't') {
      out += '\t';
    } else if (next == 'n') {
      out += '\n';
    } else if (next == 'r') {
      out += '\r';
    } else if (next == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += next;
    }
  }
  return out;
}

// One record of tests/data/api/input_validation.txt.
class InputRuleTest : public testing::TestWithParam<test::KeyValueRecord> {};

TEST_P(InputRuleTest, AnswersAsRecorded) {
  const test::KeyValueRecord& r = GetParam();
  std::string text = Unescape(r.Get("Text"));
  if (r.values.count("Repeat")) {
    const std::string unit = text;
    text.clear();
    for (int i = std::stoi(r.Get("Repeat")); i > 0; --i) text += unit;
  }
  const bool expected = r.Get("Valid") == "1";
  const std::string& rule = r.Get("Rule");
  if (rule == "TokenName") {
    EXPECT_EQ(IsValidTokenName(text.c_str()), expected);
  } else if (rule == "Url") {
    EXPECT_EQ(IsValidUrl(text), expected);
    if (r.values.count("After")) {
      EXPECT_EQ(text, r.Get("After"));
    }
  } else if (rule == "UserName") {
    EXPECT_EQ(IsValidUserName(text.c_str()), expected);
  } else if (rule == "EnrollmentPin") {
    EXPECT_EQ(IsValidEnrollmentPin(text.c_str()), expected);
  } else if (rule == "SoftPin") {
    EXPECT_EQ(IsValidSoftPin(text.c_str(), std::stoi(r.Get("Min")), std::stoi(r.Get("Max")),
                             std::stoi(r.Get("Complex"))),
              expected);
  } else if (rule == "AlphaNumeric") {
    EXPECT_EQ(IsAlphaNumeric(text.c_str()), expected);
  } else if (rule == "Numeric") {
    EXPECT_EQ(IsNumeric(text.c_str()), expected);
  } else if (rule == "Repeated") {
    EXPECT_EQ(IsRepeatedCharacter(text), expected);
  } else if (rule == "Sequence") {
    EXPECT_EQ(IsSequence(text), expected);
  } else if (rule == "TokenPin") {
    OVPolicy policy;
    policy.SetPolicyString(r.Get("Policy"));
    EXPECT_EQ(SetPin_Validation(policy, text.c_str()), expected ? 0 : 6002);
  } else {
    ADD_FAILURE() << "unknown rule " << rule;
  }
}

INSTANTIATE_TEST_SUITE_P(InputRules, InputRuleTest,
                         testing::ValuesIn(test::ReadKeyValueRecords("api/input_validation.txt")),
                         test::RecordName);

TEST(InputRuleFileTest, HasRecords) {
  EXPECT_GE(test::ReadKeyValueRecords("api/input_validation.txt").size(), 60u);
}

TEST(InputRuleTest, NullTextFailsEveryRule) {
  const OVPolicy policy;
  EXPECT_FALSE(IsAlphaNumeric(nullptr));
  EXPECT_FALSE(IsNumeric(nullptr));
  EXPECT_FALSE(IsValidUserName(nullptr));
  EXPECT_FALSE(IsValidEnrollmentPin(nullptr));
  EXPECT_FALSE(IsValidSoftPin(nullptr, 0, 8, 0));
  EXPECT_EQ(SetPin_Validation(policy, nullptr), 6002);
  EXPECT_EQ(SetPin_Validation_Level4(policy, nullptr), 6002);
  EXPECT_EQ(SetPin_Validation_Level5(policy, nullptr), 6002);
}

// The level functions apply their own rule only: the caller has checked length and characters.
TEST(InputRuleTest, LevelRulesOnTheirOwn) {
  OVPolicy level3;
  level3.SetPolicyString("9859");
  EXPECT_EQ(SetPin_Validation_Level4(level3, "aaaaaaaa"), 0);
  EXPECT_EQ(SetPin_Validation_Level4(level3, "a-b"), 6002);
  OVPolicy level5;
  level5.SetPolicyString("44688540");  // ALLOW_TRIVIAL_PIN 1, NUMERIC_ONLY_PIN 0
  EXPECT_EQ(SetPin_Validation_Level5(level5, "13579"), 0);
  EXPECT_EQ(SetPin_Validation_Level5(level5, "98765"), 6002);
}

}  // namespace
}  // namespace ov
