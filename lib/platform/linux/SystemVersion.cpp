#include "platform/SystemVersion.h"

#include <sys/utsname.h>

#include <cstdio>

namespace ov::platform {

std::string SystemVersion() {
  int major = 0;
  int minor = 0;
  utsname name{};
  if (uname(&name) == 0) std::sscanf(name.release, "%d.%d", &major, &minor);
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", major, minor);
  return text;
}

}  // namespace ov::platform
