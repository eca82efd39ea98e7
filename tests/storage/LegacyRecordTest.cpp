// Legacy token files: both record layouts byte for byte, their envelopes, the key-and-value
// reader, and the move of a legacy token into a format-3 file at its first right PIN.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <filesystem>
#include <vector>

#include "platform/Platform.h"
#include "storage/LegacyRecord.h"
#include "storage/Ov80Profile.h"
#include "storage/TokenFile.h"
#include "storage/Win_UsbFlash.h"
#include "support/StorageEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

namespace fs = std::filesystem;
using ov::TokenData;
using ov::test::FixtureStore;

// A plaintext laid out by hand at the offsets of the file format, independent of the reader.
struct Plain {
  explicit Plain(std::size_t size) : bytes(size, 0) {}
  Plain& U32(std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return *this;
  }
  Plain& Text(std::size_t at, std::string_view text) {
    std::memcpy(bytes.data() + at, text.data(), text.size());
    return *this;
  }
  std::span<const uint8_t> span(std::size_t n) const { return {bytes.data(), n}; }
  std::vector<uint8_t> bytes;
};

std::string_view T(const auto& field) { return TokenData::Text(field); }

Plain LegacyFixture() {
  Plain p(ov::kLegacyRecordSize);
  p.Text(0, "8.3.1").U32(32, 3).U32(36, 8).U32(40, 2).U32(44, 17);
  p.bytes[48] = 1;
  p.U32(52, 0x12345678);
  const uint16_t time[8] = {2021, 7, 3, 24, 13, 45, 59, 999};
  for (int i = 0; i < 8; ++i) p.bytes[56 + 2 * i] = time[i] & 0xFF, p.bytes[57 + 2 * i] = time[i] >> 8;
  p.U32(88, 6);
  for (int i = 0; i < 10; ++i) p.U32(92 + 4 * i, 1000 + i);
  p.Text(132, "SERIAL-1").Text(196, "0A0B0C").Text(260, "ENC-OTP").Text(405, "ENC-TRANS");
  p.Text(550, "17840159").Text(582, "HmacSHA256").Text(614, "Legacy token").Text(692, "ENC-MAC");
  return p;
}

TEST(LegacyRecordTest, LegacyLayoutIsReadFieldForField) {
  const Plain p = LegacyFixture();
  TokenData r;
  r.m_nCounters[10] = 77;
  r.m_bTransactionKeySet = 1;
  r.m_bSoftPinRequired = 1;
  r.m_nChallengeLen = 9;
  ASSERT_TRUE(ov::CopyOVData(r, p.span(p.bytes.size())));
  EXPECT_EQ(T(r.m_szVersion), "8.3.1");
  EXPECT_EQ(r.m_nState, 3u);
  EXPECT_EQ(r.m_nPasscodeLength, 8u);
  EXPECT_EQ(r.m_nBadPinCount, 2);
  EXPECT_EQ(r.m_nPinUseCount, 17);
  EXPECT_EQ(r.m_bKeySet, 1);
  EXPECT_EQ(r.m_nLockUntil, 0x12345678);
  EXPECT_EQ(r.m_PinChangeTime.wYear, 2021);
  EXPECT_EQ(r.m_PinChangeTime.wDayOfWeek, 3);
  EXPECT_EQ(r.m_PinChangeTime.wDay, 24);
  EXPECT_EQ(r.m_PinChangeTime.wMilliseconds, 999);
  EXPECT_EQ(r.m_nPinExpiryMonths, 6u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(r.m_nCounters[i], 1000 + i);
  EXPECT_EQ(T(r.m_szSerialNo), "SERIAL-1");
  EXPECT_EQ(T(r.m_szKeyMaterial), "0A0B0C");
  EXPECT_EQ(T(r.m_szEncOtpKey), "ENC-OTP");
  EXPECT_EQ(T(r.m_szEncTransactionKey), "ENC-TRANS");
  EXPECT_EQ(T(r.m_szPolicy), "17840159");
  EXPECT_EQ(T(r.m_szAlgorithm), "HmacSHA256");
  EXPECT_EQ(T(r.m_szTokenName), "Legacy token");
  EXPECT_EQ(T(r.m_szEncMacKey), "ENC-MAC");
  // Fields the layout has no place for keep their values.
  EXPECT_EQ(r.m_nCounters[10], 77);
  EXPECT_EQ(r.m_bTransactionKeySet, 1);
  EXPECT_EQ(r.m_bSoftPinRequired, 1);
  EXPECT_EQ(r.m_nChallengeLen, 9u);

  // Written back, it is the same bytes.
  ov::LegacyRecord out;
  ov::CopyFromOVData(out, r);
  EXPECT_EQ(std::vector<uint8_t>(out.bytes.begin(), out.bytes.end()), p.bytes);
}

TEST(LegacyRecordTest, SavedAndReadBackGivesEveryFieldOfTheLayout) {
  TokenData r;
  TokenData::SetText(r.m_szVersion, "8.3.1");
  r.m_nState = 3;
  r.m_nPasscodeLength = 6;
  r.m_nBadPinCount = -4;
  r.m_nPinUseCount = 123456;
  r.m_bKeySet = 1;
  r.m_nLockUntil = -5;
  r.m_PinChangeTime = ov::SystemTimeFromUnix(1'600'000'000);
  r.m_nPinExpiryMonths = 0xFFFFFFFF;
  for (int i = 0; i < 11; ++i) r.m_nCounters[i] = -1 - i * 1000;
  // Each text as long as the narrower of its two fields allows.
  TokenData::SetText(r.m_szSerialNo, std::string(63, 'S'));
  TokenData::SetText(r.m_szKeyMaterial, std::string(63, 'K'));
  TokenData::SetText(r.m_szEncOtpKey, std::string(144, 'O'));
  TokenData::SetText(r.m_szEncTransactionKey, std::string(144, 'T'));
  TokenData::SetText(r.m_szPolicy, std::string(31, '9'));
  TokenData::SetText(r.m_szAlgorithm, std::string(31, 'A'));
  TokenData::SetText(r.m_szTokenName, std::string(64, 'N'));
  TokenData::SetText(r.m_szEncMacKey, std::string(144, 'M'));
  r.m_bTransactionKeySet = 1;
  r.m_bSoftPinRequired = 1;

  ov::LegacyRecord bytes;
  ov::CopyFromOVData(bytes, r);
  for (std::size_t at : {49u, 50u, 51u}) EXPECT_EQ(bytes.bytes[at], 0) << at;
  for (std::size_t at = 72; at < 88; ++at) EXPECT_EQ(bytes.bytes[at], 0) << at;
  for (std::size_t at = 837; at < 876; ++at) EXPECT_EQ(bytes.bytes[at], 0) << at;

  TokenData back;
  ASSERT_TRUE(ov::CopyOVData(back, bytes.bytes));
  EXPECT_EQ(T(back.m_szVersion), T(r.m_szVersion));
  EXPECT_EQ(back.m_nState, r.m_nState);
  EXPECT_EQ(back.m_nPasscodeLength, r.m_nPasscodeLength);
  EXPECT_EQ(back.m_nBadPinCount, r.m_nBadPinCount);
  EXPECT_EQ(back.m_nPinUseCount, r.m_nPinUseCount);
  EXPECT_EQ(back.m_bKeySet, r.m_bKeySet);
  EXPECT_EQ(back.m_nLockUntil, r.m_nLockUntil);
  EXPECT_EQ(std::memcmp(&back.m_PinChangeTime, &r.m_PinChangeTime, sizeof r.m_PinChangeTime), 0);
  EXPECT_EQ(back.m_nPinExpiryMonths, r.m_nPinExpiryMonths);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(back.m_nCounters[i], r.m_nCounters[i]) << i;
  EXPECT_EQ(T(back.m_szSerialNo), T(r.m_szSerialNo));
  EXPECT_EQ(T(back.m_szKeyMaterial), T(r.m_szKeyMaterial));
  EXPECT_EQ(T(back.m_szEncOtpKey), T(r.m_szEncOtpKey));
  EXPECT_EQ(T(back.m_szEncTransactionKey), T(r.m_szEncTransactionKey));
  EXPECT_EQ(T(back.m_szPolicy), T(r.m_szPolicy));
  EXPECT_EQ(T(back.m_szAlgorithm), T(r.m_szAlgorithm));
  EXPECT_EQ(T(back.m_szTokenName), T(r.m_szTokenName));
  EXPECT_EQ(T(back.m_szEncMacKey), T(r.m_szEncMacKey));
  // Not kept by the layout.
  EXPECT_EQ(back.m_nCounters[10], 0);
  EXPECT_EQ(back.m_bTransactionKeySet, 0);
  EXPECT_EQ(back.m_bSoftPinRequired, 0);
}

TEST(LegacyRecordTest, TextsAreCutToTheirFieldWhateverTheInputHolds) {
  // Every byte of the record set: no text has a terminator inside its field.
  Plain p(ov::kLegacyRecordSize);
  std::fill(p.bytes.begin(), p.bytes.end(), 'X');
  TokenData r;
  ASSERT_TRUE(ov::CopyOVData(r, p.bytes));
  EXPECT_EQ(T(r.m_szVersion).size(), 32u);
  EXPECT_EQ(T(r.m_szTokenName).size(), 64u) << "78 bytes into a 65-byte field";
  EXPECT_EQ(T(r.m_szEncOtpKey).size(), 145u);
  EXPECT_EQ(T(r.m_szPolicy).size(), 32u);

  // A 145-character protected key is written as 144 and a terminator.
  ov::LegacyRecord out;
  ov::CopyFromOVData(out, r);
  EXPECT_EQ(out.bytes[260 + 144], 0);
  EXPECT_EQ(out.bytes[260 + 143], 'X');
  // A 64-character serial number has room for 63 in the 64-byte legacy field.
  EXPECT_EQ(out.bytes[132 + 63], 0);
  EXPECT_EQ(out.bytes[132 + 62], 'X');
}

Plain Record820() {
  Plain p(ov::kLegacy820ReadSize);
  p.Text(0, "8.2.0 build 17").U32(32, 3).U32(36, 6).U32(40, 1).U32(44, 5);
  p.bytes[48] = 1;
  p.U32(52, 12);
  for (int i = 0; i < 10; ++i) p.U32(56 + 4 * i, 500 + i);
  p.Text(96, "SN-820").Text(160, "KM").Text(224, "OTP-820").Text(369, "TRN-820");
  p.Text(514, "17840159").Text(546, "HmacSHA256").Text(578, "Old token").Text(656, "MAC-820");
  return p;
}

TEST(LegacyRecordTest, Record820IsConvertedWithNoLockAndANewPinChangeTime) {
  const Plain p = Record820();
  TokenData r;
  r.m_nLockUntil = 999;
  r.m_nCounters[10] = 3;
  ASSERT_TRUE(ov::ConvertLegacyOVData(r, p.bytes, 1'700'000'000));
  EXPECT_EQ(T(r.m_szVersion), "8.3.1");
  EXPECT_EQ(r.m_nState, 3u);
  EXPECT_EQ(r.m_nPasscodeLength, 6u);
  EXPECT_EQ(r.m_nBadPinCount, 1);
  EXPECT_EQ(r.m_nPinUseCount, 5);
  EXPECT_EQ(r.m_bKeySet, 1);
  EXPECT_EQ(r.m_nPinExpiryMonths, 12u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(r.m_nCounters[i], 500 + i);
  EXPECT_EQ(r.m_nCounters[10], 3);
  EXPECT_EQ(T(r.m_szSerialNo), "SN-820");
  EXPECT_EQ(T(r.m_szKeyMaterial), "KM");
  EXPECT_EQ(T(r.m_szEncOtpKey), "OTP-820");
  EXPECT_EQ(T(r.m_szEncTransactionKey), "TRN-820");
  EXPECT_EQ(T(r.m_szPolicy), "17840159");
  EXPECT_EQ(T(r.m_szAlgorithm), "HmacSHA256");
  EXPECT_EQ(T(r.m_szTokenName), "Old token");
  EXPECT_EQ(T(r.m_szEncMacKey), "MAC-820");
  EXPECT_EQ(r.m_nLockUntil, 0);
  EXPECT_EQ(ov::UnixFromSystemTime(r.m_PinChangeTime), 1'700'000'000);
}

// Only the first five characters decide the layout; the token name lies at 578 in an 8.2.0
// record and at 614 in a legacy one, so the name read tells which layout was used.
TEST(LegacyRecordTest, FirstFiveCharactersChooseTheLayout) {
  ov::test::StorageEnvironment env;
  const struct {
    const char* version;
    bool is820;
  } cases[] = {{"8.2.0", true},  {"8.2.0.1", true}, {"8.2.0abc", true}, {"8.2.1", false},
               {"9.2.0", false}, {"8.3.0", false},  {"8.2", false},     {"", false},
               {"8.2.", false},  {".2.0", false},   {"8,2.0", false}};
  for (const auto& c : cases) {
    Plain p(ov::kLegacyRecordSize);
    p.Text(0, c.version).Text(578, "name at 578").Text(614, "name at 614").U32(32, 3);
    TokenData r;
    ASSERT_TRUE(ov::ReadLegacyPlaintext(p.bytes, r)) << c.version;
    EXPECT_EQ(T(r.m_szTokenName), c.is820 ? "name at 578" : "name at 614") << c.version;
    EXPECT_EQ(ov::IsLegacy820Record(p.bytes), c.is820) << c.version;
  }
}

TEST(LegacyRecordTest, PlaintextShorterThanItsLayoutIsRefused) {
  ov::test::StorageEnvironment env;
  const Plain legacy = LegacyFixture();
  const Plain old = Record820();
  const struct {
    const Plain& plain;
    std::size_t length;
    bool readable;
  } cases[] = {{legacy, 876, true}, {legacy, 875, false}, {legacy, 100, false}, {legacy, 0, false},
               {old, 801, true},    {old, 800, false},    {old, 5, false},      {old, 4, false}};
  for (const auto& c : cases) {
    TokenData r;
    TokenData::SetText(r.m_szTokenName, "untouched");
    // Copied into a buffer of exactly that size, so a read past it is caught by the sanitizer.
    const std::vector<uint8_t> exact(c.plain.bytes.begin(), c.plain.bytes.begin() + c.length);
    EXPECT_EQ(ov::ReadLegacyPlaintext(exact, r), c.readable) << c.length;
    if (!c.readable) {
      EXPECT_EQ(T(r.m_szTokenName), "untouched") << c.length;
    }
  }
}

// The machine-drive envelope keeps every plaintext byte (the record and the writer's zero); the
// USB envelope is sealed with the format flag clear, so it does not open as a format-3 file.
TEST(LegacyRecordTest, LegacyFilesInBothEnvelopes) {
  for (const char* drive : {"internal", "usb-flash"}) {
    ov::test::StorageEnvironment env(drive);
    FixtureStore store("Legacy envelope");
    store.SetLegacy(true);
    store.SetState(ACTIVATED_STATE);
    store.Record().m_nCounters[0] = 41;
    store.Record().m_nLockUntil = 321;
    TokenData::SetText(store.Record().m_szEncOtpKey, "PROTECTED");
    ASSERT_TRUE(store.SaveData()) << drive;
    const std::string path = store.TokenFilePath();
    ASSERT_TRUE(fs::exists(path)) << drive;
    EXPECT_EQ(path.substr(path.size() - 4), ".dat");

    const auto file = ov::ReadWholeFile(path);
    ASSERT_TRUE(file);
    ov::SecureBytes plain;
    if (std::string(drive) == "internal") {
      const std::string id = "KLSA_GA_8_2";
      auto opened = ov::platform::Current().userProtect->Unprotect(
          *file, std::span(reinterpret_cast<const uint8_t*>(id.data()), id.size()));
      ASSERT_TRUE(opened);
      ASSERT_EQ(opened->size(), ov::kLegacyRecordSize + 1);
      EXPECT_EQ(opened->back(), 0);
      plain = *opened;
    } else {
      EXPECT_FALSE(ov::Win_UsbFlash::FlashUnlock(*file, plain, "KLSA_GA_8_2", true));
      ASSERT_TRUE(ov::Win_UsbFlash::FlashUnlock(*file, plain, "KLSA_GA_8_2", false));
      ASSERT_EQ(plain.size(), ov::kLegacyRecordSize);
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.data()) + 614), "Legacy envelope");

    FixtureStore reader("LEGACY ENVELOPE");
    ASSERT_TRUE(reader.Load(false)) << drive;
    EXPECT_EQ(T(reader.Record().m_szTokenName), "Legacy envelope");
    EXPECT_EQ(reader.Record().m_nState, 3u);
    EXPECT_EQ(reader.Record().m_nCounters[0], 41);
    EXPECT_EQ(reader.Record().m_nLockUntil, 321);
    EXPECT_EQ(T(reader.Record().m_szEncOtpKey), "PROTECTED");
    EXPECT_EQ(reader.Properties().size(), 0u) << "a binary record adds nothing to the map";
  }
}

TEST(LegacyRecordTest, ShortLegacyFileIsNotRead) {
  ov::test::StorageEnvironment env;
  FixtureStore store("Short legacy");
  store.SetLegacy(true);
  const Plain p = LegacyFixture();
  ASSERT_TRUE(store.SaveTokenData(p.span(875 - 1)));  // the envelope adds one zero byte: 875
  TokenData r;
  EXPECT_FALSE(FixtureStore::GetTokenData("KLSA_GA_8_2", store.TokenFilePath(), r, false));
  ASSERT_TRUE(store.SaveTokenData(p.span(875)));
  EXPECT_TRUE(FixtureStore::GetTokenData("KLSA_GA_8_2", store.TokenFilePath(), r, false));
  EXPECT_FALSE(FixtureStore::GetTokenData("ANOTHER_ID", store.TokenFilePath(), r, false))
      << "the unique ID is the entropy";
}

// An 8.2.0 file loads with no lock-out and the load time as PIN-change time, and its next save
// writes the legacy layout with the version "8.3.1", read with the legacy layout from then on.
TEST(LegacyRecordTest, Record820FileIsWrittenBackInTheLegacyLayout) {
  ov::test::StorageEnvironment env;
  env.clock.now = 1'650'000'000;
  FixtureStore store("Old token");
  store.SetLegacy(true);
  Plain p = Record820();
  p.bytes.resize(ov::kLegacyRecordSize, 0xEE);  // bytes after the 8.2.0 fields are not read
  ASSERT_TRUE(store.SaveTokenData(p.bytes));

  FixtureStore token("Old token");
  token.SetLegacy(true);
  ASSERT_TRUE(token.Load(false));
  EXPECT_EQ(token.Record().m_nLockUntil, 0);
  EXPECT_EQ(ov::UnixFromSystemTime(token.Record().m_PinChangeTime), 1'650'000'000);
  EXPECT_EQ(T(token.Record().m_szVersion), "8.3.1");
  EXPECT_EQ(T(token.Record().m_szEncMacKey), "MAC-820");
  token.SetState(static_cast<int32_t>(token.Record().m_nState));
  token.Record().m_nLockUntil = 4242;
  ASSERT_TRUE(token.SaveData());

  const auto file = ov::ReadWholeFile(token.TokenFilePath());
  ASSERT_TRUE(file);
  const std::string id = "KLSA_GA_8_2";
  auto plain = ov::platform::Current().userProtect->Unprotect(
      *file, std::span(reinterpret_cast<const uint8_t*>(id.data()), id.size()));
  ASSERT_TRUE(plain);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain->data())), "8.3.1");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain->data()) + 614), "Old token");

  env.clock.now += 100;
  FixtureStore again("Old token");
  ASSERT_TRUE(again.Load(false));
  EXPECT_EQ(again.Record().m_nLockUntil, 4242) << "read with the legacy layout now";
  EXPECT_EQ(ov::UnixFromSystemTime(again.Record().m_PinChangeTime), 1'650'000'000);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(again.Record().m_nCounters[i], 500 + i);
}

TEST(LegacyRecordTest, KeyAndValueText) {
  const struct {
    std::string text;
    std::map<std::string, std::string> expected;
  } cases[] = {
      {"a,1;b,2", {{"a", "1"}, {"b", "2"}}},
      {"a,1;;b,2", {{"a", "1"}, {"b", "2"}}},
      {";;a,1;", {{"a", "1"}}},
      {"a,1;nocomma;b,2", {{"a", "1"}}},
      {",1;b,2", {}},
      {"a,;b,x,y", {{"a", ""}, {"b", "x,y"}}},
      {"a,1;a,2", {{"a", "2"}}},
      {std::string("a,1\0b,2", 7), {{"a", "1"}, {"b", "2"}}},
      {std::string("a,1\0\0b,2", 8), {{"a", "1"}}},
      {std::string("8.3.1\0\0\0,x;y,z", 14), {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    ov::OV3Properties map;
    ASSERT_TRUE(map.deserialize(c.text));
    EXPECT_EQ(map.size(), c.expected.size()) << c.text;
    // Values are kept as they are, not base64-decoded: the record text shows them raw.
    const ov::SecureString serialized = map.serializeTLV();
    std::string expectedText;
    for (const auto& [key, value] : c.expected) {
      char length[4];
      std::snprintf(length, sizeof length, "%3d", static_cast<int>(value.size()));
      expectedText += key + length + value;
    }
    EXPECT_EQ(std::string(serialized.view()), expectedText) << c.text;
  }
}

TEST(LegacyRecordTest, PortStoresNameInformationSeedAndTheLegacyFields) {
  for (const char* drive : {"internal", "usb-flash"}) {
    ov::test::StorageEnvironment env(drive);
    TokenData record;
    TokenData::SetText(record.m_szTokenName, "Ported");
    TokenData::SetText(record.m_szPolicy, "17840159");
    TokenData::SetText(record.m_szKeyMaterial, "AABB");
    TokenData::SetText(record.m_szEncTransactionKey, "TRANSKEY");
    TokenData::SetText(record.m_szEncMacKey, "MACKEY");
    TokenData::SetText(record.m_szAlgorithm, "HmacSHA256");
    record.m_bKeySet = 1;
    record.m_nPinExpiryMonths = 3;
    record.m_nCounters[0] = 9;
    OVTokenInfoA info{};
    info.m_szTokenName = const_cast<char*>("Ported");
    info.m_szTokenPolicy = const_cast<char*>("17840159");
    info.m_nTokenState = ACTIVATED_STATE;
    std::vector<uint8_t> seed(145, 0);
    std::memcpy(seed.data(), ov::test::kFixtureOtpKey, 64);

    ov::OV3Properties empty;
    EXPECT_FALSE(empty.portOV2toOV3(info, "1234", {}, record)) << "no seed";

    ov::OV3Properties map;
    ASSERT_TRUE(map.portOV2toOV3(info, "1234", seed, record)) << drive;
    EXPECT_TRUE(map.getBool("KP"));
    EXPECT_EQ(map.getInt("FT"), 3);
    EXPECT_EQ(map.getText("AS").view(), "AABB");
    EXPECT_EQ(map.getText("AK").view(), "TRANSKEY");
    EXPECT_EQ(map.getText("MK").view(), "MACKEY");
    EXPECT_EQ(map.getText("CR").view(), "HmacSHA256");
    EXPECT_EQ(map.ov3GetTokenName().view(), "Ported");
    EXPECT_FALSE(map.ov3GetSeedForDrive("4321", true));
    const auto opened = map.ov3GetSeedForDrive("1234", true);
    ASSERT_TRUE(opened) << drive;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(opened->data())), ov::test::kFixtureOtpKey);
    TokenData loaded;
    ASSERT_TRUE(map.getOrvantiData(loaded));
    EXPECT_EQ(loaded.m_nCounters[0], 9);
    EXPECT_EQ(loaded.m_nState, 3u);
  }
}

// The storage side of a legacy token's first right PIN, in the order the engine runs it: load the
// record and the map, open the OTP key with the PIN, port, write the ".tk3" file, and only then
// remove the ".dat" file. The new file holds the token and opens with the same PIN.
TEST(LegacyRecordTest, ConversionStepsLeaveATk3FileThatOpensWithTheSamePin) {
  for (const char* drive : {"internal", "usb-flash"}) {
    ov::test::StorageEnvironment env(drive);
    ASSERT_TRUE(ov::test::MakeLegacyToken("Convert me", ACTIVATED_STATE, "1234"));
    {
      FixtureStore seed("Convert me");
      seed.SetLegacy(true);
      ASSERT_TRUE(seed.Load(false));
      seed.Record().m_nCounters[0] = 77;
      TokenData::SetText(seed.Record().m_szSerialNo, "SN-77");
      seed.SetState(ACTIVATED_STATE);
      seed.SetBadPinCount(2);
      seed.Record().m_nBadPinCount = 2;
      ASSERT_TRUE(seed.SaveData());
    }
    FixtureStore token("Convert me");
    token.SetLegacy(true);
    ASSERT_TRUE(token.Load(false));
    token.SetState(static_cast<int32_t>(token.Record().m_nState));
    EXPECT_EQ(token.DecryptOTPKey("9999"), OV_ERR_OPERATION_FAILED);
    ASSERT_EQ(token.DecryptOTPKey("1234"), OV_OK);
    EXPECT_EQ(token.OtpKey().view(), ov::test::kFixtureOtpKey);
    token.Record().m_nPinUseCount += 1;

    OVTokenInfoA info{};
    token.GetTokenInfo(info);
    std::vector<uint8_t> seed(145, 0);
    std::memcpy(seed.data(), token.OtpKey().data(), token.OtpKey().size());
    const bool ported = token.Properties().portOV2toOV3(info, "1234", seed, token.Record());
    ov::ReleaseTokenInfo(info);
    ASSERT_TRUE(ported);
    const std::string legacyPath = token.TokenFilePath();
    token.SetLegacy(false);
    ASSERT_TRUE(token.SaveData());
    ASSERT_TRUE(fs::exists(token.TokenFilePath()));
    ASSERT_EQ(std::remove(legacyPath.c_str()), 0);

    FixtureStore reopened("Convert me");
    ASSERT_TRUE(reopened.Load(true)) << drive;
    EXPECT_EQ(reopened.Record().m_nCounters[0], 77);
    EXPECT_EQ(T(reopened.Record().m_szPolicy), "17840159");
    EXPECT_EQ(T(reopened.Record().m_szSerialNo), "SN-77");
    EXPECT_EQ(T(reopened.Record().m_szTokenName), "Convert me");
    EXPECT_EQ(reopened.Record().m_nState, 3u);
    EXPECT_EQ(reopened.Record().m_nBadPinCount, 0);
    EXPECT_EQ(reopened.Record().m_nPinUseCount, 1);
    EXPECT_EQ(reopened.DecryptOTPKey("9999"), OV_ERR_OPERATION_FAILED);
    ASSERT_EQ(reopened.DecryptOTPKey("1234"), OV_OK);
    EXPECT_EQ(reopened.OtpKey().view(), ov::test::kFixtureOtpKey);
  }
}

// The 8.0 profile: a user-bound blob without entropy whose plaintext begins with the record.
TEST(Ov80ProfileTest, ReadsTheRecordOrLeavesItZero) {
  ov::test::StorageEnvironment env;
  Plain p(ov::kOv80ProfileSize + 10);
  p.U32(0, 1).U32(4, 1).U32(8, 6).U32(12, 4711).U32(16, 2);
  p.Text(30, std::string(144, 'E'));
  p.bytes[174] = 'x';  // right after the key text: not part of it
  p.Text(176, "0123456789ABCDEF0123");
  const fs::path path = fs::path(ov::test::PrivateHome::Root()) / "ProfileData";
  auto write = [&](std::span<const uint8_t> plaintext, std::span<const uint8_t> entropy) {
    const auto blob = ov::platform::Current().userProtect->Protect(plaintext, entropy);
    ASSERT_TRUE(blob);
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(blob->data(), 1, blob->size(), f);
    std::fclose(f);
  };

  write(p.bytes, {});
  ov::Ov80Profile profile;
  ASSERT_TRUE(ov::OV80ReadData(path.string(), profile));
  EXPECT_EQ(profile.Flag(), 1u);
  EXPECT_EQ(profile.Activation(), 1u);
  EXPECT_EQ(profile.PasscodeLength(), 6u);
  EXPECT_EQ(profile.MovingFactor(), 4711);
  EXPECT_EQ(profile.BadPinCount(), 2);
  EXPECT_EQ(profile.EncOtpKey(), std::string(144, 'E'));
  EXPECT_EQ(profile.KeyMaterial(), "0123456789ABCDEF0123");

  // Key material without a terminator in its 21 bytes: at most 20 characters.
  p.Text(176, std::string(21, 'F'));
  write(p.bytes, {});
  ov::Ov80Profile long_material;
  ASSERT_TRUE(ov::OV80ReadData(path.string(), long_material));
  EXPECT_EQ(long_material.KeyMaterial(), std::string(20, 'F'));

  const uint8_t entropy[] = {1, 2, 3};
  const struct {
    const char* what;
    std::size_t length;
    std::span<const uint8_t> entropy;
  } unreadable[] = {{"record cut short", ov::kOv80ProfileSize - 1, {}},
                    {"blob with an unknown entropy", p.bytes.size(), entropy}};
  for (const auto& c : unreadable) {
    write(p.span(c.length), c.entropy);
    ov::Ov80Profile zero;
    EXPECT_TRUE(ov::OV80ReadData(path.string(), zero)) << c.what;
    EXPECT_EQ(zero.Flag(), 0u) << c.what;
    EXPECT_EQ(zero.EncOtpKey(), "") << c.what;
  }

  fs::remove(path);
  ov::Ov80Profile none;
  EXPECT_FALSE(ov::OV80ReadData(path.string(), none));
}

}  // namespace
