// DSKPPCore: the enrollment's core for one run. It formats the client's messages and parses the
// server's replies through a DSKPPXml it owns, and performs the DSKPP computations on the
// base64 texts the messages carry: it decodes them (R_C, R_S and K are always used as their
// decoded bytes), calls DSKPPCrypto and encodes the result as base64. Every failure of a
// computation raises OVException 6003.
//
// The run re-initialises the core before each message it formats, which also gives the next
// reply a fresh parser and an empty parsed-value table.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "common/SecureMemory.h"
#include "enroll/DSKPPData.h"
#include "enroll/DSKPPXml.h"

namespace ov {

class DSKPPCore {
 public:
  DSKPPCore() = default;
  ~DSKPPCore() { Release(); }
  DSKPPCore(const DSKPPCore&) = delete;
  DSKPPCore& operator=(const DSKPPCore&) = delete;

  // Replaces the DSKPPXml (and with it the parser and the parsed-value table); false when it
  // cannot be created.
  bool Initialize();
  // Clears the parsed-value table and drops the DSKPPXml.
  void Release();

  // DSKPPXml::FormatMsg; 6003 before Initialize.
  std::optional<SecureString> FormatMsg(std::string_view version, const IDSKPPData* record);
  // DSKPPXml::ParseMsg; 6003 before Initialize.
  std::unique_ptr<IDSKPPData> ParseMsg(std::string_view version, std::string_view text);
  // A slot of the parsed-value table of the last parse; null before Initialize.
  const std::string* GetParsedValue(int index) const;

  // base64 of R_C encrypted under K (base64 of a DER SubjectPublicKeyInfo).
  std::string EncryptClientNonce(std::string_view keyName,
                                 std::span<const std::uint8_t> clientNonce);
  // base64 AD (DSKPPCrypto::CalcAuthData). K, R_S and R_C are base64 texts.
  std::string CalculateAuthData(std::string_view userId, std::string_view password,
                                std::int32_t iterationCount, std::string_view keyName,
                                std::string_view serverNonce, std::string_view clientNonce,
                                std::string_view url, std::string_view macAlgorithm);
  // base64 K_MAC and K_TOKEN.
  std::pair<SecureString, SecureString> DeriveKeys(std::string_view keyName,
                                                   std::string_view serverNonce,
                                                   std::string_view clientNonce, std::int32_t dsLen,
                                                   std::string_view macAlgorithm);
  // base64 key confirmation MAC over the messages, under base64 K_MAC.
  std::string CreateKeyConfirmationMAC(std::string_view macKey,
                                       std::span<const std::string_view> messages,
                                       std::string_view macAlgorithm);

 private:
  std::unique_ptr<DSKPPXml> m_xml;
};

}  // namespace ov
