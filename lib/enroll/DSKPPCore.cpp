#include "enroll/DSKPPCore.h"

#include <exception>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/Base64.h"
#include "encoding/Hex.h"
#include "enroll/DSKPPCrypto.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

SecureBytes Decoded(LogScope& log, std::string_view text, const char* name) {
  SecureBytes bytes = Base64Decode(text);
  if (bytes.empty()) {
    log.Text("value", name);
    log.Message("Missing or undecodable value");
    throw OVException(OV_ERR_OPERATION_FAILED, std::string(name) + " is missing");
  }
  return bytes;
}

}  // namespace

bool DSKPPCore::Initialize() {
  LogScope log("DSKPPCore::Initialize");
  try {
    m_xml.reset();
    m_xml = std::make_unique<DSKPPXml>();
    return true;
  } catch (const std::exception&) {
    log.Message("DSKPPXml creation failed");
    return false;
  }
}

void DSKPPCore::Release() {
  if (m_xml) m_xml->ClearParsedValues();
  m_xml.reset();
}

std::optional<SecureString> DSKPPCore::FormatMsg(std::string_view version,
                                                 const IDSKPPData* record) {
  LogScope log("DSKPPCore::FormatMsg");
  if (!m_xml) {
    log.Message("Core library must be initialized");
    throw OVException(OV_ERR_OPERATION_FAILED, "Core library must be initialized");
  }
  return m_xml->FormatMsg(version, record);
}

std::unique_ptr<IDSKPPData> DSKPPCore::ParseMsg(std::string_view version, std::string_view text) {
  LogScope log("DSKPPCore::ParseMsg");
  if (!m_xml) {
    log.Message("Core library must be initialized");
    throw OVException(OV_ERR_OPERATION_FAILED, "Core library must be initialized");
  }
  return m_xml->ParseMsg(version, text);
}

const std::string* DSKPPCore::GetParsedValue(int index) const {
  return m_xml ? m_xml->GetParsedValue(index) : nullptr;
}

std::string DSKPPCore::EncryptClientNonce(std::string_view keyName,
                                          std::span<const std::uint8_t> clientNonce) {
  LogScope log("DSKPPCore::EncryptClientNonce");
  const SecureBytes key = Decoded(log, keyName, "K");
  return Base64Encode(DSKPPCrypto::EncryptNonce(key, clientNonce));
}

std::string DSKPPCore::CalculateAuthData(std::string_view userId, std::string_view password,
                                         std::int32_t iterationCount, std::string_view keyName,
                                         std::string_view serverNonce, std::string_view clientNonce,
                                         std::string_view url, std::string_view macAlgorithm) {
  LogScope log("DSKPPCore::CalculateAuthData");
  const std::string identifier = HexEncode(BytesOf(userId));
  const SecureString secret = HexEncodeSecret(BytesOf(password));
  const SecureBytes key = Decoded(log, keyName, "K");
  const SecureBytes rs = Decoded(log, serverNonce, "R_S");
  const SecureBytes rc = Decoded(log, clientNonce, "R_C");
  return Base64Encode(DSKPPCrypto::CalcAuthData(BytesOf(identifier), BytesOf(secret.view()),
                                                iterationCount, key, rs, rc, BytesOf(url),
                                                macAlgorithm));
}

std::pair<SecureString, SecureString> DSKPPCore::DeriveKeys(std::string_view keyName,
                                                            std::string_view serverNonce,
                                                            std::string_view clientNonce,
                                                            std::int32_t dsLen,
                                                            std::string_view macAlgorithm) {
  LogScope log("DSKPPCore::DeriveKeys");
  const SecureBytes key = Decoded(log, keyName, "K");
  const SecureBytes rs = Decoded(log, serverNonce, "R_S");
  const SecureBytes rc = Decoded(log, clientNonce, "R_C");
  const DSKPPCrypto::Keys keys = DSKPPCrypto::DeriveKeys(key, rs, rc, dsLen, macAlgorithm);
  return {Base64EncodeSecret(keys.mac), Base64EncodeSecret(keys.token)};
}

std::string DSKPPCore::CreateKeyConfirmationMAC(std::string_view macKey,
                                                std::span<const std::string_view> messages,
                                                std::string_view macAlgorithm) {
  LogScope log("DSKPPCore::CreateKeyConfirmationMAC");
  const SecureBytes key = Decoded(log, macKey, "K_MAC");
  return Base64Encode(DSKPPCrypto::CreateKeyConfirmationMAC(key, messages, macAlgorithm));
}

}  // namespace ov
