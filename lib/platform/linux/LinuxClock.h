// The system's real-time clock.
#pragma once

#include "platform/Clock.h"

namespace ov::platform {

class LinuxClock final : public Clock {
 public:
  int64_t NowUnixSeconds() override;
};

}  // namespace ov::platform
