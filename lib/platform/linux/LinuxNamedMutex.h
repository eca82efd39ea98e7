// Named mutexes as exclusive, non-blocking flock locks on "<name>.lock" in the folder the lock
// guards (the token store's own folder). Every process of the user that works on that store meets
// the same file, whatever its environment (a cron job and a desktop session have different
// runtime folders), and no shared folder such as /tmp is used, where another user could create
// the file first. The file is opened without following links and refused unless the user owns it.
// The kernel drops a flock when the process dies, so a crash never leaves the name taken.
#pragma once

#include <string>

#include "platform/NamedMutex.h"

namespace ov::platform {

class LinuxNamedMutexProvider final : public NamedMutexProvider {
 public:
  Result Acquire(std::string_view name, const std::string& folder) override;

  // The lock file that stands for `name` in `folder`; empty when the name cannot be a file name
  // or the folder is not an absolute path.
  static std::string LockPath(std::string_view name, const std::string& folder);
};

}  // namespace ov::platform
