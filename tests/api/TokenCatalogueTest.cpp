// The token catalogue: listing token files of both kinds through OV_GetTokenListA/W, the repairs
// a listing makes (set-aside files, deleted never-activated legacy tokens), the capacity, and the
// 8.0 profile import around its engine step.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "api/OVHelper.h"
#include "api/TokenCatalogue.h"
#include "common/TokenInfoRecords.h"
#include "ov/ov_api.h"
#include "platform/Platform.h"
#include "storage/StoragePaths.h"
#include "support/PasscodeReference.h"
#include "support/StorageEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

namespace fs = std::filesystem;
using ov::test::MakeLegacyToken;
using ov::test::MakeOv3Token;

constexpr char kUniqueId[] = "KLSA_GA_8_2";

std::string Str(const char* text) { return text == nullptr ? "(null)" : text; }

fs::path Ov3Folder() { return ov::GetFilePath(ov::kTokenFolderOv3); }
fs::path LegacyFolder() { return ov::GetFilePath(ov::kTokenFolderLegacy); }
fs::path Ov3File(const std::string& name) {
  return Ov3Folder() / (ov::OVEngineStore::GetFileName(name) + ".tk3");
}
fs::path LegacyFile(const std::string& name, const char* extension = ".dat") {
  return LegacyFolder() / (ov::OVEngineStore::GetFileName(name) + extension);
}
void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The library initialized as the desktop application does, on the chosen drive.
class CatalogueTest : public ::testing::TestWithParam<const char*> {
 protected:
  // Each test starts from an empty store, whichever tests ran before it in this process.
  void SetUp() override {
    fs::remove_all(Ov3Folder());
    fs::remove_all(LegacyFolder());
    ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  }
  void TearDown() override { OV_Finalize(); }

  // The names listed with the given capacity, in list order; the entries are given back.
  std::vector<std::string> Names(int32_t capacity, int32_t* result = nullptr) {
    std::vector<OVTokenInfoA> list(static_cast<std::size_t>(capacity) + 1);
    int32_t count = capacity;
    const int32_t code = OV_GetTokenListA(list.data(), &count);
    if (result != nullptr) *result = code;
    EXPECT_EQ(code, OV_OK);
    EXPECT_LE(count, capacity);
    EXPECT_EQ(list[capacity].m_szTokenName, nullptr) << "an entry past the capacity was written";
    std::vector<std::string> names;
    for (int32_t i = 0; i < count; ++i) names.push_back(Str(list[i].m_szTokenName));
    EXPECT_EQ(OV_FreeTokenListA(list.data(), count), OV_OK);
    return names;
  }
  int32_t CountOnly() {
    int32_t count = 0;
    EXPECT_EQ(OV_GetTokenListA(nullptr, &count), OV_OK);
    return count;
  }

  ov::test::StorageEnvironment env{GetParam()};
};

TEST_P(CatalogueTest, LegacyTokenListsFirstWithTheDetailsOfEachFile) {
  ASSERT_TRUE(MakeLegacyToken("Legacy one", ACTIVATED_STATE));
  ASSERT_TRUE(MakeOv3Token("Alpha", "17840159", ACTIVATED_STATE, "SN-1"));
  ASSERT_TRUE(MakeOv3Token("Beta", "", INSTALLED_STATE));
  ASSERT_TRUE(MakeOv3Token("Gamma", "9894", PENDING_PIN_STATE));

  OVTokenInfoA list[8] = {};
  list[1].m_bTrivialPinAllowed = 7;  // not a list entry's to fill
  int32_t count = 8;
  ASSERT_EQ(OV_GetTokenListA(list, &count), OV_OK);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(Str(list[0].m_szTokenName), "Legacy one");
  EXPECT_EQ(list[0].m_nTokenState, ACTIVATED_STATE);
  EXPECT_EQ(list[1].m_bTrivialPinAllowed, 7);
  std::map<std::string, const OVTokenInfoA*> byName;
  for (int i = 1; i < count; ++i) byName[Str(list[i].m_szTokenName)] = &list[i];
  ASSERT_EQ(byName.size(), 3u);

  const OVTokenInfoA& alpha = *byName.at("Alpha");
  EXPECT_EQ(Str(alpha.m_szTokenPolicy), "17840159");
  EXPECT_EQ(Str(alpha.m_szTokenPolicyLevel), "Level 1");
  EXPECT_EQ(Str(alpha.m_szTokenMode), "EVENT_SYNCHRONOUS");
  EXPECT_EQ(Str(alpha.m_szTokenSerialNo), "SN-1");
  EXPECT_EQ(Str(alpha.m_szSdkVersion), "8.3.1");
  EXPECT_EQ(alpha.m_nTokenState, ACTIVATED_STATE);
  EXPECT_EQ(alpha.m_bPinRequired, 1);
  EXPECT_EQ(alpha.m_nPinLength, 4);
  EXPECT_EQ(alpha.m_nMaxAttacks, 10);
  EXPECT_EQ(alpha.m_nBadPinCount, 0);
  EXPECT_EQ(alpha.m_bTokenLocked, 0);

  const OVTokenInfoA& beta = *byName.at("Beta");  // no policy yet
  EXPECT_EQ(Str(beta.m_szSdkVersion), "8.3.1");
  EXPECT_EQ(beta.m_szTokenPolicy, nullptr);
  EXPECT_EQ(beta.m_szTokenMode, nullptr);
  EXPECT_EQ(beta.m_nTokenState, INSTALLED_STATE);
  EXPECT_EQ(beta.m_nMaxAttacks, -1);
  EXPECT_EQ(beta.m_nChallengeLength, -1);
  EXPECT_EQ(beta.m_nPinLength, -1);
  EXPECT_EQ(beta.m_nTimeStep, -1);

  const OVTokenInfoA& gamma = *byName.at("Gamma");  // the short form of a time-based token
  EXPECT_EQ(Str(gamma.m_szTokenMode), "TIME_SYNCHRONOUS");
  EXPECT_EQ(gamma.m_nTokenState, PENDING_PIN_STATE);
  EXPECT_GT(gamma.m_nTimeStep, 0);
  EXPECT_EQ(OV_FreeTokenListA(list, count), OV_OK);

  // The wide listing gives the same entries.
  OVTokenInfoW wide[8] = {};
  count = 8;
  ASSERT_EQ(OV_GetTokenListW(wide, &count), OV_OK);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(std::wstring(wide[0].m_szTokenName), L"Legacy one");
  EXPECT_EQ(OV_FreeTokenListW(wide, count), OV_OK);
}

TEST_P(CatalogueTest, NeverActivatedLegacyTokensAreDeletedByTheFirstFillListing) {
  ASSERT_TRUE(MakeLegacyToken("Installed", INSTALLED_STATE));
  ASSERT_TRUE(MakeLegacyToken("Pending", PENDING_PIN_STATE));
  ASSERT_TRUE(MakeLegacyToken("Activated", ACTIVATED_STATE));
  EXPECT_EQ(CountOnly(), 3) << "counting reads, deletes and sets aside nothing";
  EXPECT_TRUE(fs::exists(LegacyFile("Pending")));

  EXPECT_EQ(Names(10), std::vector<std::string>{"Activated"});
  EXPECT_FALSE(fs::exists(LegacyFile("Installed")));
  EXPECT_FALSE(fs::exists(LegacyFile("Pending")));
  EXPECT_TRUE(fs::exists(LegacyFile("Activated")));
  EXPECT_EQ(CountOnly(), 1);
}

TEST_P(CatalogueTest, UnreadableFilesAreSetAsideAndRetriedAtEveryListing) {
  ASSERT_TRUE(MakeOv3Token("Good", "17840159", ACTIVATED_STATE));
  ASSERT_TRUE(MakeOv3Token("Flaky", "17840159", ACTIVATED_STATE));
  const std::string flakyBytes = ov::test::ReadFile(Ov3File("Flaky"));
  WriteBytes(Ov3File("Flaky"), "not a token file");
  WriteBytes(LegacyFile("Broken legacy"), std::string(900, 'x'));
  const fs::path flakyAside = Ov3Folder() / (ov::OVEngineStore::GetFileName("Flaky") + ".unsupported");

  EXPECT_EQ(Names(10), std::vector<std::string>{"Good"});
  EXPECT_TRUE(fs::exists(flakyAside));
  EXPECT_FALSE(fs::exists(Ov3File("Flaky")));
  EXPECT_TRUE(fs::exists(LegacyFile("Broken legacy", ".unsupported")));
  EXPECT_FALSE(fs::exists(LegacyFile("Broken legacy")));

  // Tried again, still unreadable: set aside again.
  EXPECT_EQ(Names(10), std::vector<std::string>{"Good"});
  EXPECT_TRUE(fs::exists(flakyAside));

  // Readable again (its drive is back, say): it returns to the list under its own extension.
  WriteBytes(flakyAside, flakyBytes);
  std::vector<std::string> names = Names(10);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Flaky", "Good"}));
  EXPECT_TRUE(fs::exists(Ov3File("Flaky")));
  EXPECT_FALSE(fs::exists(flakyAside));
}

// A copy of a token file under another name, even the name another token would have, is set
// aside like an unreadable file: the token is listed once, from the file its name gives.
TEST_P(CatalogueTest, CopyUnderAnotherFileNameIsSetAside) {
  ASSERT_TRUE(MakeOv3Token("Alpha", "17840159", ACTIVATED_STATE));
  ASSERT_TRUE(MakeLegacyToken("Old", ACTIVATED_STATE));
  fs::copy_file(Ov3File("Alpha"), Ov3Folder() / "COPY.tk3");
  fs::copy_file(Ov3File("Alpha"), Ov3File("Beta"));
  fs::copy_file(LegacyFile("Old"), LegacyFolder() / "COPY.dat");

  for (int listing = 0; listing < 2; ++listing) {
    EXPECT_EQ(Names(10), (std::vector<std::string>{"Old", "Alpha"})) << "listing " << listing;
    EXPECT_TRUE(fs::exists(Ov3Folder() / "COPY.unsupported"));
    EXPECT_TRUE(
        fs::exists(Ov3Folder() / (ov::OVEngineStore::GetFileName("Beta") + ".unsupported")));
    EXPECT_TRUE(fs::exists(LegacyFolder() / "COPY.unsupported"));
    EXPECT_TRUE(fs::exists(Ov3File("Alpha")));
    EXPECT_TRUE(fs::exists(LegacyFile("Old")));
  }
}

// Setting aside and restoring never replaces a file: with both names taken, both files stay.
TEST_P(CatalogueTest, SetAsideNeverReplacesAFile) {
  ASSERT_TRUE(MakeOv3Token("Twice", "17840159", ACTIVATED_STATE));
  const fs::path aside = Ov3Folder() / (ov::OVEngineStore::GetFileName("Twice") + ".unsupported");
  WriteBytes(aside, "an older unreadable copy");
  EXPECT_EQ(Names(10), std::vector<std::string>{"Twice"});
  EXPECT_EQ(ov::test::ReadFile(aside), "an older unreadable copy");

  WriteBytes(Ov3File("Twice"), "now unreadable too");
  EXPECT_TRUE(Names(10).empty());
  EXPECT_EQ(ov::test::ReadFile(Ov3File("Twice")), "now unreadable too");
  EXPECT_EQ(ov::test::ReadFile(aside), "an older unreadable copy");
}

TEST_P(CatalogueTest, CountOnlyCountsEveryMatchingFile) {
  EXPECT_EQ(CountOnly(), 0) << "empty store";
  ASSERT_TRUE(MakeOv3Token("One", "17840159", ACTIVATED_STATE));
  ASSERT_TRUE(MakeOv3Token("Two", "", INSTALLED_STATE));
  ASSERT_TRUE(MakeLegacyToken("Pending", PENDING_PIN_STATE));
  WriteBytes(Ov3File("Corrupt"), "garbage");
  WriteBytes(Ov3Folder() / "SETASIDE.unsupported", "garbage");
  fs::create_directory(Ov3Folder() / "folder.tk3");
  WriteBytes(Ov3Folder() / "notes.txt", "not a token");
  WriteBytes(Ov3Folder() / "partial.tk3.Ab12Cd", "a temporary file of a save");

  EXPECT_EQ(CountOnly(), 5);
  EXPECT_TRUE(fs::exists(Ov3File("Corrupt"))) << "nothing is set aside by counting";
  EXPECT_TRUE(fs::exists(LegacyFile("Pending"))) << "nothing is deleted by counting";
  EXPECT_TRUE(fs::exists(Ov3Folder() / "SETASIDE.tk3")) << "set-aside files are restored";

  EXPECT_EQ(Names(10).size(), 2u);
  EXPECT_EQ(CountOnly(), 4) << "the pending legacy token is gone";
}

TEST_P(CatalogueTest, CapacityIsNeverExceeded) {
  for (const char* name : {"L1", "L2", "L3"}) ASSERT_TRUE(MakeLegacyToken(name, ACTIVATED_STATE));
  for (const char* name : {"F1", "F2", "F3"}) ASSERT_TRUE(MakeOv3Token(name, "17840159", ACTIVATED_STATE));
  for (int32_t capacity : {0, 1, 2, 3, 4, 6, 9}) {
    const std::vector<std::string> names = Names(capacity);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(std::min(capacity, 6))) << capacity;
    for (std::size_t i = 0; i < names.size() && i < 3; ++i) {
      EXPECT_EQ(names[i][0], 'L') << "legacy tokens come first, capacity " << capacity;
    }
  }
  OVTokenInfoW wide[3] = {};
  int32_t count = 2;
  ASSERT_EQ(OV_GetTokenListW(wide, &count), OV_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(wide[2].m_szTokenName, nullptr);
  OV_FreeTokenListW(wide, count);
  EXPECT_EQ(CountOnly(), 6);
}

TEST_P(CatalogueTest, LockOutOfALegacyTokenIsShown) {
  {
    ov::test::FixtureStore store("Locked");
    store.SetLegacy(true);
    store.SetState(ACTIVATED_STATE);
    // Three wrong PINs in a row from "attackdelay" 2 on lock for 2 minutes at most.
    const std::string policy =
        ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 10}, {"attackdelay", 2}});
    ov::TokenData::SetText(store.Record().m_szPolicy, policy);
    store.Record().m_nBadPinCount = 3;
    // Lock-out ends count seconds from 2010-01-01 00:00:01 UTC.
    store.Record().m_nLockUntil = static_cast<int32_t>(env.clock.now - 1262304001 + 90);
    ASSERT_TRUE(store.SaveData());
  }
  OVTokenInfoA entry[1] = {};
  int32_t count = 1;
  ASSERT_EQ(OV_GetTokenListA(entry, &count), OV_OK);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(entry[0].m_nLockTimeLeft, 90);
  EXPECT_EQ(entry[0].m_bTokenLocked, 1);
  EXPECT_EQ(entry[0].m_nBadPinCount, 3);
  OV_FreeTokenListA(entry, count);

  env.clock.now += 91;
  count = 1;
  ASSERT_EQ(OV_GetTokenListA(entry, &count), OV_OK);
  EXPECT_EQ(entry[0].m_nLockTimeLeft, 0);
  EXPECT_EQ(entry[0].m_bTokenLocked, 0);
  OV_FreeTokenListA(entry, count);
}

// The list entry gives the PIN length the PIN rule enforces, as the open token's information does:
// the extended length of level 4 and 5 policies, not their "pinlen" field (6 in each of these). A
// token without a PIN reads 0 in the list.
TEST_P(CatalogueTest, PinLengthIsTheOneThePinRuleEnforces) {
  const std::pair<const char*, int32_t> cases[] = {
      {"43063242806", 7},  // level 4, extended length 7
      {"43063245831", 5},  // level 4, extended length 5
      {"90421453503", 6},  // level 5, extension ignored: "pinlen"
      {"9859", 4},         // level 3
      {"19929092", 0},     // no PIN
  };
  for (const auto& [policy, length] : cases) {
    SCOPED_TRACE(policy);
    ASSERT_TRUE(MakeOv3Token("Token", policy, length != 0 ? PENDING_PIN_STATE : ACTIVATED_STATE));
    OVTokenInfoA entry[1] = {};
    int32_t count = 1;
    ASSERT_EQ(OV_GetTokenListA(entry, &count), OV_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(entry[0].m_nPinLength, length);
    EXPECT_EQ(entry[0].m_bPinRequired, length != 0 ? 1 : 0);
    OV_FreeTokenListA(entry, count);
    if (length == 0) continue;

    ASSERT_EQ(OV_CreateInstanceA("Token", 0), OV_OK);
    OVTokenInfoA info{};
    ASSERT_EQ(OV_GetTokenInfoA(&info), OV_OK);
    EXPECT_EQ(info.m_nPinLength, length);
    EXPECT_EQ(info.m_bPinRequired, 1);
    OV_FreeTokenInfoA(&info);
    ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  }
}

INSTANTIATE_TEST_SUITE_P(Drives, CatalogueTest, ::testing::Values("internal", "usb-flash"));

TEST(CatalogueBoundaryTest, ListingNeedsTheLibraryAndACount) {
  ov::test::StorageEnvironment env;
  int32_t count = 0;
  EXPECT_EQ(OV_GetTokenListA(nullptr, &count), OV_ERR_NOT_INITIALIZED);
  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  EXPECT_EQ(OV_GetTokenListA(nullptr, nullptr), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(OV_GetTokenListA(nullptr, &count), OV_OK);
  EXPECT_EQ(count, 0);
  OV_Finalize();
}

TEST(CatalogueTextTest, ModeAndLevelTexts) {
  const std::pair<int32_t, const char*> modes[] = {
      {0, "EVENT_SYNCHRONOUS"}, {1, "TIME_SYNCHRONOUS"},  {2, "CHALLENGE_RESPONSE"},
      {3, "MULTI_HOST"},        {4, "EVENT_SYNCHRONOUS"}, {5, "TIME_SYNCHRONOUS"},
      {6, "CHALLENGE_RESPONSE"}, {7, nullptr},            {-1, nullptr}};
  for (const auto& [mode, text] : modes) {
    char* got = ov::GetTokenModeStr(mode);
    EXPECT_EQ(Str(got), Str(text)) << mode;
    ov::ReleaseText(got);
  }
  char* level = ov::GetPolicyLevelStr(4);
  EXPECT_EQ(Str(level), "Level 4");
  ov::ReleaseText(level);
}

// The import around its engine step: the step is a test double that records what it was given.
struct StepRecord {
  int calls = 0;
  std::string name;
  uint32_t flag = 0;
  uint32_t activation = 0;
  std::string keyMaterial;
  int32_t result = OV_OK;
};
StepRecord g_step;

int32_t RecordingStep(ov::OVHelper&, const char* name, const ov::Ov80Profile& profile) {
  ++g_step.calls;
  g_step.name = name;
  g_step.flag = profile.Flag();
  g_step.activation = profile.Activation();
  g_step.keyMaterial = std::string(profile.KeyMaterial());
  return g_step.result;
}

class ImportTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    g_step = {};
    fs::remove(ProfilePath());
  }
  fs::path ProfilePath() { return fs::path(ov::GetFilePath(nullptr)) / "ProfileData"; }
  void WriteProfile(std::span<const uint8_t> entropy = {}) {
    std::vector<uint8_t> plain(ov::kOv80ProfileSize, 0);
    plain[0] = 1;  // holds a token
    plain[4] = 0;  // not activated
    plain[8] = 6;
    const char material[] = "00112233445566778899";
    std::copy(material, material + 20, plain.begin() + 176);
    const auto blob = ov::platform::Current().userProtect->Protect(plain, entropy);
    ASSERT_TRUE(blob);
    WriteBytes(ProfilePath(), std::string(blob->begin(), blob->end()));
  }
  ov::test::StorageEnvironment env{GetParam()};
  ov::OVHelper helper;
};

TEST_P(ImportTest, NoProfileImportsNothing) {
  EXPECT_EQ(ov::ImportLegacyTokenData(helper, "Imported", &RecordingStep), OV_OK);
  EXPECT_EQ(g_step.calls, 0);
}

TEST_P(ImportTest, ProfileIsGivenToTheStepAndDeletedAfterItsSuccess) {
  WriteProfile();
  EXPECT_EQ(ov::ImportLegacyTokenData(helper, "Imported", &RecordingStep), OV_OK);
  EXPECT_EQ(g_step.calls, 1);
  EXPECT_EQ(g_step.name, "Imported");
  EXPECT_EQ(g_step.flag, 1u);
  EXPECT_EQ(g_step.activation, 0u);
  EXPECT_EQ(g_step.keyMaterial, "00112233445566778899");
  EXPECT_FALSE(fs::exists(ProfilePath()));
  EXPECT_EQ(ov::ImportLegacyTokenData(helper, "Imported", &RecordingStep), OV_OK);
  EXPECT_EQ(g_step.calls, 1) << "imported once";
}

TEST_P(ImportTest, FailedStepKeepsTheProfile) {
  WriteProfile();
  for (int32_t failure : {OV_ERR_OTHER_TOKEN_OPEN, OV_ERR_OPERATION_FAILED}) {
    g_step.result = failure;
    EXPECT_EQ(ov::ImportLegacyTokenData(helper, "Imported", &RecordingStep), failure);
    EXPECT_TRUE(fs::exists(ProfilePath()));
  }
}

// A profile this user cannot open reads as one without a token; the import still runs (and
// creates the token in INSTALLED_STATE) and the profile goes.
TEST_P(ImportTest, UnreadableProfileReadsAsEmpty) {
  const uint8_t otherEntropy[] = {9, 9, 9};
  WriteProfile(otherEntropy);
  EXPECT_EQ(ov::ImportLegacyTokenData(helper, "Imported", &RecordingStep), OV_OK);
  EXPECT_EQ(g_step.calls, 1);
  EXPECT_EQ(g_step.flag, 0u);
  EXPECT_FALSE(fs::exists(ProfilePath()));
}

INSTANTIATE_TEST_SUITE_P(Drives, ImportTest, ::testing::Values("internal", "usb-flash"));

}  // namespace
