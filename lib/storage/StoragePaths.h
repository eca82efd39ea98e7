// Where token files live. On the machine drive: <user data folder>/Kelsa/Orvanti/<folder>; on a
// USB drive: beside the program, <executable's folder>/<folder>. Folders are created, private to
// the user (0700), on every request; their existing is not an error.
#pragma once

#include <string>

namespace ov {

inline constexpr char kTokenFolderOv3[] = "KELSA_TOKEN_OV3";  // format-3 token files
inline constexpr char kTokenFolderLegacy[] = "KLSA_GA_8_2";   // legacy token files

// The folder's path (the storage root itself when `folder` is null); empty when it cannot be
// determined or is too long for the platform.
std::string GetFilePath(const char* folder);

// Creates `path` and any missing parent with mode 0700; true when it exists afterwards.
bool CreatePrivateFolders(const std::string& path);

}  // namespace ov
