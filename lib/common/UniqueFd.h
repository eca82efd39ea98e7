// A file descriptor closed when its holder goes.
#pragma once

#include <unistd.h>

namespace ov {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) noexcept : m_fd(fd) {}
  ~UniqueFd() {
    if (m_fd >= 0) close(m_fd);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const noexcept { return m_fd; }

 private:
  int m_fd;
};

}  // namespace ov
