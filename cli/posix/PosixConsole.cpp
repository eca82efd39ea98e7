// The terminal is /dev/tty, whatever standard input and output are; echo is switched with
// termios, and the signals that end the process restore it first.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "cli/Console.h"
#include "frontend/LoggerLibrary.h"

namespace ov::cli {

const char* const kLoggerLibraryName = "libbrisel.so";

namespace {

// The terminal whose echo is off and its settings before, for the signal handler.
volatile sig_atomic_t g_echoOffFd = -1;
termios g_savedTermios;

void RestoreEchoAndDie(int signal) {
  const int fd = g_echoOffFd;
  if (fd >= 0) {
    tcsetattr(fd, TCSAFLUSH, &g_savedTermios);
    const char newline = '\n';
    [[maybe_unused]] ssize_t ignored = write(fd, &newline, 1);
  }
  // SIGQUIT's own action would write a core, which holds what was typed so far: the process ends
  // with the status a shell reports for the signal instead.
  if (signal == SIGQUIT) _exit(128 + signal);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

bool ReadByteFrom(int fd, char& c) {
  for (;;) {
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    return got == 1;
  }
}

// A standard stream the caller closed is opened on /dev/null for reading: no file the program
// opens can take its number, and writing to it fails as writing to a closed stream would.
void ReserveStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = open("/dev/null", O_RDONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

}  // namespace

struct Console::Handles {
  int fd = -1;
};

Console::Console() : m_handles(std::make_unique<Handles>()) {
  m_handles->fd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
}

Console::~Console() {
  if (m_handles->fd >= 0) close(m_handles->fd);
}

bool Console::IsOpen() const noexcept { return m_handles->fd >= 0; }

void Console::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(m_handles->fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

bool Console::ReadByte(char& c) { return ReadByteFrom(m_handles->fd, c); }

Console::EchoOff::EchoOff(Console& console) : m_console(console) {
  const int fd = console.m_handles->fd;
  if (tcgetattr(fd, &g_savedTermios) != 0) return;
  termios quiet = g_savedTermios;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
  g_echoOffFd = fd;
  m_active = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
  if (!m_active) g_echoOffFd = -1;
}

Console::EchoOff::~EchoOff() {
  if (!m_active) return;
  // What the user typed ahead for the next question stays.
  tcsetattr(m_console.m_handles->fd, TCSADRAIN, &g_savedTermios);
  g_echoOffFd = -1;
  m_console.Write("\n");
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ToLibraryText(std::string_view text, std::string_view) { return std::string(text); }

std::string FromLibraryText(std::string_view text) { return std::string(text); }

bool ReadStandardInputByte(char& c) { return ReadByteFrom(STDIN_FILENO, c); }

void PrepareProcess() {
  // No core dump and no ptrace by other processes of the user: the process holds typed PINs, keys
  // and the per-user secret.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  ReserveStandardStreams();
  // A reader that went away shows as a write error, reported by main(), not as a silent death.
  signal(SIGPIPE, SIG_IGN);
  // The diagnostic logger, when it lies beside the token library: the library writes its lines
  // through it.
  frontend::LoadLoggerLibrary();
  struct sigaction action {};
  action.sa_handler = RestoreEchoAndDie;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}

}  // namespace ov::cli
