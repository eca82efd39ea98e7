// Named mutexes as exclusive, non-blocking flock locks on "<name>.lock" in $XDG_RUNTIME_DIR (a
// private folder of the user's session). Without that folder the lock file is
// "/tmp/<name>.<uid>.lock", opened without following links and refused unless the user owns it.
// The kernel drops a flock when the process dies, so a crash never leaves the name taken.
#pragma once

#include <string>

#include "platform/NamedMutex.h"

namespace ov::platform {

class LinuxNamedMutexProvider final : public NamedMutexProvider {
 public:
  Result Acquire(std::string_view name) override;

  // The lock file that stands for `name`; empty when the name cannot be a file name.
  static std::string LockPath(std::string_view name);
};

}  // namespace ov::platform
