// orvanti-cli: Orvanti's command-line front end.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliError.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Terminal.h"

namespace {

using ov::cli::Command;

constexpr const char* kExitCodesHelp =
    "Exit codes:\n"
    "  0  success\n"
    "  1  internal error\n"
    "  2  bad input (arguments, names, PINs, policy strings, challenges)\n"
    "  3  wrong PIN\n"
    "  4  token locked for some minutes after wrong PINs\n"
    "  5  token deactivated after too many wrong PINs\n"
    "  6  no such token\n"
    "  7  the token store is in use by another Orvanti process\n"
    "  8  the token is not in a state that allows the command\n"
    "  9  cancelled\n"
    "  10 automatic enrollment failed (server unreachable, refusing or answering wrongly)\n";

void PrintOverview(std::ostream& out) {
  out << "Usage: orvanti-cli [--help | --version] COMMAND [OPTIONS] [ARGUMENTS]\n\n"
         "Orvanti holds your OTP tokens and gives their one-time passcodes.\n\nCommands:\n";
  for (const Command& command : ov::cli::Commands()) {
    std::string head = "  " + std::string(command.name);
    head.resize(std::max<std::size_t>(head.size() + 2, 18), ' ');
    out << head << command.summary << "\n";
  }
  out << "\n'orvanti-cli COMMAND --help' tells more about a command. PINs and passwords are\n"
         "read from the terminal without echo, or from standard input with --pin-stdin.\n"
         "BRISEL_LOG names a file for diagnostic lines when "
      << ov::cli::kLoggerLibraryName << " can be loaded.\n\n"
      << kExitCodesHelp;
}

void PrintCommandHelp(const Command& command) {
  std::string summary(command.summary);
  summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  std::cout << "Usage: orvanti-cli " << command.name << " " << command.usage << "\n\n"
            << summary << ".\n";
  if (!command.details.empty()) std::cout << "\n" << command.details << "\n";
  if (!command.options.empty()) {
    std::cout << "\nOptions:\n";
    for (const auto& option : command.options) {
      std::string head = "  " + std::string(option.name);
      if (option.takesValue) head += " " + std::string(option.valueName);
      head.resize(std::max<std::size_t>(head.size() + 2, 20), ' ');
      std::cout << head << option.help << "\n";
    }
  }
  std::cout << "  --help            show this help\n\n" << kExitCodesHelp;
}

int Run(const std::vector<std::string>& words) {
  if (words.empty()) {
    PrintOverview(std::cerr);
    return ov::cli::kExitBadInput;
  }
  if (words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
    PrintOverview(std::cout);
    return ov::cli::kExitOk;
  }
  if (words[0] == "--version") {
    std::cout << "orvanti-cli " << OV_CLI_VERSION << "\n";
    return ov::cli::kExitOk;
  }
  const auto commands = ov::cli::Commands();
  const auto command = std::find_if(commands.begin(), commands.end(),
                                    [&](const Command& c) { return c.name == words[0]; });
  if (command == commands.end()) {
    throw ov::cli::CliError(ov::cli::kExitBadInput,
                            "Unknown command " + words[0] + ". See orvanti-cli --help.");
  }
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
    PrintCommandHelp(*command);
    return ov::cli::kExitOk;
  }
  const ov::cli::Arguments args = ov::cli::ParseArguments(rest, command->options);
  if (args.positionals.size() < command->minArguments ||
      args.positionals.size() > command->maxArguments) {
    throw ov::cli::CliError(ov::cli::kExitBadInput, "Usage: orvanti-cli " +
                                                        std::string(command->name) + " " +
                                                        std::string(command->usage));
  }
  return command->run(args);
}

// Whether everything printed reached standard output. A passcode or activation code that was
// lost (a full disk, a reader that went away) must not look like success to a script: the event
// counter has moved on already.
bool OutputWritten(std::string& reason) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && std::cout.good() && std::ferror(stdout) == 0) return true;
  reason = errno != 0 ? std::strerror(errno) : "write error";
  return false;
}

int RunAndReport(const std::vector<std::string>& words) {
  try {
    return Run(words);
  } catch (const ov::cli::CliError& error) {
    std::cout.flush();
    std::cerr << error.what() << "\n";
    return error.Code();
  } catch (const std::exception& error) {
    std::cerr << "orvanti-cli: " << error.what() << "\n";
    return ov::cli::kExitInternal;
  }
}

}  // namespace

int main(int argc, char** argv) {
  ov::cli::PrepareProcess();
  const int code = RunAndReport(ov::cli::ProgramArguments(argc, argv));
  std::string reason;
  if (!OutputWritten(reason)) {
    std::cerr << "orvanti-cli: the output could not be written (" << reason << ").\n";
    return code == ov::cli::kExitOk ? ov::cli::kExitInternal : code;
  }
  return code;
}
