// The front ends' shared rules: the proposed token name and the string table's formatting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/StringTable.h"
#include "frontend/TokenNaming.h"

namespace {

TEST(TokenNamingTest, ProposesOneAboveTheHighestNumberUsed) {
  struct Case {
    std::vector<std::string> names;
    const char* proposed;
  };
  const Case cases[] = {
      {{}, "Kelsa Orvanti"},
      {{"My token"}, "Kelsa Orvanti"},
      {{"Kelsa Orvanti"}, "Kelsa Orvanti 2"},
      {{"Kelsa Orvanti", "Kelsa Orvanti 3"}, "Kelsa Orvanti 4"},
      {{"Kelsa Orvanti 7", "Kelsa Orvanti 2"}, "Kelsa Orvanti 8"},
      {{"Old Kelsa Orvanti 5"}, "Kelsa Orvanti 6"},   // the base name may stand anywhere
      {{"Kelsa Orvanti x"}, "Kelsa Orvanti"},        // no number after it
      {{"kelsa orvanti 4"}, "Kelsa Orvanti"},        // letter case counts
      {{"Kelsa Orvanti 99999999999999999999"}, "Kelsa Orvanti"},  // too large to count on
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ov::frontend::GetUniqueTokenName(c.names), c.proposed) << c.proposed;
  }
}

TEST(StringTableTest, FormatsItsPlaceholders) {
  EXPECT_EQ(ov::frontend::LoadOVString(209, 4, 10), "Attempts: 4/10.");
  EXPECT_EQ(ov::frontend::LoadOVString(186, 2, 5),
            "Attempt: 2/5. After 5 unsuccessful attempts, your token will need to be activated again.");
  EXPECT_EQ(ov::frontend::LoadOVString(206, 2), "Try again after 2 minute(s).");
  EXPECT_STREQ(ov::frontend::OVString(204), "The Orvanti client application is already running.");
  EXPECT_STREQ(ov::frontend::OVString(9999), "");
}

}  // namespace
