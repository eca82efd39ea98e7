// Token files on disk: names, envelopes, saving and loading, crash safety.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "support/ReferenceCrypto.h"
#include "common/TokenInfoRecords.h"
#include "encoding/Hex.h"
#include "storage/OVEngineStore.h"
#include "storage/StoragePaths.h"
#include "support/StorageEnvironment.h"

namespace {

namespace fs = std::filesystem;
using ov::OVEngineStore;

// The store with the information a file keeps taken from its record (the engine proper fills it
// from its policy as well).
class TestStore : public OVEngineStore {
 public:
  explicit TestStore(const std::string& name) : OVEngineStore("KLSA_GA_8_2", name) {}
  int32_t GetTokenInfo(OVTokenInfoA& info) override {
    info.m_szTokenName = ov::DuplicateText(std::string_view(m_szTokenName));
    info.m_szTokenPolicy = ov::DuplicateText(ov::TokenData::Text(m_TokenData.m_szPolicy));
    info.m_szTokenSerialNo = ov::DuplicateText(ov::TokenData::Text(m_TokenData.m_szSerialNo));
    info.m_nTokenState = static_cast<int32_t>(m_TokenData.m_nState);
    info.m_nBadPinCount = m_nBadPinCount;
    return OV_OK;
  }
  ov::TokenData& Record() { return m_TokenData; }
  ov::OV3Properties& Properties() { return m_Properties; }
  void SetOtpKey(std::string_view key) { m_szOtpKey = key; }
  void SetDeliveredKeys(std::string_view transaction, std::string_view mac) {
    m_szTransactionKey = transaction;
    m_szMacKey = mac;
  }
  void ForgetKeys() {
    m_szTransactionKey.Wipe();
    m_szMacKey.Wipe();
  }
  const ov::SecureString& TransactionKey() const { return m_szTransactionKey; }
  const ov::SecureString& MacKey() const { return m_szMacKey; }
  const ov::SecureString& OtpKey() const { return m_szOtpKey; }
  void SetState(int32_t state) { m_nTokenState = state; }
  const std::string& FileName() const { return m_szFileName; }
  bool Load() { return GetTokenData(m_szUniqueID, TokenFilePath(), m_TokenData, true) &&
                       ReadOV3FromFile(m_Properties, TokenFilePath(), m_szUniqueID, true); }
};

TEST(OVEngineStoreTest, FileNameIsThePassphraseKeyOfTheUpperCasedName) {
  // 24 bytes: SHA-1 of "MY TOKEN" and SHA-1 of that, interleaved byte by byte.
  const auto a = ov::test::ref::Sha1(ov::test::ref::AsBytes("MY TOKEN"));
  const auto b = ov::test::ref::Sha1(a);
  std::vector<uint8_t> key;
  for (int i = 0; i < 12; ++i) key.push_back(a[i]), key.push_back(b[i]);
  const std::string expected = ov::HexEncode(key);
  EXPECT_EQ(OVEngineStore::GetFileName("My Token"), expected);
  EXPECT_EQ(OVEngineStore::GetFileName("my token"), expected);
  EXPECT_EQ(OVEngineStore::GetFileName("MY TOKEN").size(), 48u);
  EXPECT_NE(OVEngineStore::GetFileName("My Token2"), expected);
  EXPECT_EQ(OVEngineStore::GetFileName(""), "");
}

TEST(OVEngineStoreTest, SavedTokenLoadsAgainWithItsSeed) {
  for (const char* drive : {"internal", "usb-flash"}) {
    ov::test::StorageEnvironment env(drive);
    {
      TestStore store("My Token");
      store.Record().m_nCounters[0] = 42;
      ov::TokenData::SetText(store.Record().m_szPolicy, "17840159");
      store.SetState(ACTIVATED_STATE);
      ASSERT_TRUE(store.SaveData()) << drive;
      store.SetOtpKey("00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF");
      ASSERT_EQ(store.EncryptOTPKey("1234"), OV_OK) << drive;
#ifndef _WIN32
      struct stat st {};
      ASSERT_EQ(stat(store.TokenFilePath().c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
    }
    TestStore again("MY TOKEN");
    ASSERT_TRUE(again.Load()) << drive;
    EXPECT_EQ(ov::TokenData::Text(again.Record().m_szTokenName), "My Token") << "stored case wins";
    EXPECT_EQ(again.Record().m_nCounters[0], 42);
    EXPECT_EQ(again.Record().m_nState, static_cast<uint32_t>(ACTIVATED_STATE));
    EXPECT_EQ(again.DecryptOTPKey("4321"), OV_ERR_OPERATION_FAILED);
    ASSERT_EQ(again.DecryptOTPKey("1234"), OV_OK);
    EXPECT_EQ(again.OtpKey().view(), "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF");
  }
}

TEST(OVEngineStoreTest, DeliveredKeysAreProtectedWithThePin) {
  ov::test::StorageEnvironment env;
  TestStore store("Keys");
  ASSERT_TRUE(store.SaveData());
  const std::string transaction(64, 'A'), mac(64, 'B');
  EXPECT_EQ(store.DecryptTransactionKey("R#p3"), OV_OK) << "no transaction key is no failure";
  EXPECT_EQ(store.DecryptMacKey("R#p3"), OV_ERR_OPERATION_FAILED);
  store.SetDeliveredKeys(transaction, mac);
  ASSERT_EQ(store.EncryptTransactionKey("R#p3"), OV_OK);
  ASSERT_EQ(store.EncryptMacKey("R#p3"), OV_OK);
  EXPECT_EQ(store.Record().m_bTransactionKeySet, 1);
  EXPECT_NE(ov::TokenData::Text(store.Record().m_szEncTransactionKey), transaction);
  store.ForgetKeys();
  EXPECT_EQ(store.DecryptMacKey("1234"), OV_ERR_OPERATION_FAILED);
  ASSERT_EQ(store.DecryptTransactionKey("R#p3"), OV_OK);
  ASSERT_EQ(store.DecryptMacKey("R#p3"), OV_OK);
  EXPECT_EQ(store.TransactionKey().view(), transaction);
  EXPECT_EQ(store.MacKey().view(), mac);
  EXPECT_EQ(store.EncryptData("0000000000000000"), OV_OK);
}

TEST(OVEngineStoreTest, FilesAreBoundToTheirDriveAndUser) {
  std::string machineFile;
  {
    ov::test::StorageEnvironment env("internal");
    TestStore store("Bound");
    ASSERT_TRUE(store.SaveData());
    machineFile = store.TokenFilePath();
  }
#ifndef _WIN32  // DPAPI binds to the Windows user running the tests: no other user to play
  {
    ov::test::StorageEnvironment env("internal", "somebody else");
    TestStore store("Bound");
    EXPECT_FALSE(store.Load()) << "another user's secret";
  }
#endif
  {
    ov::test::StorageEnvironment env("usb-flash");
    TestStore store("Bound");
    const std::string usbFile = store.TokenFilePath();
    // Removed first: mingw's copy_file refuses to overwrite on Windows.
    fs::remove(usbFile);
    fs::copy_file(machineFile, usbFile);
    EXPECT_FALSE(store.Load()) << "machine file on a USB drive";
    ASSERT_TRUE(store.SaveData());
    fs::remove(machineFile);
    fs::copy_file(usbFile, machineFile);
  }
  ov::test::StorageEnvironment env("internal");
  TestStore store("Bound");
  EXPECT_FALSE(store.Load()) << "USB file on the machine drive";
}

// A token file sealed to a USB drive travels between the builds: each build opens the file the
// Linux build wrote and the one the Windows build wrote (tests/data/storage), on the same drive,
// with their PIN. OV_WRITE_USB_FIXTURE=<folder> makes a build write its own file there instead.
TEST(OVEngineStoreTest, UsbTokenFilesTravelBetweenTheBuilds) {
#ifdef _WIN32
  const std::string thisBuild = "windows";
#else
  const std::string thisBuild = "linux";
#endif
  const std::string name = "Travelling token";
  const std::string key = "0F1E2D3C4B5A69788796A5B4C3D2E1F00F1E2D3C4B5A69788796A5B4C3D2E1F0";
  ov::test::StorageEnvironment env("usb-flash");
  if (const char* folder = std::getenv("OV_WRITE_USB_FIXTURE")) {
    TestStore store(name);
    store.Record().m_nCounters[0] = 7;
    ov::TokenData::SetText(store.Record().m_szPolicy, "17840159");
    store.SetState(ACTIVATED_STATE);
    ASSERT_TRUE(store.SaveData());
    store.SetOtpKey(key);
    ASSERT_EQ(store.EncryptOTPKey("2468"), OV_OK);
    const fs::path out = fs::path(folder) / ("usb-flash-" + thisBuild + ".tk3");
    fs::remove(out);
    fs::copy_file(store.TokenFilePath(), out);
    GTEST_SKIP() << "written to " << out;
  }
  for (const char* build : {"linux", "windows"}) {
    TestStore store(name);
    const fs::path fixture =
        ov::test::TestDataDir() / "storage" / (std::string("usb-flash-") + build + ".tk3");
    fs::remove(store.TokenFilePath());
    fs::copy_file(fixture, store.TokenFilePath());
    ASSERT_TRUE(store.Load()) << build << "'s file in the " << thisBuild << " build";
    EXPECT_EQ(ov::TokenData::Text(store.Record().m_szTokenName), name) << build;
    EXPECT_EQ(store.Record().m_nCounters[0], 7) << build;
    EXPECT_EQ(store.DecryptOTPKey("1357"), OV_ERR_OPERATION_FAILED) << build;
    ASSERT_EQ(store.DecryptOTPKey("2468"), OV_OK) << build;
    EXPECT_EQ(store.OtpKey().view(), key) << build;
  }
  // On the machine drive the same file is refused: it is sealed to the USB drive.
  {
    ov::test::StorageEnvironment machine("internal");
    TestStore store(name);
    fs::remove(store.TokenFilePath());
    fs::copy_file(ov::test::TestDataDir() / "storage" / ("usb-flash-" + thisBuild + ".tk3"),
                  store.TokenFilePath());
    EXPECT_FALSE(store.Load());
  }
}

TEST(OVEngineStoreTest, RenameNeverReplacesAndRemoveIsQuietWithoutAFile) {
  ov::test::StorageEnvironment env;
  TestStore first("First token");
  TestStore second("Second token");
  ASSERT_TRUE(first.SaveData());
  ASSERT_TRUE(second.SaveData());
  EXPECT_FALSE(first.RenameFile(first.FileName(), second.FileName()));
  EXPECT_TRUE(fs::exists(first.TokenFilePath()));
  EXPECT_TRUE(first.RenameFile(first.FileName(), OVEngineStore::GetFileName("Third token")));
  EXPECT_FALSE(fs::exists(first.TokenFilePath()));
  EXPECT_EQ(second.RemoveTokenFile(), OV_OK);
  EXPECT_FALSE(fs::exists(second.TokenFilePath()));
  EXPECT_EQ(second.RemoveTokenFile(), OV_OK);
}

// A file that opens but whose record map fails part-way (here: a policy text no policy reads) is
// refused without leaving any of its fields in the reader's record.
TEST(OVEngineStoreTest, RefusedRecordLeavesTheReadersRecordAsItWas) {
  ov::test::StorageEnvironment env;
  TestStore writer("NAME");
  ASSERT_TRUE(writer.Properties().ov3StoreTokenName("NAME"));
  writer.Properties().obfuAndSetTokenInfoString("Z1  4Nw==Z7  4YmFk", "NAME");  // bad PINs 7, policy "bad"
  ASSERT_TRUE(writer.SaveOV3TokenData(writer.Properties().serializeTLV().view()));
  ov::TokenData record;
  ov::TokenData::SetText(record.m_szTokenName, "before");
  record.m_nBadPinCount = 1;
  EXPECT_FALSE(OVEngineStore::GetTokenData("KLSA_GA_8_2", writer.TokenFilePath(), record, true));
  EXPECT_EQ(ov::TokenData::Text(record.m_szTokenName), "before");
  EXPECT_EQ(record.m_nBadPinCount, 1);
}

#ifndef _WIN32
// A save is all or nothing: a process killed at any moment while saving leaves a file that opens
// and holds one of the states it saved.
TEST(OVEngineStoreTest, KilledWhileSavingLeavesTheOldOrTheNewFile) {
  ov::test::StorageEnvironment env;
  {
    TestStore store("Crash test");
    store.Record().m_nCounters[0] = 1;
    ASSERT_TRUE(store.SaveData());
  }
  std::mt19937 random(12345);
  for (int round = 0; round < 25; ++round) {
    const pid_t child = fork();
    if (child == 0) {
      TestStore store("Crash test");
      for (int32_t n = 2;; ++n) {
        store.Record().m_nCounters[0] = n;
        store.SaveData();
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 20000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    TestStore reader("Crash test");
    ASSERT_TRUE(reader.Load()) << "round " << round;
    EXPECT_GE(reader.Record().m_nCounters[0], 1);
  }
}

#endif  // _WIN32

}  // namespace
