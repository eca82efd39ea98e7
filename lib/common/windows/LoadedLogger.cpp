#include "common/LoadedLogger.h"

#include <windows.h>

#include <atomic>

namespace ov {

namespace {

// The loader tells registered callbacks of every library it loads. The facade counts loads that
// way, so a scope without the logger costs one atomic read instead of a lookup by name (which
// under Wine searches the file system and takes most of a millisecond). These are ntdll's entry
// points, found at run time: mingw has no import library for them.
constexpr ULONG kDllLoaded = 1;  // LDR_DLL_NOTIFICATION_REASON_LOADED
using DllNotification = VOID(NTAPI*)(ULONG reason, const void* data, PVOID context);
using RegisterDllNotification = LONG(NTAPI*)(ULONG flags, DllNotification callback, PVOID context,
                                             PVOID* cookie);
using UnregisterDllNotification = LONG(NTAPI*)(PVOID cookie);

std::atomic<unsigned long long> g_loads{0};

VOID NTAPI CountLoad(ULONG reason, const void*, PVOID) {
  if (reason == kDllLoaded) g_loads.fetch_add(1, std::memory_order_relaxed);
}

// Registered once, by the first scope; unregistered when this module goes, since the loader would
// otherwise call into code that is gone after the library holding the facade was freed.
class LoadWatch {
 public:
  LoadWatch() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return;
    const auto registerFn = reinterpret_cast<RegisterDllNotification>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrRegisterDllNotification")));
    m_unregister = reinterpret_cast<UnregisterDllNotification>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnregisterDllNotification")));
    if (registerFn == nullptr || m_unregister == nullptr) return;
    if (registerFn(0, CountLoad, nullptr, &m_cookie) != 0) m_cookie = nullptr;
  }
  LoadWatch(const LoadWatch&) = delete;
  LoadWatch& operator=(const LoadWatch&) = delete;
  ~LoadWatch() {
    if (m_cookie != nullptr) m_unregister(m_cookie);
  }
  bool Active() const noexcept { return m_cookie != nullptr; }

 private:
  UnregisterDllNotification m_unregister = nullptr;
  PVOID m_cookie = nullptr;
};

}  // namespace

unsigned long long LoadGeneration() noexcept {
  static const LoadWatch watch;
  if (!watch.Active()) return kUnknownLoadGeneration;
  return g_loads.load(std::memory_order_relaxed);
}

void* FindLoadedLogger() noexcept {
  // Pinned: whoever loaded the logger may free it, but the facade keeps calling into it.
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, "brisel.dll", &module)) return nullptr;
  return module;
}

void* LoggerSymbol(void* logger, const char* name) noexcept {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(logger), name));
}

}  // namespace ov
