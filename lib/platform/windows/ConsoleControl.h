// The console control handler of the Windows front ends: Ctrl+C and the closing of the console
// window are handled, so that they do not end the program by themselves; Ctrl+Break, logoff and
// shutdown are left to the next handler (the system's, which ends the process).
//
// A library of its own: the front ends reach the token library only through its public header,
// and they link this beside it.
#pragma once

#include <cstdint>

namespace ov::platform {

// Installs ConsoleControlHandler for the process and logs "SetConsoleCtrlHandler successful" under
// `logModule` when the system took it. False when it did not.
bool InstallConsoleControlHandler(const char* logModule);

// The handler: logs the event type ("fdwCtrlType") and answers whether it was handled (true for
// CTRL_C_EVENT and CTRL_CLOSE_EVENT).
int __stdcall ConsoleControlHandler(unsigned long ctrlType);

}  // namespace ov::platform
