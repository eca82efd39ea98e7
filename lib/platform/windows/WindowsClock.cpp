#include "platform/windows/WindowsClock.h"

#include <windows.h>

namespace ov::platform {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
// 1601-01-01 to 1970-01-01: 369 years, 89 of them leap years.
constexpr int64_t kSecondsFrom1601To1970 = (369 * 365 + 89) * int64_t{86'400};

}  // namespace

int64_t WindowsClock::UnixSecondsFromFileTime(uint64_t fileTime) {
  return static_cast<int64_t>(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
}

int64_t WindowsClock::NowUnixSeconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return UnixSecondsFromFileTime((uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
}

}  // namespace ov::platform
