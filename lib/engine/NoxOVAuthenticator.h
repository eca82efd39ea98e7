// NoxOVAuthenticator: the passcode object of an open token. It holds the 32-byte key, the
// passcode length, the algorithm text and its own counter, and turns a moving factor (event
// counter or time step) or a challenge into the next passcode.
//
// Every mode uses HMAC-SHA-256 with the 32-byte key. "HmacSHA256" tokens (event, time and the
// event hosts of a multi-host token) get the RFC 4226 HOTP value of the moving factor, written as
// 8 bytes big-endian (sign-extended), with dynamic truncation; an algorithm text containing
// "OCRA" is an RFC 6287 suite and gets the challenge-response value of OCRASuite, with the
// counter as the suite's counter input. Either way the counter rises by one per passcode, so a
// server in step with it never sees a value twice. Passcode lengths outside 4 .. 8 become 6.
//
// The engine keeps one authenticator per open token (`m_pAuthenticator`), created on the first
// passcode request and dropped when the engine is reinitialised. Its passcode operations stay
// thin over this class:
//
//   InitOTPEngine(host):
//     m_pAuthenticator = std::make_unique<NoxOVAuthenticator>(
//         NoxOVAuthenticator::DecodeOtpKey(m_szOtpKey), m_TokenData.m_nPasscodeLength,
//         m_TokenData.m_nCounters[host], m_TokenData.m_szAlgorithm);
//   UpdateOTPEngine(host):            (multi-host only; the key is re-derived on every request)
//     m_pAuthenticator->UpdateForHost(NoxOVAuthenticator::DecodeOtpKey(m_szOtpKey), host,
//                                     m_TokenData.m_nCounters[host]);
//   GeneratePasscode(challenge, host):
//     return m_pAuthenticator->GenPwd(challenge, m_TokenData.m_nCounters[host]);
//   GetNextPasscode, after a non-time passcode:
//     m_TokenData.m_nCounters[host] = m_pAuthenticator->GetCounter();
//
// Failures raise OVException: 6002 for a challenge that breaks its format (or is missing where the
// suite needs one), 6003 for everything else (a key that is not 32 bytes, a host outside 1 .. 9,
// a suite this system cannot compute, a challenge too long). Passcodes are returned in strings
// that are wiped when released; neither they nor the key ever reach the diagnostic log.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

class OVPolicy;

class NoxOVAuthenticator {
 public:
  static constexpr std::size_t kKeySize = 32;
  static constexpr std::int32_t kDefaultPasscodeLength = 6;
  static constexpr std::int32_t kMinPasscodeLength = 4;
  static constexpr std::int32_t kMaxPasscodeLength = 8;
  // Hosts of a multi-host token: 1 .. 8 event hosts, 9 the challenge-response host.
  static constexpr std::int32_t kFirstHost = 1;
  static constexpr std::int32_t kLastHost = 9;

  // `key` must be 32 bytes (else 6003). An empty algorithm text means HOTP.
  NoxOVAuthenticator(std::span<const std::uint8_t> key, std::int32_t passcodeLength,
                     std::int32_t counter, std::string_view algorithm);

  void SetKey(std::span<const std::uint8_t> key);
  // Stores 6 for a length below 4 or above 8.
  void SetPasscodeLength(std::int32_t length);
  // An empty text leaves the algorithm as it was.
  void SetAlgorithm(std::string_view algorithm);
  void SetCounter(std::int32_t counter) noexcept { m_nCounter = counter; }

  std::int32_t GetCounter() const noexcept { return m_nCounter; }
  std::int32_t GetPasscodeLength() const noexcept { return m_nPasscodeLength; }
  const std::string& GetAlgorithm() const noexcept { return m_szAlgorithm; }

  // The next passcode: OCRA over `challenge` for an OCRA algorithm (the moving factor is then not
  // used), otherwise the HOTP value of `movingFactor`. The counter rises by one afterwards (it
  // wraps from 2^31 - 1 to -2^31 rather than overflow); a failure leaves it as it was.
  SecureString GenPwd(std::optional<std::string_view> challenge, std::int32_t movingFactor);
  // The same for the C text the engine holds: a null pointer is no challenge.
  SecureString GenPwd(const char* challenge, std::int32_t movingFactor);

  // Re-keys the authenticator for one host of a multi-host token: the host key, the host's
  // passcode length and algorithm (GetHostPolicy) and the host's counter entry.
  void UpdateForHost(std::span<const std::uint8_t> otpKey, std::int32_t hostIndex,
                     std::int32_t counter);

  // --- The computations, usable without an authenticator --------------------------------------

  // HOTP value of `movingFactor` with `digits` (1 .. 8) digits, plus the RFC 4226 check digit
  // when asked.
  static SecureString GenerateOTP(std::span<const std::uint8_t> key, std::int32_t movingFactor,
                                  std::int32_t digits, bool addChecksum);
  // HMAC-SHA-256(key, message), 32 bytes. (The name is the one the server side uses.)
  static SecureBytes Hmac_Sha1(std::span<const std::uint8_t> key,
                               std::span<const std::uint8_t> message);
  // Dynamic truncation of a 32-byte hash to `digits` (1 .. 8) decimal digits, left-padded with
  // "0", plus the check digit when asked (then digits + 1 characters).
  static SecureString GetOTP(std::span<const std::uint8_t> hash, std::int32_t digits,
                             bool addChecksum);
  // The RFC 4226 check digit of the `digits` low decimal digits of `value` (Luhn).
  static std::int32_t CalcChecksum(std::int64_t value, std::int32_t digits);

  // --- Keys and hosts ---------------------------------------------------------------------------

  // The engine's OTP key text (64 hex digits, either case) as bytes; 6003 when it is empty, not
  // hex or not 32 bytes.
  static SecureBytes DecodeOtpKey(std::string_view hexKey);
  // The policy of a multi-host host: the challenge-response short form (8 digits, suite
  // OCRA-1:HOTP-SHA256-8:QN08) for host 9, the event short form (6 digits, "HmacSHA256") for
  // hosts 1 to 8; 6003 for any other index. Its "pwdlen" is the passcode length of that host,
  // and host 9's "challlen" the length its challenge must have.
  static OVPolicy GetHostPolicy(std::int32_t hostIndex);
  // SHA-256(OTP key || ASCII digit of the host || 00 00 00 00): the key of host 1 .. 9; 6003 for
  // any other index or an OTP key that is not 32 bytes.
  static SecureBytes DeriveHostKey(std::span<const std::uint8_t> otpKey, std::int32_t hostIndex);

 private:
  SecureBytes m_key;
  std::int32_t m_nPasscodeLength = kDefaultPasscodeLength;
  std::int32_t m_nCounter = 0;
  std::string m_szAlgorithm;
};

}  // namespace ov
