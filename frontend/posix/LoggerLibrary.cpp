#include "frontend/LoggerLibrary.h"

#include <dlfcn.h>

#include <string>

#include "ov/ov_api.h"

namespace ov::frontend {

namespace {

constexpr const char* kLoggerLibraryFile = "libbrisel.so";

}  // namespace

void LoadLoggerLibrary() noexcept {
  try {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&OV_InitializeA), &info) == 0 ||
        info.dli_fname == nullptr || info.dli_fname[0] != '/') {
      return;  // no folder known for certain: no logger
    }
    std::string path(info.dli_fname);
    path.erase(path.rfind('/') + 1);
    path += kLoggerLibraryFile;
    dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  } catch (...) {
    // Without memory for a path the program runs without its logger, as without the file.
  }
}

}  // namespace ov::frontend
