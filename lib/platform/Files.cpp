#include "platform/Files.h"

#include "platform/FileSteps.h"

namespace ov::platform {

namespace {

std::atomic<FileStepObserver> g_observer{nullptr};

}  // namespace

void SetFileStepObserver(FileStepObserver observer) { g_observer.store(observer); }

bool Step(FileStep step, const std::string& path) {
  const FileStepObserver observer = g_observer.load(std::memory_order_relaxed);
  if (observer == nullptr || observer(step, path)) return true;
  errno = EIO;
  return false;
}

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::size_t RootLength(std::string_view path) {
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    // \\server\share\ : the share is the root.
    std::size_t separators = 0;
    for (std::size_t i = 2; i < path.size(); ++i) {
      if (IsPathSeparator(path[i]) && ++separators == 2) return i + 1;
    }
    return path.size();
  }
#endif
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !IsPathSeparator(path.back())) path += kPathSeparator;
  path += name;
  return path;
}

std::string ParentFolder(std::string_view path) {
  const std::size_t root = RootLength(path);
  std::size_t end = path.size();
  while (end > root && !IsPathSeparator(path[end - 1])) --end;
  if (end <= root) return std::string(path.substr(0, root));
  return std::string(path.substr(0, end - 1));
}

}  // namespace ov::platform
