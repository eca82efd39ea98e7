#include "platform/SystemVersion.h"

#include <windows.h>

#include <cstdio>

namespace ov::platform {

// GetVersionExA answers what the system tells a program without a compatibility manifest, which
// is what the server has always been sent.
std::string SystemVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  int major = 0;
  int minor = 0;
  if (GetVersionExA(&info)) {
    major = static_cast<int>(info.dwMajorVersion);
    minor = static_cast<int>(info.dwMinorVersion);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", major, minor);
  return text;
}

}  // namespace ov::platform
