// The Linux launcher: the server is a child process of the test, which reads its readiness from
// the child's standard output and ends it with SIGTERM.
#include "support/EnrollmentServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace ov::test {

namespace {

constexpr int kStartSeconds = 30;

}  // namespace

struct EnrollmentServer::Process {
  pid_t pid = -1;
};

const char* EnrollmentServer::Host() { return "127.0.0.1"; }

EnrollmentServer::EnrollmentServer(const std::vector<std::string>& arguments) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ov-enroll-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    m_error = "cannot make a temporary folder";
    return;
  }
  m_folder = pattern;

  std::vector<std::string> argv = {OV_TEST_PYTHON3, OV_TEST_SUPPORT_DIR "/enrollment_server.py",
                                   "--dir", m_folder.string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (auto& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);

  m_process = std::make_unique<Process>();
  pid_t& pid = m_process->pid;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    m_error = "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  const int spawned =
      posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    pid = -1;
    close(pipeFds[0]);
    m_error = "cannot start " + argv[0];
    return;
  }

  // Wait for "READY <port>".
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fd{pipeFds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[64];
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  if (line.rfind("READY ", 0) == 0) m_port = std::atoi(line.c_str() + 6);
  if (m_port == 0) m_error = "the enrollment server did not start: " + line;
}

EnrollmentServer::~EnrollmentServer() {
  if (m_process && m_process->pid > 0) {
    kill(m_process->pid, SIGTERM);
    int status = 0;
    waitpid(m_process->pid, &status, 0);
  }
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
}

}  // namespace ov::test
