#include "storage/StoragePaths.h"

#include <cerrno>

#include "common/LogFacade.h"
#include "platform/Files.h"
#include "platform/UserFolders.h"
#include "storage/Win_UsbFlash.h"

namespace ov {

bool CreatePrivateFolders(const std::string& path) {
  if (path.empty()) return false;
  // Each folder below the root in turn; the root itself ("/", "C:\") is never made.
  for (std::size_t end = platform::RootLength(path); end <= path.size(); ++end) {
    if (end < path.size() && !platform::IsPathSeparator(path[end])) continue;
    const std::string part = path.substr(0, end);
    if (part.empty() || platform::IsPathSeparator(part.back()) || platform::IsFolder(part)) continue;
    if (!platform::CreatePrivateFolder(part)) {
      LogScope log("OVEngine::CreateDirectory");
      log.Message("Error: CreateDirectoryA ");
      log.Text("FilePath", part);
      log.Number("errno", errno);
      return false;
    }
  }
  return platform::IsFolder(path);
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
    path = platform::JoinPath(platform::JoinPath(dataHome, "Kelsa"), "Orvanti");
    if (folder != nullptr) path = platform::JoinPath(path, folder);
    CreatePrivateFolders(path);
  } else if (driveType == DRIVE_USBFLASH || driveType == DRIVE_USBDRIVE) {
    log.Message("DRIVE_USBFLASH or DRIVE_USBDRIVE");
    if (!Win_UsbFlash::GetProfileDataFilePath(folder, path)) path.clear();
  }
  if (path.size() >= platform::kMaxPathLength) {
    log.Message("Error: Invalid File Path");
    return {};
  }
  log.Text("FilePath", path);
  return path;
}

}  // namespace ov
