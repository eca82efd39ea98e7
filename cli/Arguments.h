// The command line: `orvanti-cli [--help | --version] COMMAND [OPTIONS] [ARGUMENTS]`. Options may
// stand before, between or after the arguments; "--" ends them, for names that start with "-".
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ov::cli {

struct CommandOption {
  std::string_view name;   // "--policy"
  bool takesValue = false;
  std::string_view valueName;  // "STRING", shown in the help
  std::string_view help;
};

struct Arguments {
  std::vector<std::string> positionals;
  std::set<std::string, std::less<>> flags;
  std::map<std::string, std::string, std::less<>> values;

  bool Has(std::string_view flag) const { return flags.contains(flag); }
  std::optional<std::string> Value(std::string_view option) const;
};

// Parses the arguments after the command against its options. An unknown option, a missing value
// or a value given to a flag is bad input (CliError).
Arguments ParseArguments(const std::vector<std::string>& words,
                         const std::vector<CommandOption>& options);

}  // namespace ov::cli
