// Overwrites memory that held a PIN, a password or a passcode, in a way the compiler may not drop
// as a dead store (a plain memset before the memory goes may vanish from the program).
#pragma once

#include <cstddef>

namespace ov::frontend {

void WipeBytes(void* data, std::size_t size) noexcept;

}  // namespace ov::frontend
