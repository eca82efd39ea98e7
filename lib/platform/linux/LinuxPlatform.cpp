// The Linux services that the library uses unless a test installs others.
#include <unistd.h>

#include "platform/Platform.h"
#include "platform/linux/LinuxClock.h"
#include "platform/linux/LinuxNamedMutex.h"
#include "platform/linux/LinuxNetworkAdapters.h"
#include "platform/linux/LinuxUserProtect.h"
#include "platform/linux/SysfsDriveIdentity.h"

namespace ov::platform {

Platform MakeDefaultPlatform() {
  static LinuxNamedMutexProvider namedMutexes;
  static LinuxClock clock;
  static LinuxNetworkAdapters networkAdapters;
  static SysfsDriveIdentity driveIdentity("/sys", std::make_unique<MountinfoLocator>());
  static LinuxUserProtect userProtect(LinuxUserProtect::DefaultSecretFolder(), getuid());
  Platform p;
  p.namedMutexes = &namedMutexes;
  p.clock = &clock;
  p.networkAdapters = &networkAdapters;
  p.driveIdentity = &driveIdentity;
  p.userProtect = &userProtect;
  return p;
}

}  // namespace ov::platform
