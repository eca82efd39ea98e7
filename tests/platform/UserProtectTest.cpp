#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/LinuxUserProtect.h"
#include "support/TestEnvironment.h"

namespace {

using ov::platform::LinuxUserProtect;
namespace fs = std::filesystem;

const std::vector<uint8_t> kData = {'t', 'o', 'k', 'e', 'n', 0, 0xFF};
const std::vector<uint8_t> kEntropy = {'T', 'o', 'k', 'e', 'n', ' ', '1'};

std::string Folder(const char* name) {
  return (ov::test::PrivateHome::Root() / name / "Protect").string();
}

int Mode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(UserProtectTest, RoundTripAndPrivateSecret) {
  LinuxUserProtect protect(Folder("a"), getuid());
  const auto blob = protect.Protect(kData, kEntropy);
  ASSERT_TRUE(blob.has_value());
  const auto plain = protect.Unprotect(*blob, kEntropy);
  ASSERT_TRUE(plain.has_value());
  EXPECT_EQ(std::vector<uint8_t>(plain->begin(), plain->end()), kData);
  EXPECT_EQ(Mode(Folder("a")), 0700);
  EXPECT_EQ(Mode(Folder("a") + "/user.key"), 0600);
  EXPECT_EQ(fs::file_size(Folder("a") + "/user.key"), 32u);

  const auto empty = protect.Protect({}, {});
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(protect.Unprotect(*empty, {}).value().empty());
  // A second object over the same folder uses the same secret.
  EXPECT_TRUE(LinuxUserProtect(Folder("a"), getuid()).Unprotect(*blob, kEntropy).has_value());
}

TEST(UserProtectTest, EveryChangeMakesOpeningFail) {
  LinuxUserProtect protect(Folder("a"), getuid());
  const std::vector<uint8_t> blob = protect.Protect(kData, kEntropy).value();

  const std::vector<uint8_t> otherEntropy = {'T', 'o', 'k', 'e', 'n', ' ', '2'};
  EXPECT_FALSE(protect.Unprotect(blob, otherEntropy)) << "other entropy";
  EXPECT_FALSE(LinuxUserProtect(Folder("b"), getuid()).Unprotect(blob, kEntropy))
      << "another user's secret";
  EXPECT_FALSE(LinuxUserProtect(Folder("a"), getuid() + 1).Unprotect(blob, kEntropy))
      << "another user id";
  for (std::size_t i = 0; i < blob.size(); ++i) {
    std::vector<uint8_t> changed = blob;
    changed[i] ^= 0x01;
    EXPECT_FALSE(protect.Unprotect(changed, kEntropy)) << "byte " << i << " flipped";
  }
  for (std::size_t length : {std::size_t{0}, std::size_t{4}, std::size_t{20}, blob.size() - 1}) {
    EXPECT_FALSE(protect.Unprotect(std::span(blob).first(length), kEntropy)) << "cut to " << length;
  }
}

TEST(UserProtectTest, ASecretOthersCouldReadIsRefused) {
  LinuxUserProtect protect(Folder("a"), getuid());
  ASSERT_TRUE(protect.Protect(kData, kEntropy).has_value());
  chmod((Folder("a") + "/user.key").c_str(), 0644);
  EXPECT_FALSE(LinuxUserProtect(Folder("a"), getuid()).Protect(kData, kEntropy).has_value());
  EXPECT_FALSE(LinuxUserProtect("relative/folder", getuid()).Protect(kData, kEntropy).has_value());
}

}  // namespace
