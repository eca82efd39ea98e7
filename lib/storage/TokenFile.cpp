#include "storage/TokenFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/UniqueFd.h"

namespace ov {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<SecureBytes> ReadWholeFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > kMaxTokenFileSize) {
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
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  bool ok = fchmod(fd.get(), 0600) == 0;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    const ssize_t n = write(fd.get(), data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd.get()) == 0 && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  UniqueFd folder(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a hard link fails when the target exists; where there are no
  // links either (FAT), look first.
  if (link(from.c_str(), to.c_str()) == 0) return unlink(from.c_str()) == 0;
  if (errno != EPERM && errno != EOPNOTSUPP) return false;
  if (access(to.c_str(), F_OK) == 0) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace ov
