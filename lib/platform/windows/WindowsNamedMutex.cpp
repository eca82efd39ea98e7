#include "platform/windows/WindowsNamedMutex.h"

#include <windows.h>

namespace ov::platform {

namespace {

class HeldWindowsMutex final : public HeldNamedMutex {
 public:
  explicit HeldWindowsMutex(HANDLE handle) : m_handle(handle) {}
  ~HeldWindowsMutex() override {
    // Releasing fails when another thread than the creator lets go; the name is free once the
    // last handle is closed all the same.
    ReleaseMutex(m_handle);
    CloseHandle(m_handle);
  }

 private:
  HANDLE m_handle;
};

}  // namespace

NamedMutexProvider::Result WindowsNamedMutexProvider::Acquire(std::string_view name,
                                                              const std::string& /*folder*/) {
  Result result;
  // A backslash would reach another namespace ("Global\..."), and a zero would cut the name short
  // into one that belongs to somebody else.
  if (name.empty() || name.find('\\') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return result;
  }
  const std::string text(name);
  HANDLE handle = CreateMutexA(nullptr, TRUE, text.c_str());
  if (handle == nullptr) return result;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(handle);
    result.outcome = Outcome::AlreadyExists;
    return result;
  }
  result.outcome = Outcome::Acquired;
  result.held = std::make_unique<HeldWindowsMutex>(handle);
  return result;
}

}  // namespace ov::platform
