// The four DSKPP passes end to end over HTTPS against the test enrollment server: the client
// core and the transport run the exchange the way the enrollment driver does (the short driver
// below), and the server's log shows what it received and which key it provisioned.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/OVException.h"
#include "enroll/DSKPPClientCore.h"
#include "enroll/DSKPPCore.h"
#include "enroll/DSKPPData.h"
#include "enroll/HttpRequest.h"
#include "support/EnrollmentServer.h"
#include "support/TestEnvironment.h"

namespace ov {
namespace {

using test::EnrollmentServer;
using test::SetEnv;
using test::UnsetEnv;
constexpr auto JsonValue = &EnrollmentServer::JsonValue;

struct Credentials {
  Credentials(std::string u, std::string p, std::optional<std::string> pin = std::nullopt,
              std::string device = "test-laptop", std::int32_t dsLen = 64)
      : user(std::move(u)),
        password(std::move(p)),
        softPin(std::move(pin)),
        deviceName(std::move(device)),
        provisioningKeyLength(dsLen) {}
  std::string user;
  std::string password;
  std::optional<std::string> softPin;
  std::string deviceName;
  std::int32_t provisioningKeyLength;
  std::int32_t timeOutSeconds = 20;
};

// Where the run stopped: "ok", or the first check that failed.
struct Outcome {
  std::string stage;
  std::unique_ptr<DSKPPServerHelloData> hello;
  std::unique_ptr<DSKPPServerFinishedData> finished;
  std::string tokenKey;
  std::optional<std::string> contentType;
  std::optional<std::string> pragma;
};

Outcome Stopped(const char* stage) {
  Outcome out;
  out.stage = stage;
  return out;
}

bool HeadersAsRequired(const HttpRequest& http) {
  return http.GetCacheControl() == "no-cache, no-must-revalidate, private" &&
         http.GetContentType() == "application/dskpp+xml" && http.GetPragma() == "no-cache";
}

template <class Record>
std::unique_ptr<Record> As(std::unique_ptr<IDSKPPData> data) {
  if (dynamic_cast<Record*>(data.get()) == nullptr) return nullptr;
  return std::unique_ptr<Record>(static_cast<Record*>(data.release()));
}

Outcome RunExchange(const std::string& url, const Credentials& c) {
  Outcome out;
  DSKPPCore core;
  HttpRequest http;
  auto exchange = [&](const SecureString& body) {
    http.SetBody(body.view());
    const bool sent = http.HttpSendMessage() == 0;
    out.contentType = http.GetContentType();
    out.pragma = http.GetPragma();
    if (!sent)
      out.stage = "transport";
    else if (!HeadersAsRequired(http))
      out.stage = "headers";
    return out.stage.empty();
  };

  if (!core.Initialize()) return Stopped("init");
  DSKPPClientHelloData helloData;
  helloData.userId = c.user;
  helloData.deviceType = "Windows";
  helloData.deviceVersion = "6.1";
  helloData.capability = 5;
  const SecureString clientHello = *core.FormatMsg("1.0", &helloData);
  http.SetURL(url);
  http.SetTimeOut(c.timeOutSeconds);
  if (http.HttpConnect() != 0) return Stopped("connect");
  if (!exchange(clientHello)) return out;
  const std::string serverHello = http.GetBody();
  out.hello = As<DSKPPServerHelloData>(core.ParseMsg("1.0", serverHello));
  if (!out.hello) return Stopped("parse");
  if (!out.hello->IsStatusOk()) {
    out.stage = "status";
    return out;
  }

  DSKPPClientCore client(*out.hello->serverNonce, *out.hello->encryptionAlgorithm,
                         *out.hello->macAlgorithm, *out.hello->keyName, core);
  std::array<std::uint8_t, 32> nonce{};
  for (std::size_t i = 0; i < nonce.size(); ++i) nonce[i] = static_cast<std::uint8_t>(i * 7 + 1);
  client.GenerateClientNonce(nonce);
  DSKPPClientNonceData nonceData;
  nonceData.clientId = c.user;
  nonceData.sessionId = out.hello->sessionId;
  nonceData.encryptedNonce = client.GetEncryptedNonce();
  nonceData.iterationCount = client.GetIterationCount();
  nonceData.macAlgorithm = client.GetMacAlgorithm();
  nonceData.authData = client.GetAuthData(c.user, c.password, url);
  nonceData.deviceName = c.deviceName;
  if (c.softPin) nonceData.softPin = SecureString(*c.softPin);
  nonceData.collectDeviceName = out.hello->collectDeviceName;
  if (!core.Initialize()) return Stopped("init");
  const SecureString clientNonce = *core.FormatMsg("1.0", &nonceData);
  if (!exchange(clientNonce)) return out;
  http.HttpDisconnect();
  out.finished = As<DSKPPServerFinishedData>(core.ParseMsg("1.0", http.GetBody()));
  if (!out.finished) {
    out.stage = "parse";
    return out;
  }
  if (!out.finished->IsStatusOk()) {
    out.stage = "status";
    return out;
  }
  client.SetProvisioningKeyLength(c.provisioningKeyLength);
  const std::array<std::string_view, 3> messages = {clientHello.view(), serverHello,
                                                    clientNonce.view()};
  try {
    client.VerifyKeyConfirmationMac(messages, out.finished->mac.value_or(""),
                                    out.finished->macAlgorithm.value_or(""));
  } catch (const OVException&) {
    out.stage = "mac";
    return out;
  }
  out.tokenKey = std::string(client.GetTokenKey().view());
  out.stage = "ok";
  return out;
}

class EnrollmentExchange : public ::testing::Test {
 protected:
  // Trusts the server's test authority for the rest of the test.
  static void Trust(const EnrollmentServer& server) {
    SetEnv(HttpRequest::kCaFileVariable, server.CaFile().string());
  }
  // A proxy of the machine running the tests is not to come between the client and the local
  // server.
  void SetUp() override {
    SetEnv("no_proxy", EnrollmentServer::Host());
    SetEnv("NO_PROXY", EnrollmentServer::Host());
  }
  void TearDown() override { UnsetEnv(HttpRequest::kCaFileVariable); }
};

struct User {
  const char* name;
  Credentials credentials;
  std::size_t keyBytes;
  std::int32_t minSoftPin;
  std::int32_t maxSoftPin;
  bool collectDeviceName;
};

void PrintTo(const User& u, std::ostream* os) { *os << u.name; }

class Provisioning : public EnrollmentExchange, public ::testing::WithParamInterface<User> {};

TEST_P(Provisioning, ClientHoldsTheServersTokenKeyPolicyAndSerial) {
  const User& u = GetParam();
  EnrollmentServer server;
  ASSERT_TRUE(server.Ok()) << server.Error();
  Trust(server);
  const Outcome out = RunExchange(server.Url(), u.credentials);
  ASSERT_EQ(out.stage, "ok");
  EXPECT_EQ(out.hello->minSoftPinLength, u.minSoftPin);
  EXPECT_EQ(out.hello->maxSoftPinLength, u.maxSoftPin);
  EXPECT_EQ(out.hello->collectDeviceName, u.collectDeviceName);

  const auto provisioned = server.Events("provisioned");
  ASSERT_EQ(provisioned.size(), 1u);
  EXPECT_EQ(out.tokenKey, JsonValue(provisioned[0], "k_token"));
  EXPECT_EQ(out.tokenKey.size(), 2 * u.keyBytes);
  EXPECT_EQ(out.finished->keyProfileId, JsonValue(provisioned[0], "policy"));
  EXPECT_EQ(out.finished->serialNumber, JsonValue(provisioned[0], "serial"));
  EXPECT_EQ(JsonValue(provisioned[0], "soft_pin"), u.credentials.softPin.value_or(""));
  EXPECT_EQ(JsonValue(provisioned[0], "device_name"),
            u.collectDeviceName ? u.credentials.deviceName : "null");
}

INSTANTIATE_TEST_SUITE_P(
    Users, Provisioning,
    ::testing::Values(
        User{"plain", Credentials("alice", "secret"), 32, 0, 0, false},
        // The server's user table asks bob for a soft PIN of 4 to 8 characters and
        // for the device name; his password holds characters that XML escapes.
        User{"soft_pin_and_device_name", Credentials("bob", "pa&ss<word>", "abc12", "desk <&> top"),
             32, 4, 8, true},
        User{"long_key", Credentials("carol", "hunter2", std::nullopt, "x", 192), 96, 0, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnrollmentExchange, BothPassesShareOneConnectionAndCarryTheRequestHeaders) {
  EnrollmentServer server;
  ASSERT_TRUE(server.Ok()) << server.Error();
  Trust(server);
  ASSERT_EQ(RunExchange(server.Url(), Credentials("alice", "secret")).stage, "ok");
  const auto requests = server.Events("request");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(JsonValue(requests[0], "client_port"), JsonValue(requests[1], "client_port"));
  for (const auto& request : requests) {
    std::size_t last = 0;
    for (const char* header :
         {"[\"Content-Type\", \"application/dskpp+xml\"]", "[\"Pragma\", \"no-cache\"]",
          "[\"Content-Language\", \"en-us\"]", "[\"Accept\", \"application/dskpp+xml\"]",
          "[\"Cache-Control\", \"no-cache, no-store\"]"}) {
      const auto at = request.find(header);
      ASSERT_NE(at, std::string::npos) << header;
      EXPECT_GT(at, last) << header << " out of order";
      last = at;
    }
    EXPECT_NE(request.find("[\"User-Agent\", \"Orvanti SDK 8.3.5 for Windows\"]"),
              std::string::npos);
    EXPECT_EQ(request.find("\"Expect\""), std::string::npos);
  }
}

TEST_F(EnrollmentExchange, WrongPasswordIsRefusedByTheServer) {
  EnrollmentServer server;
  ASSERT_TRUE(server.Ok()) << server.Error();
  Trust(server);
  const Outcome out = RunExchange(server.Url(), Credentials("alice", "Secret"));
  EXPECT_EQ(out.stage, "status");
  ASSERT_NE(out.finished, nullptr);
  EXPECT_EQ(out.finished->status, "AuthenticationDataInvalid");
  EXPECT_TRUE(server.Events("provisioned").empty());
}

// Verification is on without any setting: the test authority is trusted only through the
// variable.
TEST_F(EnrollmentExchange, UnknownAuthorityIsRefusedWithoutTheTrustSetting) {
  EnrollmentServer server;
  ASSERT_TRUE(server.Ok()) << server.Error();
  EXPECT_EQ(RunExchange(server.Url(), Credentials("alice", "secret")).stage, "transport");
  EXPECT_TRUE(server.Events("request").empty());
}

#ifndef _WIN32
// Proxies come from libproxy, which reads the environment among other places: a proxy named
// there is used (here one that refuses every connection), unless the host is exempted. (WinHTTP
// takes the user's Internet settings instead.)
TEST_F(EnrollmentExchange, ProxyFromTheEnvironmentIsUsedUnlessExempted) {
  EnrollmentServer server;
  ASSERT_TRUE(server.Ok()) << server.Error();
  Trust(server);
  SetEnv("https_proxy", "http://127.0.0.1:9");
  UnsetEnv("no_proxy");
  UnsetEnv("NO_PROXY");
  EXPECT_EQ(RunExchange(server.Url(), Credentials("alice", "secret")).stage, "transport");
  EXPECT_TRUE(server.Events("request").empty());
  SetEnv("no_proxy", "127.0.0.1");
  EXPECT_EQ(RunExchange(server.Url(), Credentials("alice", "secret")).stage, "ok");
  UnsetEnv("https_proxy");
}
#endif

struct TrustFile {
  const char* name;
  const char* text;  // nullptr: there is no such file
  bool startsWithTheServersAuthority;
};

void PrintTo(const TrustFile& t, std::ostream* os) { *os << t.name; }

// A trust file that cannot be used as a whole is an error, never a reason to trust less strictly
// or to take only the part that could be read: nothing reaches the server.
class UnusableTrustFile : public EnrollmentExchange,
                          public ::testing::WithParamInterface<TrustFile> {};

TEST_P(UnusableTrustFile, StopsTheRunBeforeTheServerSeesARequest) {
  const TrustFile& t = GetParam();
  EnrollmentServer server;
  ASSERT_TRUE(server.Ok()) << server.Error();
  const auto file = test::PrivateHome::Root() / (std::string(t.name) + ".pem");
  if (t.text != nullptr) {
    std::ofstream(file, std::ios::binary)
        << (t.startsWithTheServersAuthority ? test::ReadFile(server.CaFile()) : "") << t.text;
  }
  SetEnv(HttpRequest::kCaFileVariable, file.string());
  const std::string stage = RunExchange(server.Url(), Credentials("alice", "secret")).stage;
  EXPECT_TRUE(stage == "connect" || stage == "transport") << stage;
  EXPECT_TRUE(server.Events("request").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableTrustFile,
    ::testing::Values(TrustFile{"missing", nullptr, false},
                      TrustFile{"no_certificate", "not a certificate\n", false},
                      // Three zero bytes where a certificate should be.
                      TrustFile{"broken_block_after_the_authority",
                                "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n",
                                true}),
    [](const auto& info) { return std::string(info.param.name); });

struct Misbehaviour {
  Misbehaviour(const char* n, std::vector<std::string> a, std::string s,
               std::optional<std::string> e = std::nullopt, std::int32_t t = 20)
      : name(n),
        arguments(std::move(a)),
        stage(std::move(s)),
        errorText(std::move(e)),
        timeOutSeconds(t) {}
  const char* name;
  std::vector<std::string> arguments;
  std::string stage;
  std::optional<std::string> errorText;
  std::int32_t timeOutSeconds;
};

void PrintTo(const Misbehaviour& m, std::ostream* os) { *os << m.name; }

// The server's switches and the shapes of its replies, each with the stage the run ends in.
class ServerMisbehaves : public EnrollmentExchange,
                         public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(ServerMisbehaves, RunStopsAtTheCheckThatCatchesIt) {
  const Misbehaviour& m = GetParam();
  EnrollmentServer server(m.arguments);
  ASSERT_TRUE(server.Ok()) << server.Error();
  Trust(server);
  Credentials credentials("alice", "secret");
  credentials.timeOutSeconds = m.timeOutSeconds;
  const Outcome out = RunExchange(server.Url(), credentials);
  EXPECT_EQ(out.stage, m.stage);
  EXPECT_EQ(out.tokenKey.empty(), m.stage != "ok");
  // No message reaches a server whose certificate is refused. (WinHTTP sends the request line
  // and headers before the chain can be checked against the trust file; never the body.)
  if (std::find(m.arguments.begin(), m.arguments.end(), "--certificate") != m.arguments.end()) {
    for (const auto& request : server.Events("request")) {
      EXPECT_EQ(JsonValue(request, "body"), "") << request;
    }
  }
  if (m.errorText) {
    ASSERT_NE(out.finished, nullptr);
    EXPECT_EQ(out.finished->errorText, m.errorText);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ServerMisbehaves,
    ::testing::Values(
        Misbehaviour{
            "content_type_with_parameter", {"--misbehave", "content-type-param"}, "headers"},
        Misbehaviour{"no_pragma", {"--misbehave", "no-pragma"}, "headers"},
        Misbehaviour{"abort", {"--misbehave", "abort"}, "status", "Enrollment refused & logged"},
        Misbehaviour{"expired", {"--misbehave", "expired"}, "status", "Enrollment expired"},
        Misbehaviour{"wrong_mac", {"--misbehave", "wrong-mac"}, "mac"},
        Misbehaviour{"mac_over_other_client_hello", {"--misbehave", "mac-blank"}, "mac"},
        Misbehaviour{"mac_with_line_break", {"--misbehave", "mac-line-breaks"}, "mac"},
        Misbehaviour{"slow_server_hello",
                     {"--misbehave", "slow-hello", "--delay", "4"},
                     "transport",
                     std::nullopt,
                     1},
        Misbehaviour{"slow_server_finished",
                     {"--misbehave", "slow-finished", "--delay", "4"},
                     "transport",
                     std::nullopt,
                     1},
        // The key confirmation MAC covers the ServerHello as received, so a byte lost or moved
        // while reading a reply in pieces would show as a wrong MAC.
        Misbehaviour{"reply_in_many_pieces", {"--misbehave", "long-reply"}, "ok"},
        Misbehaviour{"reply_past_the_size_limit", {"--misbehave", "huge-reply"}, "transport"},
        Misbehaviour{"text_after_a_nul_is_dropped", {"--misbehave", "nul-after-reply"}, "ok"},
        Misbehaviour{"certificate_for_other_host", {"--certificate", "wrong-host"}, "transport"},
        Misbehaviour{"expired_certificate", {"--certificate", "expired"}, "transport"},
        Misbehaviour{"untrusted_certificate", {"--certificate", "untrusted"}, "transport"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnrollmentExchange, MissingHeaderReadsAsAbsent) {
  EnrollmentServer server({"--misbehave", "no-pragma"});
  ASSERT_TRUE(server.Ok()) << server.Error();
  Trust(server);
  const Outcome out = RunExchange(server.Url(), Credentials("alice", "secret"));
  EXPECT_EQ(out.stage, "headers");
  EXPECT_EQ(out.pragma, std::nullopt);
  EXPECT_EQ(out.contentType, "application/dskpp+xml");
}

}  // namespace
}  // namespace ov
