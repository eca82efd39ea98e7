#include "CliRunner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "support/TestEnvironment.h"

namespace ov::test {
namespace {

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// execve's null-terminated arrays over texts that outlive them.
struct ExecArguments {
  ExecArguments(std::vector<std::string> arguments, std::vector<std::string> environment)
      : args(std::move(arguments)), env(std::move(environment)) {
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
  std::vector<std::string> args, env;
  std::vector<char*> argv, envp;
};

// In the child before exec: core files into `folder` up to the hard limit.
void EnableCoreDumps(const std::filesystem::path& folder) {
  rlimit limit{};
  getrlimit(RLIMIT_CORE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_CORE, &limit);
  if (chdir(folder.c_str()) != 0) _exit(126);
}

}  // namespace

std::string RunPython(const std::string& script, const std::filesystem::path& argument) {
  const auto scriptFile = argument.parent_path() / "script.py";
  std::ofstream(scriptFile, std::ios::binary) << script;
  const std::string command =
      std::string(OV_TEST_PYTHON3) + " '" + scriptFile.string() + "' '" + argument.string() + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

int WaitForStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

int WaitForExit(pid_t pid) {
  const int status = WaitForStatus(pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliRunner::CliRunner(const std::filesystem::path& root) : m_root(root) {
  std::filesystem::create_directories(m_root / "data");
  std::filesystem::create_directories(m_root / "run");
  std::filesystem::permissions(m_root / "run", std::filesystem::perms::owner_all);
}

std::vector<std::string> CliRunner::Environment() const {
  std::vector<std::string> env = {"XDG_DATA_HOME=" + (m_root / "data").string(),
                                  "XDG_RUNTIME_DIR=" + (m_root / "run").string(),
                                  "HOME=" + m_root.string(), "PATH=/usr/bin:/bin"};
  for (const char* passOn : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(passOn)) env.push_back(std::string(passOn) + "=" + value);
  }
  for (const auto& [name, value] : m_env) env.push_back(name + "=" + value);
  return env;
}

pid_t CliRunner::Spawn(const std::vector<std::string>& args, int input,
                       const std::filesystem::path& out, const std::filesystem::path& err) const {
  ExecArguments exec(Argv(args), Environment());

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // No controlling terminal: the CLI must not find one to ask on.
    setsid();
    int o = -1;
    if (m_output == Output::Full) {
      o = open("/dev/full", O_WRONLY);
    } else if (m_output == Output::ClosedPipe) {
      int ends[2];
      if (pipe(ends) != 0) _exit(126);
      close(ends[0]);
      o = ends[1];
    } else {
      o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(input, STDIN_FILENO);
    dup2(o, STDOUT_FILENO);
    dup2(e, STDERR_FILENO);
    if (m_output == Output::Closed) close(STDOUT_FILENO);
    // As a shell starts a pipeline's programs, whatever this process ignores.
    signal(SIGPIPE, SIG_DFL);
    if (m_coreDumps) EnableCoreDumps(m_root);
    execve(exec.argv[0], exec.argv.data(), exec.envp.data());
    _exit(127);
  }
  return pid;
}

CliRunner::TerminalRun CliRunner::RunOnTerminal(const std::vector<std::string>& args,
                                                 const std::vector<TerminalStep>& steps) const {
  ExecArguments exec(Argv(args), Environment());

  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    if (m_coreDumps) EnableCoreDumps(m_root);
    execve(exec.argv[0], exec.argv.data(), exec.envp.data());
    _exit(127);
  }
  TerminalRun run;
  // Reads what the terminal shows until `expect` appears after `from`, the process ends, or ten
  // seconds pass.
  auto readUntil = [&](const std::string& expect, std::size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (expect.empty() || run.transcript.find(expect, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd poller{master, POLLIN, 0};
      if (poll(&poller, 1, 100) <= 0) continue;
      char buffer[512];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) return false;  // EIO: the process and its terminal are gone
      run.transcript.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  };
  std::size_t from = 0;
  for (const TerminalStep& step : steps) {
    if (!readUntil(step.expect, from)) {
      // The program did not ask what was expected: it may be waiting for something else.
      kill(pid, SIGKILL);
      break;
    }
    from = run.transcript.find(step.expect, from) + step.expect.size();
    WriteAll(master, step.reply);
  }
  run.status = WaitForStatus(pid);
  run.exitCode = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
  readUntil("", 0);
  termios settings{};
  run.echoOnAfterwards = tcgetattr(master, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
  close(master);
  return run;
}

CliRunner::Running CliRunner::Start(const std::vector<std::string>& args) const {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const int run = ++m_runs;
  const auto out = m_root / ("out." + std::to_string(run));
  const auto err = m_root / ("err." + std::to_string(run));
  const pid_t pid = Spawn(args, pipeFds[0], out, err);
  close(pipeFds[0]);
  return Running(pid, pipeFds[1], out, err);
}

CliRunner::Running::Running(ProcessHandle pid, InputHandle input, std::filesystem::path out,
                            std::filesystem::path err)
    : m_process(pid), m_input(input), m_out(std::move(out)), m_err(std::move(err)) {}

CliRunner::Running::~Running() {
  if (m_input >= 0) close(m_input);
  if (m_process > 0) {
    kill(m_process, SIGKILL);
    WaitForExit(m_process);
  }
}

int CliRunner::Running::Kill(int signal) {
  kill(m_process, signal);
  const int status = WaitForStatus(m_process);
  m_process = -1;
  return status;
}

bool CliRunner::Running::KillIfRunning() { return WIFSIGNALED(Kill(SIGKILL)); }

void CliRunner::Running::Feed(const std::string& input) {
  if (m_input < 0) return;
  signal(SIGPIPE, SIG_IGN);
  WriteAll(m_input, input);
  close(m_input);
  m_input = -1;
}

CliResult CliRunner::Running::Finish(const std::string& input) {
  Feed(input);
  CliResult result;
  result.exitCode = WaitForExit(m_process);
  m_process = -1;
  result.out = ReadFile(m_out);
  result.err = ReadFile(m_err);
  return result;
}

}  // namespace ov::test
