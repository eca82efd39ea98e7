// The Windows services that the library uses unless a test installs others.
#include "platform/Platform.h"
#include "platform/windows/WindowsClock.h"
#include "platform/windows/WindowsDriveIdentity.h"
#include "platform/windows/WindowsNamedMutex.h"
#include "platform/windows/WindowsNetworkAdapters.h"
#include "platform/windows/WindowsUserProtect.h"

namespace ov::platform {

Platform MakeDefaultPlatform() {
  static WindowsNamedMutexProvider namedMutexes;
  static WindowsClock clock;
  static WindowsNetworkAdapters networkAdapters;
  static WindowsDriveIdentity driveIdentity;
  static WindowsUserProtect userProtect;
  Platform p;
  p.namedMutexes = &namedMutexes;
  p.clock = &clock;
  p.networkAdapters = &networkAdapters;
  p.driveIdentity = &driveIdentity;
  p.userProtect = &userProtect;
  return p;
}

}  // namespace ov::platform
