#include "storage/TokenData.h"

#include <time.h>

#include "ov/ov_api.h"

namespace ov {

SystemTime SystemTimeFromUnix(int64_t unixSeconds) {
  const time_t t = static_cast<time_t>(unixSeconds);
  tm parts {};
  gmtime_r(&t, &parts);
  SystemTime out;
  out.wYear = static_cast<uint16_t>(parts.tm_year + 1900);
  out.wMonth = static_cast<uint16_t>(parts.tm_mon + 1);
  out.wDayOfWeek = static_cast<uint16_t>(parts.tm_wday);
  out.wDay = static_cast<uint16_t>(parts.tm_mday);
  out.wHour = static_cast<uint16_t>(parts.tm_hour);
  out.wMinute = static_cast<uint16_t>(parts.tm_min);
  out.wSecond = static_cast<uint16_t>(parts.tm_sec);
  return out;
}

int64_t UnixFromSystemTime(const SystemTime& time) {
  tm parts {};
  parts.tm_year = time.wYear - 1900;
  parts.tm_mon = time.wMonth - 1;
  parts.tm_mday = time.wDay;
  parts.tm_hour = time.wHour;
  parts.tm_min = time.wMinute;
  parts.tm_sec = time.wSecond;
  return static_cast<int64_t>(timegm(&parts));
}

bool IsPinExpired(const SystemTime& changed, uint32_t months, int64_t nowUnixSeconds) {
  if (months == 0 || changed.wMonth < 1 || changed.wMonth > 12) return false;
  SystemTime due = changed;
  const int64_t monthIndex = static_cast<int64_t>(due.wMonth) - 1 + months;
  due.wYear = static_cast<uint16_t>(due.wYear + monthIndex / 12);
  due.wMonth = static_cast<uint16_t>(monthIndex % 12 + 1);
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (due.wYear % 4 == 0 && due.wYear % 100 != 0) || due.wYear % 400 == 0;
  const int lastDay = kDays[due.wMonth - 1] + (due.wMonth == 2 && leap ? 1 : 0);
  if (due.wDay > lastDay) due.wDay = static_cast<uint16_t>(lastDay);
  return nowUnixSeconds >= UnixFromSystemTime(due);
}

void TokenData::Create() {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  SetText(m_szVersion, kRecordVersion);
  m_nState = INSTALLED_STATE;
}

void TokenData::Reset() {
  m_nState = INSTALLED_STATE;
  m_nBadPinCount = 0;
  m_nPinUseCount = 0;
  m_nLockUntil = 0;
  m_nPasscodeLength = 0;
  m_nPinExpiryMonths = 0;
  m_bKeySet = 0;
  SecureWipe(m_StorageOnly, sizeof m_StorageOnly);
  m_bTransactionKeySet = 0;
  m_bSoftPinRequired = 0;
  SecureWipe(m_szVersion, sizeof m_szVersion);
  SecureWipe(m_nCounters, sizeof m_nCounters);
  SecureWipe(m_szSerialNo, sizeof m_szSerialNo);
  SecureWipe(m_szKeyMaterial, sizeof m_szKeyMaterial);
  SecureWipe(m_szEncOtpKey, sizeof m_szEncOtpKey);
  SecureWipe(m_szEncTransactionKey, sizeof m_szEncTransactionKey);
  SecureWipe(m_szEncMacKey, sizeof m_szEncMacKey);
  SecureWipe(m_szPolicy, sizeof m_szPolicy);
  SecureWipe(m_szAlgorithm, sizeof m_szAlgorithm);
}

}  // namespace ov
