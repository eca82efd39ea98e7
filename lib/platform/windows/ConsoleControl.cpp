#include "platform/windows/ConsoleControl.h"

#include <windows.h>

#include <atomic>

#include "common/LogFacade.h"

namespace ov::platform {

namespace {

std::atomic<const char*> g_logModule{kLibraryLogModule};

}  // namespace

int __stdcall ConsoleControlHandler(unsigned long ctrlType) {
  LogScope log(g_logModule.load(), "CtrlHandler");
  log.Number("fdwCtrlType", static_cast<int32_t>(ctrlType));
  switch (ctrlType) {
    case CTRL_C_EVENT:
    case CTRL_CLOSE_EVENT:
      return log.Return(TRUE);
    default:
      return log.Return(FALSE);
  }
}

bool InstallConsoleControlHandler(const char* logModule) {
  if (logModule != nullptr) g_logModule = logModule;
  LogScope log(g_logModule.load(), "InstallConsoleControlHandler");
  if (!SetConsoleCtrlHandler(ConsoleControlHandler, TRUE)) {
    log.Number("GetLastError", static_cast<int32_t>(GetLastError()));
    return log.Return(false);
  }
  log.Message("SetConsoleCtrlHandler successful");
  return log.Return(true);
}

}  // namespace ov::platform
