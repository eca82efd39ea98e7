#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "platform/windows/WindowsNamedMutex.h"

namespace {

using ov::platform::NamedMutexProvider;
using ov::platform::WindowsNamedMutexProvider;
using Outcome = NamedMutexProvider::Outcome;

// A store folder that exists, as the library's always does before it takes the lock (the lock
// file lives there). `which` keeps two folders apart.
std::string Folder(const char* which = "store") {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "ov-mutex-" + which;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Names of this process only, so that test programs running side by side do not meet.
std::string Name(const char* suffix) {
  return "OVTEST_" + std::to_string(GetCurrentProcessId()) + "_" + suffix;
}

// Runs ov_named_mutex_probe.exe (next to this program) on `name`; its exit code: 0 acquired,
// 1 already exists, 2 failed.
DWORD RunProbe(const std::string& name, bool keep = false) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string probe = self;
  probe = probe.substr(0, probe.rfind('\\') + 1) + "ov_named_mutex_probe.exe";
  std::string command = "\"" + probe + "\" " + name + (keep ? " --keep" : "");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(probe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << probe << ": error " << GetLastError();
    return 99;
  }
  DWORD code = 98;
  if (WaitForSingleObject(process.hProcess, 60'000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    ADD_FAILURE() << "the probe did not end";
    TerminateProcess(process.hProcess, 97);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

TEST(WindowsNamedMutexTest, OneHolderPerNameWhateverTheFolder) {
  WindowsNamedMutexProvider provider;
  const std::string name = Name("store");
  auto first = provider.Acquire(name, Folder());
  ASSERT_EQ(first.outcome, Outcome::Acquired);
  ASSERT_TRUE(first.held);

  // The name alone decides, in this process too.
  auto second = provider.Acquire(name, Folder("elsewhere"));
  EXPECT_EQ(second.outcome, Outcome::AlreadyExists);
  EXPECT_FALSE(second.held);
  EXPECT_EQ(provider.Acquire(Name("other"), Folder()).outcome, Outcome::Acquired);

  first.held.reset();
  auto again = provider.Acquire(name, Folder());
  EXPECT_EQ(again.outcome, Outcome::Acquired);
  EXPECT_TRUE(again.held);
}

TEST(WindowsNamedMutexTest, ASecondProcessMeetsTheSameMutexAndItsDeathFreesIt) {
  WindowsNamedMutexProvider provider;
  const std::string name = Name("process");
  auto held = provider.Acquire(name, Folder());
  ASSERT_EQ(held.outcome, Outcome::Acquired);
  EXPECT_EQ(RunProbe(name), 1u) << "a holder in another process";

  held.held.reset();
  EXPECT_EQ(RunProbe(name, /*keep=*/true), 0u) << "free once released";
  // The probe ended without letting go.
  EXPECT_EQ(provider.Acquire(name, Folder()).outcome, Outcome::Acquired);
}

TEST(WindowsNamedMutexTest, ReleasedByAnotherThreadThanTheOneThatTookIt) {
  WindowsNamedMutexProvider provider;
  const std::string name = Name("thread");
  NamedMutexProvider::Result taken;
  std::thread([&] { taken = provider.Acquire(name, Folder()); }).join();
  ASSERT_EQ(taken.outcome, Outcome::Acquired);
  // The thread that took it is gone; the name stays taken while the holder lives.
  EXPECT_EQ(provider.Acquire(name, Folder()).outcome, Outcome::AlreadyExists);
  taken.held.reset();
  EXPECT_EQ(provider.Acquire(name, Folder()).outcome, Outcome::Acquired);
}

TEST(WindowsNamedMutexTest, NamesThatWouldLeaveTheSessionOrBeCutShortFail) {
  WindowsNamedMutexProvider provider;
  const std::string cut = Name("cut") + std::string(1, '\0') + "tail";
  for (const std::string& name : {std::string(), Name("a\\b"), "Global\\" + Name("global"), cut}) {
    auto result = provider.Acquire(name, Folder());
    EXPECT_EQ(result.outcome, Outcome::Failed) << name;
    EXPECT_FALSE(result.held) << name;
  }
  // The cut name was not created under its first part either.
  EXPECT_EQ(provider.Acquire(Name("cut"), Folder()).outcome, Outcome::Acquired);
}

}  // namespace
