// How the log facade finds the diagnostic logging library in its own process: it never loads the
// library, it only binds to it once something else (a front end, a test) has. Each platform answers
// these from its loader; the facade's binding and call rules are the same everywhere.
#pragma once

namespace ov {

// The load generation a platform reports when it cannot count loads: every lookup is then made.
inline constexpr unsigned long long kUnknownLoadGeneration = ~0ull;

// A number that changes whenever the process loads another library, so that a lookup that found
// nothing is repeated only after a load; kUnknownLoadGeneration where that cannot be told cheaply.
unsigned long long LoadGeneration() noexcept;

// The logging library when the process has loaded it, held so that it stays loaded for the life
// of the process (the facade keeps its entry points); nullptr otherwise. Runs at every new scope
// until it succeeds, so it never searches the file system.
void* FindLoadedLogger() noexcept;

// The address of `name` in the library FindLoadedLogger returned; nullptr when it has none.
void* LoggerSymbol(void* logger, const char* name) noexcept;

}  // namespace ov
