#include "platform/windows/WindowsNamedMutex.h"

#include <windows.h>

#include "platform/Files.h"

namespace ov::platform {

namespace {

class HeldWindowsMutex final : public HeldNamedMutex {
 public:
  HeldWindowsMutex(HANDLE mutex, HANDLE lockFile) : m_mutex(mutex), m_lockFile(lockFile) {}
  ~HeldWindowsMutex() override {
    if (m_lockFile != INVALID_HANDLE_VALUE) {
      OVERLAPPED at{};
      UnlockFileEx(m_lockFile, 0, 1, 0, &at);
      CloseHandle(m_lockFile);
    }
    // Releasing fails when another thread than the creator lets go; the name is free once the
    // last handle is closed all the same.
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
  }

 private:
  HANDLE m_mutex;
  HANDLE m_lockFile;
};

// Opens or creates the lock file and takes its first byte without waiting. The handle on success;
// otherwise INVALID_HANDLE_VALUE and the outcome to report.
HANDLE LockStoreFile(const std::string& path, NamedMutexProvider::Outcome& outcome) {
  // FILE_FLAG_OPEN_REPARSE_POINT: a link or junction planted where the lock file belongs is opened
  // as itself and refused, never followed.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    outcome = NamedMutexProvider::Outcome::Failed;
    return file;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    CloseHandle(file);
    outcome = NamedMutexProvider::Outcome::Unsafe;
    return INVALID_HANDLE_VALUE;
  }
  OVERLAPPED at{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_SHARING_VIOLATION) {
      outcome = NamedMutexProvider::Outcome::AlreadyExists;
    } else if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
      outcome = NamedMutexProvider::Outcome::Unsupported;
    } else {
      outcome = NamedMutexProvider::Outcome::Failed;
    }
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace

NamedMutexProvider::Result WindowsNamedMutexProvider::Acquire(std::string_view name,
                                                              const std::string& folder) {
  Result result;
  // A backslash would reach another namespace ("Global\..."), and a zero would cut the name short
  // into one that belongs to somebody else.
  if (name.empty() || name.find('\\') != std::string_view::npos ||
      name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos ||
      folder.empty()) {
    return result;
  }
  const std::string text(name);
  HANDLE mutex = CreateMutexA(nullptr, TRUE, text.c_str());
  if (mutex == nullptr) return result;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    result.outcome = Outcome::AlreadyExists;
    return result;
  }
  // The mutex lives in this session's namespace only: a process of the same user in another
  // session (a scheduled task, a second log-on) creates its own. The lock file in the store
  // folder is what every session meets.
  const std::string lockPath = JoinPath(folder, text + ".lock");
  Outcome outcome = Outcome::Failed;
  HANDLE lockFile = LockStoreFile(lockPath, outcome);
  if (lockFile == INVALID_HANDLE_VALUE) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    result.outcome = outcome;
    result.lockFile = lockPath;
    return result;
  }
  result.outcome = Outcome::Acquired;
  result.held = std::make_unique<HeldWindowsMutex>(mutex, lockFile);
  return result;
}

}  // namespace ov::platform
