#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace ov::app {
namespace {

bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == getuid();
}

std::string StoreFolder() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  return base + "/Kelsa/Orvanti";
}

}  // namespace

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::LockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && IsPrivateFolder(runtime))
    return std::string(runtime) + "/OV_Mutex.lock";
  const std::string store = StoreFolder();
  return store.empty() ? std::string() : store + "/OV_Mutex.lock";
}

SingleInstance::Outcome SingleInstance::Acquire() {
  Release();
  const std::string path = LockPath();
  if (path.empty()) return Outcome::Failed;
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!std::filesystem::exists(folder, ignored)) {
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ignored);
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return Outcome::Failed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Outcome::AlreadyRunning : Outcome::Failed;
  }
  m_fd = fd;
  return Outcome::Acquired;
}

void SingleInstance::Release() {
  if (m_fd >= 0) {
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
  }
}

}  // namespace ov::app
