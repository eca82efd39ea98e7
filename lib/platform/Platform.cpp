#include "platform/Platform.h"

namespace ov::platform {

// Implemented by the platform chosen in the build (linux/).
Platform MakeDefaultPlatform();

Platform& Current() {
  static Platform current = MakeDefaultPlatform();
  return current;
}

ScopedPlatform::ScopedPlatform(const Platform& replacement) : m_previous(Current()) {
  Platform& current = Current();
  if (replacement.namedMutexes) current.namedMutexes = replacement.namedMutexes;
  if (replacement.clock) current.clock = replacement.clock;
  if (replacement.networkAdapters) current.networkAdapters = replacement.networkAdapters;
  if (replacement.driveIdentity) current.driveIdentity = replacement.driveIdentity;
  if (replacement.userProtect) current.userProtect = replacement.userProtect;
}

ScopedPlatform::~ScopedPlatform() { Current() = m_previous; }

}  // namespace ov::platform
