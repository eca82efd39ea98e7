// The log facade with each kind of logging library: none loaded, the second generation (our
// libbrisel.so), a first-generation library with brlogInitFunction (logging on, first generation
// used) and one without it (logging off). Each case runs in a child process, because a logging
// library once found stays bound for the life of the process.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "common/LogFacade.h"
#include "ov/ov_api.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;

void ThrowingFunction() {
  ov::LogScope log("LogTest::Throws");
  log.Number("answer", 42);
  throw std::runtime_error("unwinding");
}

// In a child process: loads `logger` (if any), makes a few library calls and exits 0 when they
// answered as they do without logging. Returns the log file's text.
std::string RunCalls(const char* logger) {
  const fs::path logFile = ov::test::PrivateHome::Root() / "brisel.log";
  fs::remove(logFile);
  const pid_t child = fork();
  if (child == 0) {
    setenv("BRISEL_LOG", logFile.c_str(), 1);
    if (logger != nullptr && dlopen(logger, RTLD_NOW | RTLD_GLOBAL) == nullptr) _exit(10);
    bool ok = OV_InitializeA("ab", 0) == OV_ERR_INVALID_PARAM;
    ok = ok && OV_InitializeW(L"klsa_ga_8_2", 0) == OV_OK;
    ok = ok && OV_Finalize() == OV_OK;
    try {
      ThrowingFunction();
      ok = false;
    } catch (const std::runtime_error&) {
    }
    {
      ov::LogScope log("LogTest::Values");
      log.BitMask("mode", 0600);
      log.Wide("wide", L"\u00e9t\u00e9");
      log.Text("null", static_cast<const char*>(nullptr));
      log.Return(7);
    }
    _exit(ok ? 0 : 11);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  return fs::exists(logFile) ? ov::test::ReadFile(logFile) : std::string("(no file)");
}

TEST(LogFacadeTest, WithoutALoggerNothingIsAttempted) {
  EXPECT_EQ(RunCalls(nullptr), "(no file)");
}

TEST(LogFacadeTest, SecondGenerationLoggerReceivesEveryEvent) {
  const std::string log = RunCalls(OV_BRISEL_PATH);
  for (const char* expected : {
           "libovcore] OV_InitializeA enter\n",
           "libovcore]   OV_InitializeA uniqueId = \"ab\"\n",
           "libovcore]   OV_InitializeA reserved = 0\n",
           "libovcore]   OV_InitializeA message \"INVALID_PARAM\"\n",
           "libovcore] OV_InitializeA leave 6002\n",
           "libovcore]   OV_InitializeW uniqueId = \"klsa_ga_8_2\"\n",
           "libovcore]     OVHelper::OVHelper_Initialize enter\n",
           "libovcore]       OVHelper::OVHelper_Initialize UniqueID = \"KLSA_GA_8_2\"\n",
           "libovcore] OV_InitializeW leave 0\n",
           "libovcore] OV_Finalize leave 0\n",
           "libovcore]   LogTest::Throws answer = 42\n",
           "libovcore] LogTest::Throws leave 0\n",  // left while unwinding
           "libovcore]   LogTest::Values mode = 0600\n",
           "libovcore]   LogTest::Values wide = \"\xC3\xA9t\xC3\xA9\"\n",
           "libovcore]   LogTest::Values null = (null)\n",
           "libovcore] LogTest::Values leave 7\n",
       }) {
    EXPECT_NE(log.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << log;
  }
}

TEST(LogFacadeTest, FirstGenerationIsUsedWhenItsNamesAreExported) {
  const std::string log = RunCalls(OV_GEN1_LOGGER_PATH);
  EXPECT_EQ(log.find("gen1 init"), std::string::npos) << "second-generation entry was called";
  for (const char* expected : {
           "gen1 prepareEx 0 libovcore OV_InitializeA 0\n",
           "gen1 buffer 101 uniqueId 8 ab\n",
           "gen1 number 101 reserved 1 0\n",
           "gen1 outputPrepare 101 INVALID_PARAM\n",
           "gen1 output 101 INVALID_PARAM\n",
           "gen1 leavePrepare 101 6002\n",
           "gen1 leave 101 6002\n",
           "uniqueId 101 11\n",  // wide: length in characters
       }) {
    EXPECT_NE(log.find(expected), std::string::npos) << "missing: " << expected << "\nin:\n" << log;
  }
  EXPECT_NE(log.find(" mode 3 384\n"), std::string::npos) << log;  // 0600 as a bit-mask value
}

TEST(LogFacadeTest, WithoutInitFunctionLoggingStaysOff) {
  EXPECT_EQ(RunCalls(OV_NOINIT_LOGGER_PATH), "(no file)");
}

}  // namespace
