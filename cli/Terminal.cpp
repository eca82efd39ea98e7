#include "cli/Terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "cli/CliError.h"

namespace ov::cli {
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

class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (m_fd >= 0) close(m_fd);
  }
  int get() const noexcept { return m_fd; }

 private:
  int m_fd;
};

// Echo off for as long as the object lives; the newline the user typed is not echoed, so one is
// written when echo comes back.
class EchoOff {
 public:
  explicit EchoOff(int fd) : m_fd(fd) {
    if (tcgetattr(fd, &g_savedTermios) != 0) return;
    termios quiet = g_savedTermios;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    g_echoOffFd = fd;
    m_active = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    if (!m_active) g_echoOffFd = -1;
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  ~EchoOff() {
    if (!m_active) return;
    // What the user typed ahead for the next question stays.
    tcsetattr(m_fd, TCSADRAIN, &g_savedTermios);
    g_echoOffFd = -1;
    [[maybe_unused]] ssize_t ignored = write(m_fd, "\n", 1);
  }

 private:
  int m_fd;
  bool m_active = false;
};

Fd OpenTerminal() { return Fd(open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)); }

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Reads one line byte by byte, so that nothing after it is consumed from a shared input. Returns
// false at the end of the input with nothing read. A carriage return before the newline is
// dropped; characters past the limit are read and dropped.
template <typename Sink>
bool ReadLineFrom(int fd, Sink&& append) {
  bool any = false;
  bool pendingReturn = false;
  for (;;) {
    char c = 0;
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    any = true;
    if (c == '\n') break;
    if (pendingReturn) append('\r');
    pendingReturn = c == '\r';
    if (!pendingReturn) append(c);
  }
  return any;
}

}  // namespace

Secret::Secret(std::size_t capacity) : m_capacity(capacity) { m_text.reserve(capacity); }
// Moving takes over the buffer itself: no copy of the text is left behind.
Secret::Secret(Secret&& other) noexcept
    : m_text(std::move(other.m_text)), m_capacity(other.m_capacity) {
  other.m_text = std::string();
}
Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    Clear();
    m_text.swap(other.m_text);
    m_capacity = other.m_capacity;
  }
  return *this;
}
Secret::~Secret() { Clear(); }

void Secret::Append(char c) {
  if (m_text.size() < m_capacity) m_text.push_back(c);
}

void Secret::Clear() {
  explicit_bzero(m_text.data(), m_text.capacity());
  m_text.clear();
}

Secret Prompter::ReadStandardInputLine(std::size_t capacity) {
  Secret secret(capacity);
  if (!ReadLineFrom(STDIN_FILENO, [&secret](char c) { secret.Append(c); })) {
    throw CliError(kExitBadInput, "Standard input ended before the expected line.");
  }
  return secret;
}

Secret Prompter::ReadSecret(std::string_view prompt) {
  if (m_secretsFromStdin) return ReadStandardInputLine();
  Secret secret;
  auto append = [&secret](char c) { secret.Append(c); };
  const Fd tty = OpenTerminal();
  if (tty.get() < 0) {
    throw CliError(kExitBadInput,
                   "There is no terminal to ask on: pass the answer on standard input with "
                   "--pin-stdin or --password-stdin.");
  }
  // Echo goes off before the prompt shows: switching it off discards what was typed before, so
  // nothing typed after the prompt may come before the switch.
  const EchoOff quiet(tty.get());
  WriteAll(tty.get(), prompt);
  WriteAll(tty.get(), ": ");
  ReadLineFrom(tty.get(), append);
  return secret;
}

std::string Prompter::ReadLine(std::string_view prompt) {
  const Fd tty = OpenTerminal();
  if (tty.get() < 0) {
    throw CliError(kExitBadInput, std::string("There is no terminal to ask for the ") +
                                      std::string(prompt) + "; give it as an option.");
  }
  WriteAll(tty.get(), prompt);
  WriteAll(tty.get(), ": ");
  std::string line;
  ReadLineFrom(tty.get(), [&line](char c) { line.push_back(c); });
  return line;
}

bool Prompter::Confirm(std::string_view question) {
  const Fd tty = OpenTerminal();
  if (tty.get() < 0) return false;
  WriteAll(tty.get(), question);
  WriteAll(tty.get(), " [y/N] ");
  std::string line;
  ReadLineFrom(tty.get(), [&line](char c) { line.push_back(c); });
  return line == "y" || line == "Y" || line == "yes" || line == "Yes";
}

bool Prompter::CanAsk() const {
  if (m_secretsFromStdin) return false;
  return OpenTerminal().get() >= 0;
}

void InstallTerminalSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = RestoreEchoAndDie;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}

}  // namespace ov::cli
