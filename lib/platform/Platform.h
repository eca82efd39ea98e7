// The one place through which the library reaches the services of the operating system. The
// library's process-wide objects (the library object, the engine, the device-identity list) take
// their services from Current(); a test installs fakes with ScopedPlatform and gets the real ones
// back when it ends. Each member is a non-owning pointer to a service that lives at least as long
// as it is installed.
#pragma once

#include "platform/Clock.h"
#include "platform/DriveIdentity.h"
#include "platform/NamedMutex.h"
#include "platform/NetworkAdapters.h"
#include "platform/UserProtect.h"

namespace ov::platform {

struct Platform {
  NamedMutexProvider* namedMutexes = nullptr;
  Clock* clock = nullptr;
  NetworkAdapters* networkAdapters = nullptr;
  DriveIdentity* driveIdentity = nullptr;
  UserProtect* userProtect = nullptr;
};

// The services in force: the Linux implementations unless a test installed others.
Platform& Current();

// Installs the given services (members left null keep the current ones) until destroyed.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(const Platform& replacement);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform m_previous;
};

}  // namespace ov::platform
