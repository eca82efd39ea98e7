#include "platform/linux/LinuxClock.h"

#include <time.h>

namespace ov::platform {

int64_t LinuxClock::NowUnixSeconds() {
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec);
}

}  // namespace ov::platform
