// UserProtect on Windows: the data protection API, bound to the current Windows user (flags 0,
// not to the machine), with the entropy as its optional entropy and the description text
// "This is the description string." in every blob. The bytes are sealed exactly as given and come
// back exactly so: the convention of sealing the data followed by one zero byte belongs to the
// callers, which apply it on every platform, so blobs written by earlier programs keep their
// bytes.
//
// What it protects against and what not is the system's business: it keeps out other users and
// other machines, not programs that run as the same user.
#pragma once

#include "platform/UserProtect.h"

namespace ov::platform {

class WindowsUserProtect final : public UserProtect {
 public:
  static constexpr const wchar_t* kDescription = L"This is the description string.";

  std::optional<std::vector<uint8_t>> Protect(std::span<const uint8_t> data,
                                              std::span<const uint8_t> entropy) override;
  std::optional<SecureBytes> Unprotect(std::span<const uint8_t> blob,
                                       std::span<const uint8_t> entropy) override;
};

}  // namespace ov::platform
