// The application's own diagnostic lines go through the library's log facade under the module name
// "orvanti"; like the library, they never carry a PIN, password, passcode or enrollment string.
#pragma once

#include "common/LogFacade.h"

namespace ov::app {

inline constexpr const char* kAppLogModule = "orvanti";

class AppLog : public LogScope {
 public:
  explicit AppLog(const char* function) noexcept : LogScope(kAppLogModule, function) {}
};

}  // namespace ov::app
