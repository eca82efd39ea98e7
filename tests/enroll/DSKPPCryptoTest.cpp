// The client's DSKPP computations: AD, K_MAC, K_TOKEN and the key confirmation MAC for fixed
// nonces (values computed independently in Python), the encryption of R_C under keys of several
// sizes, and the ways a key confirmation fails.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/OVException.h"
#include "encoding/Base64.h"
#include "encoding/Hex.h"
#include "enroll/DSKPPClientCore.h"
#include "enroll/DSKPPCore.h"
#include "enroll/DSKPPData.h"
#include "support/VectorFile.h"

namespace ov {
namespace {

using test::VectorRecord;

std::vector<std::string> Messages(const VectorRecord& r) {
  return {r.Text("Message1"), r.Text("Message2"), r.Text("Message3")};
}

std::string HexOfBase64(std::string_view text) { return HexEncode(Base64Decode(text)); }

class DskppVectors : public ::testing::TestWithParam<VectorRecord> {};

TEST_P(DskppVectors, CoreComputesTheKnownValues) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  DSKPPCore core;
  ASSERT_TRUE(core.Initialize());
  EXPECT_EQ(core.CalculateAuthData(r.Text("UserId"), r.Text("Password"),
                                   static_cast<std::int32_t>(r.Int("Iterations")),
                                   r.Text("KeyName"), r.Text("ServerNonce"), r.Text("ClientNonce"),
                                   r.Text("Url"), dskpp::kMacAlgorithm),
            r.Text("AuthData"));
  const auto [macKey, tokenKey] =
      core.DeriveKeys(r.Text("KeyName"), r.Text("ServerNonce"), r.Text("ClientNonce"),
                      static_cast<std::int32_t>(r.Int("DsLen")), dskpp::kMacAlgorithm);
  EXPECT_EQ(HexOfBase64(macKey.view()), r.Text("KMac"));
  EXPECT_EQ(HexOfBase64(tokenKey.view()), r.Text("KToken"));
  const auto messages = Messages(r);
  const std::vector<std::string_view> views(messages.begin(), messages.end());
  EXPECT_EQ(core.CreateKeyConfirmationMAC(macKey.view(), views, dskpp::kMacAlgorithm),
            r.Text("Mac"));
}

// The same values reached the way a run reaches them: R_C handed to the client core, AD asked
// for, the server's MAC verified and K_TOKEN kept as upper-case hex.
TEST_P(DskppVectors, ClientCoreVerifiesAndKeepsTheTokenKey) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  DSKPPCore core;
  ASSERT_TRUE(core.Initialize());
  DSKPPClientCore client(r.Text("ServerNonce"), dskpp::kEncryptionAlgorithm, dskpp::kMacAlgorithm,
                         r.Text("KeyName"), core);
  EXPECT_FALSE(client.GetAuthData(r.Text("UserId"), r.Text("Password"), r.Text("Url")));
  client.SetProvisioningKeyLength(static_cast<std::int32_t>(r.Int("DsLen")));
  const SecureBytes clientNonce = Base64Decode(r.Text("ClientNonce"));
  client.GenerateClientNonce(clientNonce);
  ASSERT_TRUE(client.IsNonceGenerated());
  EXPECT_EQ(Base64Decode(client.GetEncryptedNonce()).size(), 256u);
  EXPECT_EQ(client.GetAuthData(r.Text("UserId"), r.Text("Password"), r.Text("Url")),
            r.Text("AuthData"));
  const auto messages = Messages(r);
  const std::vector<std::string_view> views(messages.begin(), messages.end());
  client.VerifyKeyConfirmationMac(views, r.Text("Mac"), dskpp::kMacAlgorithm);
  EXPECT_EQ(client.GetTokenKey().view(), r.Text("KToken"));
}

INSTANTIATE_TEST_SUITE_P(FixedNonces, DskppVectors,
                         ::testing::ValuesIn(test::LoadVectorFile("enroll/dskpp_crypto.vec")),
                         test::VectorRecordName);

// A verification that must fail, starting from the first record of the vector file.
struct Tamper {
  const char* name;
  void (*apply)(std::vector<std::string>& messages, std::string& mac, std::string& algorithm);
};

void PrintTo(const Tamper& c, std::ostream* os) { *os << c.name; }

class KeyConfirmationFails : public ::testing::TestWithParam<Tamper> {};

TEST_P(KeyConfirmationFails, With6003AndTheEarlierKeyKept) {
  const auto records = test::LoadVectorFile("enroll/dskpp_crypto.vec");
  const VectorRecord& r = records.front();
  ASSERT_TRUE(r.Ok()) << r.Error();
  DSKPPCore core;
  ASSERT_TRUE(core.Initialize());
  DSKPPClientCore client(r.Text("ServerNonce"), dskpp::kEncryptionAlgorithm, dskpp::kMacAlgorithm,
                         r.Text("KeyName"), core);
  client.GenerateClientNonce(Base64Decode(r.Text("ClientNonce")));
  auto messages = Messages(r);
  {
    const std::vector<std::string_view> views(messages.begin(), messages.end());
    client.VerifyKeyConfirmationMac(views, r.Text("Mac"), dskpp::kMacAlgorithm);
  }
  const std::string before(client.GetTokenKey().view());
  ASSERT_EQ(before, r.Text("KToken"));

  std::string mac = r.Text("Mac");
  std::string algorithm(dskpp::kMacAlgorithm);
  GetParam().apply(messages, mac, algorithm);
  const std::vector<std::string_view> views(messages.begin(), messages.end());
  try {
    client.VerifyKeyConfirmationMac(views, mac, algorithm);
    FAIL() << "verification passed";
  } catch (const OVException& e) {
    EXPECT_EQ(e.GetErrorCode(), 6003);
  }
  EXPECT_EQ(client.GetTokenKey().view(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyConfirmationFails,
    ::testing::Values(
        Tamper{"mac_with_line_break", [](auto&, std::string& mac, auto&) { mac.insert(20, "\n"); }},
        Tamper{"mac_lower_case",
               [](auto&, std::string& mac, auto&) {
                 for (char& c : mac) c = static_cast<char>(std::tolower(c));
               }},
        Tamper{"mac_empty", [](auto&, std::string& mac, auto&) { mac.clear(); }},
        Tamper{"client_hello_one_blank_more", [](std::vector<std::string>& m, auto&,
                                                 auto&) { m[0].insert(m[0].find('>') + 1, " "); }},
        Tamper{"server_hello_byte_changed",
               [](std::vector<std::string>& m, auto&, auto&) { m[1][5] ^= 1; }},
        Tamper{"client_nonce_missing",
               [](std::vector<std::string>& m, auto&, auto&) { m.pop_back(); }},
        Tamper{"no_messages", [](std::vector<std::string>& m, auto&, auto&) { m.clear(); }},
        Tamper{"algorithm_letter_case",
               [](auto&, auto&,
                  std::string& a) { a = "URN:ietf:params:xml:ns:keyprov:dskpp:prf-sha256"; }},
        Tamper{"algorithm_empty", [](auto&, auto&, std::string& a) { a.clear(); }}),
    [](const auto& info) { return std::string(info.param.name); });

class ServerKeys : public ::testing::TestWithParam<VectorRecord> {};

// Keys are read at their own length; what is not an RSA SubjectPublicKeyInfo is refused.
TEST_P(ServerKeys, EncryptAtTheKeysLengthOrRefuse) {
  const VectorRecord& r = GetParam();
  ASSERT_TRUE(r.Ok()) << r.Error();
  DSKPPCore core;
  const std::array<std::uint8_t, 32> nonce{1, 2, 3};
  if (r.Int("Size") == 0) {
    try {
      core.EncryptClientNonce(r.Text("KeyName"), nonce);
      FAIL() << "key accepted";
    } catch (const OVException& e) {
      EXPECT_EQ(e.GetErrorCode(), 6003);
    }
    return;
  }
  const std::string first = core.EncryptClientNonce(r.Text("KeyName"), nonce);
  EXPECT_EQ(Base64Decode(first).size(), static_cast<std::size_t>(r.Int("Size")));
  // PKCS #1 v1.5 pads with random bytes: the same nonce never encrypts the same way twice.
  EXPECT_NE(core.EncryptClientNonce(r.Text("KeyName"), nonce), first);
}

INSTANTIATE_TEST_SUITE_P(Keys, ServerKeys,
                         ::testing::ValuesIn(test::LoadVectorFile("enroll/public_keys.vec")),
                         test::VectorRecordName);

TEST(DSKPPCore, RefusesMissingValuesAndUnknownAlgorithms) {
  DSKPPCore core;
  const auto records = test::LoadVectorFile("enroll/dskpp_crypto.vec");
  const VectorRecord& r = records.front();
  ASSERT_TRUE(r.Ok()) << r.Error();
  const std::array<std::uint8_t, 32> nonce{};
  EXPECT_THROW(core.EncryptClientNonce("", nonce), OVException);
  EXPECT_THROW(core.CalculateAuthData("ab", "pw", 100000, r.Text("KeyName"), r.Text("ServerNonce"),
                                      r.Text("ClientNonce"), "u", "urn:unknown"),
               OVException);
  EXPECT_THROW(core.CalculateAuthData("ab", "pw", 100000, r.Text("KeyName"), "",
                                      r.Text("ClientNonce"), "u", dskpp::kMacAlgorithm),
               OVException);
  EXPECT_THROW(core.DeriveKeys(r.Text("KeyName"), r.Text("ServerNonce"), r.Text("ClientNonce"), 63,
                               dskpp::kMacAlgorithm),
               OVException);
  // Without Initialize there is nothing to format or parse with.
  DSKPPClientHelloData hello;
  EXPECT_THROW(core.FormatMsg("1.0", &hello), OVException);
  EXPECT_THROW(core.ParseMsg("1.0", "<x/>"), OVException);
}

}  // namespace
}  // namespace ov
