// The file layer's test seam, for the platform implementations of Files.h.
#pragma once

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/Files.h"

namespace ov::platform {

// False (errno EIO) when a test's observer makes the step fail.
bool Step(FileStep step, const std::string& path);

}  // namespace ov::platform
