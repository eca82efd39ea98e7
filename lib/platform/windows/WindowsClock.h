// The system's real-time clock, from the system time in file-time units.
#pragma once

#include "platform/Clock.h"

namespace ov::platform {

class WindowsClock final : public Clock {
 public:
  int64_t NowUnixSeconds() override;

  // Seconds since 1970 of a file time (100-nanosecond units since 1601-01-01 UTC), rounded down.
  static int64_t UnixSecondsFromFileTime(uint64_t fileTime);
};

}  // namespace ov::platform
