// The user's application-data folder as Windows keeps it for programs that read the registry: the
// "AppData" value under the current user's "Shell Folders" key.
#include <windows.h>

#include <algorithm>
#include <string>

#include "common/LogFacade.h"
#include "platform/UserFolders.h"

namespace ov::platform {

namespace {

constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// The value is read into 129 bytes: a folder of more than 128 characters is not taken, which keeps
// the token paths built on it within the system's path limit.
constexpr DWORD kValueLimit = 129;

bool IsAbsolute(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  return drive || path.rfind("\\\\", 0) == 0;
}

}  // namespace

// Empty when there is no such value, or it is empty, too long, not a plain text or not an absolute
// path: token files are then not written at all rather than relative to the current folder.
std::string UserDataHome() {
  LogScope log("platform::UserDataHome");
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    log.Message("Error: RegOpenKeyExA ");
    log.Text("Key", kShellFolders);
    return {};
  }
  char value[kValueLimit] = {};
  DWORD size = kValueLimit;
  DWORD type = REG_NONE;
  const LSTATUS status =
      RegQueryValueExA(key, "AppData", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) {
    log.Message("Error: RegQueryValueExA AppData");
    return {};
  }
  // A stored text need not end in a zero.
  std::string folder(value, std::min<DWORD>(size, kValueLimit));
  folder.resize(folder.find('\0') == std::string::npos ? folder.size() : folder.find('\0'));
  return IsAbsolute(folder) ? folder : std::string();
}

}  // namespace ov::platform
