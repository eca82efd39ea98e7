#include "storage/TokenFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "common/UniqueFd.h"

namespace ov {

namespace {

constexpr std::string_view kTemporaryExtensions[] = {".tk3.", ".dat.", ".import."};
constexpr std::size_t kTemporarySuffixLength = 6;  // mkostemp's "XXXXXX"

std::atomic<FileStepObserver> g_observer{nullptr};

// False when a test's observer makes the step fail.
bool Step(FileStep step, const std::string& path) {
  const FileStepObserver observer = g_observer.load(std::memory_order_relaxed);
  if (observer == nullptr || observer(step, path)) return true;
  errno = EIO;
  return false;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void FlushFolderOf(const std::string& path) {
  const std::string folderPath = FolderOf(path);
  if (!Step(FileStep::FlushFolder, folderPath)) return;
  UniqueFd folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
}

}  // namespace

void SetFileStepObserver(FileStepObserver observer) { g_observer.store(observer); }

std::optional<SecureBytes> ReadWholeFile(const std::string& path) {
  // O_NONBLOCK: opening a FIFO for reading would wait for a writer. O_NOFOLLOW: a link is never
  // taken for the file it points to.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
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
    unlink(temp.c_str());
    return false;
  }
  FlushFolderOf(path);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
      if (access(to.c_str(), F_OK) == 0) return false;
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

bool IsLeftoverTemporaryName(std::string_view fileName) {
  if (fileName.size() <= kTemporarySuffixLength) return false;
  const std::string_view suffix = fileName.substr(fileName.size() - kTemporarySuffixLength);
  const std::string_view rest = fileName.substr(0, fileName.size() - kTemporarySuffixLength);
  const bool random = std::all_of(suffix.begin(), suffix.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
  return random && std::any_of(std::begin(kTemporaryExtensions), std::end(kTemporaryExtensions),
                               [&](std::string_view ext) {
                                 return rest.size() > ext.size() && rest.ends_with(ext);
                               });
}

}  // namespace ov
