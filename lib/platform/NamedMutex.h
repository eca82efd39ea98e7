// NamedMutex: a lock that one process at a time can hold under a name. The library holds one named
// after its unique ID from initialisation to finalisation, so a second process that initialises
// with the same ID on the same token store is refused. A held lock is released when its handle is
// destroyed or when the process dies, never later.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ov::platform {

class HeldNamedMutex {
 public:
  virtual ~HeldNamedMutex() = default;  // releases the lock
};

class NamedMutexProvider {
 public:
  enum class Outcome {
    Acquired,       // the caller now holds the lock
    AlreadyExists,  // another holder (this process or another) has it
    Failed,         // the lock could not be created
    Unsupported,    // the folder's file system refuses file locks
    Unsafe          // the lock file is a link, not a regular file, or not the user's
  };
  struct Result {
    Outcome outcome = Outcome::Failed;
    std::unique_ptr<HeldNamedMutex> held;  // set only when acquired
    std::string lockFile;                  // the file at fault, for Unsupported and Unsafe
  };

  virtual ~NamedMutexProvider() = default;
  // Creates the named lock and takes it without waiting. `name` is any non-empty text without a
  // slash (names are checked by the caller's token-name rule). `folder` is the folder the lock
  // guards: a platform whose locks are files keeps the lock there, so that every process working
  // on that folder meets the same lock whatever its environment.
  virtual Result Acquire(std::string_view name, const std::string& folder) = 0;
};

}  // namespace ov::platform
