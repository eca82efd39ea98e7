#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/SharedLibrary.h"
#include "platform/windows/WindowsClock.h"

namespace {

using ov::platform::SharedLibrary;
using ov::platform::WindowsClock;

TEST(WindowsClockTest, FileTimesBecomeUnixSeconds) {
  const struct {
    uint64_t fileTime;
    int64_t unixSeconds;
  } cases[] = {
      {116'444'736'000'000'000, 0},              // 1970-01-01T00:00:00Z
      {116'444'736'000'000'000 + 9'999'999, 0},  // rounded down within the second
      {116'444'736'000'000'000 + 10'000'000, 1},
      {133'485'408'000'000'000, 1'704'067'200},  // 2024-01-01T00:00:00Z
      {0, -11'644'473'600},                      // 1601-01-01T00:00:00Z
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsClock::UnixSecondsFromFileTime(c.fileTime), c.unixSeconds) << c.fileTime;
  }
  // The C library's clock reads the same time another way.
  const int64_t now = WindowsClock().NowUnixSeconds();
  EXPECT_LE(std::abs(now - static_cast<int64_t>(std::time(nullptr))), 5);
}

std::string SystemFolder() {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

std::string ProgramFolder() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string path = self;
  return path.substr(0, path.rfind('\\'));
}

TEST(WindowsSharedLibraryTest, OpensByNameAndStaysLoadedAfterItsHolder) {
  // A system library that nothing of this program loads by itself.
  ASSERT_EQ(GetModuleHandleA("msimg32.dll"), nullptr) << "already loaded: pick another library";
  {
    SharedLibrary library("msimg32.dll");
    ASSERT_TRUE(library.IsOpen()) << library.Error();
    EXPECT_TRUE(library.Error().empty());
    EXPECT_NE(library.Find("AlphaBlend"), nullptr);
    EXPECT_EQ(library.Find("NoSuchFunction"), nullptr);
  }
  EXPECT_NE(GetModuleHandleA("msimg32.dll"), nullptr);

  SharedLibrary byPath(SystemFolder() + "\\version.dll");
  ASSERT_TRUE(byPath.IsOpen()) << byPath.Error();
  EXPECT_NE(byPath.Find("GetFileVersionInfoSizeA"), nullptr);
}

TEST(WindowsSharedLibraryTest, AMissingLibraryOrOneInTheCurrentFolderIsNotOpened) {
  SharedLibrary missing("ov-no-such-library.dll");
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_NE(missing.Error().find("ov-no-such-library.dll"), std::string::npos) << missing.Error();
  EXPECT_EQ(missing.Find("AlphaBlend"), nullptr);

  // The tests' brisel.dll lies in a folder of its own: made the current folder, it is still not
  // searched, as a library planted there by someone else would not be.
  const std::string loggerFolder = ProgramFolder() + "\\logger";
  ASSERT_TRUE(SetCurrentDirectoryA(loggerFolder.c_str())) << loggerFolder;
  SharedLibrary planted("brisel.dll");
  EXPECT_FALSE(planted.IsOpen());
  SetCurrentDirectoryA(ProgramFolder().c_str());

  SharedLibrary full(loggerFolder + "\\brisel.dll");
  EXPECT_TRUE(full.IsOpen()) << full.Error();
  EXPECT_NE(full.Find("TestLoggerText"), nullptr);
}

}  // namespace
