// The application's own single-instance lock "OV_Mutex": an exclusive flock on "OV_Mutex.lock" in
// $XDG_RUNTIME_DIR, or in the token store's folder when there is none (never in a shared folder
// such as /tmp, where another user could create the file first). The lock is held until the object
// is destroyed or the process dies, whichever comes first.
#pragma once

#include <string>

namespace ov::app {

class SingleInstance {
 public:
  enum class Outcome { Acquired, AlreadyRunning, Failed };

  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Outcome Acquire();
  void Release();

  // Where the lock file lives for this environment.
  static std::string LockPath();

 private:
  int m_fd = -1;
};

}  // namespace ov::app
