#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/UniqueFd.h"
#include "platform/FileSteps.h"
#include "platform/Files.h"

namespace ov::platform {

namespace {

void FlushFolderOf(const std::string& path) {
  const std::string parent = ParentFolder(path);
  const std::string& folderPath = parent.empty() ? std::string(".") : parent;
  if (!Step(FileStep::FlushFolder, folderPath)) return;
  UniqueFd folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
}

struct DirCloser {
  void operator()(DIR* dir) const noexcept { closedir(dir); }
};

bool IsRegularEntry(const std::string& folder, const dirent& entry) {
  if (entry.d_type == DT_REG) return true;
  if (entry.d_type != DT_UNKNOWN) return false;
  return IsRegularFile(JoinPath(folder, entry.d_name));
}

}  // namespace

std::optional<SecureBytes> ReadRegularFile(const std::string& path, std::size_t maxSize) {
  // O_NONBLOCK: opening a FIFO for reading would wait for a writer. O_NOFOLLOW: a link is never
  // taken for the file it points to.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > maxSize) {
    return std::nullopt;
  }
  SecureBytes data(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = read(fd.get(), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;  // the file shrank while read: take what is there
    done += static_cast<std::size_t>(n);
  }
  data.resize(done);
  return data;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  std::string temp = path + ".XXXXXX";
  if (!Step(FileStep::CreateTemporary, path)) return false;
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  bool ok = fchmod(fd.get(), 0600) == 0 && Step(FileStep::Write, path);
  std::size_t done = 0;
  while (ok && done < data.size()) {
    const ssize_t n = write(fd.get(), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && Step(FileStep::Flush, path) && fsync(fd.get()) == 0;
  ok = ok && Step(FileStep::Rename, path) && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int error = errno;
    unlink(temp.c_str());
    errno = error;
    return false;
  }
  FlushFolderOf(path);
  return true;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) {
    if (path.empty()) errno = ENOENT;
    return false;
  }
  if (S_ISDIR(st.st_mode)) return true;
  errno = ENOTDIR;
  return false;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (!Step(FileStep::Rename, from)) return false;
  bool done = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
  if (!done && errno != EINVAL && errno != ENOSYS) return false;
  if (!done) {
    // File systems without the flag: a hard link fails when the target exists; where there are
    // no links either (FAT), look first.
    if (!Step(FileStep::Link, from)) return false;
    if (link(from.c_str(), to.c_str()) == 0) {
      done = Step(FileStep::Remove, from) && unlink(from.c_str()) == 0;
    } else {
      if (errno != EPERM && errno != EOPNOTSUPP) return false;
      if (access(to.c_str(), F_OK) == 0) {
        errno = EEXIST;
        return false;
      }
      done = rename(from.c_str(), to.c_str()) == 0;
    }
    if (!done) return false;
  }
  FlushFolderOf(to);
  return true;
}

bool RemoveFile(const std::string& path) {
  if (!Step(FileStep::Remove, path)) return false;
  if (unlink(path.c_str()) != 0) return errno == ENOENT;
  FlushFolderOf(path);
  return true;
}

bool CreatePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) return false;
  if (IsFolder(path)) return true;
  errno = EEXIST;
  return false;
}

std::optional<std::vector<std::string>> RegularFileNames(const std::string& folder) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir.get())) {
    if (IsRegularEntry(folder, *entry)) names.emplace_back(entry->d_name);
  }
  return names;
}

namespace {

// A user's private group: the user's primary group, named as the user, with no member but the
// user. Systems that give each user such a group often set the umask to 002, so the user's own
// folders are group-writable; nobody else is in that group, so nobody else may write them.
bool IsPrivateGroupOfUser(gid_t gid) {
  std::vector<char> buffer(16384);
  struct passwd pw {};
  struct passwd* user = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size() / 2, &user) != 0 || user == nullptr) {
    return false;
  }
  struct group gr {};
  struct group* group = nullptr;
  char* groupBuffer = buffer.data() + buffer.size() / 2;
  if (getgrgid_r(gid, &gr, groupBuffer, buffer.size() / 2, &group) != 0 || group == nullptr) {
    return false;
  }
  if (user->pw_gid != gid || std::strcmp(group->gr_name, user->pw_name) != 0) return false;
  for (char** member = group->gr_mem; member != nullptr && *member != nullptr; ++member) {
    if (std::strcmp(*member, user->pw_name) != 0) return false;
  }
  return true;
}

std::optional<FolderFault> JudgeFolder(const struct stat& st) {
  if (!S_ISDIR(st.st_mode)) return FolderFault::NotPlain;
  if (st.st_uid != getuid() && st.st_uid != 0) return FolderFault::OtherOwner;
  // In a sticky folder of root's, others may add names but not remove or rename the user's.
  const bool rootSticky = st.st_uid == 0 && (st.st_mode & S_ISVTX) != 0;
  if (rootSticky) return std::nullopt;
  if ((st.st_mode & S_IWOTH) != 0) return FolderFault::WritableByOthers;
  if ((st.st_mode & S_IWGRP) != 0 && !(st.st_uid == getuid() && IsPrivateGroupOfUser(st.st_gid))) {
    return FolderFault::WritableByOthers;
  }
  return std::nullopt;
}

// `followLinks`: whether a link among the folders is judged by where it leads (once: the place a
// resolved path names holds no links).
std::optional<FolderProblem> CheckFolders(const std::string& path, bool followLinks) {
  if (path.empty() || path[0] != '/') return std::nullopt;
  for (std::size_t end = 1; end <= path.size(); ++end) {
    if (end < path.size() && path[end] != '/') continue;
    const std::string part = path.substr(0, end);
    struct stat st {};
    if (lstat(part.c_str(), &st) != 0) return std::nullopt;  // the rest is made private later
    if (S_ISLNK(st.st_mode)) {
      if (!followLinks) return FolderProblem{FolderFault::NotPlain, part};
      std::unique_ptr<char, decltype(&free)> target(realpath(part.c_str(), nullptr), &free);
      if (!target) return FolderProblem{FolderFault::NotPlain, part};
      if (auto problem = CheckFolders(target.get(), false)) return problem;
      continue;
    }
    if (const auto fault = JudgeFolder(st)) return FolderProblem{*fault, part};
  }
  return std::nullopt;
}

}  // namespace

std::optional<FolderProblem> FindUnsafeFolder(const std::string& path) {
  return CheckFolders(path, true);
}

std::optional<FileFacts> DescribeFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  FileFacts facts;
  facts.mode = static_cast<int32_t>(st.st_mode & 07777);
  facts.readable = access(path.c_str(), R_OK) == 0;
  facts.writable = access(path.c_str(), W_OK) == 0;
  return facts;
}

}  // namespace ov::platform
