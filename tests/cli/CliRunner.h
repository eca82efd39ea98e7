// Runs the built orvanti-cli as a user would: a separate process with its own data and runtime
// folders, text on standard input, and what it wrote and its exit code collected.
#pragma once

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ov::test {

#ifdef _WIN32
using ProcessHandle = void*;  // the process's HANDLE
using InputHandle = void*;    // the writing end of its standard input
#else
using ProcessHandle = pid_t;
using InputHandle = int;
#endif

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class CliRunner {
 public:
  // Fresh XDG_DATA_HOME and XDG_RUNTIME_DIR under `root`.
  explicit CliRunner(const std::filesystem::path& root);

  CliResult Run(const std::vector<std::string>& args, const std::string& input = "") const;

  // A run whose standard input stays open until Finish: the process waits at its first read.
  class Running {
   public:
    Running(ProcessHandle process, InputHandle input, std::filesystem::path out,
            std::filesystem::path err);
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    ~Running();
    CliResult Finish(const std::string& input);
    // Gives the process its input and closes it, without waiting for the end.
    void Feed(const std::string& input);
    // Ends the process at once (SIGKILL, TerminateProcess); whether it was still running.
    bool KillIfRunning();
#ifndef _WIN32
    // Sends `signal` and returns the wait status of the ended process.
    int Kill(int signal);
    pid_t Pid() const { return m_process; }
#endif

   private:
    ProcessHandle m_process;
    InputHandle m_input;
    std::filesystem::path m_out;
    std::filesystem::path m_err;
  };
  Running Start(const std::vector<std::string>& args) const;

  // A run on a terminal of its own (a pseudo-terminal; on Windows a console, shared with this
  // process): for each step, waits until the output shows `expect`, then types `reply`. The
  // transcript is everything the terminal showed.
  struct TerminalStep {
    std::string expect;
    std::string reply;
  };
  struct TerminalRun {
    int exitCode = -1;  // -1 when a signal (on Windows, Ctrl+C) ended the process
    std::string transcript;
    bool echoOnAfterwards = false;  // the terminal's echo setting when the process had ended
    int status = 0;                 // the wait status
  };
  TerminalRun RunOnTerminal(const std::vector<std::string>& args,
                            const std::vector<TerminalStep>& steps) const;

  // Extra environment for every run (BRISEL_LOG, LD_LIBRARY_PATH, ...).
  void SetEnv(const std::string& name, const std::string& value) { m_env[name] = value; }
  // Later runs may write core files (into Root(), their working folder) as far as the system lets
  // them.
  void AllowCoreDumps() { m_coreDumps = true; }
  // Where standard output of later runs goes: a file the result collects, /dev/full (Linux), a
  // pipe whose reader has gone, or nowhere (closed).
  enum class Output { File, Full, ClosedPipe, Closed };
  void SetOutput(Output output) { m_output = output; }
  const std::filesystem::path& Root() const { return m_root; }

 private:
  std::vector<std::string> Environment() const;
  std::vector<std::string> Argv(const std::vector<std::string>& args) const;
#ifndef _WIN32
  pid_t Spawn(const std::vector<std::string>& args, int input, const std::filesystem::path& out,
              const std::filesystem::path& err) const;
#endif

  std::filesystem::path m_root;
  std::map<std::string, std::string> m_env;
  mutable int m_runs = 0;
  bool m_coreDumps = false;
  Output m_output = Output::File;
};

// Runs `script` with the system's Python 3 (the host's, under Wine) on the file `argument` and
// returns what it printed; empty when it failed.
std::string RunPython(const std::string& script, const std::filesystem::path& argument);

// A folder of its own for the running test, emptied first (a repeated run starts afresh).
std::filesystem::path FreshTestFolder();

#ifndef _WIN32
// The exit code of a finished child, or -1 when a signal ended it.
int WaitForExit(pid_t pid);
// The wait status of a finished child.
int WaitForStatus(pid_t pid);
#endif

}  // namespace ov::test
