// What the front ends say when the library refuses the token store at start: which folder or file
// is at fault and how to mend it. The library names the path (OV_GetStoreProblemA); this turns it
// into the message both front ends show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ov/ov_api.h"

namespace ov::frontend {

// The message for result `code` of OV_Initialize* (OV_ERR_STORE_NOT_PRIVATE,
// OV_ERR_USER_SECRET_MISSING, OV_ERR_FILE_LOCKING_UNSUPPORTED) about `path`, with `fault` an
// OVStoreFault; empty for any other code. The path is shown escaped as names are.
std::string StoreProblemText(int32_t code, std::string_view path, int32_t fault);

// True for the codes StoreProblemText explains.
bool IsStoreProblem(int32_t code);

// The message for `code`, with the path and fault the library reports. Inline: only the front
// ends, which link the library, call it.
inline std::string StoreProblemMessage(int32_t code) {
  std::vector<char> path(1);
  auto length = static_cast<int32_t>(path.size());
  int32_t fault = 0;
  int32_t result = OV_GetStoreProblemA(path.data(), &length, &fault);
  if (result == OV_ERR_BUFFER_TOO_SMALL && length > 0) {
    path.resize(static_cast<std::size_t>(length));
    result = OV_GetStoreProblemA(path.data(), &length, &fault);
  }
  return StoreProblemText(code, result == OV_OK ? path.data() : "", fault);
}

}  // namespace ov::frontend
