// orvanti-cli enroll against the test enrollment server over HTTPS: the program as a user runs
// it, with the token's passcodes checked against the K_TOKEN the server provisioned.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "support/Base64Reference.h"
#include "support/EnrollmentServer.h"
#include "support/PasscodeReference.h"
#include "support/TestEnvironment.h"

namespace {

using ov::test::CliResult;
using ov::test::EnrollmentServer;
using ov::test::Formulate;

const std::string kPinPolicy = Formulate({{"mode", 0}, {"pinlen", 4}, {"pwdlen", 6}});
const std::string kNoPinPolicy = Formulate({{"mode", 0}, {"pinlen", 0}, {"pwdlen", 8}});

using ov::test::Base64;
using ov::test::FromHex;

class CliEnrollTest : public ::testing::Test {
 protected:
  CliEnrollTest() : cli(ov::test::FreshTestFolder()) {
    const auto users = cli.Root() / "users.json";
    std::ofstream(users)
        << "[{\"user\": \"alice\", \"password\": \"secret\", \"policy\": \"" << kPinPolicy
        << "\", \"serial\": \"OVT-A\"},"
        << " {\"user\": \"dave\", \"password\": \"password1\", \"policy\": \"" << kNoPinPolicy
        // A serial number with a C1 control, a direction override and a zero-width space, which
        // XML lets through and a terminal would act on or hide.
        << "\", \"serial\": \"OVT-D\\u009b2J\\u202e\\u200b\"},"
        << " {\"user\": \"bob\", \"password\": \"password2\", \"policy\": \"" << kNoPinPolicy
        << "\", \"serial\": \"OVT-B\", \"minlen\": \"4\", \"maxlen\": \"8\", \"alphanum\": \"true\"}]";
    server = std::make_unique<EnrollmentServer>(std::vector<std::string>{"--users", users.string()});
    cli.SetEnv("OV_ENROLL_CA_FILE", server->CaFile().string());
    cli.SetEnv("no_proxy", "127.0.0.1");
  }

  // The OTP key the server provisioned in its latest enrollment.
  std::vector<uint8_t> ProvisionedKey() const {
    const auto provisioned = server->Events("provisioned");
    if (provisioned.empty()) return {};
    const auto key = FromHex(EnrollmentServer::JsonValue(provisioned.back(), "k_token"));
    return std::vector<uint8_t>(key.begin(), key.begin() + 32);
  }

  ov::test::CliRunner cli;
  std::unique_ptr<EnrollmentServer> server;
};

TEST_F(CliEnrollTest, EnrollsThenSetsThePinAndGivesTheServersPasscodes) {
  ASSERT_TRUE(server->Ok()) << server->Error();
  const CliResult enrolled = cli.Run(
      {"enroll", "Work", "--url", server->Url(), "--user", "alice", "--password-stdin"}, "secret\n2468\n");
  ASSERT_EQ(enrolled.exitCode, 0) << enrolled.err;
  EXPECT_EQ(enrolled.out, "The token \"Work\" is enrolled (Serial Number: OVT-A).\n");
  const CliResult code = cli.Run({"code", "Work", "--pin-stdin"}, "2468\n");
  EXPECT_EQ(code.out, ov::test::Hotp(ProvisionedKey(), 0, 6) + "\n") << code.err;

  const CliResult again = cli.Run(
      {"enroll", "Work", "--url", server->Url(), "--user", "alice", "--password-stdin"}, "secret\n");
  EXPECT_EQ(again.exitCode, 8) << again.err;
}

TEST_F(CliEnrollTest, TakesAnEnrollmentStringWithoutItsPadding) {
  ASSERT_TRUE(server->Ok()) << server->Error();
  std::string text = Base64("EnrollmentURL=" + server->Url() + "\r\nUserID=dave\r\nPassphrase=password1");
  while (text.back() == '=') text.pop_back();
  const CliResult enrolled = cli.Run({"enroll", "Plain", "--enrollment-string", text});
  ASSERT_EQ(enrolled.exitCode, 0) << enrolled.err;
#ifndef _WIN32  // there the server's UTF-8 reaches the program as text of the ANSI code page
  const std::string serial = "OVT-D\\u009b2J\\u202e\\u200b";
  EXPECT_EQ(enrolled.out, "The token \"Plain\" is enrolled (Serial Number: " + serial + ").\n");
  EXPECT_NE(cli.Run({"info", "Plain"}).out.find("Serial Number:    " + serial + "\n"),
            std::string::npos);
#endif
  EXPECT_EQ(cli.Run({"code", "Plain"}).out, ov::test::Hotp(ProvisionedKey(), 0, 8) + "\n");

  const CliResult fromStdin = cli.Run({"enroll", "Piped", "--enrollment-string", "-"}, text + "\n");
  ASSERT_EQ(fromStdin.exitCode, 0) << "\"-\" reads it from standard input: " << fromStdin.err;
  EXPECT_EQ(cli.Run({"code", "Piped"}).out, ov::test::Hotp(ProvisionedKey(), 0, 8) + "\n");

  const CliResult notOne = cli.Run({"enroll", "Other", "--enrollment-string", Base64("UserID=dave")});
  EXPECT_EQ(notOne.exitCode, 2);
  EXPECT_EQ(notOne.err, "The enrollment string does not meet requirements.\n");
}

TEST_F(CliEnrollTest, AsksForTheSoftPinTheServerRequires) {
  ASSERT_TRUE(server->Ok()) << server->Error();
  const std::vector<std::string> args = {"enroll", "Guarded", "--url", server->Url(), "--user", "bob",
                                         "--password-stdin"};
  const CliResult weak = cli.Run(args, "password2\nabcd\n");
  EXPECT_EQ(weak.exitCode, 2);
  EXPECT_EQ(weak.err,
            "OTP PIN should contain between 4 to 8 alphanumeric characters and have at least one "
            "numeral, lower-case and upper-case character.\nOTP PIN does not meet requirements.\n");
  const CliResult enrolled = cli.Run(args, "password2\nAb12cd\n");
  ASSERT_EQ(enrolled.exitCode, 0) << enrolled.err;
  EXPECT_EQ(EnrollmentServer::JsonValue(server->Events("provisioned").back(), "soft_pin"), "Ab12cd");
}

TEST_F(CliEnrollTest, FailureLeavesNoTokenBehind) {
  ASSERT_TRUE(server->Ok()) << server->Error();
  const CliResult wrong = cli.Run(
      {"enroll", "Work", "--url", server->Url(), "--user", "alice", "--password-stdin"}, "wrong-one\n");
  EXPECT_EQ(wrong.exitCode, 10);
  EXPECT_EQ(wrong.err,
            "The enrollment server refused the user ID or password. "
            "Auto Enrollment failed. Try again, or contact your administrator for help. You can "
            "also try Manual Enrollment.\n");
  EXPECT_EQ(cli.Run({"list", "--json"}).out, "[]\n");

  ASSERT_EQ(cli.Run({"new", "Kept"}).exitCode, 0);
  EXPECT_EQ(cli.Run({"enroll", "Kept", "--url", server->Url(), "--user", "alice", "--password-stdin"},
                    "wrong-one\n").exitCode, 10);
  EXPECT_EQ(cli.Run({"list"}).exitCode, 0);
  EXPECT_NE(cli.Run({"list"}).out.find("Kept"), std::string::npos) << "a token that existed stays";

  const CliResult plainHttp = cli.Run({"enroll", "Work", "--url", "http://127.0.0.1/", "--user", "alice",
                                       "--password-stdin"}, "secret\n");
  EXPECT_EQ(plainHttp.exitCode, 2);
  EXPECT_EQ(plainHttp.err, "Portal URL does not meet requirements. Enter a value beginning with https://\n");
}

}  // namespace
