#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/UserFolders.h"
#include "support/TestEnvironment.h"

namespace {

constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Test processes see a private registry for the current user (tests/support), so these changes
// stay within the test.
struct AppDataValue {
  std::string text;
  DWORD type = REG_SZ;
  bool withZero = true;
  bool present = true;
};

void SetAppData(const AppDataValue& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (!value.present) {
    RegDeleteValueA(key, "AppData");
  } else {
    const DWORD size = static_cast<DWORD>(value.text.size() + (value.withZero ? 1 : 0));
    ASSERT_EQ(RegSetValueExA(key, "AppData", 0, value.type,
                             reinterpret_cast<const BYTE*>(value.text.c_str()), size),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

TEST(WindowsUserFoldersTest, TheAppDataValueOfTheCurrentUser) {
  EXPECT_EQ(ov::platform::UserDataHome(), ov::test::PrivateHome::DataHome().string());
}

TEST(WindowsUserFoldersTest, OnlyAnAbsoluteTextOfAtMost128CharactersIsTaken) {
  const std::string longest = "C:\\" + std::string(125, 'a');  // 128 characters
  const struct {
    const char* label;
    AppDataValue value;
    std::string expected;
  } cases[] = {
      {"128 characters", {longest}, longest},
      {"129 characters", {longest + "b"}, ""},
      {"stored without its zero",
       {"C:\\users\\u\\AppData\\Roaming", REG_SZ, false},
       "C:\\users\\u\\AppData\\Roaming"},
      {"network folder", {"\\\\server\\home\\u\\AppData"}, "\\\\server\\home\\u\\AppData"},
      {"empty", {""}, ""},
      {"relative", {"Kelsa"}, ""},
      {"unexpanded", {"%USERPROFILE%\\AppData\\Roaming", REG_EXPAND_SZ}, ""},
      {"not a text", {"C:\\x", REG_BINARY}, ""},
      {"no value", {"", REG_SZ, true, false}, ""},
  };
  for (const auto& c : cases) {
    SetAppData(c.value);
    EXPECT_EQ(ov::platform::UserDataHome(), c.expected) << c.label;
  }

  ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kShellFolders), ERROR_SUCCESS);
  EXPECT_EQ(ov::platform::UserDataHome(), "") << "no key";
  SetAppData({ov::test::PrivateHome::DataHome().string()});
}

}  // namespace
