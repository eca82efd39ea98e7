// The diagnostic log facade. Every function of the library reports its entry and exit, its
// arguments as named values and its error paths as messages through a LogScope on its stack:
//
//   int32_t OVEngine::ValidatePIN(...) {
//     LogScope log("OVEngine::ValidatePIN");
//     log.Number("nBadPinCount", m_nBadPinCount);
//     ...
//     return log.Return(OV_ERR_INVALID_PIN);
//   }
//
// The facade talks to "libbrisel.so" only when that library is already loaded in the process
// (the front ends load it first thing; a copy on the library path switches logging on). Without it
// every operation costs one pointer test, and the lookup is retried at each new scope until the
// library appears. Logging never changes behaviour and never reports an error. Secrets (PINs,
// passwords, keys, seeds) are never given to a scope.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/brlog_abi.h"

namespace ov {

// The module name that the library's scopes report; front ends pass their own.
inline constexpr const char* kLibraryLogModule = "libovcore";

struct BrlogTable;

class LogScope {
 public:
  explicit LogScope(const char* function) noexcept : LogScope(kLibraryLogModule, function) {}
  LogScope(const char* module, const char* function) noexcept;
  ~LogScope();
  LogScope(const LogScope&) = delete;
  LogScope& operator=(const LogScope&) = delete;

  void Number(const char* name, int32_t value) noexcept { Value(name, BRLOG_KIND_NUMBER, value); }
  void BitMask(const char* name, int32_t value) noexcept { Value(name, BRLOG_KIND_BITMASK, value); }
  void Text(const char* name, const char* text) noexcept;
  void Text(const char* name, std::string_view text) noexcept;
  void Wide(const char* name, const wchar_t* text) noexcept;
  void Message(const char* text) noexcept;

  // Stores the result that the exit report shows, and hands it back for `return`.
  int32_t Return(int32_t result) noexcept {
    m_result = result;
    return result;
  }

  // True while this scope reports to a logging library.
  bool Enabled() const noexcept { return m_context.result != nullptr; }

 private:
  void Value(const char* name, uint32_t kind, int32_t value) noexcept;

  brlog_Context m_context;
  int32_t m_result = 0;
  const BrlogTable* m_table = nullptr;
};

}  // namespace ov
