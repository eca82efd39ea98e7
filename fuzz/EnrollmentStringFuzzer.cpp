// Enrollment strings arrive on the command line and through the clipboard: any bytes at all.
// Besides not crashing: padding only ever appends "=", decoding never yields more than the text's
// length implies, and no parsed key or value spans a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "frontend/EnrollmentString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto padded = ov::frontend::CheckIfBase64Relaxed(text)) {
    if (!padded->starts_with(text) || padded->size() > size + 2 || !ov::frontend::IsBase64(*padded) ||
        padded->find_first_not_of('=', size) != std::string::npos) {
      std::abort();
    }
  }
  if (ov::frontend::DecodeBase64(text).size() > (size + 3) / 4 * 3) std::abort();
  for (const auto& [key, value] : ov::frontend::ParseConnectionString(text)) {
    if (key.find('\n') != std::string::npos || value.find('\n') != std::string::npos ||
        key.find('=') != std::string::npos) {
      std::abort();
    }
  }
  if (const auto parsed = ov::frontend::ParseEnrollmentString(text)) {
    if (parsed->url.find('\n') != std::string::npos) std::abort();
  }
  return 0;
}
