// AutoEnrollManager: one automatic enrollment, the four-pass DSKPP exchange (RFC 6063) with the
// enrollment server that the enrollment URL names, authenticated by the user's ID and password and
// carrying a soft PIN when the server asks for one:
//
//   ClientHello  -> ServerHello      (headers, message and values checked; R_C drawn)
//   ClientNonce  -> ServerFinished   (soft-PIN rule checked first; key confirmation MAC verified)
//
// One object serves one run. The run stops at the first failure and writes nothing anywhere; the
// caller reads the results afterwards: the server's soft-PIN rule whatever the outcome, and after
// success the token policy string, K_TOKEN as upper-case hex and the serial number.
//
// Result codes: 0; 6002 (URL refused, soft PIN outside the server's rule); 6003 (any other
// failure: transport, certificate, headers, message, status, MAC); 7503 (the server wants a soft
// PIN and none was given); 7504 (a soft PIN was given and the server wants none).
//
// After a failure, GetFailure() says what kind it was (an OVEnrollmentFailure): the server not
// reached, its certificate not trusted, the credentials refused (the server's status says so) or
// an answer that could not be used; 0 for failures of the client's own (URL, soft PIN).
//
// The caller's texts are not copied (they must outlive the run), except the device name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"
#include "enroll/HttpRequest.h"

namespace ov {

class DSKPPCore;
class DSKPPClientCore;
class IDSKPPData;
class DSKPPData;
class LogScope;

class AutoEnrollManager {
 public:
  static constexpr std::int32_t kDefaultTimeOutSeconds = 60;
  // Sent when neither the caller nor the open token gives a device name.
  static constexpr std::string_view kDefaultDeviceName = "WinDT";

  // The soft-PIN character rule: (PIN, minimum, maximum, alphanumeric flag) → valid. The library
  // object hands in its input rule, so that enrollment does not depend on the API layer.
  using SoftPinRule = bool (*)(const char*, std::int32_t, std::int32_t, std::int32_t) noexcept;

  // softPin and deviceName may be null; a time-out of 0 means 60 seconds.
  AutoEnrollManager(const char* url, const char* userId, const char* password, const char* softPin,
                    const char* deviceName, std::int32_t timeOutSeconds, SoftPinRule softPinRule);
  ~AutoEnrollManager();
  AutoEnrollManager(const AutoEnrollManager&) = delete;
  AutoEnrollManager& operator=(const AutoEnrollManager&) = delete;

  // Runs the exchange; never throws.
  std::int32_t PerformAutoEnrollment();

  // The server's soft-PIN rule (0, 0, 0 when it has none or the run stopped before its ServerHello
  // was checked).
  std::int32_t GetMinSoftPinLength() const noexcept { return m_nMinSoftPinLength; }
  std::int32_t GetMaxSoftPinLength() const noexcept { return m_nMaxSoftPinLength; }
  std::int32_t GetAlphanumericSoftPin() const noexcept { return static_cast<std::int32_t>(m_nAlphanumeric); }
  // After success: the ServerFinished's "pskc:KeyProfileId", K_TOKEN and "pskc:SerialNo".
  const std::string& GetPolicyString() const noexcept { return m_policyString; }
  const SecureString& GetTokenKey() const noexcept { return m_tokenKey; }
  const std::string& GetSerialNumber() const noexcept { return m_serialNumber; }

  // What kind of failure ended the run; 0 after success.
  std::int32_t GetFailure() const noexcept { return m_failure; }

  // "major.minor" of the running system, the device version the ClientHello carries.
  static std::string DeviceVersion();

 private:
  std::int32_t RunExchange(LogScope& log);
  std::int32_t SendFailed();
  std::int32_t ResponseRefused(std::int32_t result);
  std::int32_t LaunchClientHelloRequest();
  std::int32_t ProcessServerHelloResponse();
  std::int32_t LaunchClientNonceRequest();
  std::int32_t ProcessServerFinishedResponse();
  std::int32_t ProcessResponse(std::string_view label, std::string_view expectedType);
  std::int32_t ParseAutoEnrollmentResponse(std::string_view label);
  bool IsExpectedResponse(std::string_view label, std::string_view expectedType);
  bool ValidateHttpHeaders();
  bool ValidateServerHelloMsg();
  bool ValidateServerFinishedMsg();
  bool CheckServerSalAndParams();
  bool CheckServerFinishParams();
  std::int32_t ValidateSoftPin();
  std::int32_t SetAutoEnrollRequest(const DSKPPData& record, SecureString& text);

  bool m_bCoreCreated = false;
  std::int32_t m_failure = 0;
  std::int32_t m_nTimeOut;
  std::int32_t m_nMinSoftPinLength = 0;
  std::int32_t m_nMaxSoftPinLength = 0;
  std::uint32_t m_nAlphanumeric = 0;
  std::string_view m_szURL;
  std::string_view m_szUserID;
  const char* m_szPassword;
  const char* m_szSoftPin;
  SoftPinRule m_softPinRule;
  std::string m_szDeviceName;
  SecureString m_clientHello;
  std::string m_serverHello;
  std::string m_sessionId;     // the ServerHello's SessionID, which the ServerFinished must carry
  SecureString m_clientNonce;  // carries the soft PIN
  std::string m_serverFinished;
  std::unique_ptr<DSKPPCore> m_core;
  std::unique_ptr<DSKPPClientCore> m_clientCore;
  std::unique_ptr<IDSKPPData> m_current;
  HttpRequest m_http;

  bool m_bCollectDeviceName = false;
  std::string m_policyString;
  SecureString m_tokenKey;
  std::string m_serialNumber;
};

}  // namespace ov
