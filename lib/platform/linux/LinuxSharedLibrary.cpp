#include <dlfcn.h>

#include "platform/SharedLibrary.h"

namespace ov::platform {

SharedLibrary::SharedLibrary(const std::string& name) : m_name(name) {
  // Local: the library's symbols must not stand in for anyone else's. No delete: see the header.
  m_handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (m_handle == nullptr) {
    const char* reason = dlerror();
    m_error = reason != nullptr ? reason : name + ": cannot be opened";
  }
}

SharedLibrary::~SharedLibrary() {
  if (m_handle != nullptr) dlclose(m_handle);
}

void* SharedLibrary::Find(const char* symbol) const noexcept {
  return m_handle != nullptr ? dlsym(m_handle, symbol) : nullptr;
}

}  // namespace ov::platform
