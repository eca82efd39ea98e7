// The record text and the protected items of format-3 token files.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "storage/OV3Properties.h"
#include "storage/OV3Util.h"
#include "support/StorageEnvironment.h"

namespace {

using ov::OV3Properties;

std::map<std::string, std::string> Raw(const OV3Properties& map) {
  // Re-serialising is the only way to see the map; it keeps tag order.
  std::map<std::string, std::string> out;
  const ov::SecureString text = map.serializeTLV();
  std::size_t p = 0;
  while (p + 5 <= text.size()) {
    const std::size_t length = std::stoul(std::string(text.view().substr(p + 2, 3)));
    out[std::string(text.view().substr(p, 2))] = std::string(text.view().substr(p + 5, length));
    p += 5 + length;
  }
  return out;
}

TEST(OV3PropertiesTest, RecordTextReaderEdges) {
  struct Case {
    const char* name;
    std::string text;
    bool ok;
    std::map<std::string, std::string> map;
  };
  const Case cases[] = {
      {"empty text", "", true, {}},
      {"zero length", "Y1  0", true, {{"Y1", ""}}},
      {"any order", "ZZ  3abcAA  2xy", true, {{"AA", "xy"}, {"ZZ", "abc"}}},
      {"last repeat wins", "AA  1xAA  1y", true, {{"AA", "y"}}},
      {"length without blanks", "AB002xy", true, {{"AB", "xy"}}},
      {"ends inside a tag", "A", false, {}},
      {"ends after the tag", "AB", false, {}},
      {"two length characters missing", "AB ", false, {}},
      {"last length character missing", "AB 1", true, {{"AB", ""}}},
      {"last value short", "AB  5abc", true, {{"AB", "abc"}}},
      {"entries before a fault stay", "AA  1xB", false, {{"AA", "x"}}},
      {"a sign in the length", "AB -1xx", false, {}},
  };
  for (const Case& c : cases) {
    OV3Properties map;
    EXPECT_EQ(map.deserializeTLV(c.text), c.ok) << c.name;
    EXPECT_EQ(Raw(map), c.map) << c.name;
  }
}

TEST(OV3PropertiesTest, ItemsAndTheirRecordText) {
  OV3Properties map;
  map.setInt("Z1", -5);
  map.setLong("Z2", 8);
  map.setBool("ZC", true);
  map.setText("Z6", "Token");
  map.setItem("Y1", {});
  const uint32_t counters[] = {0, 5, 4294967295u};
  map.setLongArray("ZF", counters);
  // Tags in byte order, lengths "%3d", values base64.
  EXPECT_EQ(map.serializeTLV().view(),
            "Y1  0Z1  4LTU=Z2  4OA==Z6  8VG9rZW4=ZC  8dHJ1ZQ==ZF 20MCw1LDQyOTQ5NjcyOTU=");
  OV3Properties back;
  ASSERT_TRUE(back.deserializeTLV(map.serializeTLV().view()));
  EXPECT_EQ(back.getInt("Z1"), -5);
  EXPECT_EQ(back.getLong("Z2"), 8);
  EXPECT_TRUE(back.getBool("ZC"));
  EXPECT_FALSE(back.getBool("Z6"));
  EXPECT_EQ(back.getText("Z6").view(), "Token");
  EXPECT_TRUE(back.has("Y1"));
  EXPECT_TRUE(back.getItem("Y1").empty());
  std::vector<uint32_t> read;
  EXPECT_EQ(back.getLongArray("ZF", &read), 3u);
  EXPECT_EQ(read, std::vector<uint32_t>(std::begin(counters), std::end(counters)));
  EXPECT_EQ(back.getText("??").view(), "");

  // 748 bytes make 1000 base64 characters: the length field cannot hold that.
  map.setItem("F3", std::vector<uint8_t>(747, 1));  // 996 characters
  EXPECT_FALSE(map.serializeTLV().empty());
  map.setItem("F3", std::vector<uint8_t>(748, 1));  // 1000
  EXPECT_TRUE(map.serializeTLV().empty());
}

class ProtectedItemsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ProtectedItemsTest, NameInformationAndSeedRoundTrip) {
  ov::test::StorageEnvironment env(GetParam());
  OVTokenInfoA info{};
  char name[] = "My Token";
  char policy[] = "17840159";
  info.m_szTokenName = name;
  info.m_szTokenPolicy = policy;
  info.m_nBadPinCount = 2;
  info.m_nTokenState = 3;
  info.m_nChallengeLength = 8;
  ov::TokenData data;
  for (int i = 0; i < 11; ++i) data.m_nCounters[i] = 100 + i;
  data.m_nPinUseCount = 7;

  OV3Properties map;
  ASSERT_TRUE(map.ov3StoreTokenInfo(info, data));
  const std::string seed = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";
  std::vector<uint8_t> buffer(145, 0);
  std::copy(seed.begin(), seed.end(), buffer.begin());
  ASSERT_TRUE(map.ov3StoreSeedForDrive("1234", buffer, true));

  OV3Properties read;
  ASSERT_TRUE(read.deserializeTLV(map.serializeTLV().view()));
  EXPECT_EQ(read.ov3GetTokenName().view(), "My Token");
  ov::TokenData loaded;
  ASSERT_TRUE(read.getOrvantiData(loaded));
  EXPECT_EQ(ov::TokenData::Text(loaded.m_szTokenName), "My Token");
  EXPECT_EQ(ov::TokenData::Text(loaded.m_szPolicy), "17840159");
  EXPECT_EQ(loaded.m_nState, 3u);
  EXPECT_EQ(loaded.m_nBadPinCount, 2);
  EXPECT_EQ(loaded.m_nPinUseCount, 7);
  EXPECT_EQ(loaded.m_nChallengeLen, 8u);
  EXPECT_EQ(loaded.m_nCounters[9], 109);
  EXPECT_EQ(loaded.m_nCounters[10], 0) << "only 10 counters are kept";
  EXPECT_NE(loaded.m_nPasscodeLength, 0u);

  const auto back = read.ov3GetSeedForDrive("1234", true);
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->size(), 127u) << "the stored record holds 127 bytes of the 145";
  EXPECT_EQ(std::string(back->begin(), back->begin() + 64), seed);
  EXPECT_EQ((*back)[64], 0);
  EXPECT_FALSE(read.ov3GetSeedForDrive("1235", true).has_value());
}

INSTANTIATE_TEST_SUITE_P(Drives, ProtectedItemsTest, ::testing::Values("internal", "usb-flash"),
                         [](const auto& info) { return info.param == std::string("internal") ? "Machine" : "Usb"; });

TEST(ProtectedItems, WrongPinCostsFiveDerivationsOfTheSecondKey) {
  ov::test::StorageEnvironment env;
  OV3Properties map;
  ASSERT_TRUE(map.ov3StoreTokenName("Token"));
  ASSERT_TRUE(map.ov3StoreSeed("1234", std::vector<uint8_t>(145, 'A'), true));
  const uint64_t before = ov::OV3Util::KekDerivationCount();
  EXPECT_FALSE(map.ov3GetSeed("9999", true).has_value());
  EXPECT_EQ(ov::OV3Util::KekDerivationCount() - before, 5u);
  const uint64_t right = ov::OV3Util::KekDerivationCount();
  EXPECT_TRUE(map.ov3GetSeed("1234", true).has_value());
  EXPECT_EQ(ov::OV3Util::KekDerivationCount() - right, 2u);
}

TEST(ProtectedItems, AFileMadeUnderAnotherDeviceTextReadsWithTheSlotThatHasIt) {
  ov::test::StorageEnvironment env;
  auto& slots = ov::OV3ConstantsUtil::getInstance();
  slots.setSlot(0, "00-AA-BB-CC-DD-EE-");  // as if written where slot 0 held this adapter
  OVTokenInfoA info{};
  char name[] = "Slot token";
  info.m_szTokenName = name;
  ov::TokenData data;
  data.m_nPinUseCount = 4;
  OV3Properties map;
  ASSERT_TRUE(map.ov3StoreTokenInfo(info, data));
  ASSERT_TRUE(map.ov3StoreSeed("1234", std::vector<uint8_t>(145, 'B'), true));

  slots.setMACAddress(4);
  slots.setSlot(2, "00-AA-BB-CC-DD-EE-");
  ov::TokenData loaded;
  ASSERT_TRUE(map.getOrvantiData(loaded));
  EXPECT_EQ(loaded.m_nPinUseCount, 4);
  EXPECT_TRUE(map.ov3GetSeed("1234", true).has_value());
  slots.setSlot(2, "");
  EXPECT_FALSE(map.getOrvantiData(loaded));
}

TEST(ProtectedItems, SeedKeysDependOnTheName) {
  ov::test::StorageEnvironment env;
  OV3Properties map;
  ASSERT_TRUE(map.ov3StoreTokenName("First name"));
  ASSERT_TRUE(map.ov3StoreSeed("1234", std::vector<uint8_t>(145, 'C'), true));
  ASSERT_TRUE(map.ov3StoreTokenName("Other name"));  // replaces only the name items
  EXPECT_FALSE(map.ov3GetSeed("1234", true).has_value());
}

}  // namespace
