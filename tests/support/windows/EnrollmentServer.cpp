// The Windows launcher. Under Wine, CreateProcess starts a Unix program such as the host's Python
// by forking and executing it: the caller gets no process handle to wait on or end, and the
// child's standard streams can only be files (Wine's pipes have no Unix side). So the server is
// given a lifeline instead, a TCP connection to a socket this object listens on at 127.0.0.1: it
// reports "READY <port>" there and exits when the connection closes, which also happens when the
// test process dies. Its own output goes to a file in its folder, shown when it does not start.
//
// Paths handed to the server are converted to the form its system uses (Wine's own conversion);
// on Windows itself, where there is none, they pass unchanged to a Windows Python.
#include "support/EnrollmentServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace ov::test {

namespace {

constexpr int kStartSeconds = 30;
constexpr int kStopSeconds = 5;
// The interpreter that has python3-cryptography (Debian's), as the Unix side names it.
constexpr const char* kHostPython = "/usr/bin/python3";

using UnixFileName = char*(__cdecl*)(const wchar_t*);
using DosFileName = wchar_t*(__cdecl*)(const char*);

template <class Function>
Function WineFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// A path of this process as the server is to be given it.
std::string ServerPath(const std::filesystem::path& path) {
  static const auto toUnix = WineFunction<UnixFileName>("wine_get_unix_file_name");
  if (toUnix == nullptr) return path.string();
  char* unixName = toUnix(path.wstring().c_str());
  if (unixName == nullptr) return path.string();
  std::string result(unixName);
  HeapFree(GetProcessHeap(), 0, unixName);
  return result;
}

// The interpreter as the first word of the command line.
std::wstring Interpreter() {
  static const auto toDos = WineFunction<DosFileName>("wine_get_dos_file_name");
  if (toDos == nullptr) return L"python.exe";
  wchar_t* dosName = toDos(kHostPython);
  if (dosName == nullptr) return L"python.exe";
  std::wstring result(dosName);
  HeapFree(GetProcessHeap(), 0, dosName);
  return result;
}

// One argument of a command line, quoted the way the C runtime (and Wine, for a Unix program)
// splits it again.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Waits until `socket` can be read, at most until `deadline`.
bool Readable(SOCKET socket, std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait{static_cast<long>(left.count() / 1000000),
               static_cast<long>(left.count() % 1000000)};
  return select(0, &set, nullptr, nullptr, &wait) == 1;
}

// Whether the server's output is that of a Python program that gave up (an uncaught exception, a
// refused argument).
bool SaysItFailed(const std::string& output) {
  return output.find("Traceback") != std::string::npos ||
         output.find("error:") != std::string::npos;
}

// A socket no child inherits: the lifeline must close when this process closes it.
SOCKET PrivateSocket() {
  return WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
}

}  // namespace

struct EnrollmentServer::Process {
  Process() {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~Process() {
    if (lifeline != INVALID_SOCKET) {
      // The server exits when it reads the end; its exit closes its side, which is the sign that
      // it is gone and its folder can go too.
      shutdown(lifeline, SD_SEND);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStopSeconds);
      char buffer[64];
      while (Readable(lifeline, deadline) && recv(lifeline, buffer, sizeof buffer, 0) > 0) {
      }
      closesocket(lifeline);
    }
    if (listener != INVALID_SOCKET) closesocket(listener);
    if (started) WSACleanup();
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started = false;
  SOCKET listener = INVALID_SOCKET;
  SOCKET lifeline = INVALID_SOCKET;
};

const char* EnrollmentServer::Host() { return "localhost"; }

EnrollmentServer::EnrollmentServer(const std::vector<std::string>& arguments)
    : m_process(std::make_unique<Process>()) {
  static std::atomic<int> serial{0};
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("ov-enroll-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++));
  std::error_code error;
  if (!std::filesystem::create_directory(folder, error)) {
    m_error = "cannot make the folder " + folder.string();
    return;
  }
  m_folder = folder;

  Process& process = *m_process;
  process.listener = PrivateSocket();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (!process.started || process.listener == INVALID_SOCKET ||
      bind(process.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(process.listener, 1) != 0 ||
      getsockname(process.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    m_error = "cannot listen for the server: " + std::to_string(WSAGetLastError());
    return;
  }

  std::vector<std::string> argv = {
      // The script lies beside the data folder; the server reads it with its own system's paths.
      OV_TEST_DATA_DIR "/../support/enrollment_server.py", "--dir", ServerPath(m_folder),
      "--lifeline", std::to_string(ntohs(address.sin_port))};
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const bool path = i > 0 && arguments[i - 1] == "--users";
    argv.push_back(path ? ServerPath(arguments[i]) : arguments[i]);
  }
  std::wstring commandLine = Quoted(Interpreter());
  for (const auto& argument : argv) commandLine += L" " + Quoted(Widen(argument));

  const std::filesystem::path outputFile = m_folder / "server.out";
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) {
    m_error = "cannot make " + outputFile.string();
    return;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION info{};
  const bool spawned = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
  CloseHandle(output);
  if (!spawned) {
    m_error = "cannot start the enrollment server: " + std::to_string(GetLastError());
    return;
  }
  // Wine hands out nothing for a Unix program; Windows does, and the lifeline is what counts.
  if (info.hThread != nullptr) CloseHandle(info.hThread);
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);

  // Nothing says when a Unix child ends; a server that failed to start has said why in its output
  // (it writes nothing there otherwise), so that is looked at while waiting.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  bool connected = false;
  while (!connected && std::chrono::steady_clock::now() < deadline) {
    const auto slice = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    connected = Readable(process.listener, std::min(deadline, slice));
    if (!connected && SaysItFailed(ReadFile(outputFile))) break;
  }
  std::string line;
  if (connected) {
    process.lifeline = accept(process.listener, nullptr, nullptr);
    SetHandleInformation(reinterpret_cast<HANDLE>(process.lifeline), HANDLE_FLAG_INHERIT, 0);
    char buffer[64];
    while (process.lifeline != INVALID_SOCKET && line.find('\n') == std::string::npos &&
           Readable(process.lifeline, deadline)) {
      const int n = recv(process.lifeline, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      line.append(buffer, static_cast<std::size_t>(n));
    }
  }
  closesocket(process.listener);
  process.listener = INVALID_SOCKET;
  if (line.rfind("READY ", 0) == 0) m_port = std::atoi(line.c_str() + 6);
  if (m_port == 0) {
    m_error = "the enrollment server did not start: " + line + ReadFile(outputFile);
  }
}

EnrollmentServer::~EnrollmentServer() {
  m_process.reset();
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
}

}  // namespace ov::test
