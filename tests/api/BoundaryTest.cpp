// The library boundary: argument checks, the library object's life, the non-waiting lock, the W
// conversions and the record release rules.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "api/OVHelper.h"
#include "common/TokenInfoRecords.h"
#include "common/WideText.h"
#include "ov/ov_api.h"
#include "platform/Platform.h"
#include "storage/StoragePaths.h"
#include "support/FakeNamedMutex.h"
#include "support/TestEnvironment.h"

namespace {

using ov::test::FakeNamedMutexProvider;
using ov::test::PrivateHome;
namespace fs = std::filesystem;

constexpr const char* kUniqueId = "KLSA_GA_8_2";

class BoundaryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    while (OV_Finalize() == OV_OK) {
    }
  }
};

// The token store's own folder, which holds the library's lock on Linux.
[[maybe_unused]] fs::path StoreDir() { return PrivateHome::DataHome() / "Kelsa" / "Orvanti"; }

// Whether the library holds the store's lock under `id`: a lock file in the store folder on Linux,
// a named mutex on Windows. `id` is in the A functions' narrow form.
bool LockHeld(const std::string& id) {
#ifdef _WIN32
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, id.c_str());
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
#else
  return fs::exists(StoreDir() / (id + ".lock"));
#endif
}

// The probe's exit code maps the few results the tests look at (exit codes carry 8 bits).
int ProbeResult(int exitCode) {
  switch (exitCode) {
    case 0: return OV_OK;
    case 100: return OV_ERR_ALREADY_INITIALIZED;
    default: return -1;
  }
}

#ifdef _WIN32
// Runs OV_InitializeA in another process (the probe loads ovcore.dll) and returns its result.
int InitializeInOtherProcess(const std::string& id) {
  std::string command = "\"" OV_INIT_PROBE_PATH "\" \"" + id + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ProbeResult(static_cast<int>(exitCode));
}
#else
// Runs OV_InitializeA in another process (the probe links libovcore.so) and returns its result.
// `environment` is put before the probe's command (e.g. "XDG_RUNTIME_DIR=/x").
int InitializeInOtherProcess(const std::string& id, const std::string& environment = "") {
  const std::string probe = std::string(std::getenv("OV_TEST_BIN_DIR")) + "/tests/api/ov_init_probe";
  const std::string command = environment + " '" + probe + "' '" + id + "'";
  const int status = std::system(command.c_str());
  if (!WIFEXITED(status)) return -1;
  return ProbeResult(WEXITSTATUS(status));
}
#endif

TEST_F(BoundaryTest, ResultCodeTableHasTheNamedValues) {
  std::set<int> values;
#define OV_CHECK_ENTRY(name, value)                         \
  EXPECT_EQ(static_cast<int>(name), value) << #name;        \
  EXPECT_TRUE(values.insert(value).second) << "repeated " #name;
  OV_RESULT_CODES(OV_CHECK_ENTRY)
#undef OV_CHECK_ENTRY
  EXPECT_EQ(values.size(), 26u);
  EXPECT_EQ(OV_ERR_INVALID_PIN, 7506);
  EXPECT_EQ(INSTALLED_STATE + PENDING_PIN_STATE + ACTIVATED_STATE, 6);
}

// Every function but OV_Initialize, called with valid arguments, before OV_Initialize and after
// OV_Finalize.
struct NamedCall {
  const char* name;
  std::function<int32_t()> call;
};

std::vector<NamedCall> CallsWithValidArguments() {
  static char code[OV_ACTIVATION_CODE_SIZE];
  static wchar_t wcode[OV_ACTIVATION_CODE_SIZE];
  static char otp[9];
  static wchar_t wotp[9];
  static int32_t number = 8, minLength = 4, maxLength = 8, complexity = 0;
  static OVTokenInfoA info{};
  static OVTokenInfoW winfo{};
  return {
      {"OV_CreateInstanceA", [] { return OV_CreateInstanceA("Token 1", 0); }},
      {"OV_CreateInstanceW", [] { return OV_CreateInstanceW(L"Token 1", 0); }},
      {"OV_ReleaseInstance", [] { return OV_ReleaseInstance(); }},
      {"OV_GenerateActivationCodeA", [] { return OV_GenerateActivationCodeA("9859", code); }},
      {"OV_GenerateActivationCodeW", [] { return OV_GenerateActivationCodeW(nullptr, wcode); }},
      {"OV_PerformAutoEnrollmentA",
       [] {
         return OV_PerformAutoEnrollmentA("https://enroll.example", "user", "passphrase", nullptr,
                                          nullptr, 0, &minLength, &maxLength, &complexity);
       }},
      {"OV_PerformAutoEnrollmentW",
       [] {
         return OV_PerformAutoEnrollmentW(L"https://enroll.example", L"user", L"passphrase", L"Ab1234",
                                          L"My token", 30, &minLength, &maxLength, &complexity);
       }},
      {"OV_SetPinValidationA", [] { return OV_SetPinValidationA("1234"); }},
      {"OV_SetPinValidationW", [] { return OV_SetPinValidationW(L"1234"); }},
      {"OV_SetOTPValidationA", [] { return OV_SetOTPValidationA("Abc123", 4, 8, 1); }},
      {"OV_SetOTPValidationW", [] { return OV_SetOTPValidationW(L"Abc123", 4, 8, 1); }},
      {"OV_SetPinA", [] { return OV_SetPinA("1234"); }},
      {"OV_SetPinW", [] { return OV_SetPinW(L"1234"); }},
      {"OV_ChangePinA", [] { return OV_ChangePinA("1234", "5678"); }},
      {"OV_ChangePinW", [] { return OV_ChangePinW(L"1234", L"5678"); }},
      {"OV_ValidatePinA", [] { return OV_ValidatePinA("1234"); }},
      {"OV_ValidatePinW", [] { return OV_ValidatePinW(L"1234"); }},
      {"OV_GenerateOtpA", [] { number = 8; return OV_GenerateOtpA(nullptr, 0, otp, &number); }},
      {"OV_GenerateOtpW", [] { number = 8; return OV_GenerateOtpW(nullptr, 0, wotp, &number); }},
      {"OV_GetRemainingTickCount", [] { return OV_GetRemainingTickCount(&number); }},
      {"OV_ResetToken", [] { return OV_ResetToken(); }},
      {"OV_DeleteToken", [] { return OV_DeleteToken(); }},
      {"OV_ChangeTokenNameA", [] { return OV_ChangeTokenNameA("New name"); }},
      {"OV_ChangeTokenNameW", [] { return OV_ChangeTokenNameW(L"New name"); }},
      {"OV_GetTokenInfoA", [] { return OV_GetTokenInfoA(&info); }},
      {"OV_GetTokenInfoW", [] { return OV_GetTokenInfoW(&winfo); }},
      {"OV_FreeTokenInfoA", [] { return OV_FreeTokenInfoA(&info); }},
      {"OV_FreeTokenInfoW", [] { return OV_FreeTokenInfoW(&winfo); }},
      {"OV_GetTokenListA", [] { number = 0; return OV_GetTokenListA(nullptr, &number); }},
      {"OV_GetTokenListW", [] { number = 1; return OV_GetTokenListW(&winfo, &number); }},
      {"OV_FreeTokenListA", [] { return OV_FreeTokenListA(&info, 1); }},
      {"OV_FreeTokenListW", [] { return OV_FreeTokenListW(&winfo, 1); }},
      {"OV_ImportLegacyTokenDataA", [] { return OV_ImportLegacyTokenDataA("Token 1"); }},
      {"OV_ImportLegacyTokenDataW", [] { return OV_ImportLegacyTokenDataW(L"Token 1"); }},
      {"OV_Finalize", [] { return OV_Finalize(); }},
  };
}

TEST_F(BoundaryTest, EveryFunctionAnswersNotInitializedBeforeInitializeAndAfterFinalize) {
  for (const auto& [name, call] : CallsWithValidArguments()) {
    EXPECT_EQ(call(), OV_ERR_NOT_INITIALIZED) << name << " before OV_Initialize";
  }
  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  ASSERT_EQ(OV_Finalize(), OV_OK);
  for (const auto& [name, call] : CallsWithValidArguments()) {
    EXPECT_EQ(call(), OV_ERR_NOT_INITIALIZED) << name << " after OV_Finalize";
  }
}

TEST_F(BoundaryTest, ReservedArgumentMustBeZeroAndIsCheckedFirst) {
  EXPECT_EQ(OV_InitializeW(L"KLSA_GA_8_2", 1), OV_ERR_INVALID_PARAM);
  EXPECT_EQ(ov::g_pOVHelper, nullptr);
  EXPECT_FALSE(LockHeld("KLSA_GA_8_2"));
  EXPECT_EQ(OV_InitializeA(kUniqueId, -1), OV_ERR_INVALID_PARAM);
  // Argument checks come before the check for the library object.
  EXPECT_EQ(OV_CreateInstanceA("Token 1", 1), OV_ERR_INVALID_PARAM);
  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  EXPECT_EQ(OV_CreateInstanceW(L"Token 1", 7), OV_ERR_INVALID_PARAM);
}

TEST_F(BoundaryTest, UniqueIdIsTrimmedUpperCasedAndMustPassTheNameRule) {
  struct Case {
    const char* id;
    int32_t expected;
  };
  for (const Case& c : {Case{nullptr, OV_ERR_INVALID_PARAM}, Case{"abc  ", OV_ERR_INVALID_PARAM},
                        Case{"    ", OV_ERR_INVALID_PARAM}, Case{"kl:sa", OV_ERR_INVALID_PARAM},
                        Case{"ab/cd", OV_ERR_INVALID_PARAM}}) {
    EXPECT_EQ(OV_InitializeA(c.id, 0), c.expected) << (c.id ? c.id : "(null)");
  }
  ASSERT_EQ(OV_InitializeA("klsa_Ga_8_2   ", 0), OV_OK);
  EXPECT_EQ(ov::g_pOVHelper->UniqueId(), "KLSA_GA_8_2");
  EXPECT_TRUE(LockHeld("KLSA_GA_8_2"));
}

TEST_F(BoundaryTest, SecondInitializeInThisOrAnotherProcessIsRefused) {
  ASSERT_EQ(OV_InitializeA("klsa_ga_8_2 ", 0), OV_OK);
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_ALREADY_INITIALIZED);
  EXPECT_EQ(OV_InitializeW(L"another id", 0), OV_ERR_ALREADY_INITIALIZED);
  EXPECT_EQ(InitializeInOtherProcess("klsa_ga_8_2"), OV_ERR_ALREADY_INITIALIZED);
  EXPECT_EQ(InitializeInOtherProcess("OTHER_ID"), OV_OK);
#ifndef _WIN32
  // A process of another session (a cron job has no runtime folder, or another one) works on the
  // same store and meets the same lock.
  EXPECT_EQ(InitializeInOtherProcess("klsa_ga_8_2", "env -u XDG_RUNTIME_DIR"),
            OV_ERR_ALREADY_INITIALIZED);
  EXPECT_EQ(InitializeInOtherProcess("klsa_ga_8_2", "XDG_RUNTIME_DIR=/nonexistent"),
            OV_ERR_ALREADY_INITIALIZED);
#endif

  ASSERT_EQ(OV_Finalize(), OV_OK);
  EXPECT_EQ(InitializeInOtherProcess("klsa_ga_8_2"), OV_OK) << "the mutex outlived OV_Finalize";
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK) << "a finalized library can start again";
}

#ifdef _WIN32
// A process of another session does not see this session's mutex: it meets the lock on the lock
// file in the store folder. Taking that lock here plays such a process.
TEST_F(BoundaryTest, StoreLockFileTakenElsewhereMeansAlreadyRunning) {
  const std::string lock = ov::GetFilePath(nullptr) + "\\" + kUniqueId + ".lock";
  const auto open = [&] {
    return CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const auto take = [](HANDLE file) {
    OVERLAPPED at{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
  };
  HANDLE other = open();
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(take(other));
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_ALREADY_INITIALIZED);
  EXPECT_FALSE(LockHeld(kUniqueId)) << "the mutex is let go with the refusal";
  CloseHandle(other);

  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  other = open();
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(take(other)) << "the library holds the lock file as long as the mutex";
  CloseHandle(other);
  ASSERT_EQ(OV_Finalize(), OV_OK);
  other = open();
  EXPECT_TRUE(take(other)) << "finalising lets the lock file go";
  CloseHandle(other);
}
#endif

TEST_F(BoundaryTest, FailedMutexLeavesAnUninitializedObjectThatALaterCallReplaces) {
  {
    FakeNamedMutexProvider failing(FakeNamedMutexProvider::Mode::Fail);
    ov::platform::ScopedPlatform scope({&failing});
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_INIT_FAILED);
    ASSERT_NE(ov::g_pOVHelper, nullptr);
    EXPECT_FALSE(ov::g_pOVHelper->IsInitialized());
    int32_t count = 0;
    EXPECT_EQ(OV_GetTokenListA(nullptr, &count), OV_ERR_NOT_INITIALIZED);
    EXPECT_EQ(OV_ReleaseInstance(), OV_ERR_NO_INSTANCE);
  }
  {
    FakeNamedMutexProvider taken(FakeNamedMutexProvider::Mode::AlreadyExists);
    ov::platform::ScopedPlatform scope({&taken});
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_ALREADY_INITIALIZED);
    EXPECT_FALSE(ov::g_pOVHelper->IsInitialized());
  }
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  EXPECT_TRUE(ov::g_pOVHelper->IsInitialized());
}

TEST_F(BoundaryTest, ExceptionInsideInitializeIsAnsweredAndDropsTheObject) {
  for (auto mode : {FakeNamedMutexProvider::Mode::ThrowBadAlloc,
                    FakeNamedMutexProvider::Mode::ThrowOVException}) {
    FakeNamedMutexProvider throwing(mode);
    ov::platform::ScopedPlatform scope({&throwing});
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_OPERATION_FAILED);
    EXPECT_EQ(ov::g_pOVHelper, nullptr);
  }
}

TEST_F(BoundaryTest, ACallFromASecondThreadWhileAnotherIsInsideFailsAtOnce) {
  FakeNamedMutexProvider blocking(FakeNamedMutexProvider::Mode::Block);
  ov::platform::ScopedPlatform scope({&blocking});
  auto inside = std::async(std::launch::async, [] { return OV_InitializeA(kUniqueId, 0); });
  blocking.entered.get_future().wait();

  // A waiting lock would never return here, since the first call goes on only when released.
  auto second = std::async(std::launch::async, [] {
    int32_t count = 0;
    return std::make_pair(OV_ReleaseInstance(), OV_GetTokenListW(nullptr, &count));
  });
  const bool answered = second.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  blocking.release.set_value();
  ASSERT_TRUE(answered) << "the second call waited for the lock";
  EXPECT_EQ(second.get(), std::make_pair(int32_t{OV_ERR_OPERATION_FAILED},
                                         int32_t{OV_ERR_OPERATION_FAILED}));
  EXPECT_EQ(inside.get(), OV_OK);
  EXPECT_EQ(OV_ReleaseInstance(), OV_ERR_NO_INSTANCE) << "the lock was left";
}

// The narrow form is UTF-8 on Linux and the ANSI code page on Windows.
TEST_F(BoundaryTest, WideArgumentsReachTheLibraryInTheNarrowForm) {
#ifdef _WIN32
  if (GetACP() != 1252) GTEST_SKIP() << "the narrow form checked is that of code page 1252";
  const std::string narrowId = "T\xF6KEN-ID";
#else
  const std::string narrowId = "T\xC3\xB6KEN-ID";
#endif
  ASSERT_EQ(OV_InitializeW(L"t\u00f6ken-id ", 0), OV_OK);
  EXPECT_EQ(ov::g_pOVHelper->UniqueId(), narrowId);
  EXPECT_TRUE(LockHeld(narrowId));
  // A character with no narrow form becomes "?", which the token-name rule refuses.
  const wchar_t lone[] = {L'T', L'o', L'k', static_cast<wchar_t>(0xD800), L'n', 0};
  EXPECT_EQ(OV_CreateInstanceW(lone, 0), OV_ERR_INVALID_PARAM);
  ASSERT_EQ(OV_CreateInstanceW(L"Token \u20AC", 0), OV_OK) << "a valid wide name passes the checks";
  OVTokenInfoW info{};
  ASSERT_EQ(OV_GetTokenInfoW(&info), OV_OK);
  EXPECT_STREQ(info.m_szTokenName, L"Token \u20AC");
  EXPECT_EQ(OV_FreeTokenInfoW(&info), OV_OK);
}

TEST_F(BoundaryTest, VariantDifferences) {
  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  wchar_t wcode[OV_ACTIVATION_CODE_SIZE] = {};
  int32_t length = 0;
  struct Case {
    const char* name;
    std::function<int32_t()> call;
    int32_t expected;
  };
  const Case cases[] = {
      {"import A, 3-character name", [] { return OV_ImportLegacyTokenDataA("abc"); }, OV_ERR_NOT_INITIALIZED},
      {"import W, null name", [] { return OV_ImportLegacyTokenDataW(nullptr); }, OV_ERR_INVALID_PARAM},
      {"import W, empty name", [] { return OV_ImportLegacyTokenDataW(L""); }, OV_ERR_INVALID_PARAM},
      {"activation W, 5 characters", [&] { return OV_GenerateActivationCodeW(L"12345", wcode); }, OV_ERR_INVALID_PARAM},
      {"activation W, empty policy", [&] { return OV_GenerateActivationCodeW(L"", wcode); }, OV_ERR_INVALID_PARAM},
      {"activation W, null policy", [&] { return OV_GenerateActivationCodeW(nullptr, wcode); }, OV_ERR_NO_INSTANCE},
      {"activation A, 4 characters", [&] { return OV_GenerateActivationCodeA("9859", code); }, OV_ERR_NO_INSTANCE},
      {"activation A, 7 characters", [&] { return OV_GenerateActivationCodeA("1234567", code); }, OV_ERR_INVALID_PARAM},
      {"activation A, 8 characters", [&] { return OV_GenerateActivationCodeA("17840159", code); }, OV_ERR_NO_INSTANCE},
      {"activation A, 12 characters", [&] { return OV_GenerateActivationCodeA("123456789012", code); }, OV_ERR_NO_INSTANCE},
      {"activation A, 13 characters", [&] { return OV_GenerateActivationCodeA("1234567890123", code); }, OV_ERR_INVALID_PARAM},
      {"activation A, no buffer", [] { return OV_GenerateActivationCodeA(nullptr, nullptr); }, OV_ERR_INVALID_PARAM},
      {"passcode W, no length", [] { return OV_GenerateOtpW(nullptr, 0, nullptr, nullptr); }, OV_ERR_INVALID_PARAM},
      {"passcode W, length query", [&] { return OV_GenerateOtpW(nullptr, 0, nullptr, &length); }, OV_ERR_NO_INSTANCE},
      {"token info W, no record", [] { return OV_GetTokenInfoW(nullptr); }, OV_ERR_INVALID_PARAM},
      {"token list W, no count", [] { return OV_GetTokenListW(nullptr, nullptr); }, OV_ERR_INVALID_PARAM},
      {"free info W, no record", [] { return OV_FreeTokenInfoW(nullptr); }, OV_ERR_INVALID_PARAM},
      {"free list A, no array", [] { return OV_FreeTokenListA(nullptr, 1); }, OV_ERR_INVALID_PARAM},
      {"rename W, name with a colon", [] { return OV_ChangeTokenNameW(L"my:token"); }, OV_ERR_INVALID_PARAM},
      {"enrollment A, no password",
       [&] { return OV_PerformAutoEnrollmentA("https://x.example", "u", nullptr, nullptr, nullptr, 0, &length, &length, &length); },
       OV_ERR_INVALID_PARAM},
      {"soft PIN rule W, complex", [] { return OV_SetOTPValidationW(L"Abcdef1", 4, 8, 1); }, OV_OK},
      {"soft PIN rule W, not complex enough", [] { return OV_SetOTPValidationW(L"abcdef1", 4, 8, 1); }, OV_ERR_INVALID_PARAM},
      {"enrollment W, URL without host",
       [&] { return OV_PerformAutoEnrollmentW(L"https://", L"u", L"pass", nullptr, nullptr, 0, &length, &length, &length); },
       OV_ERR_INVALID_PARAM},
      {"enrollment W, backslashes made slashes",
       [&] { return OV_PerformAutoEnrollmentW(L"https:\\\\x.example", L"u", L"pass", nullptr, nullptr, 0, &length, &length, &length); },
       OV_ERR_NO_INSTANCE},
      {"enrollment W, user name with #",
       [&] { return OV_PerformAutoEnrollmentW(L"https://x.example", L"u#1", L"pass", nullptr, nullptr, 0, &length, &length, &length); },
       OV_ERR_INVALID_PARAM},
      {"enrollment W, passphrase of 3",
       [&] { return OV_PerformAutoEnrollmentW(L"https://x.example", L"u", L"pas", nullptr, nullptr, 0, &length, &length, &length); },
       OV_ERR_INVALID_PARAM},
      {"enrollment W, soft PIN against the rule given",
       [&] { length = 4; return OV_PerformAutoEnrollmentW(L"https://x.example", L"u", L"pass", L"ab-1", nullptr, 0, &length, &length, &length); },
       OV_ERR_INVALID_PARAM},
      {"enrollment A, no out integer",
       [&] { return OV_PerformAutoEnrollmentA("https://x.example", "u", "pass", nullptr, nullptr, 0, &length, nullptr, &length); },
       OV_ERR_INVALID_PARAM},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;
}

// "Töken" in the A functions' narrow form: UTF-8, or code page 1252 on Windows.
#ifdef _WIN32
constexpr std::string_view kNarrowToeken = "T\xF6ken";
#else
constexpr std::string_view kNarrowToeken = "T\xC3\xB6ken";
#endif

OVTokenInfoA FilledNarrowRecord(char* reserved) {
  OVTokenInfoA info{};
  info.m_szTokenName = ov::DuplicateText(kNarrowToeken);
  info.m_szTokenPolicy = ov::DuplicateText(std::string_view("9859"));
  info.m_szTokenPolicyLevel = ov::DuplicateText(std::string_view("Level 2"));
  info.m_szTokenMode = nullptr;
  info.m_szTokenSerialNo = ov::DuplicateText(std::string_view());  // the shared empty string
  info.m_szSdkVersion = ov::DuplicateText(std::string_view("8.3.1"));
  info.m_nTokenState = ACTIVATED_STATE;
  info.m_nChallengeLength = 8;
  info.m_nMaxAttacks = 10;
  info.m_nBadPinCount = 2;
  info.m_nLockTimeLeft = 30;
  info.m_bTokenLocked = 1;
  info.m_bPinRequired = 1;
  info.m_nPinLength = 4;
  info.m_nTimeStep = 60;
  info.m_bTrivialPinAllowedEx = 1;
  info.m_pReserved = reserved;
  info.m_nReservedLength = 4;
  info.m_bTrivialPinAllowed = 1;
  return info;
}

template <class Record>
void ExpectReleased(const Record& r) {
  EXPECT_EQ(r.m_szTokenName, nullptr);
  EXPECT_EQ(r.m_szTokenPolicy, nullptr);
  EXPECT_EQ(r.m_szTokenPolicyLevel, nullptr);
  EXPECT_EQ(r.m_szTokenMode, nullptr);
  EXPECT_EQ(r.m_szTokenSerialNo, nullptr);
  EXPECT_EQ(r.m_szSdkVersion, nullptr);
  EXPECT_EQ(r.m_pReserved, nullptr);
  const int32_t numbers = r.m_nTokenState | r.m_nChallengeLength | r.m_nMaxAttacks |
                          r.m_nBadPinCount | r.m_nLockTimeLeft | r.m_nPinLength | r.m_nTimeStep |
                          r.m_nReservedLength;
  const int flags = r.m_bTokenLocked | r.m_bPinRequired | r.m_bTrivialPinAllowedEx |
                    r.m_bTrivialPinAllowed;
  EXPECT_EQ(numbers, 0);
  EXPECT_EQ(flags, 0);
}

TEST_F(BoundaryTest, RecordsAreConvertedAndReleasedByTheirRules) {
#ifdef _WIN32
  if (GetACP() != 1252) GTEST_SKIP() << "the narrow name is that of code page 1252";
#endif
  char reserved[4] = {1, 2, 3, 4};
  OVTokenInfoA narrow = FilledNarrowRecord(reserved);
  OVTokenInfoW wide{};
  wide.m_pReserved = reserved;
  ov::OVTokenInfoA2W(narrow, wide);
  EXPECT_STREQ(wide.m_szTokenName, L"T\u00f6ken");
  EXPECT_STREQ(wide.m_szTokenPolicyLevel, L"Level 2");
  EXPECT_EQ(wide.m_szTokenMode, nullptr);
  EXPECT_STREQ(wide.m_szTokenSerialNo, L"");
  EXPECT_EQ(wide.m_nLockTimeLeft, 30);
  EXPECT_EQ(wide.m_bTrivialPinAllowed, 1);
  EXPECT_EQ(wide.m_nReservedLength, 0) << "reserved fields are not copied";

  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  // A single record needs the open token; list entries do not.
  EXPECT_EQ(OV_FreeTokenInfoW(&wide), OV_ERR_NO_INSTANCE);
  EXPECT_EQ(OV_FreeTokenInfoA(&narrow), OV_ERR_NO_INSTANCE);
  EXPECT_EQ(OV_FreeTokenListW(&wide, 1), OV_OK);
  EXPECT_EQ(OV_FreeTokenListA(&narrow, 1), OV_OK);
  ExpectReleased(narrow);
  ExpectReleased(wide);
  EXPECT_EQ(reserved[3], 4) << "memory the library did not allocate is left alone";
  EXPECT_EQ(OV_FreeTokenListA(&narrow, 1), OV_OK) << "releasing twice is harmless";
}

TEST(WideTextTest, MalformedTextIsReplacedNotRefused) {
  struct Case {
    std::string utf8;
    std::wstring wide;
  };
  const Case cases[] = {
      {"abc", L"abc"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", L"\u00e9\u20ac\U0001F600"},
      {"a\xC3", L"a\uFFFD"},                // truncated at the end
      {"\xC0\xAF", L"\uFFFD"},              // overlong form of "/"
      {"\xED\xA0\x80x", L"\uFFFDx"},        // an encoded surrogate
      {"\x80z", L"\uFFFDz"},                // stray continuation byte
      {"\xE2\x82z", L"\uFFFDz"},            // cut short by an ASCII byte
  };
  for (const Case& c : cases) EXPECT_EQ(ov::ToWide(c.utf8), c.wide) << c.utf8;
  if constexpr (sizeof(wchar_t) == 4) {  // a value past Unicode fits only a 32-bit wchar_t
    ov::SecureString narrow;
    ov::AppendUtf8(std::wstring{L'a', static_cast<wchar_t>(0x110000), L'\u00e9'}, narrow);
    EXPECT_EQ(narrow.view(), "a?\xC3\xA9");
  }

  EXPECT_EQ(ov::Utf16ToUtf8(u"S\u00e9r\U0001F600"), "S\xC3\xA9r\xF0\x9F\x98\x80");
  EXPECT_EQ(ov::Utf16ToUtf8(std::u16string{u'a', static_cast<char16_t>(0xD800), u'b'}), "a?b");
  EXPECT_EQ(ov::Utf8ToUtf16("S\xC3\xA9r\xF0\x9F\x98\x80\xC3"), u"S\u00e9r\U0001F600\uFFFD");
}

}  // namespace
