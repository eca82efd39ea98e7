// Token files on disk, over the platform's file layer (platform/Files.h): files are replaced
// atomically and opened without following a link or waiting, so a link, a FIFO or a device named
// like a token file is never read (a FIFO would block every command).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"
#include "platform/Files.h"

namespace ov {

// Token files are a few kilobytes; anything much larger is not one.
inline constexpr std::size_t kMaxTokenFileSize = 1 << 20;

// Reads a regular file whole; nullopt for anything else (missing, a link, a FIFO, a device, a
// folder, too large, unreadable).
inline std::optional<SecureBytes> ReadWholeFile(const std::string& path) {
  return platform::ReadRegularFile(path, kMaxTokenFileSize);
}
// True when `path` itself (not a link's target) is a regular file.
inline bool FileExists(const std::string& path) { return platform::IsRegularFile(path); }

using platform::FileStep;
using platform::FileStepObserver;
using platform::JoinPath;
using platform::RemoveFile;
using platform::RenameNoReplace;
using platform::SetFileStepObserver;
using platform::WriteFileAtomically;

// A temporary file an interrupted save left: "<name>.tk3.XXXXXX" and the like.
bool IsLeftoverTemporaryName(std::string_view fileName);

}  // namespace ov
