// The CLI runner on Windows: orvanti-cli.exe runs detached from any console (so it has no terminal
// to ask on), with standard input from a pipe and its output in files. The library finds its
// application-data folder in the current user's registry, which a child process cannot be given
// as it is given environment variables: each run points the user's "AppData" value at the
// runner's data folder, and the value the user had comes back when the test process ends. The
// Wine prefix the tests run in is their own.
#include "cli/CliRunner.h"

// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>
#include <optional>
#include <stdexcept>

#include "support/TestEnvironment.h"

namespace ov::test {
namespace {

constexpr const char* kShellFolders =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The current user's own key under HKEY_USERS: the test process's HKEY_CURRENT_USER is its
// private one (see TestEnvironment), while a child process sees the user's.
std::string UserKeyName() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    throw std::runtime_error("OpenProcessToken failed");
  }
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  const bool read = GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  char* text = nullptr;
  if (!read || !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                       &text)) {
    throw std::runtime_error("the user's SID could not be read");
  }
  std::string name = text;
  LocalFree(text);
  return name + kShellFolders;
}

class UserAppData {
 public:
  UserAppData() : m_key(UserKeyName()) { m_original = Read(); }
  ~UserAppData() {
    if (m_original) Write(*m_original);
  }
  void Set(const std::filesystem::path& folder) { Write(folder.string()); }

 private:
  std::optional<std::string> Read() const {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_USERS, m_key.c_str(), "AppData", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::string(value);
  }
  void Write(const std::string& value) const {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_USERS, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      throw std::runtime_error("the user's Shell Folders key could not be opened");
    }
    RegSetValueExA(key, "AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
  }

  std::string m_key;
  std::optional<std::string> m_original;
};

UserAppData& AppData() {
  static UserAppData appData;
  return appData;
}

// One argument as the C runtime's parser reads it back: quoted, with the backslashes before a
// quote doubled.
std::string Quote(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

// The environment block of this process with the runner's variables set over it.
std::vector<char> EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> variables;
  char* strings = GetEnvironmentStringsA();
  for (const char* p = strings; *p != '\0'; p += std::strlen(p) + 1) variables.emplace_back(p);
  FreeEnvironmentStringsA(strings);
  for (const std::string& assignment : extra) {
    const std::string name = assignment.substr(0, assignment.find('=') + 1);
    std::erase_if(variables, [&](const std::string& v) { return _strnicmp(v.c_str(), name.c_str(), name.size()) == 0; });
    variables.push_back(assignment);
  }
  std::vector<char> block;
  for (const std::string& v : variables) block.insert(block.end(), v.c_str(), v.c_str() + v.size() + 1);
  block.push_back('\0');
  return block;
}

// The command line as a shell gives it: the test's texts are UTF-8, the system's are wide.
std::wstring WideCommandLine(const std::vector<std::string>& arguments) {
  std::string command;
  for (const std::string& argument : arguments) {
    command += (command.empty() ? "" : " ") + Quote(argument);
  }
  const int length = MultiByteToWideChar(CP_UTF8, 0, command.data(),
                                         static_cast<int>(command.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, command.data(), static_cast<int>(command.size()), wide.data(),
                      length);
  return wide;
}

// Starts the program with the given standard handles; the process's handle comes back.
HANDLE StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::filesystem::path& folder, HANDLE input, HANDLE output,
                    HANDLE error, DWORD flags) {
  std::wstring command = WideCommandLine(argv);
  std::vector<char> environment = EnvironmentBlock(env);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  // Wine now and then fails to make a process with an internal error when many start in a row;
  // the start is tried again then, as cmake/wine-run does for the tests themselves.
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, flags, environment.data(),
                       folder.wstring().c_str(), &startup, &process)) {
      CloseHandle(process.hThread);
      return process.hProcess;
    }
    if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

HANDLE CreateOutputFile(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The console's line ends, as the program's text-mode output writes them, read as "\n".
std::string ReadOutput(const std::filesystem::path& path) {
  std::string text = ReadFile(path);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

int WaitForExitCode(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

// Wine's name for a Windows path in the host's file system.
std::string UnixPath(const std::filesystem::path& path) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) throw std::runtime_error("not running under Wine");
  char* unix = toUnix(std::filesystem::absolute(path).wstring().c_str());
  if (unix == nullptr) throw std::runtime_error("no host path for " + path.string());
  std::string text = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return text;
}

constexpr DWORD kControlCExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT
constexpr UINT kKilledStatus = 137;           // as a shell reports SIGKILL

HANDLE OpenConsole(const char* name) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, OPEN_EXISTING, 0, nullptr);
}

// Everything the console shows, a line per row without the blanks that fill it.
std::string ConsoleText(HANDLE output) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) return "";
  std::string text;
  std::vector<char> row(static_cast<std::size_t>(info.dwSize.X));
  for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
    DWORD read = 0;
    ReadConsoleOutputCharacterA(output, row.data(), static_cast<DWORD>(row.size()), {0, y}, &read);
    std::string line(row.data(), read);
    // The row the cursor is on ends at the cursor, so that a prompt keeps its final blank.
    if (y == info.dwCursorPosition.Y) {
      line.resize(std::min<std::size_t>(line.size(), info.dwCursorPosition.X));
    } else {
      line.erase(line.find_last_not_of(' ') + 1);
    }
    text += line;
    if (y < info.dwCursorPosition.Y) text += "\n";
  }
  return text;
}

// Gives this process a new console whose screen can be read. Wine's consoles work only when its
// desktop process has a display (see scripts/test-windows); without one the screen cannot be read
// and the program would write into nothing.
void MakeWorkingConsole(HANDLE& input, HANDLE& output) {
  FreeConsole();
  if (!AllocConsole()) throw std::runtime_error("AllocConsole failed");
  input = OpenConsole("CONIN$");
  output = OpenConsole("CONOUT$");
  CONSOLE_SCREEN_BUFFER_INFO info{};
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE ||
      !GetConsoleMode(input, &mode) || !GetConsoleScreenBufferInfo(output, &info)) {
    throw std::runtime_error("the console does not work: has Wine's desktop a display?");
  }
}

// The test process's answer to the Ctrl+C it types for the program. A handler, unlike ignoring
// Ctrl+C, is not passed on to the program.
BOOL WINAPI StayOnInterrupt(DWORD) { return TRUE; }

// Types `text` as key presses; "\n" is Enter. "\x03" is Ctrl+C, which the console turns into
// an event for every process attached to it.
void TypeOnConsole(HANDLE input, const std::string& text) {
  for (const char c : text) {
    if (c == '\x03') {
      GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
      continue;
    }
    INPUT_RECORD keys[2]{};
    for (int i = 0; i < 2; ++i) {
      KEY_EVENT_RECORD& key = keys[i].Event.KeyEvent;
      keys[i].EventType = KEY_EVENT;
      key.bKeyDown = i == 0;
      key.wRepeatCount = 1;
      key.uChar.AsciiChar = c == '\n' ? '\r' : c;
      key.wVirtualKeyCode = c == '\n' ? VK_RETURN : 0;
    }
    DWORD written = 0;
    WriteConsoleInputA(input, keys, 2, &written);
  }
}

}  // namespace

// Wine starts a host program, but gives no handle to wait on and no standard streams: the
// script's output goes to a file, put in place whole once the script has ended, and is waited for.
std::string RunPython(const std::string& script, const std::filesystem::path& argument) {
  const auto folder = argument.parent_path();
  const auto scriptFile = folder / "script.py";
  const auto wrapperFile = folder / "wrapper.py";
  const auto resultFile = folder / "script.out";
  std::filesystem::remove(resultFile);
  std::ofstream(scriptFile, std::ios::binary) << script;
  std::ofstream(wrapperFile, std::ios::binary)
      << "import contextlib, io, os, sys\n"
         "script, argument, result = sys.argv[1:4]\n"
         "out = io.StringIO()\n"
         "try:\n"
         "    with contextlib.redirect_stdout(out):\n"
         "        sys.argv = [script, argument]\n"
         "        exec(compile(open(script, encoding='utf-8').read(), script, 'exec'), {})\n"
         "except Exception:\n"
         "    out = io.StringIO()\n"
         "with open(result + '.part', 'w', encoding='utf-8', newline='') as f:\n"
         "    f.write(out.getvalue())\n"
         "os.replace(result + '.part', result)\n";
  std::string command = std::string(OV_TEST_PYTHON3);
  for (const auto& path : {wrapperFile, scriptFile, argument, resultFile}) {
    command += " " + Quote(UnixPath(path));
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return "";
  }
  for (HANDLE handle : {process.hProcess, process.hThread}) {
    if (handle != nullptr) CloseHandle(handle);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(resultFile) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return ReadFile(resultFile);
}

CliRunner::CliRunner(const std::filesystem::path& root) : m_root(root) {
  std::filesystem::create_directories(m_root / "data");
}

std::vector<std::string> CliRunner::Environment() const {
  std::vector<std::string> env;
  for (const auto& [name, value] : m_env) env.push_back(name + "=" + value);
  return env;
}

// The console is this process's own, made afresh for the run, and the program shares it, as a
// program started from a console window does; this process stays when Ctrl+C is typed for the
// program. Wine's consoles work only with a display: the tests skip without one.
CliRunner::TerminalRun CliRunner::RunOnTerminal(const std::vector<std::string>& args,
                                                 const std::vector<TerminalStep>& steps) const {
  TerminalRun run;
  AppData().Set(m_root / "data");
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE output = INVALID_HANDLE_VALUE;
  MakeWorkingConsole(input, output);
  SetConsoleCtrlHandler(StayOnInterrupt, TRUE);
  const HANDLE program =
      StartProgram(Argv(args), Environment(), m_root, input, output, output, 0);
  if (program == nullptr) {
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
  }
  // Waits until the console shows `expect` after `from`, the program ends, or ten seconds pass.
  const auto showUp = [&](const std::string& expect, std::size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      run.transcript = ConsoleText(output);
      if (run.transcript.find(expect, from) != std::string::npos) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (WaitForSingleObject(program, 50) == WAIT_OBJECT_0) {
        run.transcript = ConsoleText(output);
        return run.transcript.find(expect, from) != std::string::npos;
      }
    }
  };
  std::size_t from = 0;
  for (const TerminalStep& step : steps) {
    if (!showUp(step.expect, from)) {
      TerminateProcess(program, 1);
      break;
    }
    from = run.transcript.find(step.expect, from) + step.expect.size();
    TypeOnConsole(input, step.reply);
  }
  WaitForSingleObject(program, 10000);
  DWORD code = 0;
  GetExitCodeProcess(program, &code);
  if (code == STILL_ACTIVE) TerminateProcess(program, 1);
  CloseHandle(program);
  run.status = static_cast<int>(code);
  run.exitCode = code == kControlCExit ? -1 : static_cast<int>(code);
  run.transcript = ConsoleText(output);
  DWORD mode = 0;
  run.echoOnAfterwards = GetConsoleMode(input, &mode) && (mode & ENABLE_ECHO_INPUT) != 0;
  CloseHandle(input);
  CloseHandle(output);
  FreeConsole();
  SetConsoleCtrlHandler(StayOnInterrupt, FALSE);
  return run;
}

CliRunner::Running CliRunner::Start(const std::vector<std::string>& args) const {
  AppData().Set(m_root / "data");
  const int run = ++m_runs;
  const auto out = m_root / ("out." + std::to_string(run));
  const auto err = m_root / ("err." + std::to_string(run));

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE inputRead = nullptr, inputWrite = nullptr;
  if (!CreatePipe(&inputRead, &inputWrite, &inherit, 0)) throw std::runtime_error("CreatePipe");
  SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);

  HANDLE output = INVALID_HANDLE_VALUE;
  if (m_output == Output::File) {
    output = CreateOutputFile(out);
  } else if (m_output == Output::ClosedPipe) {
    HANDLE reader = nullptr;
    if (!CreatePipe(&reader, &output, &inherit, 0)) throw std::runtime_error("CreatePipe");
    CloseHandle(reader);
  } else if (m_output == Output::Full) {
    throw std::runtime_error("Windows has no full device");
  }
  const HANDLE error = CreateOutputFile(err);

  // Detached: no console, so no terminal to ask on, as a process without one on Linux.
  const HANDLE program = StartProgram(Argv(args), Environment(), m_root, inputRead, output, error,
                                      DETACHED_PROCESS);
  CloseHandle(inputRead);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  CloseHandle(error);
  if (program == nullptr) {
    CloseHandle(inputWrite);
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
  }
  return Running(program, inputWrite, out, err);
}

CliRunner::Running::Running(ProcessHandle process, InputHandle input, std::filesystem::path out,
                            std::filesystem::path err)
    : m_process(process), m_input(input), m_out(std::move(out)), m_err(std::move(err)) {}

CliRunner::Running::~Running() {
  if (m_input != nullptr) CloseHandle(m_input);
  if (m_process != nullptr) {
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, INFINITE);
    CloseHandle(m_process);
  }
}

bool CliRunner::Running::KillIfRunning() {
  TerminateProcess(m_process, kKilledStatus);
  WaitForSingleObject(m_process, INFINITE);
  // The status tells whether the kill ended it or it had ended by itself (the call itself
  // succeeds for an ended process under Wine).
  DWORD status = 0;
  const bool killed = GetExitCodeProcess(m_process, &status) && status == kKilledStatus;
  CloseHandle(m_process);
  m_process = nullptr;
  return killed;
}

void CliRunner::Running::Feed(const std::string& input) {
  if (m_input == nullptr) return;
  DWORD written = 0;
  if (!input.empty()) WriteFile(m_input, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  CloseHandle(m_input);
  m_input = nullptr;
}

CliResult CliRunner::Running::Finish(const std::string& input) {
  Feed(input);
  CliResult result;
  result.exitCode = WaitForExitCode(m_process);
  CloseHandle(m_process);
  m_process = nullptr;
  result.out = ReadOutput(m_out);
  result.err = ReadOutput(m_err);
  return result;
}

}  // namespace ov::test
