// main() of every test executable: runs the tests in a private temporary home so that no test
// touches the real user's data folder or the named mutexes of a running program, and so that test
// processes running side by side never see each other's files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ov::test::PrivateHome home;
  return RUN_ALL_TESTS();
}
