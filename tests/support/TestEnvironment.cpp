#include "support/TestEnvironment.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ov::test {

namespace {
std::filesystem::path g_root;
}

PrivateHome::PrivateHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ovtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  g_root = pattern;
  std::filesystem::create_directories(RuntimeDir());
  std::filesystem::create_directories(DataHome());
  chmod(RuntimeDir().c_str(), 0700);
  setenv("HOME", g_root.c_str(), 1);
  setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
  setenv("XDG_RUNTIME_DIR", RuntimeDir().c_str(), 1);
}

PrivateHome::~PrivateHome() {
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

const std::filesystem::path& PrivateHome::Root() { return g_root; }

void SetEnv(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name) { unsetenv(name.c_str()); }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::filesystem::path TestDataDir() { return OV_TEST_DATA_DIR; }

}  // namespace ov::test
