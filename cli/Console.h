// What the CLI needs from the system it runs on: the user's terminal (the controlling terminal, or
// the console on Windows) for questions and for PINs typed without echo, the raw bytes of
// standard input, and the process set-up done before anything else.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ov::cli {

// The terminal, opened for one question. Not open when the process has none.
class Console {
 public:
  Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console();

  bool IsOpen() const noexcept;
  void Write(std::string_view text);
  // The next byte typed; false at the end of the input or on an error.
  bool ReadByte(char& c);

  // Echo off for as long as the object lives. The newline the user typed is not echoed, so one
  // is written when echo comes back. An interrupt while echo is off puts it back first.
  class EchoOff {
   public:
    explicit EchoOff(Console& console);
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff();

   private:
    Console& m_console;
    bool m_active = false;
  };

 private:
  struct Handles;
  std::unique_ptr<Handles> m_handles;
};

// The next byte of standard input, untranslated; false at its end or on an error.
bool ReadStandardInputByte(char& c);

// Done first in main(): keeps the process's secrets out of core dumps and debuggers where the
// system allows it, makes a lost reader show as a write error, loads the diagnostic logger when
// it can be found, and has an interrupt restore the terminal's echo.
void PrepareProcess();

// The CLI works in UTF-8: its arguments, what it prints and what it compares. These convert at the
// edges, and are the identity on Linux, where everything is UTF-8 already.
// The program's arguments, without the program's name (on Windows from the wide command line).
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Text for the library's A functions, whose narrow form is the ANSI code page on Windows. Text
// that code page cannot hold is bad input, named by `what`, rather than a changed name.
std::string ToLibraryText(std::string_view text, std::string_view what);
// Text the A functions gave back, in UTF-8.
std::string FromLibraryText(std::string_view text);

// The diagnostic logging library's file name, for the help text.
extern const char* const kLoggerLibraryName;

}  // namespace ov::cli
