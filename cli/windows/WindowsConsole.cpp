// The terminal is the process's console ("CONIN$" and "CONOUT$"), whatever standard input and
// output are; echo is switched with the console's input mode, and Ctrl+C, Ctrl+Break and closing
// the console restore it before the process ends.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>

#include "cli/CliError.h"
#include "cli/Console.h"

namespace ov::cli {

const char* const kLoggerLibraryName = "brisel.dll";

namespace {

constexpr UINT kInterruptedStatus = 0xC000013A;  // STATUS_CONTROL_C_EXIT

// The console input whose echo is off and its mode before, for the control handler, which runs on
// a thread of its own.
std::atomic<HANDLE> g_echoOffInput{nullptr};
std::atomic<HANDLE> g_echoOffOutput{nullptr};
std::atomic<DWORD> g_savedMode{0};
// The console's output code page before the program set UTF-8, given back when it ends.
std::atomic<UINT> g_savedOutputCodePage{0};

void RestoreOutputCodePage() {
  if (const UINT codePage = g_savedOutputCodePage.exchange(0); codePage != 0) {
    SetConsoleOutputCP(codePage);
  }
}

std::wstring Widen(std::string_view text, UINT codePage, DWORD flags) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
  return wide;
}

// `lossy` tells whether a character had no form in the code page.
std::string Narrow(std::wstring_view text, UINT codePage, bool* lossy) {
  if (text.empty()) return {};
  BOOL usedDefault = FALSE;
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* defaultUsed = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, defaultUsed);
  if (length <= 0) return {};
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), size, narrow.data(), length, nullptr,
                      defaultUsed);
  if (lossy != nullptr) *lossy = usedDefault != FALSE;
  return narrow;
}

void WriteTo(HANDLE output, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0) {
      return;
    }
    text.remove_prefix(written);
  }
}

BOOL WINAPI RestoreEchoOnInterrupt(DWORD event) {
  const HANDLE input = g_echoOffInput.exchange(nullptr);
  if (input != nullptr) {
    SetConsoleMode(input, g_savedMode.load());
    WriteTo(g_echoOffOutput.load(), "\r\n");
  }
  // Ctrl+C and Ctrl+Break end the process as the system's own handler means to, with the status
  // that tells a script it was interrupted (Wine's handler would report success), and without
  // running the library's clean-up on another thread while the main one is inside a call. Closing
  // the console, logging off and shutting down are left to the system.
  RestoreOutputCodePage();
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    TerminateProcess(GetCurrentProcess(), kInterruptedStatus);
  }
  return FALSE;
}

bool ReadByteFrom(HANDLE handle, char& c) {
  DWORD got = 0;
  return ReadFile(handle, &c, 1, &got, nullptr) && got == 1;
}

HANDLE OpenConsoleFile(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

struct Console::Handles {
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE output = INVALID_HANDLE_VALUE;
};

Console::Console() : m_handles(std::make_unique<Handles>()) {
  m_handles->input = OpenConsoleFile("CONIN$");
  m_handles->output = OpenConsoleFile("CONOUT$");
  // A handle that is not a console's (no console attached) does not count.
  DWORD mode = 0;
  if (m_handles->input != INVALID_HANDLE_VALUE && !GetConsoleMode(m_handles->input, &mode)) {
    CloseHandle(m_handles->input);
    m_handles->input = INVALID_HANDLE_VALUE;
  }
}

Console::~Console() {
  for (HANDLE handle : {m_handles->input, m_handles->output}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
}

bool Console::IsOpen() const noexcept {
  return m_handles->input != INVALID_HANDLE_VALUE && m_handles->output != INVALID_HANDLE_VALUE;
}

void Console::Write(std::string_view text) { WriteTo(m_handles->output, text); }

// In line mode the console hands out the line typed byte by byte, ending with "\r\n".
bool Console::ReadByte(char& c) { return ReadByteFrom(m_handles->input, c); }

Console::EchoOff::EchoOff(Console& console) : m_console(console) {
  const HANDLE input = console.m_handles->input;
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) return;
  // Line editing and Ctrl+C stay as they are; only what is typed is not shown.
  g_savedMode = mode;
  g_echoOffOutput = console.m_handles->output;
  g_echoOffInput = input;
  m_active = SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != FALSE;
  if (!m_active) g_echoOffInput = nullptr;
}

Console::EchoOff::~EchoOff() {
  if (!m_active) return;
  // The handler may have put the mode back already, on its way to ending the process.
  if (g_echoOffInput.exchange(nullptr) == nullptr) return;
  SetConsoleMode(m_console.m_handles->input, g_savedMode.load());
  m_console.Write("\r\n");
}

std::vector<std::string> ProgramArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(wide[i], CP_UTF8, nullptr));
  LocalFree(wide);
  return arguments;
}

std::string ToLibraryText(std::string_view text, std::string_view what) {
  bool lossy = false;
  std::string narrow = Narrow(Widen(text, CP_UTF8, 0), CP_ACP, &lossy);
  if (lossy) {
    throw CliError(kExitBadInput,
                   std::string(what) + " has characters that this system's code page cannot hold.");
  }
  return narrow;
}

std::string FromLibraryText(std::string_view text) {
  return Narrow(Widen(text, CP_ACP, 0), CP_UTF8, nullptr);
}

bool ReadStandardInputByte(char& c) { return ReadByteFrom(GetStdHandle(STD_INPUT_HANDLE), c); }

void PrepareProcess() {
  // No error dialog for a crash: the process holds typed PINs and keys, and nobody is there to
  // answer a dialog from a script.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  // What the program prints is UTF-8; a console shows it as such while the program runs.
  if (const UINT codePage = GetConsoleOutputCP(); codePage != 0 && codePage != CP_UTF8 &&
                                                  SetConsoleOutputCP(CP_UTF8)) {
    g_savedOutputCodePage = codePage;
    std::atexit(RestoreOutputCodePage);
  }
  // The diagnostic logger, when a copy is on the DLL search path.
  LoadLibraryW(L"brisel.dll");
  SetConsoleCtrlHandler(RestoreEchoOnInterrupt, TRUE);
}

}  // namespace ov::cli
