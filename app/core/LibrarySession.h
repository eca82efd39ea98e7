// The token library for the application's run, and the check of an enrollment string handed to
// the program.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/core/Text.h"

namespace ov::app {

// True for a valid enrollment string (its padding may be cut off).
bool IsEnrollmentString(std::string_view text);

// The token library for the application's run: initialised under the application's name, the
// one-time import of an older token, and on the way out the open token, the library and the
// shared values released.
class LibrarySession {
 public:
  LibrarySession() = default;
  ~LibrarySession() { shutdown(); }
  LibrarySession(const LibrarySession&) = delete;
  LibrarySession& operator=(const LibrarySession&) = delete;

  // The library's result.
  int32_t initialize();
  // Imports an older token under a name no token has, where there is room for one more.
  int32_t importLegacyToken();
  void shutdown();
  bool initialized() const { return m_initialized; }

  // The box for a refused initialisation: what is wrong with the store and how to mend it; that
  // another copy holds the store (204); or the general error (213).
  static Text FailureText(int32_t result);

 private:
  bool m_initialized = false;
};

}  // namespace ov::app
