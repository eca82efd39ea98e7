#include <gtest/gtest.h>

#include "support/FakePlatform.h"

namespace {

using ov::platform::DriveIdentity;
using ov::platform::SysfsDriveIdentity;

TEST(DriveIdentityTest, KindOfEachFixtureDrive) {
  struct Case {
    const char* fixture;
    DriveIdentity::Kind kind;
  };
  for (const Case& c : {Case{"usb-flash", DriveIdentity::Kind::NotFixed},
                        Case{"usb-disk", DriveIdentity::Kind::UsbFixedDisk},
                        Case{"internal", DriveIdentity::Kind::FixedDisk},
                        Case{"network", DriveIdentity::Kind::NotFixed}}) {
    EXPECT_EQ(ov::test::FixtureDrive(c.fixture, "/x/orvanti")->KindOf("/x"), c.kind) << c.fixture;
  }
}

TEST(DriveIdentityTest, UsbFactsComeFromTheUsbDeviceAboveThePartition) {
  auto drive = ov::test::FixtureDrive("usb-flash", "/x/orvanti");
  const auto facts = drive->UsbDevice("/x");
  ASSERT_TRUE(facts.has_value());
  const std::array<uint8_t, 18> descriptor = {0x12, 0x01, 0x00, 0x02, 0, 0, 0, 0x40, 0x34,
                                              0x12, 0x78, 0x56, 0x26, 0x01, 1, 2, 3, 1};
  EXPECT_EQ(facts->descriptor, descriptor);
  EXPECT_EQ(facts->manufacturer, u"Example Corp");
  EXPECT_EQ(facts->product, u"Pocket Drive");
  EXPECT_EQ(facts->serial, u"4C530001230114116283");
  EXPECT_EQ(facts->speedMbps, 480);
  EXPECT_EQ(ov::test::FixtureDrive("usb-disk", "")->UsbDevice("/")->product,
            u"Portable Disk \u00e9dition");
  EXPECT_FALSE(ov::test::FixtureDrive("internal", "")->UsbDevice("/").has_value());
  EXPECT_FALSE(ov::test::FixtureDrive("network", "")->UsbDevice("/").has_value());
}

TEST(DriveIdentityTest, VolumeSerialFromFileSystemIds) {
  struct Case {
    const char* uuid;
    std::optional<uint32_t> serial;
  };
  for (const Case& c : {Case{"1A2B-3C4D", 0x1A2B3C4D},                      // FAT, exFAT
                        Case{"0123456789ABCDEF", 0x89ABCDEF},               // NTFS: low 32 bits
                        Case{"0f3c2b9e-55aa-4e3c-9d1e-3a7c2b1d4e5f", 0x0F3C2B9E},  // others: first 8
                        Case{"", std::nullopt}, Case{"12-34", std::nullopt},
                        Case{"zz2B-3C4D", std::nullopt}}) {
    EXPECT_EQ(SysfsDriveIdentity::VolumeSerialFromUuid(c.uuid), c.serial) << c.uuid;
  }
  EXPECT_EQ(ov::test::FixtureDrive("usb-disk", "")->VolumeSerial("/"), 0x89ABCDEFu);
  EXPECT_FALSE(ov::test::FixtureDrive("network", "")->VolumeSerial("/").has_value());
}

TEST(DriveIdentityTest, TheRealMachineAnswersWithoutFailing) {
  // This machine's own tree: no assumption about its drives, only that the walk is sound and the
  // test executable's own folder is found on some drive.
  ov::platform::SysfsDriveIdentity drive("/sys", std::make_unique<ov::platform::MountinfoLocator>());
  EXPECT_FALSE(drive.ExecutablePath().empty());
  drive.KindOf(drive.ExecutablePath());
  drive.UsbDevice(drive.ExecutablePath());
}

}  // namespace
