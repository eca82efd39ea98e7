// SharedLibrary: a library opened while the program runs, for a dependency that only a few
// operations need, so that a program linking the token library does not load it (and everything
// it brings along) at every start. Functions are found by name; the caller gives each the type
// its own header declares.
//
// A library once opened stays mapped until the process ends, even after its last holder is gone:
// libraries such as the HTTP stack leave exit handlers and thread-local destructors behind that
// would otherwise run in unmapped code.
#pragma once

#include <string>

namespace ov::platform {

class SharedLibrary {
 public:
  // Opens `name` (a file name looked up on the library path, or a path) and binds all of its
  // symbols at once, so that a broken installation shows here instead of ending the process at
  // the first call. IsOpen() tells whether it worked and Error() why not.
  explicit SharedLibrary(const std::string& name);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool IsOpen() const noexcept { return m_handle != nullptr; }
  const std::string& Name() const noexcept { return m_name; }
  // The loader's reason when the library could not be opened; empty otherwise.
  const std::string& Error() const noexcept { return m_error; }

  // The address of the function `symbol`, or nullptr when the library has none of that name (or
  // is not open).
  void* Find(const char* symbol) const noexcept;

  // The same, as a pointer of the type the caller's header declares.
  template <class Fn>
  Fn Function(const char* symbol) const noexcept {
    return reinterpret_cast<Fn>(Find(symbol));
  }

 private:
  std::string m_name;
  std::string m_error;
  void* m_handle = nullptr;
};

}  // namespace ov::platform
