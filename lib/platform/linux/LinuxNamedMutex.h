// Named mutexes as exclusive, non-blocking flock locks on "<name>.lock" in the folder the lock
// guards (the token store's own folder). Every process of the user that works on that store meets
// the same file, whatever its environment (a cron job and a desktop session have different
// runtime folders), and no shared folder such as /tmp is used, where another user could create
// the file first. The file is opened without following links and refused unless the user owns it.
// The kernel drops a flock when the process dies, so a crash never leaves the name taken. A file
// system that refuses locks (some network and FUSE file systems) is reported as such: without the
// lock two processes could save the same token at once.
#pragma once

#include <sys/file.h>

#include <string>

#include "platform/NamedMutex.h"

namespace ov::platform {

class LinuxNamedMutexProvider final : public NamedMutexProvider {
 public:
  // How a lock is taken: flock, or in tests a stand-in that fails as a file system would.
  using LockCall = int (*)(int fd, int operation);
  explicit LinuxNamedMutexProvider(LockCall lock = &flock) : m_lock(lock) {}

  Result Acquire(std::string_view name, const std::string& folder) override;

  // The lock file that stands for `name` in `folder`; empty when the name cannot be a file name
  // or the folder is not an absolute path.
  static std::string LockPath(std::string_view name, const std::string& folder);

 private:
  LockCall m_lock;
};

}  // namespace ov::platform
