// Named mutexes as Windows mutex objects, created owned under the name itself (the session's
// namespace). A name is taken while any handle to the object is open: the holder keeps the one
// handle, and a second creation of the name, in this process or another, reports that the object
// exists and drops its handle at once. The system closes the handles of a process that dies, so a
// crash never leaves the name taken.
//
// The folder that Acquire receives is not used: every process of the session meets the same
// object by its name alone.
#pragma once

#include "platform/NamedMutex.h"

namespace ov::platform {

class WindowsNamedMutexProvider final : public NamedMutexProvider {
 public:
  Result Acquire(std::string_view name, const std::string& folder) override;
};

}  // namespace ov::platform
