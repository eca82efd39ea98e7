#include "storage/Ov80Profile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "common/LogFacade.h"
#include "common/SecureMemory.h"
#include "platform/Platform.h"
#include "storage/TokenFile.h"

namespace ov {

Ov80Profile::~Ov80Profile() { SecureWipe(bytes.data(), bytes.size()); }

uint32_t Ov80Profile::U32(std::size_t at) const {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

std::string_view Ov80Profile::Text(std::size_t at, std::size_t width) const {
  const char* p = reinterpret_cast<const char*>(bytes.data() + at);
  return {p, strnlen(p, width)};
}

bool ParseOv80Profile(std::span<const uint8_t> plaintext, Ov80Profile& profile) {
  if (plaintext.size() < kOv80ProfileSize) return false;
  std::copy_n(plaintext.begin(), kOv80ProfileSize, profile.bytes.begin());
  return true;
}

bool OV80ReadData(const std::string& path, Ov80Profile& profile) {
  LogScope log("OVHelper::OV80ReadData");
  log.Text("szFile", path);
  const std::optional<SecureBytes> file = ReadWholeFile(path);
  if (!file) {
    log.Message("Error: Open file failed.");
    log.Number("dwError", errno);
    return log.Return(false);
  }
  // The 8.0 writer used no entropy that is known, so none is given.
  const std::optional<SecureBytes> plain =
      platform::Current().userProtect->Unprotect(*file, std::span<const uint8_t>());
  if (!plain) {
    log.Message("Error: CryptUnprotectData fails");
  } else if (!ParseOv80Profile(*plain, profile)) {
    log.Message("Error: profile record too short");
  }
  return log.Return(true);
}

}  // namespace ov
