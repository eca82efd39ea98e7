// The token data record: what the engine keeps of one token file. Text fields are fixed-size,
// zero-terminated arrays whose width includes the terminator; SetText truncates to fit. The record
// holds protected keys and activation key material, so it is wiped when it goes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// A calendar time (UTC), field for field as the token data keeps it.
struct SystemTime {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

// The calendar time of `unixSeconds` (UTC).
SystemTime SystemTimeFromUnix(int64_t unixSeconds);
// Seconds since 1970 of a calendar time (UTC); the inverse of SystemTimeFromUnix.
int64_t UnixFromSystemTime(const SystemTime& time);

// True when `months` (above 0) have passed since `changed` at `nowUnixSeconds`. The month rolls
// over into the year; a day the target month lacks counts as that month's last day.
bool IsPinExpired(const SystemTime& changed, uint32_t months, int64_t nowUnixSeconds);

inline constexpr char kRecordVersion[] = "8.3.1";
inline constexpr int kCounterCount = 11;

struct TokenData {
  char m_szVersion[33];
  uint32_t m_nState;
  uint32_t m_nPasscodeLength;
  int32_t m_nBadPinCount;
  int32_t m_nPinUseCount;
  uint8_t m_bKeySet;
  int32_t m_nLockUntil;
  SystemTime m_PinChangeTime;
  uint8_t m_Reserved[16];
  uint32_t m_nPinExpiryMonths;
  int32_t m_nCounters[kCounterCount];
  char m_szSerialNo[65];
  char m_szKeyMaterial[65];
  char m_szEncOtpKey[146];
  char m_szEncTransactionKey[146];
  char m_szPolicy[33];
  char m_szAlgorithm[33];
  char m_szTokenName[65];
  char m_szEncMacKey[146];
  uint8_t m_StorageOnly[33];
  uint8_t m_bTransactionKeySet;
  uint8_t m_bSoftPinRequired;
  uint32_t m_nChallengeLen;

  // A new record: version "8.3.1", INSTALLED_STATE, everything else zero.
  TokenData() { Create(); }
  TokenData(const TokenData&) = default;
  TokenData& operator=(const TokenData&) = default;
  ~TokenData() { SecureWipe(this, sizeof *this); }

  void Create();
  // Back to INSTALLED_STATE without keys, policy or counters; the name, the PIN-change time, the
  // bytes after it and the challenge length stay.
  void Reset();

  // Copies `text` into a field, cut to the field's width less the terminator.
  template <std::size_t N>
  static void SetText(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
  }
  template <std::size_t N>
  static std::string_view Text(const char (&field)[N]) {
    return {field, strnlen(field, N)};
  }
};

}  // namespace ov
