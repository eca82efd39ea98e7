// The file system as the token store needs it: whole small files read without following a link or
// waiting, files replaced atomically, renames that never replace, private folders, and the regular
// files of a folder. Paths are the platform's own (narrow, in its file-name encoding).
//
// A file is written to a temporary file in the same folder ("<path>.XXXXXX"), flushed, renamed over
// the old one and the folder flushed, so a crash leaves the old file or the new one, never a part of
// either. New files and folders are private to the user.
//
// On failure errno says why (ENOENT, EEXIST, EACCES, or EIO for the rest on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/SecureMemory.h"

namespace ov::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::size_t kMaxPathLength = 260;  // MAX_PATH, with its terminating zero
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::size_t kMaxPathLength = 4096;  // PATH_MAX, with its terminating zero
#endif

bool IsPathSeparator(char c);
// "folder<separator>name"; no second separator when `folder` ends with one.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder part of `path`, the root kept whole ("/", "C:\"); empty when there is none.
std::string ParentFolder(std::string_view path);
// How many leading characters are the root ("/", "C:\", "\\server\share\"): never created.
std::size_t RootLength(std::string_view path);

// Reads a regular file of at most `maxSize` bytes whole; nullopt for anything else (missing, a
// link, a FIFO, a device, a folder, too large, unreadable).
std::optional<SecureBytes> ReadRegularFile(const std::string& path, std::size_t maxSize);
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data);
// True when `path` itself (not a link's target) is a regular file.
bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);
// Renames without replacing: false when `to` exists already.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Removes a file and flushes its folder; true when it is gone (also when it was not there).
bool RemoveFile(const std::string& path);
// Creates one private folder; true when it exists afterwards as a folder.
bool CreatePrivateFolder(const std::string& path);
// The names of the regular files of `folder`, in the file system's order; nullopt when the folder
// cannot be read. Links, FIFOs, devices and folders are left out.
std::optional<std::vector<std::string>> RegularFileNames(const std::string& folder);

// Why a folder on the way to the user's files could be changed by someone other than the user.
enum class FolderFault {
  WritableByOthers,  // group or others may write it (a root-owned sticky folder such as /tmp aside)
  OtherOwner,        // it belongs to another user (root's folders are fine)
  NotPlain           // it is not a folder
};
struct FolderProblem {
  FolderFault fault = FolderFault::NotPlain;
  std::string path;
};
// Checks every existing folder of `path` from the root down, and where one is a link, the folders
// of the place it leads to: someone who may write any of them can swap, delete or plant what lies
// below. The first folder at fault; nullopt when all are sound (missing folders are made private
// later). Windows keeps the user's folders private through their access lists: nothing is refused
// there.
std::optional<FolderProblem> FindUnsafeFolder(const std::string& path);

// What the log says of a file: its permission bits (Linux) or attributes (Windows), and whether
// this user may read and write it. nullopt when it cannot be looked at.
struct FileFacts {
  int32_t mode = 0;
  bool readable = false;
  bool writable = false;
};
std::optional<FileFacts> DescribeFile(const std::string& path);

// The steps that change a folder, for tests that stop a process at each of them or make one fail.
// The observer is called just before the step with the path it is about (the file being written,
// renamed or removed; the folder for FlushFolder); when it answers false the step fails as the
// system call would (errno EIO). None is set outside tests.
enum class FileStep { CreateTemporary, Write, Flush, Rename, FlushFolder, Link, Remove };
using FileStepObserver = bool (*)(FileStep step, const std::string& path);
void SetFileStepObserver(FileStepObserver observer);

}  // namespace ov::platform
