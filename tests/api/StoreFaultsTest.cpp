// The token store under faults, through the public API: a process stopped at every step of a
// rename, a PIN check or an import; writes the disk refuses; a clock far ahead or before 2010;
// FIFOs, links and leftovers in the token folders; a user secret that is refused. Processes are
// stopped with _exit at a chosen file step (the file layer's test seam): nothing is flushed or
// cleaned up, just as when the process is killed there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ov/ov_api.h"
#include "storage/OVEngineStore.h"
#include "storage/StoragePaths.h"
#include "storage/TokenFile.h"
#include "support/ApiPasscode.h"
#include "support/PasscodeReference.h"
#include "support/StorageEnvironment.h"
#include "support/TestEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

namespace fs = std::filesystem;
using ov::FileStep;

constexpr char kUniqueId[] = "KLSA_GA_8_2";
constexpr int kStoppedExit = 42;
constexpr int64_t kDecember2026 = 1'796'860'800;  // 2026-12-10
constexpr int64_t kYear2040 = 2'208'988'800;
constexpr int64_t kYear2005 = 1'104'537'600;

fs::path Ov3Folder() { return ov::GetFilePath(ov::kTokenFolderOv3); }
fs::path LegacyFolder() { return ov::GetFilePath(ov::kTokenFolderLegacy); }
fs::path StoreRoot() { return ov::GetFilePath(nullptr); }
fs::path Ov3File(const std::string& name) {
  return Ov3Folder() / (ov::OVEngineStore::GetFileName(name) + ".tk3");
}

// The observer of a child process: it ends the process just before step number g_stopAt.
int g_stopAt = -1;
int g_steps = 0;
bool StopAtStep(FileStep, const std::string&) {
  if (g_steps++ == g_stopAt) _exit(kStoppedExit);
  return true;
}

// Runs `prepare` and then `act` in a child process that ends before file step `stopAt` of `act`.
// True when the child was stopped there; false when `act` finished with fewer steps.
bool RunStoppedAt(int stopAt, const std::function<void()>& prepare, const std::function<void()>& act) {
  const pid_t child = fork();
  if (child == 0) {
    prepare();
    g_stopAt = stopAt;
    g_steps = 0;
    ov::SetFileStepObserver(&StopAtStep);
    act();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "the child crashed at step " << stopAt;
  return WIFEXITED(status) && WEXITSTATUS(status) == kStoppedExit;
}

// Fails every step, or only the steps on paths ending in g_failSuffix.
std::string g_failSuffix;
bool FailSteps(FileStep, const std::string& path) {
  return !g_failSuffix.empty() && !path.ends_with(g_failSuffix);
}

struct ObserverScope {
  explicit ObserverScope(ov::FileStepObserver observer, std::string suffix = "") {
    g_failSuffix = std::move(suffix);
    ov::SetFileStepObserver(observer);
  }
  ~ObserverScope() { ov::SetFileStepObserver(nullptr); }
};

struct Listed {
  std::string name;
  int32_t badPins = 0;
  int32_t lockLeft = 0;
  bool locked = false;
  int32_t state = 0;
};

class StoreFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.clock.now = kDecember2026;
    fs::remove_all(StoreRoot());
  }
  void TearDown() override { OV_Finalize(); }

  // The library's life in this process; a child must never inherit an initialized library.
  static void Start() { ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK); }
  static void Stop() { OV_Finalize(); }

  static std::vector<Listed> List(int32_t* result = nullptr) {
    std::vector<OVTokenInfoA> list(16);
    int32_t count = 16;
    const int32_t code = OV_GetTokenListA(list.data(), &count);
    if (result != nullptr) *result = code;
    std::vector<Listed> tokens;
    if (code != OV_OK) return tokens;
    for (int32_t i = 0; i < count; ++i) {
      tokens.push_back({list[i].m_szTokenName, list[i].m_nBadPinCount, list[i].m_nLockTimeLeft,
                        list[i].m_bTokenLocked != 0, list[i].m_nTokenState});
    }
    OV_FreeTokenListA(list.data(), count);
    return tokens;
  }
  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const Listed& token : List()) names.push_back(token.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  // A manually activated event token with a PIN; its OTP key is returned.
  std::vector<uint8_t> Activate(const char* name, const std::string& policy, const char* pin = "1234") {
    EXPECT_EQ(OV_CreateInstanceA(name, 0), OV_OK);
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    EXPECT_EQ(OV_GenerateActivationCodeA(policy.c_str(), code), OV_OK);
    EXPECT_EQ(OV_SetPinA(pin), OV_OK);
    EXPECT_EQ(OV_ReleaseInstance(), OV_OK);
    return ov::test::ActivationKey(code, policy);
  }

  static int32_t Validate(const char* name, const char* pin) {
    if (OV_CreateInstanceA(name, 0) != OV_OK) return -1;
    const int32_t result = OV_ValidatePinA(pin);
    OV_ReleaseInstance();
    return result;
  }

  const std::string kPolicy =
      ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 10}, {"attackdelay", 4}});
  ov::test::StorageEnvironment env;
};

TEST_F(StoreFaultsTest, RenameStoppedAtEveryStepLeavesTheTokenUnderExactlyOneName) {
  Start();
  const std::vector<uint8_t> key = Activate("Old name", kPolicy);
  Stop();
  uint64_t counter = 0;
  int stop = 0;
  for (;; ++stop) {
    const bool stopped = RunStoppedAt(
        stop,
        [] {
          Start();
          ASSERT_EQ(OV_CreateInstanceA("Old name", 0), OV_OK);
          ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
        },
        [] { OV_ChangeTokenNameA("New name"); });
    Start();
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 1u) << "stopped at step " << stop;
    const std::string name = names[0];
    ASSERT_TRUE(name == "Old name" || name == "New name") << name;
    const std::string other = name == "Old name" ? "New name" : "Old name";
    EXPECT_FALSE(fs::exists(Ov3File(other))) << "stopped at step " << stop;
    ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
    ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK) << "stopped at step " << stop << ", under " << name;
    EXPECT_EQ(ov::test::NextPasscode(), ov::test::Hotp(key, counter++, 6)) << "stopped at step " << stop;
    if (!stopped) {
      EXPECT_EQ(name, "New name") << "the rename finished";
      break;
    }
    if (name == "New name") {
      ASSERT_EQ(OV_ChangeTokenNameA("Old name"), OV_OK);
    }
    OV_ReleaseInstance();
    Stop();
  }
  EXPECT_GE(stop, 6) << "the rename went through fewer steps than a write and a rename take";
}

TEST_F(StoreFaultsTest, PinChangeStoppedAtEveryStepLeavesExactlyOnePin) {
  // A challenge-response token, whose answer to a fixed challenge shows that the key is intact.
  const std::string policy = ov::test::Formulate(
      {{"mode", 2}, {"pinlen", 4}, {"challlen", 8}, {"maxattacks", 0}, {"attackdelay", 0}});
  Start();
  Activate("Changing", policy, "2468");
  ASSERT_EQ(OV_CreateInstanceA("Changing", 0), OV_OK);
  ASSERT_EQ(OV_ValidatePinA("2468"), OV_OK);
  const std::string answer = ov::test::NextPasscode("12345678");
  OV_ReleaseInstance();
  Stop();
  std::string pin = "2468";
  int stop = 0;
  for (;; ++stop) {
    const std::string next = pin == "2468" ? "1357" : "2468";
    const bool stopped = RunStoppedAt(
        stop,
        [&] {
          Start();
          ASSERT_EQ(OV_CreateInstanceA("Changing", 0), OV_OK);
          ASSERT_EQ(OV_ValidatePinA(pin.c_str()), OV_OK);
        },
        [&] { OV_ChangePinA(pin.c_str(), next.c_str()); });
    Start();
    const bool oldOpens = Validate("Changing", pin.c_str()) == OV_OK;
    const bool newOpens = Validate("Changing", next.c_str()) == OV_OK;
    ASSERT_NE(oldOpens, newOpens) << "stopped at step " << stop;
    if (newOpens) pin = next;
    ASSERT_EQ(OV_CreateInstanceA("Changing", 0), OV_OK);
    ASSERT_EQ(OV_ValidatePinA(pin.c_str()), OV_OK);
    EXPECT_EQ(ov::test::NextPasscode("12345678"), answer) << "stopped at step " << stop;
    OV_ReleaseInstance();
    Stop();
    if (!stopped) break;
  }
  EXPECT_GE(stop, 5);
}

TEST_F(StoreFaultsTest, LegacyConversionStoppedAtEveryStepLeavesOneTokenThatOpens) {
  int stop = 0;
  for (;; ++stop) {
    fs::remove_all(StoreRoot());
    ASSERT_TRUE(ov::test::MakeLegacyToken("Converted", ACTIVATED_STATE, "1234"));
    // The first right PIN writes the token's format-3 file and then removes its legacy file.
    const bool stopped = RunStoppedAt(
        stop,
        [] {
          Start();
          ASSERT_EQ(OV_CreateInstanceA("Converted", 0), OV_OK);
        },
        [] { OV_ValidatePinA("1234"); });
    Start();
    EXPECT_EQ(Names(), std::vector<std::string>{"Converted"}) << "stopped at step " << stop;
    EXPECT_EQ(Validate("Converted", "1234"), OV_OK) << "stopped at step " << stop;
    EXPECT_TRUE(fs::exists(Ov3File("Converted")));
    Stop();
    if (!stopped) break;
  }
  EXPECT_GE(stop, 10);
}

TEST_F(StoreFaultsTest, RenameThatCannotBeWrittenKeepsTheOldName) {
  Start();
  Activate("Kept", kPolicy);
  ASSERT_EQ(OV_CreateInstanceA("Kept", 0), OV_OK);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  {
    ObserverScope failRename(&FailSteps, "");  // every step fails
    EXPECT_EQ(OV_ChangeTokenNameA("Moved"), OV_ERR_OPERATION_FAILED);
  }
  OV_ReleaseInstance();
  EXPECT_EQ(Names(), std::vector<std::string>{"Kept"});
  EXPECT_EQ(Validate("Kept", "1234"), OV_OK);
}

TEST_F(StoreFaultsTest, AttemptIsCountedOnDiskBeforeThePinIsTried) {
  Start();
  Activate("Counted", kPolicy);
  Stop();
  // Stopped right after the count was written (step 4 flushes the folder after the rename):
  // every attempt counts, a right PIN too, though the process never learnt the answer.
  for (const char* pin : {"0000", "1111", "1234"}) {
    RunStoppedAt(
        4,
        [] {
          Start();
          ASSERT_EQ(OV_CreateInstanceA("Counted", 0), OV_OK);
        },
        [pin] { OV_ValidatePinA(pin); });
  }
  Start();
  ASSERT_EQ(List().size(), 1u);
  EXPECT_EQ(List()[0].badPins, 3);
  EXPECT_EQ(Validate("Counted", "1234"), OV_OK);
  EXPECT_EQ(List()[0].badPins, 0);
}

// "maxattacks" 5 and "attackdelay" 2: the 2nd wrong PIN in a row locks 1 minute, the 3rd 2, the
// 4th 3, and the 5th deactivates.
const std::string kGuardedPolicy =
    ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 5}, {"attackdelay", 2}});
int32_t GuardedLock(int32_t badPins) { return badPins < 2 ? 0 : 60 * (badPins - 1); }

TEST_F(StoreFaultsTest, WrongPinsStoppedAtEverySaveNeverCountFewerTriesThanAnswered) {
  const int64_t start = env.clock.now;
  for (int stop = 0;; ++stop) {
    fs::remove_all(StoreRoot());
    env.clock.now = start;
    Start();
    Activate("Guarded", kGuardedPolicy);
    Stop();
    // Seven wrong PINs, each 20 minutes after the last (no lock-out is still running); the child
    // reports every answer through a pipe before it goes on.
    int answers[2];
    ASSERT_EQ(pipe(answers), 0);
    const bool stopped = RunStoppedAt(stop, &Start, [&] {
      close(answers[0]);
      for (int i = 1; i <= 7; ++i) {
        env.clock.now = start + 1200 * i;
        const int32_t result = Validate("Guarded", "0000");
        ASSERT_EQ(write(answers[1], &result, sizeof result), static_cast<ssize_t>(sizeof result));
      }
    });
    close(answers[1]);
    int wrong = 0;
    bool deactivated = false;
    for (int32_t result = 0; read(answers[0], &result, sizeof result) == sizeof result;) {
      if (result == OV_ERR_INVALID_PIN) ++wrong;
      if (result == OV_ERR_TOKEN_DEACTIVATED) deactivated = true;
    }
    close(answers[0]);
    SCOPED_TRACE("stopped at step " + std::to_string(stop) + " after " + std::to_string(wrong) +
                 " wrong PINs were answered");
    env.clock.now = start + 1200 * (wrong + 1);  // the time of the try that was stopped
    Start();
    const std::vector<Listed> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    const Listed& token = listed[0];
    if (deactivated || token.state != ACTIVATED_STATE) {
      EXPECT_EQ(token.state, INSTALLED_STATE);
      EXPECT_GE(wrong, 4) << "deactivated before the 5th try";
      EXPECT_NE(Validate("Guarded", "1234"), OV_OK) << "a deactivated token opens";
      ov::test::FixtureStore file("Guarded");
      ASSERT_TRUE(file.Load(true));
      EXPECT_TRUE(file.Properties().getItem("F3").empty()) << "the seed is still in the file";
    } else {
      // The stopped try counts when its save was finished, and then with its lock-out.
      EXPECT_TRUE(token.badPins == wrong || token.badPins == wrong + 1) << token.badPins;
      EXPECT_LT(token.badPins, 5) << "a spent token is still activated";
      EXPECT_EQ(token.lockLeft, token.badPins == wrong + 1 ? GuardedLock(token.badPins) : 0);
      env.clock.now += 1200;
      EXPECT_EQ(Validate("Guarded", "1234"), OV_OK);
    }
    Stop();
    if (!stopped) {
      EXPECT_TRUE(deactivated);
      break;
    }
  }
}

TEST_F(StoreFaultsTest, RightPinStoppedAtEverySaveCostsAtMostOneTry) {
  const int64_t start = env.clock.now;
  for (int before : {1, 4}) {
    for (int stop = 0;; ++stop) {
      SCOPED_TRACE(std::to_string(before) + " wrong PINs before, stopped at step " + std::to_string(stop));
      fs::remove_all(StoreRoot());
      env.clock.now = start;
      Start();
      Activate("Guarded", kGuardedPolicy);
      for (int i = 0; i < before; ++i) {
        ASSERT_EQ(Validate("Guarded", "0000"), OV_ERR_INVALID_PIN);
        env.clock.now += 1200;
      }
      Stop();
      const bool stopped = RunStoppedAt(stop, &Start, [] { Validate("Guarded", "1234"); });
      Start();
      const Listed token = List().at(0);
      if (!stopped) {
        EXPECT_EQ(token.badPins, 0);
        EXPECT_EQ(token.lockLeft, 0);
        Stop();
        break;
      }
      if (token.state == ACTIVATED_STATE) {
        // 0 once the right PIN's own save is through.
        EXPECT_TRUE(token.badPins == 0 || token.badPins == before || token.badPins == before + 1)
            << token.badPins;
        EXPECT_LT(token.badPins, 5);
        EXPECT_EQ(token.lockLeft, token.badPins == before + 1 ? GuardedLock(token.badPins) : 0);
        env.clock.now += token.lockLeft;
        EXPECT_EQ(Validate("Guarded", "1234"), OV_OK);
      } else {
        EXPECT_EQ(before, 4) << "deactivated though the try was not the 5th";
        EXPECT_NE(Validate("Guarded", "1234"), OV_OK);
      }
      Stop();
    }
  }
}

TEST_F(StoreFaultsTest, RefusedWriteAnswersAlikeForARightAndAWrongPin) {
  Start();
  Activate("Read-only", kPolicy);
  ASSERT_EQ(OV_CreateInstanceA("Read-only", 0), OV_OK);
  {
    ObserverScope readOnly(&FailSteps, "");
    EXPECT_EQ(OV_ValidatePinA("1234"), OV_ERR_OPERATION_FAILED);
    EXPECT_EQ(OV_ValidatePinA("0000"), OV_ERR_OPERATION_FAILED);
  }
  OV_ReleaseInstance();
  EXPECT_EQ(List()[0].badPins, 0) << "nothing was tried, nothing was counted";
  // Twelve wrong PINs on a working disk are twelve attempts: the lock-out and the deactivation come.
  int32_t last = OV_OK;
  for (int i = 0; i < 12 && last != OV_ERR_TOKEN_DEACTIVATED; ++i) {
    env.clock.now += 1200;
    last = Validate("Read-only", "0000");
  }
  EXPECT_EQ(last, OV_ERR_TOKEN_DEACTIVATED);
}

TEST_F(StoreFaultsTest, DeactivatedTokenKeepsNoPinProtectedKey) {
  Start();
  Activate("Gone", kPolicy);
  for (int i = 0; i < 10; ++i) {
    env.clock.now += 1200;
    Validate("Gone", "0000");
  }
  ov::test::FixtureStore file("Gone");
  ASSERT_TRUE(file.Load(true));
  EXPECT_EQ(file.Record().m_nState, static_cast<uint32_t>(INSTALLED_STATE));
  EXPECT_TRUE(file.Properties().getItem("F3").empty()) << "the seed is still in the file";
  EXPECT_TRUE(file.Properties().getText("ES").empty());
}

TEST_F(StoreFaultsTest, LockOutSetByAClockFarAheadEndsWithinThePolicysLockTime) {
  Start();
  Activate("Ahead", kPolicy);  // "attackdelay" 4: the 4th wrong PIN locks 1 minute, the 5th 2
  env.clock.now = kYear2040;
  for (int i = 0; i < 5; ++i) {
    Validate("Ahead", "0000");
    env.clock.now += 60;
  }
  EXPECT_EQ(List()[0].lockLeft, 60);
  env.clock.now = kDecember2026;  // the clock is put right
  EXPECT_EQ(List()[0].lockLeft, 120) << "no more than the policy gives five wrong PINs";
  EXPECT_EQ(Validate("Ahead", "1234"), OV_ERR_TOKEN_LOCKED);
  env.clock.now += 119;
  EXPECT_EQ(Validate("Ahead", "1234"), OV_ERR_TOKEN_LOCKED);
  env.clock.now += 1;
  EXPECT_EQ(Validate("Ahead", "1234"), OV_OK) << "the lock-out ended 2 minutes after the clock came back";
}

TEST_F(StoreFaultsTest, ClockBefore2010IsNoLockOut) {
  env.clock.now = kYear2005;
  Start();
  Activate("Early", kPolicy);
  ASSERT_EQ(List().size(), 1u);
  EXPECT_FALSE(List()[0].locked);
  EXPECT_EQ(Validate("Early", "1234"), OV_OK);
  for (int i = 0; i < 4; ++i) Validate("Early", "0000");
  EXPECT_EQ(List()[0].lockLeft, 60) << "a lock-out still works then";
  env.clock.now += 60;
  EXPECT_EQ(Validate("Early", "1234"), OV_OK);
}

TEST_F(StoreFaultsTest, OddEntriesInTheTokenFoldersAreNeverOpened) {
  Start();
  Activate("Real", kPolicy);
  Stop();
  const fs::path outside = StoreRoot().parent_path() / "elsewhere.tk3";
  fs::copy_file(Ov3File("Real"), outside);
  ASSERT_EQ(mkfifo(Ov3File("Fifo").c_str(), 0600), 0);
  fs::create_symlink(outside, Ov3File("Link"));
  fs::create_symlink("/dev/zero", Ov3File("Device"));
  ASSERT_EQ(mkfifo((LegacyFolder() / (ov::OVEngineStore::GetFileName("Old fifo") + ".dat")).c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((StoreRoot() / "ProfileData").c_str(), 0600), 0);

  Start();  // the start-up repairs read the folders too
  int32_t count = 0;
  ASSERT_EQ(OV_GetTokenListA(nullptr, &count), OV_OK);
  EXPECT_EQ(count, 1) << "only regular files are token files";
  EXPECT_EQ(Names(), std::vector<std::string>{"Real"});
  EXPECT_EQ(OV_ImportLegacyTokenDataA("Imported"), OV_OK);
  EXPECT_EQ(Names(), std::vector<std::string>{"Real"});
  EXPECT_TRUE(fs::is_fifo(Ov3File("Fifo"))) << "left where it is";
  EXPECT_TRUE(fs::is_symlink(Ov3File("Link")));
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_EQ(Validate("Real", "1234"), OV_OK);
}

TEST_F(StoreFaultsTest, TemporaryFilesOfAnInterruptedSaveGoAtStart) {
  Start();
  Activate("Saved", kPolicy);
  Stop();
  // Stopped before the rename of the attempt's save: the temporary file stays behind.
  ASSERT_TRUE(RunStoppedAt(
      3,
      [] {
        Start();
        ASSERT_EQ(OV_CreateInstanceA("Saved", 0), OV_OK);
      },
      [] { OV_ValidatePinA("1234"); }));
  auto leftovers = [] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Ov3Folder())) {
      if (ov::IsLeftoverTemporaryName(entry.path().filename().string())) names.push_back(entry.path().string());
    }
    return names;
  };
  ASSERT_EQ(leftovers().size(), 1u);
  const fs::path unrelated = Ov3Folder() / "notes.tk3.bak";
  std::ofstream(unrelated) << "mine";
  Start();
  EXPECT_TRUE(leftovers().empty());
  EXPECT_TRUE(fs::exists(unrelated));
  EXPECT_EQ(Validate("Saved", "1234"), OV_OK);
}

TEST_F(StoreFaultsTest, RefusedUserSecretIsAnErrorAndTheTokensComeBack) {
  Start();
  Activate("First", kPolicy);
  Activate("Second", kPolicy);
  Stop();
  const fs::path secret = env.SecretFolder() / "user.key";
  const fs::path saved = env.SecretFolder() / "user.key.saved";
  ASSERT_TRUE(fs::exists(secret));
  struct Fault {
    const char* what;
    std::function<void()> make;
  };
  std::vector<Fault> faults = {
      {"readable by others", [&] { fs::permissions(secret, fs::perms(0644)); }},
      {"a link to a copy", [&] {
         fs::rename(secret, saved);
         fs::copy_file(saved, env.SecretFolder() / "copy");
         fs::create_symlink(env.SecretFolder() / "copy", secret);
       }},
      {"a FIFO", [&] {
         fs::rename(secret, saved);
         ASSERT_EQ(mkfifo(secret.c_str(), 0600), 0);
       }},
  };
  if (getuid() == 0) {  // changing the owner needs root
    faults.push_back({"another owner", [&] { ASSERT_EQ(chown(secret.c_str(), 4242, 4242), 0); }});
  }
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    fault.make();
    // A process starting now: the user's secret is read afresh.
    ov::platform::LinuxUserProtect fresh(env.SecretFolder().string(), getuid());
    ov::platform::Platform services;
    services.userProtect = &fresh;
    ov::platform::ScopedPlatform scope(services);
    // Refused at the start, naming the secret, rather than read as an empty store.
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_STORE_NOT_PRIVATE);
    std::string path(4096, '\0');
    int32_t length = static_cast<int32_t>(path.size());
    int32_t why = 0;
    EXPECT_EQ(OV_GetStoreProblemA(path.data(), &length, &why), OV_OK);
    EXPECT_EQ(std::string(path.c_str()), secret.string());
    EXPECT_EQ(why, OV_STORE_SECRET_REFUSED);
    EXPECT_TRUE(fs::exists(Ov3File("First"))) << "no token file was set aside";
    Stop();
    // Fixed: the tokens are back.
    if (fs::exists(saved)) {
      fs::remove(secret);
      fs::rename(saved, secret);
    }
    fs::remove(env.SecretFolder() / "copy");
    ASSERT_EQ(chown(secret.c_str(), getuid(), getgid()), 0);
    fs::permissions(secret, fs::perms(0600));
    Start();
    EXPECT_EQ(Names(), (std::vector<std::string>{"First", "Second"}));
    Stop();
  }
}

TEST_F(StoreFaultsTest, ProfileThatCannotBeDeletedIsImportedOnce) {
  Start();
  ASSERT_TRUE(ov::test::WriteOv80Profile(1));
  {
    ObserverScope keepProfile(&FailSteps, "/ProfileData");
    EXPECT_EQ(OV_ImportLegacyTokenDataA("Imported 1"), OV_OK);
    EXPECT_TRUE(fs::exists(StoreRoot() / "ProfileData"));
    Stop();
    Start();  // the desktop application imports at every start
    EXPECT_EQ(OV_ImportLegacyTokenDataA("Imported 2"), OV_OK);
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"Imported 1"});
  EXPECT_EQ(Validate("Imported 1", "1234"), OV_OK);
  // Once the profile can be deleted, it goes, and still nothing is imported.
  EXPECT_EQ(OV_ImportLegacyTokenDataA("Imported 3"), OV_OK);
  EXPECT_FALSE(fs::exists(StoreRoot() / "ProfileData"));
  EXPECT_EQ(Names(), std::vector<std::string>{"Imported 1"});
}

fs::path ImportMarker() { return Ov3Folder() / "ProfileData.import"; }
fs::path LegacyFile(const std::string& name) {
  return LegacyFolder() / (ov::OVEngineStore::GetFileName(name) + ".dat");
}

TEST_F(StoreFaultsTest, ImportStoppedAtEveryStepIsSettledByTheNextProgram) {
  for (uint32_t activated : {1u, 0u}) {
    SCOPED_TRACE(activated ? "activated profile" : "profile waiting for its PIN");
    for (int stop = 0;; ++stop) {
      SCOPED_TRACE("stopped at step " + std::to_string(stop));
      fs::remove_all(StoreRoot());
      Start();
      ASSERT_TRUE(ov::test::WriteOv80Profile(activated));
      Stop();
      const bool stopped = RunStoppedAt(stop, &Start, [] { OV_ImportLegacyTokenDataA("Earlier 1"); });
      // Taking the store's lock settles the import: rolled back (no token, the profile stays) or
      // finished (the token, no profile).
      Start();
      EXPECT_FALSE(fs::exists(ImportMarker()));
      const bool profileLeft = fs::exists(StoreRoot() / "ProfileData");
      const bool tokenLeft = fs::exists(Ov3File("Earlier 1")) || fs::exists(LegacyFile("Earlier 1"));
      ASSERT_NE(profileLeft, tokenLeft);
      ASSERT_EQ(OV_ImportLegacyTokenDataA("Earlier 2"), OV_OK);
      const std::vector<Listed> listed = List();
      ASSERT_EQ(listed.size(), 1u);
      EXPECT_EQ(listed[0].name, tokenLeft ? "Earlier 1" : "Earlier 2");
      EXPECT_EQ(listed[0].state, activated ? ACTIVATED_STATE : PENDING_PIN_STATE);
      EXPECT_FALSE(fs::exists(StoreRoot() / "ProfileData"));
      if (activated) {
        EXPECT_EQ(Validate(listed[0].name.c_str(), "1234"), OV_OK);
      }
      Stop();
      if (!stopped) {
        EXPECT_EQ(listed[0].name, "Earlier 1");
        break;
      }
    }
  }
}

// The user changes the store before the interrupted import's record is read (a record left by a
// program that did not settle it): a token renamed to the recorded name, or the half-made token
// activated by hand, is the user's, and neither the settling nor the next import removes it.
TEST_F(StoreFaultsTest, InterruptedImportNeverRemovesATokenTheUserTouched) {
  const fs::path hidden = StoreRoot() / "marker.hidden";
  int renamed = 0;
  int byHand = 0;
  for (uint32_t activated : {1u, 0u}) {
    SCOPED_TRACE(activated ? "activated profile" : "profile waiting for its PIN");
    for (int stop = 0;; ++stop) {
      SCOPED_TRACE("stopped at step " + std::to_string(stop));
      fs::remove_all(StoreRoot());
      Start();
      ASSERT_TRUE(ov::test::WriteOv80Profile(activated));
      Stop();
      const bool stopped = RunStoppedAt(stop, &Start, [] { OV_ImportLegacyTokenDataA("Earlier 1"); });
      if (!stopped) break;
      if (!fs::exists(ImportMarker())) continue;
      fs::rename(ImportMarker(), hidden);
      Start();
      if (fs::exists(Ov3File("Earlier 1")) || fs::exists(LegacyFile("Earlier 1"))) {
        ++byHand;
        ASSERT_EQ(OV_CreateInstanceA("Earlier 1", 0), OV_OK);
        OVTokenInfoA info{};
        ASSERT_EQ(OV_GetTokenInfoA(&info), OV_OK);
        const int32_t state = info.m_nTokenState;
        OV_FreeTokenInfoA(&info);
        if (state == INSTALLED_STATE) {  // activated by hand
          char code[OV_ACTIVATION_CODE_SIZE] = {};
          ASSERT_EQ(OV_GenerateActivationCodeA(kPolicy.c_str(), code), OV_OK);
          ASSERT_EQ(OV_SetPinA("5678"), OV_OK);
        } else if (state == PENDING_PIN_STATE) {  // its PIN set by hand
          ASSERT_EQ(OV_SetPinA("5678"), OV_OK);
        } else {
          ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
          ASSERT_EQ(OV_ChangePinA("1234", "5678"), OV_OK);
        }
        OV_ReleaseInstance();
      } else {
        // Nothing there yet under that name: another token is renamed to it.
        ++renamed;
        Activate("Mine", kPolicy, "5678");
        ASSERT_EQ(OV_CreateInstanceA("Mine", 0), OV_OK);
        ASSERT_EQ(OV_ValidatePinA("5678"), OV_OK);
        ASSERT_EQ(OV_ChangeTokenNameA("Earlier 1"), OV_OK);
        OV_ReleaseInstance();
      }
      Stop();
      fs::rename(hidden, ImportMarker());
      Start();
      EXPECT_EQ(OV_ImportLegacyTokenDataA("Earlier 2"), OV_OK);  // as the desktop application does
      EXPECT_EQ(Validate("Earlier 1", "5678"), OV_OK) << "the user's token is gone";
      EXPECT_FALSE(fs::exists(ImportMarker()));
      Stop();
    }
  }
  EXPECT_GT(renamed, 0);
  EXPECT_GT(byHand, 0);
}

TEST_F(StoreFaultsTest, ImportRecordWithoutFileDigestsRemovesNothing) {
  Start();
  Activate("Earlier 1", kPolicy, "5678");
  ASSERT_TRUE(ov::test::WriteOv80Profile(1));
  // What an earlier version recorded when an import into "Earlier 1" began, and it made the token.
  const std::string bytes = ov::test::ReadFile(StoreRoot() / "ProfileData");
  const std::vector<uint8_t> profile(bytes.begin(), bytes.end());
  std::ofstream(ImportMarker()) << "started\n"
                                << ov::test::UpperHex(ov::test::Sha256(profile)) << "\nEarlier 1\n1\n";
  Stop();
  Start();
  EXPECT_FALSE(fs::exists(ImportMarker()));
  EXPECT_EQ(OV_ImportLegacyTokenDataA("Earlier 2"), OV_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Earlier 1", "Earlier 2"}));
  EXPECT_EQ(Validate("Earlier 1", "5678"), OV_OK);
  EXPECT_EQ(Validate("Earlier 2", "1234"), OV_OK);
}

// Run from tmpfs, an overlay, a network share or a FUSE mount there is no drive to seal token
// files to: they are kept in the user's folder, and a token saved there opens again.
TEST(StoreFileSystemTest, TokensOnAFileSystemWithoutADiskAreSavedAndOpenAgain) {
  ov::test::StorageEnvironment env("network");
  ASSERT_EQ(OV_InitializeA("KLSA_GA_8_2", 0), OV_OK);
  struct Finalize {
    ~Finalize() { OV_Finalize(); }
  } finalize;
  ASSERT_EQ(OV_CreateInstanceA("From tmpfs", 0), OV_OK);
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  ASSERT_EQ(OV_GenerateActivationCodeA("318998566", code), OV_OK);  // event, PIN of 4
  ASSERT_EQ(OV_SetPinA("1234"), OV_OK);
  ASSERT_EQ(OV_ReleaseInstance(), OV_OK);

  ASSERT_EQ(OV_CreateInstanceA("From tmpfs", 0), OV_OK);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  char otp[32] = {};
  int32_t length = sizeof otp;
  EXPECT_EQ(OV_GenerateOtpA(nullptr, 0, otp, &length), OV_OK);
  EXPECT_EQ(OV_ReleaseInstance(), OV_OK);
  const fs::path file = ov::test::PrivateHome::DataHome() / "Kelsa/Orvanti/KELSA_TOKEN_OV3" /
                        (ov::OVEngineStore::GetFileName("From tmpfs") + ".tk3");
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(env.ExeFolder() / ov::kTokenFolderOv3))
      << "no token folder beside the program";
}

}  // namespace
