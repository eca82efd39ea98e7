// The token store's file layer, on each platform the same: what is read, what is refused, and that
// replacing and renaming keep exactly one file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "support/ReferenceCrypto.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
namespace platform = ov::platform;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = ov::test::PrivateHome::Root() /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(m_folder);
  }
  std::string Path(const std::string& name) const { return (m_folder / name).string(); }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(m_folder / name, std::ios::binary) << content;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path m_folder;
};

std::string Text(const ov::SecureBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST_F(FilesTest, ReadsRegularFilesOnlyAndWithinTheLimit) {
  Write("token", "content");
  fs::create_directory(m_folder / "folder");
  ASSERT_TRUE(platform::ReadRegularFile(Path("token"), 7).has_value());
  EXPECT_EQ(Text(*platform::ReadRegularFile(Path("token"), 7)), "content");
  EXPECT_FALSE(platform::ReadRegularFile(Path("token"), 6)) << "larger than the limit";
  EXPECT_FALSE(platform::ReadRegularFile(Path("missing"), 100));
  EXPECT_FALSE(platform::ReadRegularFile(Path("folder"), 100));
#ifdef _WIN32
  EXPECT_FALSE(platform::ReadRegularFile(Path("NUL"), 100)) << "a device name";
#else
  EXPECT_FALSE(platform::ReadRegularFile("/dev/null", 100)) << "a device";
#endif
  EXPECT_TRUE(platform::IsRegularFile(Path("token")));
  EXPECT_FALSE(platform::IsRegularFile(Path("folder")));
  EXPECT_FALSE(platform::IsRegularFile(Path("missing")));
  EXPECT_TRUE(platform::IsFolder(Path("folder")));
  EXPECT_FALSE(platform::IsFolder(Path("token")));
}

TEST_F(FilesTest, ReplacingLeavesOneFileAndNoTemporary) {
  const std::string content(3000, 'x');
  ASSERT_TRUE(platform::WriteFileAtomically(Path("token"), ov::test::ref::AsBytes("first")));
  ASSERT_TRUE(platform::WriteFileAtomically(
      Path("token"), {reinterpret_cast<const uint8_t*>(content.data()), content.size()}));
  EXPECT_EQ(Text(*platform::ReadRegularFile(Path("token"), 5000)), content);
  EXPECT_EQ(Names(), std::vector<std::string>{"token"});
  EXPECT_FALSE(platform::WriteFileAtomically(Path("no folder/token"), ov::test::ref::AsBytes("x")));
  EXPECT_EQ(Names(), std::vector<std::string>{"token"});
}

TEST_F(FilesTest, RenamesNeverReplaceAndRemovingIsQuietWithoutAFile) {
  Write("a", "A");
  Write("b", "B");
  EXPECT_FALSE(platform::RenameNoReplace(Path("a"), Path("b")));
  EXPECT_EQ(Text(*platform::ReadRegularFile(Path("b"), 10)), "B");
  EXPECT_TRUE(platform::RenameNoReplace(Path("a"), Path("c")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"b", "c"}));
  EXPECT_TRUE(platform::RemoveFile(Path("b")));
  EXPECT_TRUE(platform::RemoveFile(Path("b"))) << "gone already";
  EXPECT_EQ(Names(), std::vector<std::string>{"c"});
}

TEST_F(FilesTest, ListsRegularFilesAndMakesFolders) {
  Write("one.tk3", "1");
  Write("two.tk3", "2");
  EXPECT_TRUE(platform::CreatePrivateFolder(Path("sub")));
  EXPECT_TRUE(platform::CreatePrivateFolder(Path("sub"))) << "already there";
  EXPECT_FALSE(platform::CreatePrivateFolder(Path("one.tk3"))) << "a file of that name";
  auto names = platform::RegularFileNames(m_folder.string());
  ASSERT_TRUE(names.has_value());
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names, (std::vector<std::string>{"one.tk3", "two.tk3"}));
  EXPECT_EQ(platform::RegularFileNames(Path("sub")), std::vector<std::string>{});
  EXPECT_FALSE(platform::RegularFileNames(Path("missing")).has_value());
  const auto facts = platform::DescribeFile(Path("one.tk3"));
  ASSERT_TRUE(facts.has_value());
  EXPECT_TRUE(facts->readable);
  EXPECT_TRUE(facts->writable);
}

TEST(PathsTest, JoinParentAndRoot) {
  struct Case {
    const char* path;
    const char* parent;
    std::size_t root;
  };
#ifdef _WIN32
  const Case cases[] = {
      {"C:\\Users\\me\\orvanti.exe", "C:\\Users\\me", 3},
      {"C:\\orvanti.exe", "C:\\", 3},
      {"E:/tokens/x.tk3", "E:/tokens", 3},
      {"\\\\server\\share\\orvanti.exe", "\\\\server\\share\\", 15},
      {"orvanti.exe", "", 0},
  };
  EXPECT_EQ(platform::JoinPath("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(platform::JoinPath("C:\\", "b"), "C:\\b");
#else
  const Case cases[] = {
      {"/media/stick/orvanti", "/media/stick", 1},
      {"/orvanti", "/", 1},
      {"orvanti", "", 0},
  };
  EXPECT_EQ(platform::JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(platform::JoinPath("/", "b"), "/b");
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ParentFolder(c.path), c.parent) << c.path;
    EXPECT_EQ(platform::RootLength(c.path), c.root) << c.path;
  }
}

}  // namespace
