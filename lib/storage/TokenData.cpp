#include "storage/TokenData.h"

#include <chrono>

#include "ov/ov_api.h"

namespace ov {

// UTC calendar arithmetic without the C library's time functions, which differ between platforms
// (gmtime_r and timegm are not on Windows).
SystemTime SystemTimeFromUnix(int64_t unixSeconds) {
  using namespace std::chrono;
  const sys_seconds time{seconds{unixSeconds}};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  SystemTime out;
  out.wYear = static_cast<uint16_t>(static_cast<int>(date.year()));
  out.wMonth = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
  out.wDayOfWeek = static_cast<uint16_t>(weekday{day}.c_encoding());
  out.wDay = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
  out.wHour = static_cast<uint16_t>(clock.hours().count());
  out.wMinute = static_cast<uint16_t>(clock.minutes().count());
  out.wSecond = static_cast<uint16_t>(clock.seconds().count());
  return out;
}

// Fields past their range carry over, as timegm does: day 31 of a 30-day month is the 1st of the
// next, month 13 is January of the next year.
int64_t UnixFromSystemTime(const SystemTime& time) {
  using namespace std::chrono;
  const int64_t monthIndex = static_cast<int64_t>(time.wMonth) - 1;
  const int64_t yearCarry = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
  const unsigned month = static_cast<unsigned>(monthIndex - yearCarry * 12 + 1);
  const sys_days first{year{static_cast<int>(time.wYear + yearCarry)} / std::chrono::month{month} / 1};
  const int64_t dayNumber = first.time_since_epoch().count() + static_cast<int64_t>(time.wDay) - 1;
  return dayNumber * 86400 + static_cast<int64_t>(time.wHour) * 3600 +
         static_cast<int64_t>(time.wMinute) * 60 + time.wSecond;
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
