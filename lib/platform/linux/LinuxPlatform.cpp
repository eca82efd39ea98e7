// The Linux services that the library uses unless a test installs others.
#include "platform/Platform.h"
#include "platform/linux/LinuxNamedMutex.h"

namespace ov::platform {

Platform MakeDefaultPlatform() {
  static LinuxNamedMutexProvider namedMutexes;
  Platform p;
  p.namedMutexes = &namedMutexes;
  return p;
}

}  // namespace ov::platform
