#include "platform/linux/LinuxNamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ov::platform {

namespace {

class FlockMutex final : public HeldNamedMutex {
 public:
  explicit FlockMutex(int fd) : m_fd(fd) {}
  ~FlockMutex() override {
    flock(m_fd, LOCK_UN);
    close(m_fd);
  }

 private:
  int m_fd;
};

}  // namespace

std::string LinuxNamedMutexProvider::LockPath(std::string_view name, const std::string& folder) {
  if (name.empty() || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos || folder.empty() || folder[0] != '/' ||
      folder.find('\0') != std::string::npos) {
    return {};
  }
  return folder + (folder.back() == '/' ? "" : "/") + std::string(name) + ".lock";
}

NamedMutexProvider::Result LinuxNamedMutexProvider::Acquire(std::string_view name,
                                                            const std::string& folder) {
  Result result;
  const std::string path = LockPath(name, folder);
  if (path.empty()) return result;

  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) {
    // ELOOP: a link (to /dev/null, say) where the lock file belongs would make every lock fail.
    if (errno == ELOOP) result.outcome = Outcome::Unsafe;
    result.lockFile = path;
    return result;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid()) {
    close(fd);
    result.outcome = Outcome::Unsafe;
    result.lockFile = path;
    return result;
  }
  if (m_lock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) {
      result.outcome = Outcome::AlreadyExists;
    } else if (error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) {
      result.outcome = Outcome::Unsupported;
      result.lockFile = path;
    }
    return result;
  }
  result.outcome = Outcome::Acquired;
  result.held = std::make_unique<FlockMutex>(fd);
  return result;
}

}  // namespace ov::platform
