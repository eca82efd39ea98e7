// UserProtect: protection of data bound to the current user, with an extra entropy value that must
// be given again to open it. Token files on the machine drive keep their name, information and
// seed in such blobs, so a copy of the files taken to another account or machine cannot be read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/SecureMemory.h"

namespace ov::platform {

class UserProtect {
 public:
  virtual ~UserProtect() = default;
  // Seals `data` to this user and `entropy`; nullopt when it cannot.
  virtual std::optional<std::vector<uint8_t>> Protect(std::span<const uint8_t> data,
                                                      std::span<const uint8_t> entropy) = 0;
  // Opens a blob of Protect. nullopt for a blob of another user, another entropy, or one that was
  // changed or cut short.
  virtual std::optional<SecureBytes> Unprotect(std::span<const uint8_t> blob,
                                               std::span<const uint8_t> entropy) = 0;
  // True when the user's secret exists but is refused (not private to the user, or unreadable):
  // nothing can be opened until it is fixed, and no blob should be taken for damaged meanwhile.
  virtual bool IsSecretRefused() { return false; }
  // The file of the user's secret when the platform keeps one among the user's files (empty when
  // the system keeps it): its folder must be as private as the token store's.
  virtual std::string SecretFile() { return {}; }
  // True when that file is not there (yet): the first Protect would make a new one.
  virtual bool IsSecretMissing() { return false; }
};

}  // namespace ov::platform
