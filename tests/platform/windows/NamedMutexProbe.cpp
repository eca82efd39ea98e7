// The other process of the named-mutex tests. Tries to take the mutex named by its first argument
// and exits with 0 when it got it, 1 when another holder has it and 2 when that failed. With
// "--keep" it ends while still holding it, as a process that dies does.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/windows/WindowsNamedMutex.h"

int main(int argc, char** argv) {
  if (argc < 2) return 3;
  using Outcome = ov::platform::NamedMutexProvider::Outcome;
  ov::platform::WindowsNamedMutexProvider provider;
  // The same store folder as the tests' (the lock file lives there).
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "ov-mutex-store";
  CreateDirectoryA(folder.c_str(), nullptr);
  auto result = provider.Acquire(argv[1], folder);
  const int code = result.outcome == Outcome::Acquired        ? 0
                   : result.outcome == Outcome::AlreadyExists ? 1
                                                              : 2;
  if (argc > 2 && std::strcmp(argv[2], "--keep") == 0) (void)result.held.release();
  return code;
}
