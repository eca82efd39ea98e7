#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/OVException.h"
#include "crypto/HmacSha256.h"
#include "encoding/Hex.h"
#include "platform/Platform.h"
#include "storage/OV3ConstantsUtil.h"
#include "storage/OV3Util.h"
#include "support/ReferenceCrypto.h"
#include "storage/TokenData.h"
#include "storage/Win_UsbFlash.h"
#include "support/FakePlatform.h"

namespace {

namespace util = ov::OV3Util;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> FromHex(std::string_view hex) {
  ov::SecureBytes bytes;
  EXPECT_TRUE(ov::HexDecode(hex, bytes)) << hex;
  return {bytes.begin(), bytes.end()};
}

#define EXPECT_FAILS(statement) EXPECT_THROW(statement, ov::OVException)

TEST(OV3UtilTest, ProtectedDataComesBackExactlyAndOnlyWithItsKey) {
  for (std::size_t n : {0u, 1u, 31u, 145u}) {
    std::vector<uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i * 7);
    const auto blob = util::CryptProtect(data, Bytes("Token name"));
    const auto back = util::CryptUnprotect(blob, Bytes("Token name"));
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.end()), data) << n;
    EXPECT_FAILS(util::CryptUnprotect(blob, Bytes("Token Name")));
  }
  util::Entropy entropy;
  EXPECT_FAILS(util::SetEntropy({}, entropy));
  EXPECT_FAILS(util::CryptProtect(Bytes("x"), {}));
  util::SetEntropy(Bytes("abc"), entropy);
  const auto blob = util::CryptProtectEntropy(Bytes("secret"), entropy);
  EXPECT_EQ(util::CryptUnprotectEntropy(blob, entropy).size(), 6u);
}

TEST(OV3UtilTest, HmacMustMatchInAllThirtyTwoBytes) {
  const auto key = Bytes("mac key");
  const auto data = Bytes("token information");
  const ov::SecureBytes right = ov::HmacSha256WithCounter(key, data, 1);
  std::vector<uint8_t> mac(right.begin(), right.end());
  EXPECT_NO_THROW(util::verifyHmac(key, data, mac));

  std::vector<uint8_t> longer = mac;
  longer.push_back(0);
  EXPECT_FAILS(util::verifyHmac(key, data, longer));
  EXPECT_FAILS(util::verifyHmac(key, data, std::span(mac).first(31)));
  mac[31] ^= 0x80;
  EXPECT_FAILS(util::verifyHmac(key, data, mac));
  const ov::SecureBytes counterZero = ov::HmacSha256WithCounter(key, data, 0);
  EXPECT_FAILS(util::verifyHmac(key, data, std::vector<uint8_t>(counterZero.begin(), counterZero.end())));
}

TEST(OV3UtilTest, SeedBufferAndRecord) {
  const std::vector<uint8_t> seed(145, 0xAB);
  const ov::SecureBytes buffer = util::prepereSeedBuff(seed);
  ASSERT_EQ(buffer.size(), 256u);
  EXPECT_EQ(buffer[0], 145);
  EXPECT_EQ(buffer[145], 0xAB);
  EXPECT_EQ(buffer[146], 0);
  EXPECT_FAILS(util::prepereSeedBuff(std::vector<uint8_t>(146, 1)));
  EXPECT_EQ(util::prepereSeedBuff({})[0], 0);

  // Only the first 128 bytes are stored: a 145-byte seed comes back as 127 bytes.
  EXPECT_EQ(util::extractSeedFromBuff(std::span(buffer).first(128)).size(), 127u);
  std::vector<uint8_t> record(128, 0);
  EXPECT_TRUE(util::extractSeedFromBuff(record).empty());
  record[0] = 5;
  record[1] = 'k';
  EXPECT_EQ(util::extractSeedFromBuff(record).size(), 5u);
  record[0] = 200;
  EXPECT_EQ(util::extractSeedFromBuff(std::span(record).first(10)).size(), 9u) << "stays inside";
  EXPECT_TRUE(util::extractSeedFromBuff({}).empty());
}

TEST(OV3UtilTest, RandomTextAndNumberLists) {
  const ov::SecureString text = util::getRandomString(16);
  ASSERT_EQ(text.size(), 16u);
  EXPECT_EQ(text.view().find_first_not_of(util::kRandomAlphabet), std::string_view::npos);

  const uint32_t values[] = {0, 5, 4294967295u};
  EXPECT_EQ(util::longArrayToString(values), "0,5,4294967295");
  EXPECT_EQ(util::longArrayToString({}), "");
  std::vector<uint32_t> read;
  EXPECT_EQ(util::longArrayFromString("0,5,4294967295", &read), 3u);
  EXPECT_EQ(read, std::vector<uint32_t>(std::begin(values), std::end(values)));
  EXPECT_EQ(util::longArrayFromString("", nullptr), 1u);
  EXPECT_EQ(util::longArrayFromString("7,,x", &read), 3u);
  EXPECT_EQ(read, (std::vector<uint32_t>{7, 0, 0}));
}

TEST(OV3UtilTest, AesCbc) {
  // NIST SP 800-38A F.2.1 and F.2.2, first block.
  const auto key = FromHex("2B7E151628AED2A6ABF7158809CF4F3C");
  const auto iv = FromHex("000102030405060708090A0B0C0D0E0F");
  const auto plain = FromHex("6BC1BEE22E409F96E93D7E117393172A");
  const ov::SecureBytes cipher = util::aesCbc(iv, key, plain, true, false);
  EXPECT_EQ(ov::HexEncode(cipher), "7649ABAC8119B246CEE98E9B12E9197D");
  EXPECT_EQ(util::aesCbc(iv, key, cipher, false, false).size(), 16u);

  const ov::SecureBytes padded = util::aesCbc(iv, key, plain, true, true);
  EXPECT_EQ(padded.size(), 32u);
  const ov::SecureBytes back = util::aesCbc(iv, key, padded, false, true);
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.end()), plain);
  EXPECT_TRUE(util::aesCbc(iv, key, cipher, false, true).empty()) << "bad padding gives nothing";
}

class DeviceUniqueTest : public ::testing::Test {
 protected:
  void TearDown() override { ov::Win_UsbFlash::ResetCaches(); }
};

TEST_F(DeviceUniqueTest, MachineDriveUsesTheSlotsUsbDriveItsSerial) {
  ov::test::FakeNetworkAdapters adapters;
  adapters.adapters = std::vector<ov::platform::NetworkAdapters::Adapter>{{"eth0", {0, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}}};
  auto internal = ov::test::FixtureDrive("internal", "/opt/orvanti/orvanti");
  {
    ov::platform::ScopedPlatform scope({.networkAdapters = &adapters, .driveIdentity = internal.get()});
    ov::Win_UsbFlash::ResetCaches();
    ov::OV3ConstantsUtil::getInstance().setMACAddress(4);
    EXPECT_EQ(util::GetDeviceUnique(0), ov::DEVICE_SLOT0_ID);
    EXPECT_EQ(util::GetDeviceUnique(1), "00-1A-2B-3C-4D-5E-");
    EXPECT_EQ(util::GetDeviceUnique(2), "");
    EXPECT_EQ(util::GetDeviceUnique(5), "");
    EXPECT_EQ(util::GetDeviceUnique(-1), "");

    // H(s, i) and the key-encryption key, worked out with the tests' own cryptography.
    namespace ref = ov::test::ref;
    const std::string s = std::string("abc") + ov::DEVICE_SLOT0_ID;
    EXPECT_EQ(ov::HexEncode(util::getSHA256Key("abc", 0)), ov::HexEncode(ref::Sha256(ref::AsBytes(s))));

    const std::string saltText = std::string("a1a2") + "00-1A-2B-3C-4D-5E-" + "a0" + "00-1A-2B-3C-4D-5E-";
    const ref::Bytes salt = ref::Sha256(ref::AsBytes(saltText));
    const ref::Bytes kek = ref::Pbkdf2Sha256("1234", salt, 10000, 32);
    EXPECT_EQ(ov::HexEncode(util::getKEKBuff("a0", "a1", "a2", Bytes("1234"), 1)), ov::HexEncode(kek));
  }
  auto flash = ov::test::FixtureDrive("usb-flash", (ov::test::PrivateHome::Root() / "usb/orvanti").string());
  std::filesystem::create_directories(ov::test::PrivateHome::Root() / "usb");
  ov::platform::ScopedPlatform scope({.driveIdentity = flash.get()});
  ov::Win_UsbFlash::ResetCaches();
  for (int slot : {0, 3, 9}) EXPECT_EQ(util::GetDeviceUnique(slot), "4C530001230114116283") << slot;
}

}  // namespace

namespace {

// Known UTC dates, from leap days to past 2038 and 2100 (not a leap year); fields past their range
// carry over as the C library's timegm does.
TEST(SystemTimeTest, UtcDatesBothWays) {
  struct Case {
    int64_t unix;
    uint16_t year, month, day, hour, minute, second, weekday;
  };
  const Case cases[] = {
      {0, 1970, 1, 1, 0, 0, 0, 4},
      {951868799, 2000, 2, 29, 23, 59, 59, 2},
      {1796941805, 2026, 12, 10, 22, 30, 5, 4},
      {2147483648, 2038, 1, 19, 3, 14, 8, 2},
      {4107542400, 2100, 3, 1, 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    const ov::SystemTime t = ov::SystemTimeFromUnix(c.unix);
    EXPECT_EQ(std::vector<int>({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek}),
              std::vector<int>({c.year, c.month, c.day, c.hour, c.minute, c.second, c.weekday}))
        << c.unix;
    EXPECT_EQ(ov::UnixFromSystemTime(t), c.unix);
  }
  auto date = [](int y, int m, int d) {
    ov::SystemTime t;
    t.wYear = static_cast<uint16_t>(y), t.wMonth = static_cast<uint16_t>(m), t.wDay = static_cast<uint16_t>(d);
    return t;
  };
  EXPECT_EQ(ov::UnixFromSystemTime(date(2026, 4, 31)), 1777593600) << "31 April is 1 May";
  EXPECT_EQ(ov::UnixFromSystemTime(date(2026, 13, 1)), 1798761600) << "month 13 is January";
  EXPECT_EQ(ov::UnixFromSystemTime(date(2026, 3, 0)), 1772236800) << "day 0 is the month before's last";
}

TEST(PinExpiryTest, MonthsRollIntoYearsAndShortMonthsEndEarly) {
  struct Case {
    const char* name;
    ov::SystemTime changed;
    uint32_t months;
    ov::SystemTime due;  // the first moment the PIN counts as expired
  };
  auto at = [](int y, int m, int d) {
    ov::SystemTime t;
    t.wYear = static_cast<uint16_t>(y), t.wMonth = static_cast<uint16_t>(m), t.wDay = static_cast<uint16_t>(d);
    t.wHour = 12;
    return t;
  };
  const Case cases[] = {
      {"plain", at(2026, 3, 15), 2, at(2026, 5, 15)},
      {"into the next year", at(2026, 11, 10), 3, at(2027, 2, 10)},
      {"31st into a 30-day month", at(2026, 1, 31), 3, at(2026, 4, 30)},
      {"29 February in a common year", at(2024, 2, 29), 12, at(2025, 2, 28)},
      {"31 January into a leap February", at(2028, 1, 31), 1, at(2028, 2, 29)},
  };
  for (const Case& c : cases) {
    const int64_t due = ov::UnixFromSystemTime(c.due);
    EXPECT_FALSE(ov::IsPinExpired(c.changed, c.months, due - 1)) << c.name;
    EXPECT_TRUE(ov::IsPinExpired(c.changed, c.months, due)) << c.name;
  }
  EXPECT_FALSE(ov::IsPinExpired(at(2000, 1, 1), 0, ov::UnixFromSystemTime(at(2030, 1, 1)))) << "0 = never";
}

}  // namespace
