// A first-generation (handle based) logging library for the log facade's tests. Every call it
// receives becomes one line "gen1 <call> <arguments>" in the file named by BRISEL_LOG. Built twice:
// with OV_LOGGER_WITH_INIT it also exports brlogInitFunction (which switches logging on, while the
// first-generation names keep it on that generation); without it logging must stay off.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/brlog_abi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void Line(const std::string& text) {
  const char* path = std::getenv("BRISEL_LOG");
  if (path == nullptr) return;
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (fd < 0) return;
  const std::string line = "gen1 " + text + "\n";
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

uintptr_t g_nextHandle = 100;

}  // namespace

#ifdef OV_LOGGER_WITH_INIT
EXPORT void brlogInitFunction(brlog_Context*, const char*, const char* function, int32_t*, uint32_t) {
  Line(std::string("init ") + function);  // must never be called: the first generation is in use
}
#endif

EXPORT uintptr_t brLogEnterFunction_PrepareEx(uintptr_t reserved, const char* module,
                                              const char* function, uint32_t flags) {
  Line("prepareEx " + std::to_string(reserved) + " " + module + " " + function + " " +
       std::to_string(flags));
  return ++g_nextHandle;
}

EXPORT uintptr_t brLogEnterFunction_Prepare(const char* module, const char* function, uint32_t) {
  Line(std::string("prepare ") + module + " " + function);
  return ++g_nextHandle;
}

EXPORT void brLogEnterFunction_Execute(uintptr_t handle) { Line("enter " + std::to_string(handle)); }

EXPORT void brLogLeaveFunction_Prepare(uintptr_t handle, int32_t result) {
  Line("leavePrepare " + std::to_string(handle) + " " + std::to_string(result));
}

EXPORT void brLogLeaveFunction_Execute(uintptr_t handle, int32_t result) {
  Line("leave " + std::to_string(handle) + " " + std::to_string(result));
}

EXPORT void brLogOutput_Prepare(uintptr_t handle, const char* text) {
  Line("outputPrepare " + std::to_string(handle) + " " + text);
}

EXPORT void brLogOutput_Execute(uintptr_t handle, const char* text) {
  Line("output " + std::to_string(handle) + " " + text);
}

EXPORT void brLogBuffer(uintptr_t handle, const char* name, uint32_t kind, const void* data,
                        uint32_t length) {
  std::string value = kind == BRLOG_KIND_NARROW && data
                          ? std::string(static_cast<const char*>(data), length)
                          : std::to_string(length);
  Line("buffer " + std::to_string(handle) + " " + name + " " + std::to_string(kind) + " " + value);
}

EXPORT void brLogNumber(uintptr_t handle, const char* name, uint32_t kind, int32_t value) {
  Line("number " + std::to_string(handle) + " " + name + " " + std::to_string(kind) + " " +
       std::to_string(value));
}
