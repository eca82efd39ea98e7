// orvanti-cli killed at random moments: the user's tokens survive whatever the moment. Each round
// starts one command that changes the store (change-pin, rename, delete, import-legacy, or the
// first right PIN of a legacy token, which converts its file), kills it with SIGKILL (on Windows
// TerminateProcess) after a random delay, and then checks with unkilled commands that every token is there once and opens with its
// PIN. The runner shares this process's data folder, where the fixtures write legacy tokens and
// the old profile.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CliRunner.h"
#include "support/PasscodeReference.h"
#include "support/TestEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

using ov::test::CliResult;
using ov::test::CliRunner;

class CliKillTest : public ::testing::Test {
 protected:
  CliKillTest() : cli(ov::test::PrivateHome::Root()) {}
  void SetUp() override { std::filesystem::remove_all(ov::GetFilePath(nullptr)); }

  CliResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    return cli.Run(args, input);
  }
  std::set<std::string> Names() {
    const CliResult list = Run({"list", "--json"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    // The test's names are plain ASCII: no escapes to undo.
    static const std::regex kName("\"name\": *\"([^\"]*)\"");
    std::set<std::string> names;
    for (std::sregex_iterator it(list.out.begin(), list.out.end(), kName), end; it != end; ++it) {
      names.insert((*it)[1].str());
    }
    return names;
  }
  int Code(const std::string& name, const std::string& pin) {
    return Run({"code", name, "--pin-stdin"}, pin + "\n").exitCode;
  }

  // The kills fall within the command's work: under Wine a program takes a good part of a second
  // to start.
#ifdef _WIN32
  static constexpr unsigned kLongestDelayMicroseconds = 1200000;
#else
  static constexpr unsigned kLongestDelayMicroseconds = 40000;
#endif
  // No lock-out and no deactivation: a round may try a PIN that is no longer the token's.
  const std::string kPolicy =
      ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 0}, {"attackdelay", 0}});
  CliRunner cli;
};

TEST_F(CliKillTest, TokensSurviveAKillAtAnyMoment) {
  auto activate = [&](const std::string& name, const std::string& pin) {
    ASSERT_EQ(Run({"new", name}).exitCode, 0);
    ASSERT_EQ(Run({"activate", name, "--policy", kPolicy, "--pin-stdin"}, pin + "\n").exitCode, 0);
  };
  activate("Pinned", "2468");
  activate("Named A", "2468");
  std::string pinnedPin = "2468";
  std::string renamed = "Named A";
  std::set<std::string> expected = {"Pinned", "Named A"};

  std::mt19937 random(20261210);
  const int rounds = 40;
  int killed = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::string> args;
    std::string input;
    std::string extra;  // a token this round made for its command
    switch (round % 5) {
      case 0: {
        const std::string next = pinnedPin == "2468" ? "1357" : "2468";
        args = {"change-pin", "Pinned", "--pin-stdin"};
        input = pinnedPin + "\n" + next + "\n";
        break;
      }
      case 1:
        args = {"rename", renamed, renamed == "Named A" ? "Named B" : "Named A", "--pin-stdin"};
        input = "2468\n";
        break;
      case 2:
        extra = "Doomed " + std::to_string(round);
        activate(extra, "2468");
        args = {"delete", extra, "--yes", "--pin-stdin"};
        input = "2468\n";
        break;
      case 3:
        ASSERT_TRUE(ov::test::WriteOv80Profile(1));
        args = {"import-legacy"};
        break;
      case 4:
        extra = "Legacy " + std::to_string(round);
        ASSERT_TRUE(ov::test::MakeLegacyToken(extra, ACTIVATED_STATE, "1234"));
        args = {"code", extra, "--pin-stdin"};
        input = "1234\n";
        break;
    }
    CliRunner::Running running = cli.Start(args);
    running.Feed(input);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % kLongestDelayMicroseconds));
    if (running.KillIfRunning()) ++killed;

    // What the killed command may have left, settled by unkilled commands.
    std::set<std::string> names = Names();
    if (round % 5 == 0) {
      const bool oldOpens = Code("Pinned", pinnedPin) == 0;
      if (!oldOpens) pinnedPin = pinnedPin == "2468" ? "1357" : "2468";
      EXPECT_EQ(Code("Pinned", pinnedPin), 0) << "Pinned opens with neither PIN";
    }
    if (round % 5 == 1) {
      const bool a = names.count("Named A") != 0;
      const bool b = names.count("Named B") != 0;
      ASSERT_NE(a, b) << "the renamed token is under both names or none";
      expected.erase(renamed);
      renamed = a ? "Named A" : "Named B";
      expected.insert(renamed);
    }
    if (round % 5 == 2 && names.count(extra) != 0) expected.insert(extra);
    if (round % 5 == 3) {
      // Run again unkilled: the profile goes into exactly one token.
      ASSERT_EQ(Run({"import-legacy"}).exitCode, 0);
      names = Names();
      const auto isImported = [](const std::string& n) { return n.starts_with("Kelsa Orvanti"); };
      EXPECT_EQ(std::count_if(names.begin(), names.end(), isImported), 1);
      for (const std::string& n : names) {
        if (isImported(n)) expected.insert(n);
      }
    }
    if (round % 5 == 4) expected.insert(extra);
    EXPECT_EQ(names, expected);
    for (const std::string& name : expected) {
      const bool legacyPin = name.starts_with("Legacy") || name.starts_with("Kelsa Orvanti");
      const std::string pin = name == "Pinned" ? pinnedPin : legacyPin ? "1234" : "2468";
      EXPECT_EQ(Code(name, pin), 0) << name << " does not open with its PIN";
    }
    // The round's own token goes again, so the store never fills up.
    for (const std::string& name : std::set<std::string>(expected)) {
      if (name == "Pinned" || name == renamed) continue;
      const std::string pin = name.starts_with("Doomed") ? "2468" : "1234";
      ASSERT_EQ(Run({"delete", name, "--yes", "--pin-stdin"}, pin + "\n").exitCode, 0) << name;
      expected.erase(name);
    }
  }
  // Many rounds must have been cut short, or the loop proved little.
  EXPECT_GE(killed, rounds / 4);
  std::cout << killed << " of " << rounds << " commands were killed before they ended\n";
}

// A user secret that is there but refused (readable by others) is an error, not an empty store;
// the tokens are back once it is private again. Windows protects with the system's own service.
#ifndef _WIN32
TEST_F(CliKillTest, RefusedUserSecretIsAnError) {
  ASSERT_EQ(Run({"new", "Work"}).exitCode, 0);
  const auto secret = ov::test::PrivateHome::DataHome() / "Kelsa" / "Protect" / "user.key";
  ASSERT_TRUE(std::filesystem::exists(secret));
  std::filesystem::permissions(secret, std::filesystem::perms(0644));
  const CliResult refused = Run({"list"});
  EXPECT_NE(refused.exitCode, 0);
  EXPECT_EQ(refused.out.find("No tokens yet"), std::string::npos) << refused.out;
  std::filesystem::permissions(secret, std::filesystem::perms(0600));
  EXPECT_EQ(Names(), std::set<std::string>{"Work"});
}

// A store refused at start says what is wrong, names what to mend, and exits with a code of its
// own; once mended, the tokens are there.
TEST_F(CliKillTest, RefusedStoreSaysWhyAndWhatToMend) {
  ASSERT_EQ(Run({"new", "Work"}).exitCode, 0);
  const auto data = ov::test::PrivateHome::DataHome() / "Kelsa";
  const auto store = data / "Orvanti";
  ASSERT_EQ(chmod(store.c_str(), 0707), 0);  // writable by all
  const CliResult writable = Run({"list"});
  EXPECT_EQ(writable.exitCode, 11);
  EXPECT_NE(writable.err.find("chmod go-w '" + store.string() + "'"), std::string::npos)
      << writable.err;
  ASSERT_EQ(chmod(store.c_str(), 0700), 0);

  const auto secret = data / "Protect" / "user.key";
  const auto saved = data / "Protect" / "saved";
  std::filesystem::rename(secret, saved);
  const CliResult missing = Run({"list"});
  EXPECT_EQ(missing.exitCode, 12);
  EXPECT_EQ(missing.out.find("No tokens yet"), std::string::npos) << missing.out;
  EXPECT_NE(missing.err.find("\"" + secret.string() + "\" is missing"), std::string::npos)
      << missing.err;
  EXPECT_EQ(Run({"new", "Home"}).exitCode, 12) << "a new token would need a new secret";
  EXPECT_FALSE(std::filesystem::exists(secret));
  std::filesystem::rename(saved, secret);
  EXPECT_EQ(Names(), std::set<std::string>{"Work"});
}
#endif

}  // namespace
