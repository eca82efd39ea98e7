// orvanti-cli end to end: the built executable, run as separate processes on a private store.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "CliRunner.h"
#include "engine/PasscodeTime.h"
#include "support/PasscodeReference.h"
#include "support/TestEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

using ov::test::CliResult;
using ov::test::Formulate;
using ov::test::Hotp;

// Level 3, event, PIN of 4, "maxattacks" 5, "attackdelay" 2: the second wrong PIN locks.
constexpr char kPinPolicy[] = "318998566";
// Challenge-response, 8-digit challenge, PIN of 4.
constexpr char kChallengePolicy[] = "9946";

class CliTest : public ::testing::Test {
 protected:
  CliTest() : cli(ov::test::FreshTestFolder()) {}

  CliResult Run(std::vector<std::string> args, const std::string& input = "") {
    return cli.Run(args, input);
  }

  // Creates and activates a token; returns its activation code.
  std::string Activate(const std::string& name, const std::string& policy, const std::string& pin) {
    EXPECT_EQ(Run({"new", name}).exitCode, 0);
    std::vector<std::string> args = {"activate", name, "--policy", policy};
    if (!pin.empty()) args.push_back("--pin-stdin");
    const CliResult activated = Run(args, pin.empty() ? "" : pin + "\n");
    EXPECT_EQ(activated.exitCode, 0) << activated.err;
    return Line(activated.out);
  }

  static std::string Line(const std::string& text) {
    return text.substr(0, text.find('\n'));
  }

  // Evaluates a Python expression over the JSON the CLI printed (as `d`); its printed value comes
  // back, or nothing when the JSON does not parse.
  std::string JsonQuery(const std::string& json, const std::string& expression) {
    const auto data = cli.Root() / "query.json";
    WriteText(data, json);
    const std::string out = ov::test::RunPython(
        "import json, sys\nd = json.load(open(sys.argv[1], encoding='utf-8'))\nprint(" +
            expression + ")\n",
        data);
    return out.empty() ? out : out.substr(0, out.size() - 1);
  }
  static void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  ov::test::CliRunner cli;
};

// The README's session: create, activate with a PIN, get passcodes, rename, delete.
TEST_F(CliTest, ReadmeSession) {
  const std::string code = Activate("Work", kPinPolicy, "2468");
  EXPECT_TRUE(std::regex_match(code, std::regex("([A-Z2-7]{5}-){3}[A-Z2-7]{5}"))) << code;
  const auto key = ov::test::ActivationKey(code, kPinPolicy);

  const CliResult first = Run({"code", "work", "--pin-stdin"}, "2468\n");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, Hotp(key, 0, 6) + "\n") << "the passcode alone, on standard output";
  EXPECT_EQ(Run({"code", "Work", "--pin-stdin"}, "2468\n").out, Hotp(key, 1, 6) + "\n");

  EXPECT_EQ(Run({"rename", "Work", "Office", "--pin-stdin"}, "2468\n").out,
            "Token name has been changed.\n");
  EXPECT_EQ(Run({"code", "Office", "--pin-stdin"}, "2468\n").out, Hotp(key, 2, 6) + "\n");

  const CliResult refused = Run({"delete", "Office"});
  EXPECT_EQ(refused.exitCode, 9) << "no terminal to confirm on and no --yes";
  EXPECT_NE(refused.err.find("A deleted token can never be used again."), std::string::npos);
  EXPECT_EQ(Run({"delete", "Office", "--yes", "--pin-stdin"}, "2468\n").exitCode, 0);
  EXPECT_EQ(Run({"list", "--json"}).out, "[]\n");
}

// A command the program proposes can be pasted into a shell: a name the shell would expand
// inside double quotes goes in single quotes.
TEST_F(CliTest, ProposedCommandsQuoteNamesForTheShell) {
  const std::pair<std::string, std::string> cases[] = {
      {"Plain name", "\"Plain name\""},
      {"Tok $(touch x)", "'Tok $(touch x)'"},
      {"`touch x` it's", "'`touch x` it'\\''s'"},
  };
  for (const auto& [name, argument] : cases) {
    EXPECT_EQ(Run({"new", name}).out, "Created token \"" + name +
                                          "\". Activate it with: orvanti-cli activate " + argument +
                                          "\n");
    EXPECT_EQ(Run({"code", name}).err,
              "This token is not activated: run orvanti-cli activate " + argument + ".\n");
  }
}

TEST_F(CliTest, WrongPinsCountThenLock) {
  Activate("Bank", kPinPolicy, "2468");
  const CliResult wrong = Run({"code", "Bank", "--pin-stdin"}, "1111\n");
  EXPECT_EQ(wrong.exitCode, 3);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err,
            "Attempts: 2/5.\nInvalid Token Pin. Please re-enter your PIN.\n"
            "After 5 unsuccessful attempts, your token will need to be activated again.\n");

  const CliResult locking = Run({"code", "Bank", "--pin-stdin"}, "1111\n");
  EXPECT_EQ(locking.exitCode, 3) << "the PIN was wrong; the lock-out it started is told";
  EXPECT_NE(locking.err.find("Your token is temporarily disabled. Try again after 1 minute(s)."),
            std::string::npos)
      << locking.err;

  const CliResult locked = Run({"code", "Bank", "--pin-stdin"}, "2468\n");
  EXPECT_EQ(locked.exitCode, 4);
  EXPECT_EQ(locked.out, "");
  EXPECT_EQ(locked.err,
            "Attempts: 3/5. \nYour token is temporarily disabled. Try again after 1 minute(s).\n"
            "After 5 unsuccessful attempts, your token will need to be activated again.\n");
  EXPECT_EQ(JsonQuery(Run({"info", "Bank", "--json"}).out, "d['locked'], d['badPinCount']"),
            "True 2");
}

TEST_F(CliTest, TooManyWrongPinsDeactivate) {
  const std::string policy = Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 3}, {"attackdelay", 0}});
  Activate("Fragile", policy, "2468");
  EXPECT_EQ(Run({"code", "Fragile", "--pin-stdin"}, "1111\n").exitCode, 3);
  EXPECT_EQ(Run({"code", "Fragile", "--pin-stdin"}, "1111\n").exitCode, 3);
  const CliResult last = Run({"code", "Fragile", "--pin-stdin"}, "1111\n");
  EXPECT_EQ(last.exitCode, 5);
  EXPECT_TRUE(last.err.ends_with("\nThe token has been deactivated.\n")) << last.err;
  const CliResult after = Run({"code", "Fragile", "--pin-stdin"}, "2468\n");
  EXPECT_EQ(after.exitCode, 8);
  EXPECT_NE(after.err.find("not activated"), std::string::npos) << after.err;
}

TEST_F(CliTest, TimeBasedCodeAndSecondsLeft) {
  const std::string policy = Formulate({{"mode", 1}, {"pinlen", 0}, {"pwdlen", 8}, {"tstick", 30}});
  const auto key = ov::test::ActivationKey(Activate("Clock", policy, ""), policy);
  const auto step = [] {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    return static_cast<uint64_t>((now - ov::kTimeStepBaseUnixSeconds) / 30);
  };
  const uint64_t before = step();
  const CliResult result = Run({"code", "Clock"});
  const uint64_t after = step();
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out == Hotp(key, before, 8) + "\n" || result.out == Hotp(key, after, 8) + "\n")
      << result.out;
  std::smatch seconds;
  ASSERT_TRUE(std::regex_match(result.err, seconds, std::regex("Next Passcode in (\\d+) seconds\n")))
      << result.err;
  EXPECT_GE(std::stoi(seconds[1]), 1);
  EXPECT_LE(std::stoi(seconds[1]), 30);
}

TEST_F(CliTest, ChallengeResponse) {
  Activate("Door", kChallengePolicy, "2468");
  const CliResult first = Run({"code", "Door", "--challenge", "12345678", "--pin-stdin"}, "2468\n");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_TRUE(std::regex_match(first.out, std::regex("\\d{8}\n"))) << first.out;
  EXPECT_EQ(Run({"code", "Door", "--challenge=12345678", "--pin-stdin"}, "2468\n").out, first.out)
      << "the answer depends on the challenge alone";
  EXPECT_NE(Run({"code", "Door", "--challenge", "12345679", "--pin-stdin"}, "2468\n").out, first.out);

  const CliResult shortChallenge = Run({"code", "Door", "--challenge", "1234", "--pin-stdin"}, "2468\n");
  EXPECT_EQ(shortChallenge.exitCode, 2);
  EXPECT_EQ(shortChallenge.err, "Challenge Code should be 8 characters.\n");
  EXPECT_EQ(Run({"code", "Door", "--pin-stdin"}, "2468\n").exitCode, 2)
      << "no challenge and no terminal to ask for one";
}

TEST_F(CliTest, JsonOutputParsesBack) {
  Activate("Büro 2", "19929092", "");
  Activate("Work", kPinPolicy, "2468");
  ASSERT_EQ(Run({"new", "Later"}).exitCode, 0);
  const std::string list = Run({"list", "--json"}).out;
  EXPECT_EQ(JsonQuery(list, "sorted((t['name'], t['state'], t['mode'], t['pinRequired']) for t in d)"),
            "[('Büro 2', 'activated', 'EVENT_SYNCHRONOUS', False), "
            "('Later', 'installed', None, False), "
            "('Work', 'activated', 'EVENT_SYNCHRONOUS', True)]");
  const std::string info = Run({"info", "Work", "--json"}).out;
  EXPECT_EQ(JsonQuery(info, "d['policy'], d['policyLevel'], d['pinLength'], d['maxAttacks'], d['locked']"),
            "318998566 Level 3 4 5 False");
}

// The list is in name order, ignoring case, whatever order the store's folder gives.
TEST_F(CliTest, ListIsSortedByNameIgnoringCase) {
  for (const char* name : {"delta", "Charlie", "bravo 2", "Echo", "alpha", "Bravo", "foxtrot"}) {
    ASSERT_EQ(Run({"new", name}).exitCode, 0) << name;
  }
  const std::string order = "['alpha', 'Bravo', 'bravo 2', 'Charlie', 'delta', 'Echo', 'foxtrot']";
  EXPECT_EQ(JsonQuery(Run({"list", "--json"}).out, "[t['name'] for t in d]"), order);
  std::string names;
  std::istringstream lines(Run({"list"}).out);
  std::string line;
  std::getline(lines, line);  // the headings
  while (std::getline(lines, line)) {
    names += (names.empty() ? "['" : ", '") + line.substr(0, line.find("  ")) + "'";
  }
  EXPECT_EQ(names + "]", order);
}

// Names beyond ASCII keep their letters through the command line, the store and the output, and
// are found in another letter case. On Windows the library's narrow names are in the ANSI code
// page: a name it cannot hold is refused, never stored changed.
TEST_F(CliTest, NamesBeyondAsciiKeepTheirLetters) {
  ASSERT_EQ(Run({"new", "B\u00fcr\u00f6 \u20ac"}).exitCode, 0);
  EXPECT_NE(Run({"list"}).out.find("B\u00fcr\u00f6 \u20ac  not activated"), std::string::npos);
  const CliResult renamed = Run({"rename", "b\u00fcr\u00f6 \u20ac", "\u00c9t\u00e9 2"});
  EXPECT_EQ(renamed.exitCode, 8) << "the name was found; the token is not activated";
  Activate("\u00c9t\u00e9 2", "19929092", "");
  EXPECT_EQ(JsonQuery(Run({"list", "--json"}).out, "sorted(t['name'] for t in d)"),
            "['B\u00fcr\u00f6 \u20ac', '\u00c9t\u00e9 2']");
  const CliResult cyrillic = Run({"new", "\u0416\u0443\u043a 1"});
#ifdef _WIN32
  EXPECT_EQ(cyrillic.exitCode, 2);
  EXPECT_EQ(cyrillic.err,
            "The token name has characters that this system's code page cannot hold.\n");
#else
  EXPECT_EQ(cyrillic.exitCode, 0) << cyrillic.err;
#endif
}

// A level-4 policy with the PIN-length extension (here 7): the command line asks for and shows
// the length the PIN rule enforces, not the raw length field of the policy's body.
TEST_F(CliTest, PinLengthIsTheOneThePinRuleEnforces) {
  Activate("Seven", "43063242806", "Ab12cd3");
  const std::string info = Run({"info", "Seven", "--json"}).out;
  EXPECT_EQ(JsonQuery(info, "d['pinLength']"), "7");
  EXPECT_EQ(Run({"code", "Seven", "--pin-stdin"}, "Ab12cd3\n").exitCode, 0);
}

// Output that never reached its reader is a failure, whichever command printed it: the passcode
// was used up and the activation made, so a script must not take the empty output for them.
TEST_F(CliTest, LostOutputIsAFailure) {
  using Output = ov::test::CliRunner::Output;
  Activate("Work", "19929092", "");  // event-based, without PIN: every code moves the counter
#ifdef _WIN32
  const Output outputs[] = {Output::ClosedPipe, Output::Closed};
#else
  const Output outputs[] = {Output::Full, Output::ClosedPipe, Output::Closed};
#endif
  for (const Output output : outputs) {
    const std::string spare = "Spare " + std::to_string(static_cast<int>(output));
    cli.SetOutput(Output::File);
    ASSERT_EQ(Run({"new", spare}).exitCode, 0);
    cli.SetOutput(output);
    const std::vector<std::string> commands[] = {{"code", "Work"},
                                                 {"list"},
                                                 {"list", "--json"},
                                                 {"info", "Work", "--json"},
                                                 {"activate", spare, "--policy", "19929092"},
                                                 {"--help"}};
    for (const auto& args : commands) {
      const CliResult result = Run(args);
      EXPECT_EQ(result.exitCode, 1) << args[0] << " to output " << static_cast<int>(output);
      EXPECT_NE(result.err.find("the output could not be written"), std::string::npos)
          << args[0] << " to output " << static_cast<int>(output) << ": " << result.err;
    }
  }
  cli.SetOutput(Output::File);
  EXPECT_EQ(JsonQuery(Run({"list", "--json"}).out, "[t['state'] for t in d].count('activated')"),
            std::to_string(1 + std::size(outputs)))
      << "the commands themselves were carried out";
}

TEST_F(CliTest, SecondProcessIsRefusedWhileTheStoreIsInUse) {
  Activate("Work", kPinPolicy, "2468");
  auto holder = cli.Start({"code", "Work", "--pin-stdin"});  // waits for its PIN
  CliResult second;
  for (int attempt = 0; attempt < 50 && second.exitCode != 7; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    second = Run({"list"});
  }
  EXPECT_EQ(second.exitCode, 7);
  EXPECT_EQ(second.err, "The Orvanti client application is already running.\n");
  EXPECT_EQ(holder.Finish("2468\n").exitCode, 0) << "the first process is unaffected";
  EXPECT_EQ(Run({"list"}).exitCode, 0);
}

TEST_F(CliTest, RefusalsHaveTheirExitCodes) {
  Activate("Work", kPinPolicy, "2468");
  ASSERT_EQ(Run({"new", "Later"}).exitCode, 0);
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {{}, 2, "Usage: orvanti-cli"},
      {{"bogus"}, 2, "Unknown command bogus."},
      {{"code"}, 2, "Usage: orvanti-cli code NAME"},
      {{"code", "Work", "--pin"}, 2, "Unknown option --pin."},
      {{"code", "Nobody"}, 6, "There is no token named \"Nobody\"."},
      {{"new", "WORK"}, 2, "You already have a token with this name."},
      {{"new", "   "}, 2, "Token name does not meet requirements."},
      {{"activate", "Later", "--policy", "12"}, 2, "Token Policy String does not meet requirements."},
      {{"activate", "Work"}, 8, "already activated"},
      {{"set-pin", "Work", "--pin-stdin"}, 8, "already set"},
      {{"set-pin", "Later", "--pin-stdin"}, 8, "not activated"},
      {{"code", "Later"}, 8, "not activated"},
      {{"code", "Work", "--host", "0", "--pin-stdin"}, 2, "host number"},
      {{"code", "Work"}, 2, "--pin-stdin"},
      {{"rename", "Work", " ", "--pin-stdin"}, 2, "Token name does not meet requirements."},
      {{"rename", "Work", "later", "--pin-stdin"}, 2, "You already have a token with this name."},
  };
  for (const Case& c : cases) {
    const CliResult result = Run(c.args, "2468\n");
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    EXPECT_EQ(result.exitCode, c.exitCode) << joined << "\n" << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << joined << "\n" << result.err;
  }
}

TEST_F(CliTest, PinChangeFromStandardInput) {
  const std::string code = Activate("Work", kPinPolicy, "2468");
  EXPECT_EQ(Run({"change-pin", "Work", "--pin-stdin"}, "2468\n2468\n").err,
            "The new Token PIN should be different from the current Token PIN.\n");
  const CliResult changed = Run({"change-pin", "Work", "--pin-stdin"}, "2468\n1357\n");
  ASSERT_EQ(changed.exitCode, 0) << changed.err;
  EXPECT_EQ(Run({"code", "Work", "--pin-stdin"}, "2468\n").exitCode, 3);
  EXPECT_EQ(Run({"code", "Work", "--pin-stdin"}, "1357\n").out,
            Hotp(ov::test::ActivationKey(code, kPinPolicy), 0, 6) + "\n");
}

// The diagnostic logger beside the token library is loaded, and the library logs every call; a
// PIN never reaches the log.
TEST_F(CliTest, DiagnosticLogWithoutSecrets) {
  const auto log = cli.Root() / "diagnostics.log";
  cli.SetEnv("BRISEL_LOG", log.string());
  Activate("Work", kPinPolicy, "2468");
  ASSERT_EQ(Run({"code", "Work", "--pin-stdin"}, "2468\n").exitCode, 0);
  const std::string text = ov::test::ReadFile(log);
  EXPECT_NE(text.find("OV_ValidatePinA"), std::string::npos) << "the logger was loaded";
  EXPECT_EQ(text.find("2468"), std::string::npos);
}

}  // namespace

namespace {

// On Windows the terminal is a console, which Wine shows only with a display.
#ifdef _WIN32
#define OV_SKIP_WITHOUT_TERMINAL() \
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display for a console"
#else
#define OV_SKIP_WITHOUT_TERMINAL()
#endif

// At a terminal: PINs are typed without echo, asked twice, and asked again after a mismatch.
TEST_F(CliTest, PinsAtTheTerminalAreNotEchoed) {
  OV_SKIP_WITHOUT_TERMINAL();
  ASSERT_EQ(Run({"new", "Work"}).exitCode, 0);
  const auto run = cli.RunOnTerminal({"activate", "Work", "--policy", kPinPolicy},
                                     {{"Token PIN: ", "2468\n"},
                                      {"Re-enter Token PIN: ", "1357\n"},
                                      {"Token PINs do not match.", ""},
                                      {"Token PIN: ", "2468\n"},
                                      {"Re-enter Token PIN: ", "2468\n"}});
  EXPECT_EQ(run.exitCode, 0) << run.transcript;
  EXPECT_NE(run.transcript.find("The token PIN is set."), std::string::npos) << run.transcript;
  EXPECT_EQ(run.transcript.find("2468"), std::string::npos) << run.transcript;
  EXPECT_EQ(run.transcript.find("1357"), std::string::npos) << run.transcript;
  EXPECT_EQ(Run({"code", "Work", "--pin-stdin"}, "2468\n").exitCode, 0);

  const auto confirmed = cli.RunOnTerminal({"delete", "Work"}, {{"[y/N] ", "y\n"}, {"Token PIN: ", "2468\n"}});
  EXPECT_EQ(confirmed.exitCode, 0) << confirmed.transcript;
  EXPECT_EQ(Run({"list", "--json"}).out, "[]\n");
}

// Ctrl+C while a PIN is being typed ends the program and gives the terminal its echo back.
TEST_F(CliTest, InterruptAtThePinPromptRestoresEcho) {
  OV_SKIP_WITHOUT_TERMINAL();
  Activate("Work", kPinPolicy, "2468");
  const auto run = cli.RunOnTerminal({"code", "Work"}, {{"Token PIN: ", "24\x03"}});
  EXPECT_EQ(run.exitCode, -1) << run.transcript;
  EXPECT_TRUE(run.echoOnAfterwards);
}

}  // namespace

// Ctrl+\, signals and core files: the Linux program's own.
#ifndef _WIN32
namespace {

// Ctrl+\ at the PIN prompt: the program ends with the terminal restored and writes no core, which
// would hold the digits typed so far.
TEST_F(CliTest, QuitAtThePinPromptRestoresEchoWithoutCore) {
  Activate("Work", kPinPolicy, "2468");
  cli.AllowCoreDumps();
  const auto run = cli.RunOnTerminal({"code", "Work"}, {{"Token PIN: ", "24\x1c"}});
  EXPECT_EQ(run.exitCode, 128 + SIGQUIT) << run.transcript;
  EXPECT_FALSE(WCOREDUMP(run.status));
  EXPECT_TRUE(run.echoOnAfterwards);
}

// A crash while a PIN is awaited writes no core, where this system writes one for an ordinary
// process ended the same way.
TEST_F(CliTest, NoCoreDumpWhileWaitingForAPin) {
  Activate("Work", kPinPolicy, "2468");
  cli.AllowCoreDumps();
  const pid_t control = fork();
  ASSERT_GE(control, 0);
  if (control == 0) {
    rlimit limit{};
    getrlimit(RLIMIT_CORE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_CORE, &limit);
    if (chdir(cli.Root().c_str()) != 0) _exit(1);
    signal(SIGABRT, SIG_DFL);
    raise(SIGABRT);
    _exit(1);
  }
  const int controlStatus = ov::test::WaitForStatus(control);
  for (const auto& entry : std::filesystem::directory_iterator(cli.Root())) {
    if (entry.path().filename().string().starts_with("core")) std::filesystem::remove(entry.path());
  }
  if (!WIFSIGNALED(controlStatus) || !WCOREDUMP(controlStatus)) {
    GTEST_SKIP() << "this system writes no core files";
  }

  auto holder = cli.Start({"code", "Work", "--pin-stdin"});
  // The holder waits for its PIN once it holds the store's lock file.
  const auto holdsLock = [&] {
    std::error_code error;
    const auto fds = std::filesystem::path("/proc") / std::to_string(holder.Pid()) / "fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
      if (std::filesystem::read_symlink(fd.path(), error).string().ends_with(".lock")) return true;
    }
    return false;
  };
  for (int attempt = 0; attempt < 100 && !holdsLock(); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(holdsLock());
  const int status = holder.Kill(SIGABRT);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGABRT);
  EXPECT_FALSE(WCOREDUMP(status));
}

}  // namespace
#endif

namespace {

// The 8.0 program's token comes in under the next free "Kelsa Orvanti" name and gives passcodes
// with its own key. The runner shares this process's data folder, where the profile is written.
TEST(CliImportTest, ImportsTheOldProfileUnderTheProposedName) {
  ov::test::CliRunner cli(ov::test::PrivateHome::Root());
  std::filesystem::remove_all(ov::GetFilePath(nullptr));  // the store, but not the user's key
  ASSERT_EQ(cli.Run({"import-legacy"}).out, "There was no earlier token to import.\n");
  ASSERT_EQ(cli.Run({"new", "Kelsa Orvanti"}).exitCode, 0);
  ASSERT_TRUE(ov::test::WriteOv80Profile(1));
  const CliResult imported = cli.Run({"import-legacy"});
  ASSERT_EQ(imported.exitCode, 0) << imported.err;
  EXPECT_EQ(imported.out, "Imported the earlier token as \"Kelsa Orvanti 2\".\n");

  const std::vector<uint8_t> key = ov::test::FromHex(ov::test::kFixtureOtpKey);
  const CliResult code = cli.Run({"code", "Kelsa Orvanti 2", "--pin-stdin"}, "1234\n");
  EXPECT_EQ(code.out, Hotp(key, 5, 6) + "\n") << code.err;
}

// Names stored by earlier versions may hold line breaks, escape sequences and bytes that are not
// UTF-8: they still list and open, shown escaped, and the JSON stays valid. The runner shares this
// process's data folder, where the fixtures write the token files.
TEST_F(CliTest, StoredNamesWithControlCharactersAreShownEscaped) {
  ov::test::CliRunner shared(ov::test::PrivateHome::Root());
  std::filesystem::remove_all(ov::GetFilePath(nullptr));
  const std::string forged = "Home\nWork   activated";
  const std::string escape = "Red \x1b[31m\xff";
  ASSERT_TRUE(ov::test::MakeOv3Token(forged, "", INSTALLED_STATE));
  ASSERT_TRUE(ov::test::MakeOv3Token(escape, "", INSTALLED_STATE));
  // The byte 0xFF is no UTF-8, which Linux's narrow names are, but it is the letter "\u00ff" of
  // Windows' code page 1252: typed, shown and in JSON as that letter there.
#ifdef _WIN32
  const std::string typedEscape = "Red \x1b[31m\u00ff";
  const std::string shownEscape = "Red \\x1b[31m\u00ff";
  const std::string jsonEscape = "Red \\x1b[31m\u00ff";
#else
  const std::string typedEscape = escape;
  const std::string shownEscape = "Red \\x1b[31m\\xff";
  const std::string jsonEscape = "Red \\x1b[31m\ufffd";
#endif

  const CliResult list = shared.Run({"list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3) << list.out;
  EXPECT_NE(list.out.find("Home\\x0aWork   activated  not activated"), std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find(shownEscape), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find('\x1b'), std::string::npos);

  EXPECT_EQ(JsonQuery(shared.Run({"list", "--json"}).out, "sorted(t['name'] for t in d)"),
            "['Home\\nWork   activated', '" + jsonEscape + "']");
  const CliResult info = shared.Run({"info", forged});
  EXPECT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Token:            Home\\x0aWork"), std::string::npos) << info.out;
  EXPECT_EQ(
      JsonQuery(shared.Run({"info", typedEscape, "--json"}).out, "d['name'] == '" + jsonEscape + "'"),
      "True");
  const CliResult refused = shared.Run({"code", forged});
  EXPECT_NE(refused.err.find("Home\\x0aWork"), std::string::npos) << refused.err;
  EXPECT_EQ(shared.Run({"new", "New\x1b[2J"}).exitCode, 2);
}

}  // namespace
