#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "storage/OV3ConstantsUtil.h"
#include "support/FakePlatform.h"

namespace {

using Adapter = ov::platform::NetworkAdapters::Adapter;

TEST(OV3ConstantsUtilTest, FirstFourAdaptersFillSlotsOneToFour) {
  ov::test::FakeNetworkAdapters adapters;
  adapters.adapters = std::vector<Adapter>{
      {"A", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}, {"B", {0xFF, 1, 2, 3, 4, 5}},
      {"C", {0x0A}}, {"D", {1, 2, 3, 4, 5, 6, 7, 8}}, {"E", {9, 9, 9, 9, 9, 9}}};
  ov::platform::ScopedPlatform scope({.networkAdapters = &adapters});
  auto& list = ov::OV3ConstantsUtil::getInstance();
  list.setMACAddress(4);
  EXPECT_EQ(adapters.lastFamily, ov::platform::NetworkAdapters::Family::IPv4);
  EXPECT_EQ(list.getMACAddress(0), "{D41F7A26-9C3E-4B81-B5E2-7A0C93D64F18}");
  EXPECT_EQ(list.getMACAddress(1), "00-1A-2B-3C-4D-5E-");
  EXPECT_EQ(list.getMACAddress(2), "FF-01-02-03-04-05-");
  EXPECT_EQ(list.getMACAddress(3), "0A-");
  EXPECT_EQ(list.getMACAddress(4), "01-02-03-04-05-06-07-08-");
  EXPECT_EQ(list.getMACAddress(5), "");
  EXPECT_EQ(list.getMACAddress(static_cast<unsigned>(-1)), "");

  adapters.adapters = std::vector<Adapter>{{"A", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}};
  list.setMACAddress(6);
  EXPECT_EQ(adapters.lastFamily, ov::platform::NetworkAdapters::Family::IPv6);
  EXPECT_EQ(list.getMACAddress(2), "") << "slots without an adapter are emptied";
}

TEST(OV3ConstantsUtilTest, SlotZeroStaysWhenTheAdaptersCannotBeRead) {
  ov::test::FakeNetworkAdapters adapters;
  adapters.adapters = std::nullopt;
  ov::platform::ScopedPlatform scope({.networkAdapters = &adapters});
  auto& list = ov::OV3ConstantsUtil::getInstance();
  list.setMACAddress(4);
  EXPECT_EQ(list.getMACAddress(0), ov::DEVICE_SLOT0_ID);
  EXPECT_EQ(list.getMACAddress(1), "");
}

}  // namespace
