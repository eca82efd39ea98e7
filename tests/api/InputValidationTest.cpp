#include <gtest/gtest.h>

#include <string>

#include "api/InputValidation.h"

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

}  // namespace
