// Token files on disk: reading a whole file, and replacing one atomically. A token file is written
// to a temporary file in the same folder, flushed, renamed over the old one and the folder flushed,
// so a crash leaves the old file or the new one, never a part of either. New files are 0600.
//
// Files of the token folders are opened without following a link and without waiting: a link, a
// FIFO or a device named like a token file is never read (a FIFO would block every command).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"

namespace ov {

// Token files are a few kilobytes; anything much larger is not one.
inline constexpr std::size_t kMaxTokenFileSize = 1 << 20;

// Reads a regular file whole; nullopt for anything else (missing, a link, a FIFO, a device, a
// folder, too large, unreadable).
std::optional<SecureBytes> ReadWholeFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data);
// True when `path` itself (not a link's target) is a regular file.
bool FileExists(const std::string& path);
// Renames without replacing: false when `to` exists already.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Removes a file and flushes its folder; true when it is gone (also when it was not there).
bool RemoveFile(const std::string& path);

// A temporary file an interrupted save left: "<name>.tk3.XXXXXX" and the like.
bool IsLeftoverTemporaryName(std::string_view fileName);

// The steps that change a token folder, for tests that stop a process at each of them or make one
// fail. The observer is called just before the step with the path it is about (the file being
// written, renamed or removed; the folder for FlushFolder); when it answers false the step fails
// as the system call would (errno EIO). None is set outside tests.
enum class FileStep { CreateTemporary, Write, Flush, Rename, FlushFolder, Link, Remove };
using FileStepObserver = bool (*)(FileStep step, const std::string& path);
void SetFileStepObserver(FileStepObserver observer);

}  // namespace ov
