#include <windows.h>

#include <string>

#include "platform/SharedLibrary.h"

namespace ov::platform {

namespace {

std::string LastErrorText(const std::string& name) {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = name + ": cannot be opened (error " + std::to_string(code) + ")";
  if (length != 0 && text != nullptr) {
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
      message.pop_back();
    }
    reason += ": " + message;
  }
  if (text != nullptr) LocalFree(text);
  return reason;
}

bool IsFullPath(const std::string& name) {
  const bool drive = name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
  return drive || name.rfind("\\\\", 0) == 0;
}

}  // namespace

SharedLibrary::SharedLibrary(const std::string& name) : m_name(name) {
  // Names are looked up in the program's folder and the system folders only, never in the current
  // folder or the PATH, where anyone could plant a library of the same name; a library given by
  // its full path may bring its own dependencies from its folder.
  DWORD search = LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
  if (IsFullPath(name)) search |= LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR;
  HMODULE module = LoadLibraryExA(name.c_str(), nullptr, search);
  if (module == nullptr) {
    m_error = LastErrorText(name);
    return;
  }
  // Pinned: see the header. The reference of the load is dropped again by the destructor.
  HMODULE pinned = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(module), &pinned);
  m_handle = module;
}

SharedLibrary::~SharedLibrary() {
  if (m_handle != nullptr) FreeLibrary(static_cast<HMODULE>(m_handle));
}

void* SharedLibrary::Find(const char* symbol) const noexcept {
  if (m_handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), symbol));
}

}  // namespace ov::platform
