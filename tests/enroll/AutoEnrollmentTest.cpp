// Automatic enrollment through the public API against the test enrollment server over HTTPS: the
// token ends up with the server's policy, serial number and K_TOKEN (its passcodes are checked
// against ones computed here from the K_TOKEN the server reports), the soft-PIN rule travels both
// ways, and every failure leaves the token file as it was.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/PasscodeTime.h"
#include "enroll/HttpRequest.h"
#ifndef _WIN32
#include "enroll/HttpStack.h"
#endif
#include "ov/ov_api.h"
#include "storage/OVEngineStore.h"
#include "support/ApiPasscode.h"
#include "support/EnrollmentServer.h"
#include "support/PasscodeReference.h"
#include "support/StorageEnvironment.h"

namespace {

using ov::test::EnrollmentServer;
using ov::test::Formulate;
using ov::test::SetEnv;
using ov::test::UnsetEnv;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

using ov::test::FromHex;

// The server's users. The policies are real token policies; the serial number holds characters
// that the XML must carry escaped.
const std::string kPinPolicy = Formulate({{"mode", 0}, {"pinlen", 4}, {"pwdlen", 6}});
const std::string kEventPolicy = Formulate({{"mode", 0}, {"pinlen", 0}, {"pwdlen", 8}});
const std::string kTimePolicy = Formulate({{"mode", 1}, {"pinlen", 0}, {"pwdlen", 6}, {"tstick", 30}});
const std::string kTransignPolicy = Formulate({{"mode", 0}, {"pinlen", 0}, {"pwdlen", 6}, {"transign", 1}});
// A policy no token can take by enrollment: it must be refused without a trace.
const std::string kMultiHostPolicy = Formulate({{"mode", 3}});

std::string UsersJson() {
  auto user = [](const char* name, const char* password, const std::string& policy,
                 const char* serial, const char* extra = "") {
    return std::string("{\"user\": \"") + name + "\", \"password\": \"" + password +
           "\", \"policy\": \"" + policy + "\", \"serial\": \"" + serial + "\"" + extra + "}";
  };
  return "[" + user("alice", "secret", kPinPolicy, "OVT-A&1<2>") + ", " +
         user("dave", "password1", kEventPolicy, "OVT-D") + ", " +
         user("erin", "password2", kTimePolicy, "OVT-E") + ", " +
         user("carol", "hunter22", kTransignPolicy, "OVT-C", ", \"dslen\": 192") + ", " +
         user("mallory", "password3", kMultiHostPolicy, "OVT-M") + ", " +
         user("bob", "pa&ss<word>", kEventPolicy, "OVT-B",
              ", \"minlen\": \"4\", \"maxlen\": \"8\", \"alphanum\": \"true\", "
              "\"collect_device_name\": true") +
         "]";
}

struct Outcome {
  int32_t result;
  int32_t minLength;
  int32_t maxLength;
  int32_t complexity;
};

class AutoEnrollment : public ::testing::Test {
 protected:
  void SetUp() override {
    // A proxy of the machine running the tests is not to come between client and server.
    SetEnv("no_proxy", EnrollmentServer::Host());
    SetEnv("NO_PROXY", EnrollmentServer::Host());
    const auto users = ov::test::PrivateHome::Root() / "enrollment-users.json";
    std::ofstream(users) << UsersJson();
    m_users = users.string();
    ASSERT_EQ(OV_InitializeA("KLSA_GA_8_2", 0), OV_OK);
  }
  void TearDown() override {
    OV_Finalize();
    UnsetEnv(ov::HttpRequest::kCaFileVariable);
  }

  // A server with the users above, whose test authority the client trusts.
  std::unique_ptr<EnrollmentServer> Start(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), {"--users", m_users});
    auto server = std::make_unique<EnrollmentServer>(arguments);
    if (server->Ok()) SetEnv(ov::HttpRequest::kCaFileVariable, server->CaFile().string());
    return server;
  }

  // `rule` is what the caller passes in the three in/out integers.
  Outcome Enroll(const std::string& url, const char* user, const char* password,
                 const wchar_t* softPin = nullptr, Outcome rule = {0, 0, 0, 0},
                 int32_t timeOutSeconds = 20, const wchar_t* deviceName = nullptr) {
    Outcome out = rule;
    out.result = OV_PerformAutoEnrollmentW(Wide(url).c_str(), Wide(user).c_str(),
                                           Wide(password).c_str(), softPin, deviceName,
                                           timeOutSeconds, &out.minLength, &out.maxLength,
                                           &out.complexity);
    return out;
  }
  // The same through the narrow function, without a soft PIN or a device name.
  static Outcome EnrollNarrow(const std::string& url, const char* user, const char* password) {
    Outcome out{0, 0, 0, 0};
    out.result = OV_PerformAutoEnrollmentA(url.c_str(), user, password, nullptr, nullptr, 20,
                                           &out.minLength, &out.maxLength, &out.complexity);
    return out;
  }

  // The bytes of the open token's file.
  static std::string TokenFile(const char* name) {
    return ov::test::ReadFile(ov::OVEngineStore::GetFullFilePath(ov::OVEngineStore::GetFileName(name), true));
  }

  // What the open token's information record says of its state, policy and serial number.
  struct TokenFacts {
    int32_t state = 0;
    std::string policy;
    std::string serial;
  };
  static TokenFacts Info() {
    OVTokenInfoA info{};
    EXPECT_EQ(OV_GetTokenInfoA(&info), OV_OK);
    TokenFacts facts{info.m_nTokenState, info.m_szTokenPolicy ? info.m_szTokenPolicy : "",
                     info.m_szTokenSerialNo ? info.m_szTokenSerialNo : ""};
    OV_FreeTokenInfoA(&info);
    return facts;
  }

  static std::string Passcode() { return ov::test::NextPasscode(); }

  ov::test::StorageEnvironment env;
  std::string m_users;
};

struct Provisioned {
  const char* name;
  const char* user;
  const char* password;
  const std::string* policy;
  const char* serial;
  bool pin;
  bool timeBased;
  int digits;
  std::size_t keyBytes;
  bool narrow;  // through OV_PerformAutoEnrollmentA rather than the W function
};

void PrintTo(const Provisioned& p, std::ostream* os) { *os << p.name; }

class ApiProvisioning : public AutoEnrollment, public ::testing::WithParamInterface<Provisioned> {};

TEST_P(ApiProvisioning, TokenTakesTheServersPolicySerialAndKey) {
  const Provisioned& p = GetParam();
  const auto server = Start();
  ASSERT_TRUE(server->Ok()) << server->Error();
  // A name of its own: the cases may share one store when run in one process.
  const std::string name = std::string("Enrolled ") + p.name;
  ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
  const Outcome out = p.narrow ? EnrollNarrow(server->Url(), p.user, p.password)
                               : Enroll(server->Url(), p.user, p.password);
  ASSERT_EQ(out.result, OV_OK);
  EXPECT_EQ(out.minLength, 0);
  EXPECT_EQ(out.maxLength, 0);
  EXPECT_EQ(out.complexity, 0);

  const auto provisioned = server->Events("provisioned");
  ASSERT_EQ(provisioned.size(), 1u);
  const std::vector<uint8_t> kToken = FromHex(EnrollmentServer::JsonValue(provisioned[0], "k_token"));
  ASSERT_EQ(kToken.size(), p.keyBytes);
  // The passcodes run on the first 32 bytes; a transaction-signing token keeps the rest.
  const std::vector<uint8_t> otpKey(kToken.begin(), kToken.begin() + 32);

  const TokenFacts token = Info();
  EXPECT_EQ(token.state, p.pin ? PENDING_PIN_STATE : ACTIVATED_STATE);
  EXPECT_EQ(token.policy, *p.policy);
  EXPECT_EQ(token.serial, p.serial);
  if (p.pin) {
    int32_t length = 0;
    EXPECT_EQ(OV_GenerateOtpA(nullptr, 0, nullptr, &length), OV_ERR_TOKEN_NOT_ACTIVATED);
    ASSERT_EQ(OV_SetPinW(L"2580"), OV_OK);
  }
  // A second enrollment needs an installed token.
  EXPECT_EQ(Enroll(server->Url(), p.user, p.password).result, OV_ERR_INVALID_TOKEN_STATE);

  env.clock.now = ov::kTimeStepBaseUnixSeconds + 30 * 25110506;
  const uint64_t first = p.timeBased ? 25110506 : 0;
  EXPECT_EQ(Passcode(), ov::test::Hotp(otpKey, first, p.digits));
  // The key was saved with the token: it opens again and goes on.
  ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
  ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
  if (p.pin) {
    ASSERT_EQ(OV_ValidatePinW(L"2580"), OV_OK);
  }
  env.clock.now += 30;
  EXPECT_EQ(Passcode(), ov::test::Hotp(otpKey, first + 1, p.digits));
}

INSTANTIATE_TEST_SUITE_P(
    Policies, ApiProvisioning,
    ::testing::Values(Provisioned{"event_with_pin", "alice", "secret", &kPinPolicy, "OVT-A&1<2>",
                                  true, false, 6, 32, false},
                      Provisioned{"event_without_pin_narrow", "dave", "password1", &kEventPolicy,
                                  "OVT-D", false, false, 8, 32, true},
                      Provisioned{"time_without_pin_narrow", "erin", "password2", &kTimePolicy,
                                  "OVT-E", false, true, 6, 32, true},
                      Provisioned{"transaction_signing", "carol", "hunter22", &kTransignPolicy,
                                  "OVT-C", false, false, 6, 96, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The server asks bob for a soft PIN of 4 to 8 characters with mixed case and a digit, and for
// the device name. Without a soft PIN the run stops before the ClientNonce and reports the rule;
// the caller then runs it again with a soft PIN that follows it.
TEST_F(AutoEnrollment, SoftPinRuleIsReportedAndThenFollowed) {
  const auto server = Start();
  ASSERT_TRUE(server->Ok()) << server->Error();
  ASSERT_EQ(OV_CreateInstanceA("Laptop token", 0), OV_OK);
  const std::string before = TokenFile("Laptop token");

  const Outcome refused = Enroll(server->Url(), "bob", "pa&ss<word>");
  EXPECT_EQ(refused.result, OV_ERR_SOFT_PIN_REQUIRED);
  EXPECT_EQ(refused.minLength, 4);
  EXPECT_EQ(refused.maxLength, 8);
  EXPECT_EQ(refused.complexity, 1);
  EXPECT_EQ(server->Events("request").size(), 1u) << "no ClientNonce was sent";
  EXPECT_EQ(TokenFile("Laptop token"), before);

  const Outcome accepted = Enroll(server->Url(), "bob", "pa&ss<word>", L"Ab<1", refused);
  ASSERT_EQ(accepted.result, OV_OK);
  EXPECT_EQ(accepted.minLength, 4);
  EXPECT_EQ(accepted.maxLength, 8);
  EXPECT_EQ(accepted.complexity, 1);
  const auto provisioned = server->Events("provisioned");
  ASSERT_EQ(provisioned.size(), 1u);
  EXPECT_EQ(EnrollmentServer::JsonValue(provisioned[0], "soft_pin"), "Ab<1");
  // Without a device name of its own the run sends the token's name.
  EXPECT_EQ(EnrollmentServer::JsonValue(provisioned[0], "device_name"), "Laptop token");
  EXPECT_EQ(Info().state, ACTIVATED_STATE);
}

TEST_F(AutoEnrollment, SoftPinTheServerDoesNotAskForIsRefused) {
  const auto server = Start();
  ASSERT_TRUE(server->Ok()) << server->Error();
  ASSERT_EQ(OV_CreateInstanceA("Token", 0), OV_OK);
  const std::string before = TokenFile("Token");
  const Outcome out = Enroll(server->Url(), "dave", "password1", L"Ab12", {0, 4, 8, 1});
  EXPECT_EQ(out.result, OV_ERR_SOFT_PIN_NOT_ALLOWED);
  EXPECT_EQ(out.minLength, 0);
  EXPECT_EQ(out.maxLength, 0);
  EXPECT_EQ(out.complexity, 0);
  EXPECT_EQ(server->Events("request").size(), 1u);
  EXPECT_EQ(TokenFile("Token"), before);
}

// The failure's kind belongs to the last call: a success, or a call refused before any exchange,
// forgets the one before.
TEST_F(AutoEnrollment, FailureKindIsForgottenByTheNextCall) {
  const auto server = Start();
  ASSERT_TRUE(server->Ok()) << server->Error();
  ASSERT_EQ(OV_CreateInstanceA("Token", 0), OV_OK);
  int32_t kind = -1;
  for (const bool refuse : {false, true}) {
    ASSERT_EQ(Enroll(server->Url(), "dave", "wrong").result, OV_ERR_OPERATION_FAILED);
    ASSERT_EQ(OV_GetEnrollmentFailure(&kind), OV_OK);
    ASSERT_EQ(kind, OV_ENROLL_CREDENTIALS_REFUSED);
    const int32_t result = refuse ? Enroll("ftp://127.0.0.1/dskpp", "dave", "password1").result
                                  : Enroll(server->Url(), "dave", "password1").result;
    EXPECT_EQ(result, refuse ? OV_ERR_INVALID_PARAM : OV_OK);
    EXPECT_EQ(OV_GetEnrollmentFailure(&kind), OV_OK);
    EXPECT_EQ(kind, OV_ENROLL_FAILURE_UNKNOWN)
        << (refuse ? "after a refused call" : "after success");
    if (!refuse) {
      ASSERT_EQ(OV_ResetToken(), OV_OK);
    }
  }
  EXPECT_EQ(OV_GetEnrollmentFailure(nullptr), OV_ERR_INVALID_PARAM);
}

TEST_F(AutoEnrollment, NeedsAnOpenToken) {
  EXPECT_EQ(Enroll("https://127.0.0.1:9/dskpp", "dave", "password1").result, OV_ERR_NO_INSTANCE);
}

// Runs `body` where the logging library it loads goes with it: in a child process on Linux, since
// a library once loaded stays for the life of the process; in this process on Windows, where each
// test already runs in a process of its own. The body's result: 0 for success.
int Isolated(const std::function<int()>& body) {
#ifdef _WIN32
  return body();
#else
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + status;
#endif
}

bool LoadLogger(const std::filesystem::path& logFile) {
  SetEnv("BRISEL_LOG", logFile.string());
#ifdef _WIN32
  return LoadLibraryA(OV_BRISEL_PATH) != nullptr;
#else
  return dlopen(OV_BRISEL_PATH, RTLD_NOW | RTLD_GLOBAL) != nullptr;
#endif
}

// The diagnostic log of one successful and one failed run: the failure is named, and neither the
// password (as typed or as the hex text the key derivation takes), the soft PIN nor the token key
// ever appear.
TEST_F(AutoEnrollment, LogNamesTheFailureAndNoSecret) {
  const auto server = Start();
  ASSERT_TRUE(server->Ok()) << server->Error();
  const auto logFile = ov::test::PrivateHome::Root() / "enrollment.log";
  const int failedStep = Isolated([&] {
    if (!LoadLogger(logFile)) return 10;
    if (OV_CreateInstanceA("Logged", 0) != OV_OK) return 11;
    if (Enroll(server->Url(), "bob", "pa&ss<word>", L"Ab<1", {0, 4, 8, 1}).result != OV_OK)
      return 12;
    if (OV_ReleaseInstance() != OV_OK || OV_CreateInstanceA("Logged too", 0) != OV_OK) return 13;
    if (Enroll(server->Url(), "bob", "pa&ss<wordX", L"Ab<1", {0, 4, 8, 1}).result !=
        OV_ERR_OPERATION_FAILED)
      return 14;
    return 0;
  });
  ASSERT_EQ(failedStep, 0);
  const std::string log = ov::test::ReadFile(logFile);
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.find("AutoEnrollManager::PerformAutoEnrollment fails"), std::string::npos);
  EXPECT_NE(log.find("ProcessServerFinishedResponse failure"), std::string::npos);
  const auto provisioned = server->Events("provisioned");
  ASSERT_EQ(provisioned.size(), 1u);
  for (const std::string& secret : {std::string("pa&ss<word"), std::string("70612673733C776F7264"),
                                   std::string("Ab<1"), std::string("Ab&lt;1"),
                                   EnrollmentServer::JsonValue(provisioned[0], "k_token")}) {
    EXPECT_EQ(log.find(secret), std::string::npos) << secret;
  }
}

#ifndef _WIN32
// libcurl and libproxy are Linux's: WinHTTP is part of Windows and linked.
struct MissingLibrary {
  const char* name;
  const char* curlLibrary;
  const char* proxyLibrary;
  const char* logged;  // what the diagnostic log must say about it
};

void PrintTo(const MissingLibrary& m, std::ostream* os) { *os << m.name; }

class MissingHttpLibrary : public AutoEnrollment,
                           public ::testing::WithParamInterface<MissingLibrary> {};

// Without libcurl or libproxy (or with a library of that name that lacks their functions) an
// enrollment against a working server fails like any other failed connection, the log names the
// library, and the token can be enrolled once the libraries are there. In a child process, which
// can load the logging library.
TEST_P(MissingHttpLibrary, FailsTheEnrollmentAndNamesTheLibrary) {
  const MissingLibrary& m = GetParam();
  const auto server = Start();
  ASSERT_TRUE(server->Ok()) << server->Error();
  const auto logFile = ov::test::PrivateHome::Root() / (std::string(m.name) + ".log");
  const pid_t child = fork();
  if (child == 0) {
    setenv("BRISEL_LOG", logFile.c_str(), 1);
    if (dlopen(OV_BRISEL_PATH, RTLD_NOW | RTLD_GLOBAL) == nullptr) _exit(10);
    // A name of its own: the token stays enrolled in a store the cases may share.
    const std::string token = std::string("Offline ") + m.name;
    if (OV_CreateInstanceA(token.c_str(), 0) != OV_OK) _exit(11);
    const std::string url = server->Url();
    int32_t minLength = 0, maxLength = 0, complexity = 0;
    {
      const ov::ScopedHttpStack stack(m.curlLibrary, m.proxyLibrary);
      if (OV_PerformAutoEnrollmentA(url.c_str(), "dave", "password1", nullptr, nullptr, 20,
                                    &minLength, &maxLength,
                                    &complexity) != OV_ERR_OPERATION_FAILED) {
        _exit(12);
      }
    }
    if (Enroll(url, "dave", "password1").result != OV_OK) _exit(13);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  EXPECT_EQ(server->Events("request").size(), 2u) << "only the enrollment with the libraries";
  const std::string log = ov::test::ReadFile(logFile);
  EXPECT_NE(log.find(m.logged), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, MissingHttpLibrary,
    ::testing::Values(MissingLibrary{"no_curl", "libcurl-absent.so.4", ov::HttpStack::kProxyLibrary,
                                     "Cannot load libcurl-absent.so.4"},
                      MissingLibrary{"no_proxy", ov::HttpStack::kCurlLibrary,
                                     "libproxy-absent.so.1", "Cannot load libproxy-absent.so.1"},
                      MissingLibrary{"curl_without_its_functions", ov::HttpStack::kProxyLibrary,
                                     ov::HttpStack::kProxyLibrary,
                                     "libproxy.so.1 has no function curl_"}),
    [](const auto& info) { return std::string(info.param.name); });
#endif

struct Failure {
  const char* name;
  std::vector<std::string> arguments;  // the server's switches
  int32_t expected;
  int32_t kind;  // what OV_GetEnrollmentFailure says afterwards
  const char* user = "dave";
  const char* password = "password1";
  const wchar_t* softPin = nullptr;
  Outcome rule = {0, 0, 0, 0};
  int32_t timeOutSeconds = 20;
  const char* path = "dskpp";
  const char* origin = nullptr;  // in place of the server's
};

void PrintTo(const Failure& f, std::ostream* os) { *os << f.name; }

// The kinds of failure, short for the table below.
constexpr int32_t kUnknown = OV_ENROLL_FAILURE_UNKNOWN;
constexpr int32_t kNotReached = OV_ENROLL_SERVER_NOT_REACHED;
constexpr int32_t kCertificate = OV_ENROLL_CERTIFICATE_NOT_TRUSTED;
constexpr int32_t kRefused = OV_ENROLL_CREDENTIALS_REFUSED;
constexpr int32_t kWrongAnswer = OV_ENROLL_SERVER_ANSWER_WRONG;
constexpr int32_t kFailed = OV_ERR_OPERATION_FAILED;

class FailedEnrollment : public AutoEnrollment, public ::testing::WithParamInterface<Failure> {};

TEST_P(FailedEnrollment, EndsWithItsCodeAndLeavesTheTokenAsItWas) {
  const Failure& f = GetParam();
  const auto server = Start(f.arguments);
  ASSERT_TRUE(server->Ok()) << server->Error();
  ASSERT_EQ(OV_CreateInstanceA("Token", 0), OV_OK);
  const std::string before = TokenFile("Token");
  std::string url = f.origin != nullptr ? f.origin : server->Origin();
  if (f.path != nullptr) url += "/" + std::string(f.path);
  EXPECT_EQ(Enroll(url, f.user, f.password, f.softPin, f.rule, f.timeOutSeconds).result, f.expected);
  int32_t kind = -1;
  EXPECT_EQ(OV_GetEnrollmentFailure(&kind), OV_OK);
  EXPECT_EQ(kind, f.kind);
  EXPECT_TRUE(TokenFile("Token") == before) << "the token file changed";
  EXPECT_EQ(Info().state, INSTALLED_STATE);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailedEnrollment,
    ::testing::Values(
        Failure{"content_type_with_parameter", {"--misbehave", "content-type-param"}, kFailed, kWrongAnswer},
        Failure{"no_pragma", {"--misbehave", "no-pragma"}, kFailed, kWrongAnswer},
        Failure{"status_abort", {"--misbehave", "abort"}, kFailed, kWrongAnswer},
        Failure{"status_period_expired", {"--misbehave", "expired"}, kFailed, kWrongAnswer},
        Failure{"wrong_mac", {"--misbehave", "wrong-mac"}, kFailed, kWrongAnswer},
        Failure{"mac_over_other_client_hello", {"--misbehave", "mac-blank"}, kFailed, kWrongAnswer},
        Failure{"mac_with_line_break", {"--misbehave", "mac-line-breaks"}, kFailed, kWrongAnswer},
        Failure{"reply_past_the_size_limit", {"--misbehave", "huge-reply"}, kFailed, kWrongAnswer},
        Failure{"server_finished_without_policy", {"--misbehave", "no-policy"},
                kFailed, kWrongAnswer},
        Failure{"server_finished_for_other_session", {"--misbehave", "other-session"},
                kFailed, kWrongAnswer},
        Failure{"slow_server_hello", {"--misbehave", "slow-hello", "--delay", "3"}, kFailed, kNotReached,
                "dave", "password1", nullptr, {0, 0, 0, 0}, 1},
        Failure{"slow_server_finished", {"--misbehave", "slow-finished", "--delay", "3"},
                kFailed, kNotReached, "dave", "password1", nullptr, {0, 0, 0, 0}, 1},
        Failure{"certificate_for_other_host", {"--certificate", "wrong-host"}, kFailed, kCertificate},
        Failure{"expired_certificate", {"--certificate", "expired"}, kFailed, kCertificate},
        Failure{"untrusted_certificate", {"--certificate", "untrusted"}, kFailed, kCertificate},
        Failure{"wrong_password", {}, kFailed, kRefused, "dave", "Password1"},
        Failure{"unknown_user", {}, kFailed, kRefused, "nobody", "password1"},
        Failure{.name = "closed_port", .arguments = {}, .expected = OV_ERR_OPERATION_FAILED,
                .kind = kNotReached, .origin = "https://127.0.0.1:9"},
        Failure{.name = "unknown_host", .arguments = {}, .expected = OV_ERR_OPERATION_FAILED,
                .kind = kNotReached, .origin = "https://no-such-host.invalid"},
        Failure{"multi_host_policy", {}, OV_ERR_INVALID_PARAM, kWrongAnswer, "mallory", "password3"},
        Failure{"url_without_path", {}, OV_ERR_INVALID_PARAM, kUnknown, "dave", "password1", nullptr,
                {0, 0, 0, 0}, 20, nullptr},
        // The caller's own rule lets these through; the server's does not.
        Failure{"soft_pin_longer_than_the_rule", {}, OV_ERR_INVALID_PARAM, kUnknown, "bob", "pa&ss<word>",
                L"Abcd12345", {0, 0, -1, 1}},
        Failure{"soft_pin_without_mixed_case", {}, OV_ERR_INVALID_PARAM, kUnknown, "bob", "pa&ss<word>",
                L"abcd1", {0, 4, 8, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
