// Clock: the one source of the current time for passcode time steps, lock-out ends and PIN-change
// times. Tests install a clock they set, so no test waits for time to pass.
#pragma once

#include <cstdint>

namespace ov::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970-01-01 00:00:00 UTC.
  virtual int64_t NowUnixSeconds() = 0;
};

}  // namespace ov::platform
