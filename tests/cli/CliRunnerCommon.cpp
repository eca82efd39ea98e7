// The parts of the CLI runner that are the same on every system.
#include <gtest/gtest.h>

#include "cli/CliRunner.h"
#include "support/TestEnvironment.h"

namespace ov::test {

std::filesystem::path FreshTestFolder() {
  const auto folder =
      PrivateHome::Root() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::filesystem::remove_all(folder);
  return folder;
}

std::vector<std::string> CliRunner::Argv(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {OV_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

CliResult CliRunner::Run(const std::vector<std::string>& args, const std::string& input) const {
  return Start(args).Finish(input);
}

}  // namespace ov::test
