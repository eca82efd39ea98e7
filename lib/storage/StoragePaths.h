// Where token files live. On the machine drive: <user data folder>/Kelsa/Orvanti/<folder>; on a
// USB drive: beside the program, <executable's folder>/<folder>. Folders are created, private to
// the user (0700), on every request; their existing is not an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Files.h"

namespace ov {

inline constexpr char kTokenFolderOv3[] = "KELSA_TOKEN_OV3";  // format-3 token files
inline constexpr char kTokenFolderLegacy[] = "KLSA_GA_8_2";   // legacy token files

// The folder's path (the storage root itself when `folder` is null); empty when it cannot be
// determined or is too long for the platform.
std::string GetFilePath(const char* folder);

// Creates `path` and any missing parent with mode 0700; true when it exists afterwards.
bool CreatePrivateFolders(const std::string& path);

// Why the token store cannot be used: a result code (OV_ERR_STORE_NOT_PRIVATE,
// OV_ERR_USER_SECRET_MISSING, OV_ERR_FILE_LOCKING_UNSUPPORTED), the folder or file at fault and,
// for one others can change, an OVStoreFault.
struct StoreProblem {
  int32_t code = 0;
  std::string path;
  int32_t fault = 0;
};

// The first folder on the way to the storage root `root`, its token folders or the user's secret
// that someone other than the user could change. None on a USB drive: its file system (often FAT)
// keeps no owners or modes, and the drive's identity, not a folder's privacy, keys its files.
std::optional<platform::FolderProblem> FindUnsafeStoreFolder(const std::string& root);

// True when a token file, or one set aside as unsupported, lies in the token folders of `root`.
bool HasTokenFiles(const std::string& root);

// What keeps the store at `root` from being used before its lock is taken: a folder others can
// change, or token files whose user secret is missing (a new secret beside them would never open
// them, and the user could not tell they were lost).
std::optional<StoreProblem> FindStoreProblem(const std::string& root);

// The problem the last initialisation reported (code 0 when there was none).
void SetStoreProblem(StoreProblem problem);
StoreProblem LastStoreProblem();

}  // namespace ov
