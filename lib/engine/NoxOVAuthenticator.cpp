#include "engine/NoxOVAuthenticator.h"

#include <array>
#include <string>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/BaseKDFBytesGenerator.h"
#include "crypto/HmacSha256.h"
#include "crypto/KDFParameters.h"
#include "encoding/Hex.h"
#include "engine/OCRASuite.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"

namespace ov {
namespace {

constexpr std::array<std::int64_t, 9> kPowersOfTen = {1,      10,      100,      1000,     10000,
                                                      100000, 1000000, 10000000, 100000000};
constexpr std::array<std::int32_t, 10> kDoubledDigits = {0, 2, 4, 6, 8, 1, 3, 5, 7, 9};

// Modes of the default policies that the multi-host hosts follow.
constexpr std::int32_t kEventShortMode = 4;
constexpr std::int32_t kChallengeShortMode = 6;

[[noreturn]] void Fail(LogScope& log, const char* text) {
  log.Message(text);
  throw OVException(OV_ERR_OPERATION_FAILED, text);
}

void CheckDigits(LogScope& log, std::int32_t digits) {
  if (digits < 1 || digits >= static_cast<std::int32_t>(kPowersOfTen.size())) {
    Fail(log, "Invalid Param or State");
  }
}

void CheckHost(LogScope& log, std::int32_t hostIndex) {
  log.Number("nHostIndex", hostIndex);
  if (hostIndex < NoxOVAuthenticator::kFirstHost || hostIndex > NoxOVAuthenticator::kLastHost) {
    Fail(log, "Invalid host index");
  }
}

void CheckKey(LogScope& log, std::span<const std::uint8_t> key) {
  if (key.size() != NoxOVAuthenticator::kKeySize) Fail(log, "Invalid key length");
}

std::int32_t ClampPasscodeLength(std::int32_t length) {
  return length < NoxOVAuthenticator::kMinPasscodeLength ||
                 length > NoxOVAuthenticator::kMaxPasscodeLength
             ? NoxOVAuthenticator::kDefaultPasscodeLength
             : length;
}

}  // namespace

NoxOVAuthenticator::NoxOVAuthenticator(std::span<const std::uint8_t> key,
                                       std::int32_t passcodeLength, std::int32_t counter,
                                       std::string_view algorithm)
    : m_nPasscodeLength(ClampPasscodeLength(passcodeLength)),
      m_nCounter(counter),
      m_szAlgorithm(algorithm) {
  LogScope log("NoxOVAuthenticator::NoxOVAuthenticator");
  log.Number("nPasscodeLength", passcodeLength);
  log.Number("nCounter", counter);
  log.Text("szAlgorithm", algorithm);
  SetKey(key);
}

void NoxOVAuthenticator::SetKey(std::span<const std::uint8_t> key) {
  LogScope log("NoxOVAuthenticator::SetKey");
  CheckKey(log, key);
  m_key.assign(key.begin(), key.end());
}

void NoxOVAuthenticator::SetPasscodeLength(std::int32_t length) {
  LogScope log("NoxOVAuthenticator::SetPasscodeLength");
  log.Number("nPasscodeLength", length);
  m_nPasscodeLength = ClampPasscodeLength(length);
}

void NoxOVAuthenticator::SetAlgorithm(std::string_view algorithm) {
  LogScope log("NoxOVAuthenticator::SetAlgorithm");
  log.Text("szAlgorithm", algorithm);
  if (!algorithm.empty()) m_szAlgorithm = algorithm;
}

SecureString NoxOVAuthenticator::GenPwd(std::optional<std::string_view> challenge,
                                        std::int32_t movingFactor) {
  LogScope log("NoxOVAuthenticator::GenPwd");
  log.Number("nCounter", m_nCounter);
  SecureString passcode;
  if (m_szAlgorithm.find("OCRA") != std::string::npos) {
    passcode = OCRASuite::GenerateOCRA(m_szAlgorithm, m_key, std::to_string(m_nCounter), challenge,
                                       {}, {}, {}, m_nPasscodeLength);
  } else {
    log.Number("nMovingFactor", movingFactor);
    passcode = GenerateOTP(m_key, movingFactor, m_nPasscodeLength, false);
  }
  m_nCounter = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_nCounter) + 1u);
  return passcode;
}

SecureString NoxOVAuthenticator::GenPwd(const char* challenge, std::int32_t movingFactor) {
  return GenPwd(challenge ? std::optional<std::string_view>(challenge) : std::nullopt,
                movingFactor);
}

void NoxOVAuthenticator::UpdateForHost(std::span<const std::uint8_t> otpKey, std::int32_t hostIndex,
                                       std::int32_t counter) {
  LogScope log("NoxOVAuthenticator::UpdateForHost");
  const OVPolicy hostPolicy = GetHostPolicy(hostIndex);
  SecureBytes hostKey = DeriveHostKey(otpKey, hostIndex);
  SetKey(hostKey);
  SetPasscodeLength(hostPolicy.GetPwdLen());
  SetAlgorithm(hostPolicy.GetTokenAlgorithm());
  SetCounter(counter);
}

SecureString NoxOVAuthenticator::GenerateOTP(std::span<const std::uint8_t> key,
                                             std::int32_t movingFactor, std::int32_t digits,
                                             bool addChecksum) {
  LogScope log("NoxOVAuthenticator::GenerateOTP");
  log.Number("nDigits", digits);
  CheckDigits(log, digits);
  // Sign extension: a negative factor is preceded by FF bytes, as a server computing with a
  // 64-bit counter would write it.
  const auto factor = static_cast<std::uint64_t>(static_cast<std::int64_t>(movingFactor));
  std::array<std::uint8_t, 8> message{};
  for (std::size_t i = 0; i < message.size(); ++i) {
    message[i] = static_cast<std::uint8_t>(factor >> (8 * (message.size() - 1 - i)));
  }
  const SecureBytes hash = Hmac_Sha1(key, message);
  return GetOTP(hash, digits, addChecksum);
}

SecureBytes NoxOVAuthenticator::Hmac_Sha1(std::span<const std::uint8_t> key,
                                          std::span<const std::uint8_t> message) {
  LogScope log("NoxOVAuthenticator::Hmac_Sha1");
  HmacSha256 mac;
  mac.Init(KeyParameter(key));
  mac.BlockUpdate(message, 0, message.size());
  SecureBytes hash(HmacSha256::kMacSize, 0);
  mac.DoFinal(hash, 0);
  return hash;
}

SecureString NoxOVAuthenticator::GetOTP(std::span<const std::uint8_t> hash, std::int32_t digits,
                                        bool addChecksum) {
  LogScope log("NoxOVAuthenticator::GetOTP");
  log.Number("nDigits", digits);
  CheckDigits(log, digits);
  if (hash.size() != HmacSha256::kMacSize) Fail(log, "Invalid hash length");
  const std::size_t offset = hash.back() & 0x0F;
  const std::int64_t binary = (static_cast<std::int64_t>(hash[offset] & 0x7F) << 24) |
                              (static_cast<std::int64_t>(hash[offset + 1]) << 16) |
                              (static_cast<std::int64_t>(hash[offset + 2]) << 8) |
                              static_cast<std::int64_t>(hash[offset + 3]);
  std::int64_t value = binary % kPowersOfTen[static_cast<std::size_t>(digits)];
  std::size_t length = static_cast<std::size_t>(digits);
  if (addChecksum) {
    value = value * 10 + CalcChecksum(value, digits);
    ++length;
  }
  // Written from the last digit backwards, so the leading positions keep their "0".
  SecureString passcode(length, '0');
  for (std::size_t i = length; i > 0 && value != 0; --i, value /= 10) {
    passcode[i - 1] = static_cast<char>('0' + value % 10);
  }
  return passcode;
}

std::int32_t NoxOVAuthenticator::CalcChecksum(std::int64_t value, std::int32_t digits) {
  LogScope log("NoxOVAuthenticator::CalcChecksum");
  log.Number("nDigits", digits);
  bool doubled = true;
  std::int32_t total = 0;
  // A negative value has no decimal digits to sum; its magnitude stands in for it.
  std::uint64_t rest = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
  for (std::int32_t i = 0; i < digits; ++i, rest /= 10) {
    const auto digit = static_cast<std::int32_t>(rest % 10);
    total += doubled ? kDoubledDigits[static_cast<std::size_t>(digit)] : digit;
    doubled = !doubled;
  }
  return log.Return((10 - total % 10) % 10);
}

SecureBytes NoxOVAuthenticator::DecodeOtpKey(std::string_view hexKey) {
  LogScope log("NoxOVAuthenticator::DecodeOtpKey");
  if (hexKey.empty()) Fail(log, "OTP key missing");
  SecureBytes key;
  if (!HexDecode(hexKey, key)) Fail(log, "Invalid OTP key");
  CheckKey(log, key);
  return key;
}

OVPolicy NoxOVAuthenticator::GetHostPolicy(std::int32_t hostIndex) {
  LogScope log("NoxOVAuthenticator::GetHostPolicy");
  CheckHost(log, hostIndex);
  return OVPolicy::GetDefaultPolicy(hostIndex == kLastHost ? kChallengeShortMode : kEventShortMode);
}

SecureBytes NoxOVAuthenticator::DeriveHostKey(std::span<const std::uint8_t> otpKey,
                                              std::int32_t hostIndex) {
  LogScope log("NoxOVAuthenticator::DeriveHostKey");
  CheckHost(log, hostIndex);
  CheckKey(log, otpKey);
  SecureBytes z(otpKey.begin(), otpKey.end());
  z.push_back(static_cast<std::uint8_t>('0' + hostIndex));
  BaseKDFBytesGenerator generator;
  generator.Init(KDFParameters(z));
  SecureBytes hostKey(kKeySize, 0);
  const auto size = static_cast<std::int32_t>(kKeySize);
  if (generator.GenerateBytes(hostKey, size, 0, size) < size) Fail(log, "Key derivation failed");
  return hostKey;
}

}  // namespace ov
