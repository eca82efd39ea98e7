// The DSKPP messages (RFC 6063, four-pass variant) as records. The client writes two of them,
// KeyProvClientHello and KeyProvClientNonce, which DSKPPXml turns into text; it reads two,
// KeyProvServerHello and KeyProvServerFinished, which DSKPPXml builds from the server's replies.
// Every record carries the common header (version, the namespaces the client writes, SessionID,
// error text, status) and then the fields of its message.
//
// A text that may be absent is an std::optional: absent and empty are different things on the
// wire (an absent user ID leaves its element out, an empty one writes it empty). Texts that are
// secrets (the soft PIN) are held in SecureString.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// The constants the messages carry.
namespace dskpp {
inline constexpr std::string_view kVersion = "1.0";
inline constexpr std::string_view kPskcNamespace = "urn:ietf:params:xml:ns:keyprov:pskc";
inline constexpr std::string_view kDskppNamespace = "urn:ietf:params:xml:ns:keyprov:dskpp";
inline constexpr std::string_view kXencNamespace = "http://www.w3.org/2001/04/xmlenc#";
inline constexpr std::string_view kDsNamespace = "http://www.w3.org/2000/09/xmldsig#";
inline constexpr std::string_view kVendorNamespace = "urn:kelsa-inc:ov:dskppext";
inline constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kVendorExtensionType = "ovdskpp:OVDSKPPExtensionType";
inline constexpr std::string_view kKeyType = "urn:ietf:params:xml:ns:keyprov:pskc:hotp";
inline constexpr std::string_view kEncryptionAlgorithm = "http://www.w3.org/2001/04/xmlenc#rsa_1_5";
inline constexpr std::string_view kMacAlgorithm = "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256";
inline constexpr std::string_view kKeyPackageFormat =
    "urn:ietf:params:xml:ns:keyprov:dskpp:pskc-key-container";
inline constexpr std::string_view kProtocolVariant = "dskpp:FourPass";

inline constexpr std::string_view kClientHello = "dskpp:KeyProvClientHello";
inline constexpr std::string_view kServerHello = "dskpp:KeyProvServerHello";
inline constexpr std::string_view kClientNonce = "dskpp:KeyProvClientNonce";
inline constexpr std::string_view kServerFinished = "dskpp:KeyProvServerFinished";

inline constexpr std::string_view kStatusContinue = "Continue";
inline constexpr std::string_view kStatusSuccess = "Success";
inline constexpr std::string_view kStatusAbort = "Abort";
inline constexpr std::string_view kStatusExpired = "ProvisioningPeriodExpired";
// The statuses a server answers when it does not accept the user ID and password (the
// authentication data) or does not let that user enroll.
inline constexpr std::string_view kStatusAuthenticationInvalid = "AuthenticationDataInvalid";
inline constexpr std::string_view kStatusAccessDenied = "AccessDenied";
inline constexpr std::string_view kExpiredText = "Enrollment expired";

// The soft-PIN rule a server may ask for: lengths are capped at 16 and a minimum below 3 is
// refused.
inline constexpr std::int32_t kSoftPinMaxLength = 16;
inline constexpr std::int32_t kSoftPinMinLength = 3;
}  // namespace dskpp

using OptionalText = std::optional<std::string>;

class IDSKPPData {
 public:
  virtual ~IDSKPPData() = default;
  // The element name of the message's root; empty for a record without a type.
  virtual std::string_view GetMessageType() const = 0;
  // ServerHello: Status is exactly "Continue"; ServerFinished: exactly "Success"; client
  // messages: false.
  virtual bool IsStatusOk() const = 0;
};

// The header every message carries.
class DSKPPData : public IDSKPPData {
 public:
  OptionalText version{std::string(dskpp::kVersion)};
  OptionalText pskcNamespace{std::string(dskpp::kPskcNamespace)};
  OptionalText dskppNamespace{std::string(dskpp::kDskppNamespace)};
  OptionalText xencNamespace{std::string(dskpp::kXencNamespace)};
  OptionalText dsNamespace{std::string(dskpp::kDsNamespace)};
  OptionalText vendorNamespace{std::string(dskpp::kVendorNamespace)};
  OptionalText xsiNamespace{std::string(dskpp::kXsiNamespace)};
  OptionalText vendorExtensionType{std::string(dskpp::kVendorExtensionType)};
  OptionalText sessionId;
  OptionalText errorText;
  OptionalText status{std::string("Unknown")};

  std::string_view GetMessageType() const override { return {}; }
  bool IsStatusOk() const override { return false; }
  bool RefusesCredentials() const {
    return status == dskpp::kStatusAuthenticationInvalid || status == dskpp::kStatusAccessDenied;
  }
};

class DSKPPClientHelloData final : public DSKPPData {
 public:
  // What the client offers: one of each, always the same.
  static constexpr std::string_view protocolVariant = dskpp::kProtocolVariant;
  static constexpr std::string_view keyType = dskpp::kKeyType;
  static constexpr std::string_view encryptionAlgorithm = dskpp::kEncryptionAlgorithm;
  static constexpr std::string_view macAlgorithm = dskpp::kMacAlgorithm;
  static constexpr std::string_view keyPackageFormat = dskpp::kKeyPackageFormat;

  OptionalText userId;         // written as upper-case hex of its bytes
  OptionalText deviceType;     // the driver sets "Windows"
  OptionalText deviceVersion;  // the driver sets the system's "major.minor"
  std::int32_t capability = -1;

  std::string_view GetMessageType() const override { return dskpp::kClientHello; }
};

class DSKPPServerHelloData final : public DSKPPData {
 public:
  OptionalText keyType{std::string(dskpp::kKeyType)};
  OptionalText encryptionAlgorithm{std::string()};
  OptionalText macAlgorithm{std::string(dskpp::kMacAlgorithm)};
  OptionalText keyPackageFormat{std::string(dskpp::kKeyPackageFormat)};
  OptionalText keyName;      // base64 of the server's DER SubjectPublicKeyInfo ("ds:KeyName")
  OptionalText serverNonce;  // base64 R_S ("dskpp:Nonce")
  std::uint32_t alphanumericSoftPin = 0;
  bool collectDeviceName = false;
  std::int32_t minSoftPinLength = 0;
  std::int32_t maxSoftPinLength = 0;

  std::string_view GetMessageType() const override { return dskpp::kServerHello; }
  bool IsStatusOk() const override { return status == dskpp::kStatusContinue; }
};

class DSKPPClientNonceData final : public DSKPPData {
 public:
  OptionalText encryptedNonce;  // base64 of R_C encrypted under the server's key
  OptionalText clientId;        // the user ID, written as upper-case hex of its bytes
  OptionalText authData;        // base64 AD
  OptionalText macAlgorithm;
  std::optional<SecureString> softPin;
  OptionalText deviceName;
  std::int32_t iterationCount = 0;
  bool collectDeviceName = false;

  std::string_view GetMessageType() const override { return dskpp::kClientNonce; }
};

class DSKPPServerFinishedData final : public DSKPPData {
 public:
  OptionalText macAlgorithm;  // "MacAlgorithm" attribute of "dskpp:Mac"
  OptionalText mac;           // base64 key confirmation MAC
  OptionalText keyAlgorithm{std::string(dskpp::kKeyType)};
  OptionalText keyUsage{std::string("OTP")};
  OptionalText manufacturer{std::string("Kelsa, Inc.")};
  OptionalText keyId;
  OptionalText serialNumber;
  OptionalText keyProfileId;  // the token policy string

  std::string_view GetMessageType() const override { return dskpp::kServerFinished; }
  bool IsStatusOk() const override { return status == dskpp::kStatusSuccess; }
};

}  // namespace ov
