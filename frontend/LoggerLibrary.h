// The optional diagnostic logger of the front ends (libbrisel.so).
#pragma once

namespace ov::frontend {

// Loads the logger from the folder that holds the token library the program runs with, by its
// full path, and ignores its absence. A bare name would let the loader search further folders,
// the current one among them when a search path holds an empty entry, and run whatever library
// of that name lies there.
void LoadLoggerLibrary() noexcept;

}  // namespace ov::frontend
