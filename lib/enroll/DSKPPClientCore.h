// DSKPPClientCore: the client's side of one four-pass DSKPP exchange (RFC 6063). It is created
// from the ServerHello's values, draws on the run's DSKPPCore for every computation, and keeps
// what the exchange produces: R_C and its encryption under the server's key, and after the key
// confirmation MAC has been verified, K_TOKEN.
//
// How a driver runs the exchange with it (the enrollment driver does these steps; the transport
// is an HttpRequest kept open for both exchanges):
//
//   DSKPPCore core;  core.Initialize();
//   DSKPPClientHelloData hello;  hello.userId = user; hello.deviceType = ...; hello.capability = 5;
//   SecureString clientHello = *core.FormatMsg("1.0", &hello);
//   http.SetURL(url); http.SetTimeOut(seconds); http.HttpConnect();
//   http.SetBody(clientHello); http.HttpSendMessage();        // check the three headers
//   std::string serverHello = http.GetBody();
//   auto sh = core.ParseMsg("1.0", serverHello);              // a DSKPPServerHelloData with
//                                                             // Status "Continue": its soft-PIN
//                                                             // rule (min/max/alphanumeric) and
//                                                             // collect-device-name flag
//   DSKPPClientCore client(*sh->serverNonce, *sh->encryptionAlgorithm, *sh->macAlgorithm,
//                          *sh->keyName, core);
//   client.GenerateClientNonce(32 random bytes);
//   DSKPPClientNonceData nonce;  nonce.clientId = user; nonce.sessionId = sh->sessionId;
//   nonce.encryptedNonce = client.GetEncryptedNonce(); nonce.iterationCount =
//   client.GetIterationCount(); nonce.macAlgorithm = client.GetMacAlgorithm();
//   nonce.authData = client.GetAuthData(user, password, url); (soft PIN, device name)
//   core.Initialize();  SecureString clientNonce = *core.FormatMsg("1.0", &nonce);
//   http.SetBody(clientNonce); http.HttpSendMessage(); http.HttpDisconnect();
//   auto sf = core.ParseMsg("1.0", http.GetBody());           // a DSKPPServerFinishedData with
//                                                             // Status "Success": keyProfileId
//                                                             // (the policy string),
//                                                             // serialNumber, mac, macAlgorithm
//   client.SetProvisioningKeyLength(policy has "transign" ? 192 : 64);
//   client.VerifyKeyConfirmationMac({clientHello, serverHello, clientNonce}, *sf->mac,
//                                   *sf->macAlgorithm);
//   client.GetTokenKey();                                     // K_TOKEN, upper-case hex
//
// The three message texts must be exactly the bytes that went over the wire: the MAC covers them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

class DSKPPCore;

class DSKPPClientCore {
 public:
  static constexpr std::int32_t kIterationCount = 100000;
  static constexpr std::int32_t kProvisioningKeyLength = 64;       // K_TOKEN of 32 bytes
  static constexpr std::int32_t kLongProvisioningKeyLength = 192;  // K_TOKEN of 96 bytes

  // R_S, the encryption and MAC algorithms and K (base64 SubjectPublicKeyInfo) as the
  // ServerHello carried them. The core is the run's and must outlive this object.
  DSKPPClientCore(std::string_view serverNonce, std::string_view encryptionAlgorithm,
                  std::string_view macAlgorithm, std::string_view keyName, DSKPPCore& core);

  // Keeps R_C and encrypts it under K. Any failure (a K that does not decode as an RSA key, say)
  // raises 6003 and leaves the object without a nonce.
  void GenerateClientNonce(std::span<const std::uint8_t> clientNonce);
  bool IsNonceGenerated() const noexcept { return m_bNonceGenerated; }

  // base64 AD proving the user ID and password for this exchange; nothing before
  // GenerateClientNonce. Computation failures raise 6003.
  std::optional<std::string> GetAuthData(std::string_view userId, std::string_view password,
                                         std::string_view url);

  // Checks the server's key confirmation MAC over the messages (ClientHello as sent, ServerHello
  // as received, ClientNonce as sent) and keeps K_TOKEN. The MAC algorithm must equal the
  // ServerHello's exactly and the MAC must equal the computed one exactly as base64 text. Any
  // failure raises 6003 and leaves an earlier token key as it was.
  void VerifyKeyConfirmationMac(std::span<const std::string_view> messages,
                                std::string_view receivedMac,
                                std::string_view receivedMacAlgorithm);

  // The length of K_PROV in bytes (K_MAC and K_TOKEN are its halves): 64, or 192 for a token
  // policy with the "transign" field.
  void SetProvisioningKeyLength(std::int32_t length) noexcept { m_nProvisioningKeyLength = length; }
  std::int32_t GetProvisioningKeyLength() const noexcept { return m_nProvisioningKeyLength; }

  const std::string& GetEncryptedNonce() const noexcept { return m_encryptedNonce; }
  std::int32_t GetIterationCount() const noexcept { return m_nIterationCount; }
  const std::string& GetMacAlgorithm() const noexcept { return m_macAlgorithm; }
  // K_TOKEN in upper-case hex after a successful verification; empty before.
  const SecureString& GetTokenKey() const noexcept { return m_tokenKey; }

 private:
  std::string m_encryptedNonce;
  SecureString m_clientNonce;  // base64 R_C: the key K_PROV is derived with
  std::string m_serverNonce;
  std::string m_encryptionAlgorithm;
  std::string m_macAlgorithm;
  std::string m_keyName;
  SecureString m_tokenKey;
  bool m_bNonceGenerated = false;
  std::int32_t m_nIterationCount = kIterationCount;
  std::int32_t m_nProvisioningKeyLength = kProvisioningKeyLength;
  DSKPPCore& m_core;
};

}  // namespace ov
