#include "storage/StoragePaths.h"

#include <limits.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/LogFacade.h"
#include "platform/UserFolders.h"
#include "storage/Win_UsbFlash.h"

namespace ov {

bool CreatePrivateFolders(const std::string& path) {
  if (path.empty()) return false;
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      LogScope log("OVEngine::CreateDirectory");
      log.Message("Error: CreateDirectoryA ");
      log.Text("FilePath", part);
      log.Number("errno", errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetFilePath(const char* folder) {
  LogScope log("OVEngine::GetFilePath");
  log.Text("szUniqueID", folder);
  std::string path;
  const int driveType = Win_UsbFlash::GetActiveDriveType();
  if (driveType == DRIVE_MACHINE) {
    const std::string dataHome = platform::UserDataHome();
    if (dataHome.empty()) {
      // Without a home there is no sound place for token files; an empty path makes every store
      // and load fail instead of scattering files relative to the current folder.
      log.Message("Error: no user data folder");
      return {};
    }
    path = dataHome + "/Kelsa/Orvanti";
    if (folder != nullptr) path += std::string("/") + folder;
    CreatePrivateFolders(path);
  } else if (driveType == DRIVE_USBFLASH || driveType == DRIVE_USBDRIVE) {
    log.Message("DRIVE_USBFLASH or DRIVE_USBDRIVE");
    if (!Win_UsbFlash::GetProfileDataFilePath(folder, path)) path.clear();
  }
  if (path.size() >= PATH_MAX) {
    log.Message("Error: Invalid File Path");
    return {};
  }
  log.Text("FilePath", path);
  return path;
}

}  // namespace ov
