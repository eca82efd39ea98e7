// The log facade with the tests' brisel.dll, and the log lines of the Windows services. Each test
// runs in a process of its own, so the library is loaded afresh by each.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/LogFacade.h"
#include "platform/windows/ConsoleControl.h"
#include "platform/windows/WindowsNetworkAdapters.h"

namespace {

using TextFn = const char* (*)();

TextFn TextFunction(HMODULE logger) {
  return reinterpret_cast<TextFn>(
      reinterpret_cast<void*>(GetProcAddress(logger, "TestLoggerText")));
}

std::string LoggerPath() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string path = self;
  return path.substr(0, path.rfind('\\')) + "\\logger\\brisel.dll";
}

class WindowsLoggingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HMODULE logger = LoadLibraryA(LoggerPath().c_str());
    ASSERT_NE(logger, nullptr) << LoggerPath();
    m_text = TextFunction(logger);
    ASSERT_NE(m_text, nullptr);
  }
  std::string Log() const { return m_text(); }
  static std::size_t Count(const std::string& text, const std::string& line) {
    std::size_t count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
      ++count;
    }
    return count;
  }

 private:
  TextFn m_text = nullptr;
};

TEST(WindowsLogFacadeTest, BindsToBriselDllOnceSomethingLoadedIt) {
  // The second scope finds the miss remembered: no library was loaded in between.
  EXPECT_FALSE(ov::LogScope("Before").Enabled());
  EXPECT_FALSE(ov::LogScope("Before again").Enabled());
  HMODULE logger = LoadLibraryA(LoggerPath().c_str());
  ASSERT_NE(logger, nullptr) << LoggerPath();
  {
    ov::LogScope log("Test::Scope");
    EXPECT_TRUE(log.Enabled());
    log.Message("hello");
    log.Number("nValue", 42);
    log.Wide("wide", L"w\u00e9");
    log.Return(7);
  }
  // The facade keeps the library even when its loader lets it go.
  FreeLibrary(logger);
  ov::LogScope("Test::After").Message("still there");

  const TextFn text = TextFunction(GetModuleHandleA("brisel.dll"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text()),
            "enter libovcore Test::Scope\n"
            "Test::Scope: hello\n"
            "Test::Scope: nValue = 42\n"
            "Test::Scope: wide = L\"w?\"\n"
            "leave Test::Scope 7\n"
            "enter libovcore Test::After\n"
            "Test::After: still there\n"
            "leave Test::After 0\n");
}

// The project's own brisel.dll (tools/brisel) writes the facade's events to the file BRISEL_LOG
// names, one line each, nested calls indented, wide text as UTF-8.
TEST(WindowsLogFacadeTest, TheProjectsLoggerWritesTheFileBriselLogNames) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string file =
      std::string(temp) + "brisel-" + std::to_string(GetCurrentProcessId()) + ".log";
  DeleteFileA(file.c_str());
  ASSERT_TRUE(SetEnvironmentVariableA("BRISEL_LOG", file.c_str()));
  ASSERT_NE(LoadLibraryA(OV_BRISEL_PATH), nullptr) << OV_BRISEL_PATH;
  {
    ov::LogScope outer("Test::Outer");
    outer.Text("name", "a\"b");
    {
      ov::LogScope inner("Test::Inner");
      inner.Wide("wide", L"\u00e9t\u00e9 \U0001F600");
      inner.BitMask("mode", 0600);
      inner.Return(6003);
    }
    outer.Return(0);
  }
  std::string log;
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(handle, buffer, sizeof buffer, &read, nullptr) && read > 0) log.append(buffer, read);
  CloseHandle(handle);
  const std::string prefix = "[" + std::to_string(GetCurrentProcessId()) + "." +
                             std::to_string(GetCurrentThreadId()) + " libovcore] ";
  EXPECT_EQ(log, prefix + "Test::Outer enter\n" +
                     prefix + "  Test::Outer name = \"a\\\"b\"\n" +
                     prefix + "  Test::Inner enter\n" +
                     prefix + "    Test::Inner wide = \"\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80\"\n" +
                     prefix + "    Test::Inner mode = 0600\n" +
                     prefix + "  Test::Inner leave 6003\n" +
                     prefix + "Test::Outer leave 0\n");
}

// Answers "buffer too small" to the first `g_shortAnswers` requests, then that there is nothing.
int g_shortAnswers = 0;
ULONG WINAPI ShortBuffers(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG size) {
  if (g_shortAnswers-- > 0) {
    *size += 100;
    return ERROR_BUFFER_OVERFLOW;
  }
  return ERROR_NO_DATA;
}

TEST_F(WindowsLoggingTest, EachFurtherAdapterRequestIsLogged) {
  g_shortAnswers = 3;
  ov::platform::WindowsNetworkAdapters adapters(ShortBuffers);
  ASSERT_TRUE(adapters.List(ov::platform::NetworkAdapters::Family::IPv4).has_value());
  EXPECT_EQ(Count(Log(), "WindowsNetworkAdapters::List: GetAdaptersAddresses need buffer\n"), 3u)
      << Log();
}

TEST_F(WindowsLoggingTest, ConsoleControlHandler) {
  ASSERT_TRUE(ov::platform::InstallConsoleControlHandler("orvanti-cli"));
  EXPECT_NE(Log().find("enter orvanti-cli InstallConsoleControlHandler\n"
                       "InstallConsoleControlHandler: SetConsoleCtrlHandler successful\n"),
            std::string::npos)
      << Log();

  const struct {
    DWORD type;
    int handled;
  } cases[] = {{CTRL_C_EVENT, TRUE},       {CTRL_BREAK_EVENT, FALSE},    {CTRL_CLOSE_EVENT, TRUE},
               {CTRL_LOGOFF_EVENT, FALSE}, {CTRL_SHUTDOWN_EVENT, FALSE}, {7, FALSE}};
  for (const auto& c : cases) {
    EXPECT_EQ(ov::platform::ConsoleControlHandler(c.type), c.handled) << c.type;
    EXPECT_NE(Log().find("CtrlHandler: fdwCtrlType = " + std::to_string(c.type) + "\n"),
              std::string::npos)
        << c.type;
  }
  SetConsoleCtrlHandler(ov::platform::ConsoleControlHandler, FALSE);
}

}  // namespace
