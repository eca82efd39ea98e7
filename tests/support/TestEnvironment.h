// A private temporary home for one test process: HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR point
// into a fresh folder that is removed again at the end.
#pragma once

#include <filesystem>
#include <string>

namespace ov::test {

class PrivateHome {
 public:
  PrivateHome();
  ~PrivateHome();
  PrivateHome(const PrivateHome&) = delete;
  PrivateHome& operator=(const PrivateHome&) = delete;

  static const std::filesystem::path& Root();  // the folder of the running process
  static std::filesystem::path RuntimeDir() { return Root() / "runtime"; }
  static std::filesystem::path DataHome() { return Root() / "data"; }
};

// Sets or removes a variable of this process's environment, where both the C library and the
// system's own calls see it (on Windows the C runtime keeps a copy of its own, and a variable
// cannot be set to an empty value).
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// Reads a whole file; empty when it does not exist.
std::string ReadFile(const std::filesystem::path& path);

// The folder that holds the build's test data (tests/data in the source tree).
std::filesystem::path TestDataDir();

}  // namespace ov::test
