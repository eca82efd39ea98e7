#include "storage/StoragePaths.h"

#include <cerrno>
#include <mutex>
#include <string_view>

#include "common/LogFacade.h"
#include "ov/ov_api.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "storage/OVEngineStore.h"
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

std::optional<platform::FolderProblem> FindUnsafeStoreFolder(const std::string& root) {
  if (Win_UsbFlash::GetActiveDriveType() != DRIVE_MACHINE) return std::nullopt;
  const std::string secret = platform::Current().userProtect->SecretFile();
  for (const std::string& path :
       {platform::JoinPath(root, kTokenFolderOv3), platform::JoinPath(root, kTokenFolderLegacy),
        secret.empty() ? root : platform::ParentFolder(secret)}) {
    if (auto problem = platform::FindUnsafeFolder(path)) return problem;
  }
  return std::nullopt;
}

bool HasTokenFiles(const std::string& root) {
  constexpr std::string_view kSetAside = ".unsupported";
  for (const char* folder : {kTokenFolderOv3, kTokenFolderLegacy}) {
    const auto names = platform::RegularFileNames(platform::JoinPath(root, folder));
    if (!names) continue;
    for (const std::string_view name : *names) {
      for (const std::string_view tail : {std::string_view(kTokenExtensionOv3),
                                          std::string_view(kTokenExtensionLegacy), kSetAside}) {
        if (name.size() > tail.size() && name.ends_with(tail)) return true;
      }
    }
  }
  return false;
}

namespace {

int32_t StoreFault(platform::FolderFault fault) {
  switch (fault) {
    case platform::FolderFault::WritableByOthers: return OV_STORE_WRITABLE_BY_OTHERS;
    case platform::FolderFault::OtherOwner: return OV_STORE_OTHER_OWNER;
    case platform::FolderFault::NotPlain: break;
  }
  return OV_STORE_NOT_PLAIN;
}

}  // namespace

std::optional<StoreProblem> FindStoreProblem(const std::string& root) {
  if (const auto unsafe = FindUnsafeStoreFolder(root)) {
    return StoreProblem{OV_ERR_STORE_NOT_PRIVATE, unsafe->path, StoreFault(unsafe->fault)};
  }
  platform::UserProtect& protect = *platform::Current().userProtect;
  if (Win_UsbFlash::GetActiveDriveType() == DRIVE_MACHINE && protect.IsSecretMissing() &&
      HasTokenFiles(root)) {
    return StoreProblem{OV_ERR_USER_SECRET_MISSING, protect.SecretFile(), 0};
  }
  // A secret that others may read, or that is not the user's own plain file, opens nothing: say so
  // now, rather than fail every token later with a reason only the log tells.
  if (Win_UsbFlash::GetActiveDriveType() == DRIVE_MACHINE && protect.IsSecretRefused()) {
    return StoreProblem{OV_ERR_STORE_NOT_PRIVATE, protect.SecretFile(), OV_STORE_SECRET_REFUSED};
  }
  return std::nullopt;
}

namespace {

std::mutex g_problemMutex;
StoreProblem g_problem;

}  // namespace

void SetStoreProblem(StoreProblem problem) {
  std::lock_guard lock(g_problemMutex);
  g_problem = std::move(problem);
}

StoreProblem LastStoreProblem() {
  std::lock_guard lock(g_problemMutex);
  return g_problem;
}

}  // namespace ov
