// The token store's file operations on Windows. Files and folders are made without a security
// descriptor of their own, so they take the user's AppData permissions (or the drive's).
#include <windows.h>

#include <cerrno>

#include "platform/FileSteps.h"
#include "platform/Files.h"

namespace ov::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kNotARegularFile =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

// errno for the last Windows error, so that callers check and log one kind of code.
void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      errno = ENOENT;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      errno = EACCES;
      break;
    default:
      errno = EIO;
  }
}

// Owns a handle and gives it back with `Close` (CloseHandle, FindClose).
template <BOOL(WINAPI* Close)(HANDLE)>
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() {
    if (valid()) Close(m_handle);
  }
  bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

using FileHandle = ScopedHandle<CloseHandle>;
using FindHandle = ScopedHandle<FindClose>;

// Six letters and digits, as mkostemp makes them, so that leftovers are recognised on both
// platforms. Uniqueness comes from CREATE_NEW; the mix only makes a clash unlikely.
std::string TemporarySuffix(unsigned attempt) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  uint64_t mix = static_cast<uint64_t>(counter.QuadPart) ^
                 (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                 (static_cast<uint64_t>(GetCurrentThreadId()) << 16) ^ (attempt * 0x9E3779B97F4A7C15ull);
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    mix ^= mix >> 33;
    mix *= 0xFF51AFD7ED558CCDull;
    suffix += kAlphabet[mix % (sizeof(kAlphabet) - 1)];
  }
  return suffix;
}

bool WriteAll(HANDLE file, std::span<const uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

std::optional<SecureBytes> ReadRegularFile(const std::string& path, std::size_t maxSize) {
  // FILE_FLAG_OPEN_REPARSE_POINT: a link or junction is opened as itself and then refused, never
  // followed. A device name ("CON", a pipe) is not a disk file and is refused too.
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) {
    SetErrnoFromLastError();
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & kNotARegularFile) != 0 || info.nFileSizeHigh != 0 ||
      info.nFileSizeLow > maxSize) {
    errno = EIO;
    return std::nullopt;
  }
  SecureBytes data(info.nFileSizeLow);
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD read = 0;
    if (!ReadFile(file.get(), data.data() + done, static_cast<DWORD>(data.size() - done), &read,
                  nullptr)) {
      SetErrnoFromLastError();
      return std::nullopt;
    }
    if (read == 0) break;  // the file shrank while read: take what is there
    done += read;
  }
  data.resize(done);
  return data;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  if (!Step(FileStep::CreateTemporary, path)) return false;
  std::string temp;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + "." + TemporarySuffix(attempt);
    created = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (created == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return false;
  }
  bool ok;
  {
    FileHandle file(created);
    ok = Step(FileStep::Write, path) && WriteAll(file.get(), data);
    ok = ok && Step(FileStep::Flush, path) && FlushFileBuffers(file.get());
    if (!ok && errno != EIO) SetErrnoFromLastError();
  }
  // Write-through: the rename is on the disk when the call returns, which is what flushing the
  // folder gives on Linux.
  ok = ok && Step(FileStep::Rename, path);
  if (ok && !MoveFileExA(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    SetErrnoFromLastError();
    ok = false;
  }
  if (!ok) {
    const int error = errno;
    DeleteFileA(temp.c_str());
    errno = error;
  }
  return ok;
}

bool IsRegularFile(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotARegularFile) == 0;
}

bool IsFolder(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetErrnoFromLastError();
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
  errno = ENOTDIR;
  return false;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (!Step(FileStep::Rename, from)) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    SetErrnoFromLastError();
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& path) {
  if (!Step(FileStep::Remove, path)) return false;
  if (DeleteFileA(path.c_str())) return true;
  SetErrnoFromLastError();
  return errno == ENOENT;
}

bool CreatePrivateFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return true;
  SetErrnoFromLastError();
  if (errno != EEXIST) return false;
  return IsFolder(path);
}

std::optional<std::vector<std::string>> RegularFileNames(const std::string& folder) {
  WIN32_FIND_DATAA entry{};
  FindHandle find(FindFirstFileExA(JoinPath(folder, "*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, 0));
  std::vector<std::string> names;
  if (!find.valid()) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;  // nothing at all, not even "."
    SetErrnoFromLastError();
    return std::nullopt;
  }
  do {
    if ((entry.dwFileAttributes & kNotARegularFile) == 0) names.emplace_back(entry.cFileName);
  } while (FindNextFileA(find.get(), &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    SetErrnoFromLastError();
    return std::nullopt;
  }
  return names;
}

std::optional<FileFacts> DescribeFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetErrnoFromLastError();
    return std::nullopt;
  }
  const auto mayOpen = [&](DWORD access) {
    FileHandle file(CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file.valid();
  };
  FileFacts facts;
  facts.mode = static_cast<int32_t>(attributes);
  facts.readable = mayOpen(GENERIC_READ);
  facts.writable = mayOpen(GENERIC_WRITE);
  return facts;
}

std::optional<FolderProblem> FindUnsafeFolder(const std::string& /*path*/) { return std::nullopt; }

}  // namespace ov::platform
