// Drive types, the flash identity record, the drive key and the storage folders, over the fake
// sysfs trees of tests/data/platform/sysfs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/ReferenceCrypto.h"
#include "ov/ov_api.h"
#include "platform/Platform.h"
#include "storage/OVEngineStore.h"
#include "storage/StoragePaths.h"
#include "storage/Win_UsbFlash.h"
#include "support/FakePlatform.h"
#include "support/StorageEnvironment.h"

namespace {

using ov::FlashId;
using ov::Win_UsbFlash;
namespace fs = std::filesystem;

// Installs one fixture drive as the drive the program runs from.
class OnDrive {
 public:
  explicit OnDrive(const std::string& fixture)
      : m_exeFolder(ov::test::PrivateHome::Root() / ("run-" + fixture)),
        m_drive(ov::test::FixtureDrive(fixture, (m_exeFolder / "orvanti").string())),
        m_scope({.driveIdentity = m_drive.get()}) {
    fs::create_directories(m_exeFolder);
    Win_UsbFlash::ResetCaches();
  }
  ~OnDrive() { Win_UsbFlash::ResetCaches(); }
  const fs::path& ExeFolder() const { return m_exeFolder; }

 private:
  fs::path m_exeFolder;
  std::unique_ptr<ov::platform::DriveIdentity> m_drive;
  ov::platform::ScopedPlatform m_scope;
};

void PutUtf16(FlashId& record, std::size_t offset, const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    record[offset + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    record[offset + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}

TEST(Win_UsbFlashTest, DriveTypeOfEachFixture) {
  struct Case {
    const char* fixture;
    int type;
  };
  for (const Case& c : {Case{"usb-flash", ov::DRIVE_USBFLASH}, Case{"usb-disk", ov::DRIVE_USBDRIVE},
                        Case{"internal", ov::DRIVE_MACHINE}, Case{"network", ov::DRIVE_MACHINE}}) {
    OnDrive drive(c.fixture);
    EXPECT_EQ(Win_UsbFlash::GetActiveDriveType(), c.type) << c.fixture;
  }
  OnDrive drive("usb-disk");
  EXPECT_EQ(Win_UsbFlash::GetUSBDiskType(""), ov::DRIVE_UNDETERMINED);
}

// The program's own path cannot be read (no /proc): nothing says it runs from a USB drive, even
// when every path answers as one.
TEST(Win_UsbFlashTest, AnUnknownProgramFolderIsTheMachineDrive) {
  const auto drive = ov::test::FixtureFacts("usb-flash", "");
  ov::platform::ScopedPlatform scope({.driveIdentity = drive.get()});
  Win_UsbFlash::ResetCaches();
  EXPECT_EQ(Win_UsbFlash::GetActiveDriveType(), ov::DRIVE_MACHINE);
  Win_UsbFlash::ResetCaches();
}

TEST(Win_UsbFlashTest, FlashIdentityRecordByteForByte) {
  OnDrive drive("usb-flash");
  FlashId expected{};
  const uint8_t head[] = {0x1A, 0x2B, 0x3C, 0x4D,  // volume serial, most significant byte first
                          0x12, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x40, 0x12, 0x34,  // bcdUSB,
                          0x56, 0x78, 0x01, 0x26, 0x01, 0x02, 0x03, 0x01};  // ids big-endian
  std::copy(std::begin(head), std::end(head), expected.begin());
  expected[22] = 40;  // 20 UTF-16 characters
  PutUtf16(expected, 24, u"4C530001230114116283");
  expected[544] = 24;
  PutUtf16(expected, 546, u"Example Corp");
  expected[1066] = 24;
  PutUtf16(expected, 1068, u"Pocket Drive");

  FlashId record;
  record.fill(0xEE);
  ASSERT_EQ(Win_UsbFlash::BuildFlashUniqueNumber("/any", record, false), 0);
  EXPECT_EQ(record, expected);
  EXPECT_EQ(Win_UsbFlash::GetFlashSerial(), u"4C530001230114116283");

  ASSERT_EQ(Win_UsbFlash::BuildFlashUniqueNumber("/any", record, true), 0);
  std::fill_n(expected.begin() + 4, 18, 0);  // format-3 files ignore the descriptor
  EXPECT_EQ(record, expected);
}

TEST(Win_UsbFlashTest, LegacyRecordOnASuperSpeedPortTakesTheUsb2Descriptor) {
  OnDrive drive("usb-disk");
  FlashId record{};
  ASSERT_EQ(Win_UsbFlash::BuildFlashUniqueNumber("/any", record, false), 0);
  EXPECT_EQ(record[0], 0x89);  // NTFS serial, low 32 bits
  EXPECT_EQ(record[6], 0x02);  // bcdUSB 0x0210 instead of 0x0300
  EXPECT_EQ(record[7], 0x10);
  EXPECT_EQ(record[11], 64);               // bMaxPacketSize0 64 instead of 9
  EXPECT_EQ(record[1066], 2 * 21);         // "Portable Disk édition"
  EXPECT_EQ(record[1068 + 2 * 14], 0xE9);  // é in UTF-16LE
  EXPECT_EQ(record[1068 + 2 * 14 + 1], 0x00);
}

TEST(Win_UsbFlashTest, MachineDrivesHaveNoFlashIdentity) {
  for (const char* fixture : {"internal", "network"}) {
    OnDrive drive(fixture);
    FlashId record{};
    EXPECT_EQ(Win_UsbFlash::BuildFlashUniqueNumber("/any", record, true), -1) << fixture;
    ov::SecureBytes data = {1, 2, 3};
    EXPECT_FALSE(Win_UsbFlash::Lock2Flash(data, "KLSA_GA_8_2", true)) << fixture;
    EXPECT_EQ(data.size(), 3u);
  }
}

// The drive key worked out independently: SHA-1 over the unique ID and the record, stretched
// into a 3DES key by hashing it XORed into 64 bytes of 0x36 and of 0x5C, then 3DES-CBC with a
// zero IV and PKCS#5 padding.
std::vector<uint8_t> ReferenceSeal(const std::string& uniqueId, const FlashId& record,
                                   const std::vector<uint8_t>& plain) {
  auto sha1 = [](const std::vector<uint8_t>& data) { return ov::test::ref::Sha1(data); };
  std::vector<uint8_t> material(uniqueId.size() + record.size());
  std::copy(uniqueId.begin(), uniqueId.end(), material.begin());
  std::copy(record.begin(), record.end(), material.begin() + static_cast<long>(uniqueId.size()));
  const std::vector<uint8_t> hash = sha1(material);
  std::vector<uint8_t> inner(64, 0x36), outer(64, 0x5C);
  for (int i = 0; i < 20; ++i) inner[i] ^= hash[i], outer[i] ^= hash[i];
  std::vector<uint8_t> key = sha1(inner);
  const std::vector<uint8_t> second = sha1(outer);
  key.insert(key.end(), second.begin(), second.end());

  const uint8_t iv[8] = {};
  return ov::test::ref::TripleDesCbcEncrypt(key, iv, plain);
}

TEST(Win_UsbFlashTest, DriveKeySealsToTheDrive) {
  const std::vector<uint8_t> plain = {'s', 'e', 'e', 'd', ' ', 'r', 'e', 'c', 'o', 'r', 'd', 0};
  std::vector<uint8_t> sealedHere;
  {
    OnDrive drive("usb-flash");
    FlashId record{};
    ASSERT_EQ(Win_UsbFlash::BuildFlashUniqueNumber("/any", record, true), 0);
    ov::SecureBytes data(plain.begin(), plain.end());
    ASSERT_TRUE(Win_UsbFlash::Lock2Flash(data, "KLSA_GA_8_2", true));
    sealedHere.assign(data.begin(), data.end());
    EXPECT_EQ(sealedHere, ReferenceSeal("KLSA_GA_8_2", record, plain));
    EXPECT_TRUE(fs::is_directory(drive.ExeFolder() / "KLSA_GA_8_2"));

    ov::SecureBytes back;
    ASSERT_TRUE(Win_UsbFlash::FlashUnlock(sealedHere, back, "KLSA_GA_8_2", true));
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.end()), plain);
    EXPECT_FALSE(
        Win_UsbFlash::FlashUnlock(std::span(sealedHere).first(8), back, "KLSA_GA_8_2", true));
    // A legacy file on a high-speed port is keyed with the same descriptor it reports.
    ov::SecureBytes legacy(plain.begin(), plain.end());
    ASSERT_TRUE(Win_UsbFlash::Lock2Flash(legacy, "KLSA_GA_8_2", false));
    EXPECT_NE(std::vector<uint8_t>(legacy.begin(), legacy.end()), sealedHere);
  }
  {
    OnDrive other("usb-disk");  // another volume serial and other strings
    ov::SecureBytes back;
    const bool opened = Win_UsbFlash::FlashUnlock(sealedHere, back, "KLSA_GA_8_2", true);
    EXPECT_FALSE(opened && std::equal(back.begin(), back.end(), plain.begin(), plain.end()));
  }
}

TEST(StoragePathsTest, MachineDriveUsesTheUserDataFolderAndUsbTheProgramFolder) {
  {
    OnDrive drive("internal");
    const std::string path = ov::GetFilePath(ov::kTokenFolderOv3);
    const fs::path home = ov::test::PrivateHome::DataHome();
    EXPECT_EQ(path, (home / "Kelsa" / "Orvanti" / "KELSA_TOKEN_OV3").string());
    for (const fs::path& folder :
         {home / "Kelsa", home / "Kelsa" / "Orvanti", home / "Kelsa" / "Orvanti" / "KELSA_TOKEN_OV3"}) {
      EXPECT_TRUE(fs::is_directory(folder)) << folder;
#ifndef _WIN32
      struct stat st {};
      ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
      EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
#endif
    }
    EXPECT_EQ(ov::GetFilePath(nullptr), (home / "Kelsa" / "Orvanti").string());
  }
  {
    OnDrive drive("usb-flash");
    EXPECT_EQ(ov::GetFilePath(ov::kTokenFolderLegacy),
              (drive.ExeFolder() / "KLSA_GA_8_2").string());
    EXPECT_TRUE(fs::is_directory(drive.ExeFolder() / "KLSA_GA_8_2"));
  }
}

}  // namespace
