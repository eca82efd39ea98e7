// The commands of orvanti-cli, each with its options and help.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "cli/Arguments.h"

namespace ov::cli {

struct Command {
  std::string_view name;
  std::string_view usage;    // after "orvanti-cli NAME "
  std::string_view summary;  // one line for the overview
  std::string_view details;  // the rest of the command's help
  std::vector<CommandOption> options;
  std::size_t minArguments = 0;
  std::size_t maxArguments = 0;
  int (*run)(const Arguments&) = nullptr;
};

std::span<const Command> Commands();

}  // namespace ov::cli
