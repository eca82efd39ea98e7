// Token files on disk: reading a whole file, and replacing one atomically. A token file is written
// to a temporary file in the same folder, flushed, renamed over the old one and the folder flushed,
// so a crash leaves the old file or the new one, never a part of either. New files are 0600.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "common/SecureMemory.h"

namespace ov {

// Token files are a few kilobytes; anything much larger is not one.
inline constexpr std::size_t kMaxTokenFileSize = 1 << 20;

std::optional<SecureBytes> ReadWholeFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data);
bool FileExists(const std::string& path);
// Renames without replacing: false when `to` exists already.
bool RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace ov
