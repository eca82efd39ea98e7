#include "enroll/AutoEnrollManager.h"


#include <array>
#include <cstdio>
#include <cstring>
#include <exception>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/OrvantiAPI.h"
#include "encoding/Base64.h"
#include "enroll/DSKPPClientCore.h"
#include "enroll/DSKPPCore.h"
#include "enroll/DSKPPData.h"
#include "enroll/DSKPPXml.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"
#include "platform/SystemVersion.h"

namespace ov {

namespace {

constexpr std::string_view kServerHelloLabel = "Server Hello";
constexpr std::string_view kServerFinishLabel = "Server Finish";
constexpr std::size_t kClientNonceLength = 32;

// What the server's replies must carry in their headers.
constexpr std::string_view kCacheControl = "no-cache, no-must-revalidate, private";
constexpr std::string_view kContentType = "application/dskpp+xml";
constexpr std::string_view kPragma = "no-cache";

// Exact, case-sensitive equality; a missing text fails.
bool ValidateValue(const std::string* value, std::string_view expected) {
  LogScope log("AutoEnrollManager::ValidateValue");
  const bool ok = value != nullptr && *value == expected;
  if (!ok) log.Text("expected", expected);
  log.Return(ok ? 1 : 0);
  return ok;
}

bool ValidateValue(const std::optional<std::string>& value, std::string_view expected) {
  return ValidateValue(value ? &*value : nullptr, expected);
}

// Present and base64 (line breaks allowed); an empty text passes.
bool ValidateEncodedValue(const std::string* value) {
  LogScope log("AutoEnrollManager::ValidateEncodedValue");
  const bool ok = value != nullptr && IsBase64(*value);
  log.Return(ok ? 1 : 0);
  return ok;
}

bool Present(const OptionalText& text) { return text && !text->empty(); }

}  // namespace

AutoEnrollManager::AutoEnrollManager(const char* url, const char* userId, const char* password,
                                     const char* softPin, const char* deviceName,
                                     std::int32_t timeOutSeconds, SoftPinRule softPinRule)
    : m_nTimeOut(timeOutSeconds),
      m_szURL(url != nullptr ? url : ""),
      m_szUserID(userId != nullptr ? userId : ""),
      m_szPassword(password),
      m_szSoftPin(softPin),
      m_softPinRule(softPinRule),
      m_szDeviceName(deviceName != nullptr ? deviceName : kDefaultDeviceName) {}

AutoEnrollManager::~AutoEnrollManager() = default;

std::string AutoEnrollManager::DeviceVersion() { return platform::SystemVersion(); }

std::int32_t AutoEnrollManager::PerformAutoEnrollment() {
  LogScope log("AutoEnrollManager::PerformAutoEnrollment");
  log.Text("URL", m_szURL);
  log.Text("UserID", m_szUserID);
  log.Number("TimeOut", m_nTimeOut);
  m_failure = OV_ENROLL_FAILURE_UNKNOWN;
  try {
    return log.Return(RunExchange(log));
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
  } catch (const std::exception& e) {
    log.Message(e.what());
  }
  m_policyString.clear();
  m_tokenKey.Wipe();
  m_serialNumber.clear();
  return log.Return(OV_ERR_OPERATION_FAILED);
}

std::int32_t AutoEnrollManager::RunExchange(LogScope& log) {
  std::int32_t result = LaunchClientHelloRequest();
  if (result != OV_OK) {
    log.Message("LaunchClientHelloRequest failure");
    return result;
  }
  result = ProcessServerHelloResponse();
  if (result != OV_OK) {
    log.Message("ProcessServerHelloResponse failure");
    return ResponseRefused(result);
  }
  result = LaunchClientNonceRequest();
  if (result != OV_OK) {
    log.Message("LaunchClientNonceRequest failure");
    return result;
  }
  result = ProcessServerFinishedResponse();
  if (result != OV_OK) {
    log.Message("ProcessServerFinishedResponse failure");
    return ResponseRefused(result);
  }
  return OV_OK;
}

std::int32_t AutoEnrollManager::SendFailed() {
  m_failure = m_http.GetFailure();
  return OV_ERR_OPERATION_FAILED;
}

std::int32_t AutoEnrollManager::ResponseRefused(std::int32_t result) {
  // A reply that arrived and was not accepted is the server's doing; its status tells whether it
  // was the user ID or password it refused.
  m_failure = OV_ENROLL_SERVER_ANSWER_WRONG;
  if (const auto* data = dynamic_cast<const DSKPPData*>(m_current.get());
      data != nullptr && data->RefusesCredentials()) {
    m_failure = OV_ENROLL_CREDENTIALS_REFUSED;
  }
  return result;
}

std::int32_t AutoEnrollManager::LaunchClientHelloRequest() {
  LogScope log("AutoEnrollManager::LaunchClientHelloRequest");
  DSKPPClientHelloData hello;
  hello.userId = std::string(m_szUserID);
  // The server sees the client as the desktop program it knows.
  hello.deviceType = "Windows";
  hello.deviceVersion = DeviceVersion();
  hello.capability = 5;
  std::int32_t result = SetAutoEnrollRequest(hello, m_clientHello);
  if (result != OV_OK) return log.Return(result);

  m_http.SetURL(m_szURL);
  m_http.SetTimeOut(m_nTimeOut == 0 ? kDefaultTimeOutSeconds : m_nTimeOut);
  result = m_http.HttpConnect();
  if (result != OV_OK) return log.Return(result);
  m_http.SetBody(m_clientHello.view());
  if (m_http.HttpSendMessage() != OV_OK) return log.Return(SendFailed());
  m_serverHello = m_http.GetBody();
  return log.Return(OV_OK);
}

std::int32_t AutoEnrollManager::ProcessServerHelloResponse() {
  LogScope log("AutoEnrollManager::ProcessServerHelloResponse");
  const std::int32_t result = ProcessResponse(kServerHelloLabel, dskpp::kServerHello);
  if (result != OV_OK) return log.Return(result);
  if (!CheckServerSalAndParams()) return log.Return(OV_ERR_OPERATION_FAILED);
  return log.Return(OV_OK);
}

std::int32_t AutoEnrollManager::LaunchClientNonceRequest() {
  LogScope log("AutoEnrollManager::LaunchClientNonceRequest");
  const auto* hello = dynamic_cast<const DSKPPServerHelloData*>(m_current.get());
  if (!m_clientCore || !m_clientCore->IsNonceGenerated() || hello == nullptr) {
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  m_nMaxSoftPinLength = hello->maxSoftPinLength;
  m_nMinSoftPinLength = hello->minSoftPinLength;
  m_nAlphanumeric = hello->alphanumericSoftPin;
  m_bCollectDeviceName = hello->collectDeviceName;
  log.Number("nMinSoftPinLength", m_nMinSoftPinLength);
  log.Number("nMaxSoftPinLength", m_nMaxSoftPinLength);
  log.Number("bAlphanumeric", static_cast<std::int32_t>(m_nAlphanumeric));

  std::int32_t result = ValidateSoftPin();
  if (result != OV_OK) return log.Return(result);

  std::optional<std::string> authData = m_clientCore->GetAuthData(
      m_szUserID, m_szPassword != nullptr ? m_szPassword : "", m_szURL);
  if (!authData || authData->empty()) {
    log.Message("Internal error: Invalid AuthData generated");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }

  DSKPPClientNonceData nonce;
  nonce.clientId = std::string(m_szUserID);
  nonce.sessionId = hello->sessionId;
  nonce.encryptedNonce = m_clientCore->GetEncryptedNonce();
  nonce.iterationCount = m_clientCore->GetIterationCount();
  nonce.macAlgorithm = m_clientCore->GetMacAlgorithm();
  nonce.authData = std::move(authData);
  nonce.deviceName = m_szDeviceName;
  if (m_szSoftPin != nullptr) nonce.softPin = SecureString(std::string_view(m_szSoftPin));
  nonce.collectDeviceName = m_bCollectDeviceName;

  result = SetAutoEnrollRequest(nonce, m_clientNonce);
  if (result != OV_OK) {
    log.Message("SetAutoEnrollment method fails");
    return log.Return(result);
  }
  m_http.SetBody(m_clientNonce.view());
  if (m_http.HttpSendMessage() != OV_OK) {
    log.Message("HttpRequest::HttpSendMessage fails");
    return log.Return(SendFailed());
  }
  m_serverFinished = m_http.GetBody();
  m_http.HttpDisconnect();
  return log.Return(OV_OK);
}

std::int32_t AutoEnrollManager::ProcessServerFinishedResponse() {
  LogScope log("AutoEnrollManager::ProcessServerFinishedResponse");
  const std::int32_t result = ProcessResponse(kServerFinishLabel, dskpp::kServerFinished);
  if (result != OV_OK) {
    log.Message("ProcessResponse method failure");
    return log.Return(result);
  }
  if (!CheckServerFinishParams()) {
    log.Message("CheckServerFinishParams method failure");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

std::int32_t AutoEnrollManager::ProcessResponse(std::string_view label,
                                                std::string_view expectedType) {
  LogScope log("AutoEnrollManager::ProcessResponse");
  log.Text("Label", label);
  const std::int32_t result = ParseAutoEnrollmentResponse(label);
  if (result != OV_OK) {
    log.Message("ParseAutoEnrollmentResponse method failure");
    return log.Return(result);
  }
  if (!IsExpectedResponse(label, expectedType)) {
    log.Message("IsExpectedResponse method failure");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

std::int32_t AutoEnrollManager::ParseAutoEnrollmentResponse(std::string_view label) {
  LogScope log("AutoEnrollManager::ParseAutoEnrollmentResponse");
  log.Text("Label", label);
  std::string body = m_http.GetBody();
  const bool empty = body.empty();
  (label == kServerHelloLabel ? m_serverHello : m_serverFinished) = std::move(body);
  if (empty) {
    log.Message("Internal Error: ResponseBody is NULL");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  if (!m_core) {
    log.Message("Internal error: Core library must be initialized");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  m_current.reset();
  // Headers that do not pass leave no message: IsExpectedResponse then refuses the reply.
  if (!ValidateHttpHeaders()) return log.Return(OV_OK);
  try {
    const std::string& text = label == kServerHelloLabel ? m_serverHello : m_serverFinished;
    m_current = m_core->ParseMsg(dskpp::kVersion, text);
    if (!m_current) {
      log.Message("AutoEnrollResponse is NULL or empty");
      return log.Return(OV_ERR_OPERATION_FAILED);
    }
    const std::string_view type = m_current->GetMessageType();
    if ((type == dskpp::kServerHello && !ValidateServerHelloMsg()) ||
        (type == dskpp::kServerFinished && !ValidateServerFinishedMsg())) {
      return log.Return(OV_ERR_OPERATION_FAILED);
    }
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
    return log.Return(OV_ERR_OPERATION_FAILED);
  } catch (const std::exception& e) {
    log.Message(e.what());
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

bool AutoEnrollManager::IsExpectedResponse(std::string_view label, std::string_view expectedType) {
  LogScope log("AutoEnrollManager::IsExpectedResponse");
  log.Text("Label", label);
  const char* failure = nullptr;
  if (!m_current) {
    failure = "Missing IDSKPPData*";
  } else if (m_current->GetMessageType().empty()) {
    failure = "Missing IDSKPPData* type";
  } else if (m_current->GetMessageType() != expectedType) {
    failure = "Received response is unexpected";
  } else if (!m_current->IsStatusOk()) {
    failure = "Internal Protocol error.";
  }
  if (failure != nullptr) {
    log.Message(failure);
    if (const auto* data = dynamic_cast<const DSKPPData*>(m_current.get())) {
      log.Text("Status", data->status.value_or(""));
      if (data->errorText) log.Text("ErrorText", *data->errorText);
    }
  }
  log.Return(failure == nullptr ? 1 : 0);
  return failure == nullptr;
}

bool AutoEnrollManager::ValidateHttpHeaders() {
  LogScope log("AutoEnrollManager::ValidateHttpHeaders");
  log.Text("Cache-Control", m_http.GetCacheControl().value_or(""));
  log.Text("Content-Type", m_http.GetContentType().value_or(""));
  log.Text("Pragma", m_http.GetPragma().value_or(""));
  const bool ok = ValidateValue(m_http.GetCacheControl(), kCacheControl) &&
                  ValidateValue(m_http.GetContentType(), kContentType) &&
                  ValidateValue(m_http.GetPragma(), kPragma);
  log.Return(ok ? 1 : 0);
  return ok;
}

bool AutoEnrollManager::ValidateServerHelloMsg() {
  LogScope log("AutoEnrollManager::ValidateServerHelloMsg");
  const DSKPPCore& core = *m_core;
  const bool ok = ValidateValue(core.GetParsedValue(dskpp_slot::kKeyType), dskpp::kKeyType) &&
                  ValidateValue(core.GetParsedValue(dskpp_slot::kEncryptionAlgorithm),
                                dskpp::kEncryptionAlgorithm) &&
                  ValidateValue(core.GetParsedValue(dskpp_slot::kMacAlgorithm),
                                dskpp::kMacAlgorithm) &&
                  ValidateValue(core.GetParsedValue(dskpp_slot::kKeyPackageFormat),
                                dskpp::kKeyPackageFormat) &&
                  ValidateEncodedValue(core.GetParsedValue(dskpp_slot::kNonce));
  log.Return(ok ? 1 : 0);
  return ok;
}

bool AutoEnrollManager::ValidateServerFinishedMsg() {
  LogScope log("AutoEnrollManager::ValidateServerFinishedMsg");
  const DSKPPCore& core = *m_core;
  const bool ok =
      ValidateValue(core.GetParsedValue(dskpp_slot::kKeyAlgorithm), dskpp::kKeyType) &&
      ValidateValue(core.GetParsedValue(dskpp_slot::kMacAlgorithm), dskpp::kMacAlgorithm) &&
      ValidateEncodedValue(core.GetParsedValue(dskpp_slot::kMac));
  log.Return(ok ? 1 : 0);
  return ok;
}

bool AutoEnrollManager::CheckServerSalAndParams() {
  LogScope log("AutoEnrollManager::CheckServerSalAndParams");
  const auto* hello = dynamic_cast<const DSKPPServerHelloData*>(m_current.get());
  if (hello == nullptr || !Present(hello->encryptionAlgorithm) || !Present(hello->macAlgorithm) ||
      !Present(hello->keyType) || !Present(hello->keyPackageFormat) || !Present(hello->keyName) ||
      !Present(hello->serverNonce) || !Present(hello->sessionId)) {
    log.Message("Internal Server Error");
    log.Return(0);
    return false;
  }
  try {
    m_clientCore = std::make_unique<DSKPPClientCore>(*hello->serverNonce,
                                                     *hello->encryptionAlgorithm,
                                                     *hello->macAlgorithm, *hello->keyName, *m_core);
    std::array<std::uint8_t, kClientNonceLength> clientNonce{};
    WipeOnExit wipe(clientNonce);
    // A nonce the generator did not fill would be predictable, and K_TOKEN with it: no nonce, no
    // enrollment.
    if (!OrvantiAPI::GenerateRandomKey(clientNonce)) {
      throw OVException(OV_ERR_OPERATION_FAILED, "random generator failed");
    }
    m_clientCore->GenerateClientNonce(clientNonce);
    m_sessionId = *hello->sessionId;
  } catch (const std::exception& e) {
    log.Message("Internal Error.");
    log.Text("Error", e.what());
    log.Return(0);
    return false;
  }
  log.Return(1);
  return true;
}

bool AutoEnrollManager::CheckServerFinishParams() {
  LogScope log("AutoEnrollManager::CheckServerFinishParams");
  const auto* finished = dynamic_cast<const DSKPPServerFinishedData*>(m_current.get());
  if (finished == nullptr || !m_clientCore) {
    log.Return(0);
    return false;
  }
  // An empty policy string stands for the built-in default policy, which the server never sent:
  // the token would get PIN and lock-out rules nobody chose.
  if (!Present(finished->keyProfileId)) {
    log.Message("Internal Server Error");
    log.Return(0);
    return false;
  }
  // A reply that names another session belongs to another exchange, whatever its MAC says.
  if (finished->sessionId.value_or("") != m_sessionId) {
    log.Message("SessionID mismatch");
    log.Text("SessionID", finished->sessionId.value_or(""));
    log.Return(0);
    return false;
  }
  try {
    OVPolicy policy;
    policy.SetPolicyString(*finished->keyProfileId);
    m_clientCore->SetProvisioningKeyLength(policy.IsTransactionSigning()
                                               ? DSKPPClientCore::kLongProvisioningKeyLength
                                               : DSKPPClientCore::kProvisioningKeyLength);
    const std::array<std::string_view, 3> messages = {m_clientHello.view(), m_serverHello,
                                                      m_clientNonce.view()};
    m_clientCore->VerifyKeyConfirmationMac(messages, finished->mac.value_or(""),
                                           finished->macAlgorithm.value_or(""));
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
    log.Return(0);
    return false;
  }
  m_tokenKey = m_clientCore->GetTokenKey();
  m_policyString = *finished->keyProfileId;
  m_serialNumber = finished->serialNumber.value_or("");
  log.Text("Policy", m_policyString);
  log.Text("SerialNo", m_serialNumber);
  log.Return(1);
  return true;
}

std::int32_t AutoEnrollManager::ValidateSoftPin() {
  LogScope log("AutoEnrollManager::ValidateSoftPin");
  const std::size_t length = m_szSoftPin != nullptr ? std::strlen(m_szSoftPin) : 0;
  if (length > 0 && m_nMaxSoftPinLength == 0) return log.Return(OV_ERR_SOFT_PIN_NOT_ALLOWED);
  if (length == 0 && m_nMinSoftPinLength > 0) return log.Return(OV_ERR_SOFT_PIN_REQUIRED);
  if (static_cast<std::int64_t>(length) >= m_nMinSoftPinLength &&
      static_cast<std::int64_t>(length) <= m_nMaxSoftPinLength) {
    if (m_szSoftPin != nullptr &&
        !m_softPinRule(m_szSoftPin, m_nMinSoftPinLength, m_nMaxSoftPinLength,
                        static_cast<std::int32_t>(m_nAlphanumeric))) {
      log.Message("Invalid SoftPin");
      return log.Return(OV_ERR_INVALID_PARAM);
    }
    return log.Return(OV_OK);
  }
  log.Message("SoftPin length mismatches required length");
  return log.Return(OV_ERR_INVALID_PARAM);
}

std::int32_t AutoEnrollManager::SetAutoEnrollRequest(const DSKPPData& record, SecureString& text) {
  LogScope log("AutoEnrollManager::SetAutoEnrollRequest");
  try {
    if (!m_bCoreCreated) {
      m_core = std::make_unique<DSKPPCore>();
      m_bCoreCreated = true;
    }
    if (!m_core->Initialize()) return log.Return(OV_ERR_OPERATION_FAILED);
    std::optional<SecureString> formatted = m_core->FormatMsg(dskpp::kVersion, &record);
    if (!formatted) throw OVException(OV_ERR_OPERATION_FAILED, "message not formatted");
    text = std::move(*formatted);
  } catch (const std::exception&) {
    log.Message("Internal Error: Couldnot create AutoEnroll Client Request");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

}  // namespace ov
