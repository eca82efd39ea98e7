#include "cli/Arguments.h"

#include <algorithm>

#include "cli/CliError.h"

namespace ov::cli {

std::optional<std::string> Arguments::Value(std::string_view option) const {
  const auto found = values.find(option);
  if (found == values.end()) return std::nullopt;
  return found->second;
}

Arguments ParseArguments(const std::vector<std::string>& words,
                         const std::vector<CommandOption>& options) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      parsed.positionals.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const CommandOption& o) { return o.name == name; });
    if (option == options.end()) throw CliError(kExitBadInput, "Unknown option " + name + ".");
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        throw CliError(kExitBadInput, "The option " + name + " takes no value.");
      }
      parsed.flags.insert(name);
      continue;
    }
    if (equals != std::string::npos) {
      parsed.values[name] = word.substr(equals + 1);
    } else if (i + 1 < words.size()) {
      parsed.values[name] = words[++i];
    } else {
      throw CliError(kExitBadInput, "The option " + name + " needs a value.");
    }
  }
  return parsed;
}

}  // namespace ov::cli
