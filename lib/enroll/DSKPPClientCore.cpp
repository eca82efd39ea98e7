#include "enroll/DSKPPClientCore.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/DSKPP_PRF_Factory.h"
#include "encoding/Base64.h"
#include "encoding/Hex.h"
#include "enroll/DSKPPCore.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

[[noreturn]] void Fail(LogScope& log, const char* text) {
  log.Message(text);
  throw OVException(OV_ERR_OPERATION_FAILED, text);
}

// Equal texts, compared in time that does not depend on where they first differ.
bool SameText(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return difference == 0;
}

}  // namespace

DSKPPClientCore::DSKPPClientCore(std::string_view serverNonce, std::string_view encryptionAlgorithm,
                                 std::string_view macAlgorithm, std::string_view keyName,
                                 DSKPPCore& core)
    : m_serverNonce(serverNonce),
      m_encryptionAlgorithm(encryptionAlgorithm),
      m_macAlgorithm(macAlgorithm),
      m_keyName(keyName),
      m_core(core) {}

void DSKPPClientCore::GenerateClientNonce(std::span<const std::uint8_t> clientNonce) {
  LogScope log("DSKPPClientCore::GenerateClientNonce");
  if (clientNonce.empty()) Fail(log, "Client nonce is empty");
  std::string encrypted = m_core.EncryptClientNonce(m_keyName, clientNonce);
  m_clientNonce = Base64EncodeSecret(clientNonce);
  m_encryptedNonce = std::move(encrypted);
  m_bNonceGenerated = true;
}

std::optional<std::string> DSKPPClientCore::GetAuthData(std::string_view userId,
                                                        std::string_view password,
                                                        std::string_view url) {
  LogScope log("DSKPPClientCore::GetAuthData");
  if (!m_bNonceGenerated) {
    log.Message("Client nonce is missing");
    return std::nullopt;
  }
  return m_core.CalculateAuthData(userId, password, m_nIterationCount, m_keyName, m_serverNonce,
                                  m_clientNonce.view(), url, m_macAlgorithm);
}

void DSKPPClientCore::VerifyKeyConfirmationMac(std::span<const std::string_view> messages,
                                               std::string_view receivedMac,
                                               std::string_view receivedMacAlgorithm) {
  LogScope log("DSKPPClientCore::VerifyKeyConfirmationMac");
  if (messages.empty() || receivedMacAlgorithm.empty()) Fail(log, "Invalid parameter");
  if (!DSKPP_PRF_Factory::GetPRFInstance(m_macAlgorithm)) Fail(log, "Unknown MAC algorithm");
  if (receivedMacAlgorithm != m_macAlgorithm) Fail(log, "MAC algorithm mismatch");
  if (!m_bNonceGenerated) Fail(log, "Client nonce is missing");

  const auto [macKey, tokenKey] = m_core.DeriveKeys(m_keyName, m_serverNonce, m_clientNonce.view(),
                                                    m_nProvisioningKeyLength, m_macAlgorithm);
  const std::string mac = m_core.CreateKeyConfirmationMAC(macKey.view(), messages, m_macAlgorithm);
  if (mac.empty() || receivedMac.empty() || !SameText(mac, receivedMac)) {
    Fail(log, "Key confirmation MAC mismatch");
  }
  const SecureBytes token = Base64Decode(tokenKey.view());
  if (token.empty()) Fail(log, "Token key is empty");
  m_tokenKey = HexEncodeSecret(token);
  log.Number("nTokenKeyLength", static_cast<std::int32_t>(token.size()));
}

}  // namespace ov
