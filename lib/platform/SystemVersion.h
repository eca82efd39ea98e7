// The operating system's version as the enrollment reports it to the server ("major.minor"): the
// kernel release on Linux ("6.1.0-18-amd64" is 6.1), the platform's version query on Windows.
#pragma once

#include <string>

namespace ov::platform {

std::string SystemVersion();

}  // namespace ov::platform
