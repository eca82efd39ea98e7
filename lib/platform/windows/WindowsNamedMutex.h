// Named mutexes as Windows mutex objects, created owned under the name itself (the session's
// namespace). A name is taken while any handle to the object is open: the holder keeps the one
// handle, and a second creation of the name, in this process or another, reports that the object
// exists and drops its handle at once. The system closes the handles of a process that dies, so a
// crash never leaves the name taken.
//
// The mutex's name reaches only the processes of one session. The same user's processes in other
// sessions (a scheduled task beside the desktop) would not meet it, so the holder also keeps an
// exclusive LockFileEx on "<name>.lock" in the folder the lock guards (the token store's own),
// taken without waiting and held as long as the mutex. Either one taken elsewhere means "already
// exists". The system drops both when the process dies.
#pragma once

#include "platform/NamedMutex.h"

namespace ov::platform {

class WindowsNamedMutexProvider final : public NamedMutexProvider {
 public:
  Result Acquire(std::string_view name, const std::string& folder) override;
};

}  // namespace ov::platform
