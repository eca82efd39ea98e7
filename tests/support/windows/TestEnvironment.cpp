// The private home of a Windows test process: a fresh folder under the temporary folder, and the
// current user's registry replaced, for this process only, by a private key that holds nothing
// but the application-data folder ("AppData" under "Shell Folders", pointing at DataHome()). No
// test reads or writes the real user's registry or application data.
#include "support/TestEnvironment.h"

#include <stdlib.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ov::test {

namespace {

std::filesystem::path g_root;
std::string g_registryKey;

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) {
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
  }
}

}  // namespace

PrivateHome::PrivateHome() {
  const std::string name =
      "ovtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
  g_root = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(RuntimeDir());
  std::filesystem::create_directories(DataHome());

  // Volatile keys go with the session even when the process dies before it cleans up.
  g_registryKey = "Software\\Kelsa\\OrvantiTests\\" + name;
  HKEY root = nullptr;
  Check(RegCreateKeyExA(HKEY_CURRENT_USER, g_registryKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &root, nullptr),
        "RegCreateKeyExA");
  HKEY folders = nullptr;
  Check(
      RegCreateKeyExA(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &folders, nullptr),
      "RegCreateKeyExA");
  const std::string appData = DataHome().string();
  Check(
      RegSetValueExA(folders, "AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(appData.c_str()),
                     static_cast<DWORD>(appData.size() + 1)),
      "RegSetValueExA");
  RegCloseKey(folders);
  // The user's certificate stores, empty. crypt32 makes their keys when it first opens them, and
  // under a volatile key it cannot (their keys would have to be volatile too): the user's Root
  // store would not open, and with it every TLS certificate check would fail, whoever issued it.
  for (const char* store : {"Root", "CA", "My", "Trust", "Disallowed", "TrustedPeople"}) {
    HKEY key = nullptr;
    Check(RegCreateKeyExA(
              root, (std::string("Software\\Microsoft\\SystemCertificates\\") + store).c_str(), 0,
              nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
          "RegCreateKeyExA");
    RegCloseKey(key);
  }
  // Without the override the tests would work on the real user's registry: give up instead.
  Check(RegOverridePredefKey(HKEY_CURRENT_USER, root), "RegOverridePredefKey");
  RegCloseKey(root);
}

PrivateHome::~PrivateHome() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegDeleteTreeA(HKEY_CURRENT_USER, g_registryKey.c_str());
  std::error_code ignored;
  std::filesystem::remove_all(g_root, ignored);
}

const std::filesystem::path& PrivateHome::Root() { return g_root; }

// _putenv_s changes the runtime's copy and the process's environment block alike; an empty
// value removes the variable from both.
void SetEnv(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

void UnsetEnv(const std::string& name) { _putenv_s(name.c_str(), ""); }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::filesystem::path TestDataDir() { return OV_TEST_DATA_DIR; }

}  // namespace ov::test
