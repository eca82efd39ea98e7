// The token store refuses what another user could change under it, and says what is wrong: folders
// on its path that others may write or that belong to another user (also behind a link), a lock
// file that is a link, token files whose user secret is missing, and a file system without locks.
// Each refusal is mended as the message says and the tokens are there again. Changing an owner
// needs root: those cases are left out otherwise.
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ov/ov_api.h"
#include "platform/linux/LinuxNamedMutex.h"
#include "storage/StoragePaths.h"
#include "support/StorageEnvironment.h"
#include "support/TestEnvironment.h"
#include "support/TokenFixtures.h"

namespace {

namespace fs = std::filesystem;

constexpr char kUniqueId[] = "KLSA_GA_8_2";
constexpr uid_t kOtherUser = 4242;
constexpr gid_t kSharedGroup = 4242;

struct Problem {
  std::string path;
  int32_t fault = -1;
};

Problem ReportedProblem() {
  Problem problem;
  int32_t length = 0;
  if (OV_GetStoreProblemA(nullptr, &length, &problem.fault) != OV_ERR_BUFFER_TOO_SMALL) return {};
  std::string path(static_cast<std::size_t>(length), '\0');
  if (OV_GetStoreProblemA(path.data(), &length, &problem.fault) != OV_OK) return {};
  problem.path = path.c_str();
  return problem;
}

class StoreFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(Root());
    ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
    ASSERT_EQ(OV_CreateInstanceA("Work", 0), OV_OK);
    ASSERT_EQ(OV_ReleaseInstance(), OV_OK);
    ASSERT_EQ(OV_Finalize(), OV_OK);
  }
  void TearDown() override { OV_Finalize(); }

  static fs::path Root() { return ov::GetFilePath(nullptr); }
  fs::path SecretFile() const { return env.SecretFolder() / "user.key"; }

  // The store opens and lists its one token.
  static void ExpectUsable() {
    ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
    int32_t count = 0;
    EXPECT_EQ(OV_GetTokenListA(nullptr, &count), OV_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(OV_Finalize(), OV_OK);
    EXPECT_EQ(OV_GetStoreProblemA(nullptr, &count, nullptr), OV_ERR_OPERATION_FAILED)
        << "a success forgets the last problem";
  }

  ov::test::StorageEnvironment env;
};

TEST_F(StoreFoldersTest, FolderOthersCanChangeIsNamedAndRefusedUntilMended) {
  struct Case {
    const char* what;
    std::function<fs::path()> folder;  // the folder made unsafe
    std::function<void(const fs::path&)> spoil;
    int32_t fault;
    bool needsRoot;
  };
  const auto chmodTo = [](mode_t mode) {
    return [mode](const fs::path& folder) { ASSERT_EQ(chmod(folder.c_str(), mode), 0); };
  };
  // Group-writable, and the group one that others may share (the user's own private group is
  // fine, see below): changing a folder's group to one the user is not in needs root.
  const auto groupWritable = [](mode_t mode) {
    return [mode](const fs::path& folder) {
      ASSERT_EQ(chown(folder.c_str(), static_cast<uid_t>(-1), kSharedGroup), 0);
      ASSERT_EQ(chmod(folder.c_str(), mode), 0);
    };
  };
  const auto chownTo = [](uid_t uid) {
    return [uid](const fs::path& folder) { ASSERT_EQ(chown(folder.c_str(), uid, uid), 0); };
  };
  const std::vector<Case> cases = {
      {"store root writable by its group", [] { return Root(); }, groupWritable(0770),
       OV_STORE_WRITABLE_BY_OTHERS, true},
      {"a parent above it writable by all", [] { return Root().parent_path(); }, chmodTo(0757),
       OV_STORE_WRITABLE_BY_OTHERS, false},
      {"the data home writable by all", [] { return Root().parent_path().parent_path(); },
       chmodTo(0777), OV_STORE_WRITABLE_BY_OTHERS, false},
      {"token folder writable by its group", [] { return Root() / ov::kTokenFolderOv3; },
       groupWritable(0720), OV_STORE_WRITABLE_BY_OTHERS, true},
      {"the secret's folder writable by its group", [this] { return env.SecretFolder(); },
       groupWritable(0730), OV_STORE_WRITABLE_BY_OTHERS, true},
      {"store root of another user", [] { return Root(); }, chownTo(kOtherUser),
       OV_STORE_OTHER_OWNER, true},
      {"the secret's folder of another user", [this] { return env.SecretFolder(); },
       chownTo(kOtherUser), OV_STORE_OTHER_OWNER, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && getuid() != 0) continue;
    const fs::path folder = c.folder();
    struct stat before {};
    ASSERT_EQ(stat(folder.c_str(), &before), 0);
    c.spoil(folder);
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_STORE_NOT_PRIVATE);
    const Problem problem = ReportedProblem();
    EXPECT_EQ(problem.path, folder.string());
    EXPECT_EQ(problem.fault, c.fault);
    ASSERT_EQ(chmod(folder.c_str(), before.st_mode & 07777), 0);
    ASSERT_EQ(chown(folder.c_str(), before.st_uid, before.st_gid), 0);
    ExpectUsable();
  }
}

// Where each user has a group of their own (named as the user, with nobody else in it), a umask
// of 002 makes the user's folders group-writable; nobody else can write them, so they are used.
TEST_F(StoreFoldersTest, FolderWritableOnlyByTheUsersPrivateGroupIsUsed) {
  const passwd* user = getpwuid(getuid());
  const group* own = getgrgid(getgid());
  if (user == nullptr || own == nullptr || std::string(own->gr_name) != user->pw_name ||
      (own->gr_mem[0] != nullptr && std::string(own->gr_mem[0]) != user->pw_name)) {
    GTEST_SKIP() << "this user has no private group";
  }
  ASSERT_EQ(chown(Root().c_str(), getuid(), getgid()), 0);
  ASSERT_EQ(chmod(Root().c_str(), 0770), 0);
  ASSERT_EQ(chmod(env.SecretFolder().c_str(), 0770), 0);
  ExpectUsable();
  ASSERT_EQ(chmod(Root().c_str(), 0700), 0);
  ASSERT_EQ(chmod(env.SecretFolder().c_str(), 0700), 0);
}

// A sticky folder of root's (as /tmp) is not another user's; a link is judged by where it leads.
TEST_F(StoreFoldersTest, LinksAreJudgedByWhereTheyLead) {
  const fs::path kelsa = Root().parent_path();
  const fs::path elsewhere = ov::test::PrivateHome::Root() / "elsewhere";
  fs::create_directories(elsewhere);
  ASSERT_EQ(chmod(elsewhere.c_str(), 0700), 0);
  fs::rename(kelsa, elsewhere / "Kelsa");
  fs::create_directory_symlink(elsewhere / "Kelsa", kelsa);
  ExpectUsable();  // a link into a folder of the user's own is fine

  if (getuid() != 0) GTEST_SKIP() << "another user's folder needs root";
  ASSERT_EQ(chown(elsewhere.c_str(), kOtherUser, kOtherUser), 0);
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_STORE_NOT_PRIVATE);
  const Problem problem = ReportedProblem();
  EXPECT_EQ(problem.path, elsewhere.string());
  EXPECT_EQ(problem.fault, OV_STORE_OTHER_OWNER);

  // The sticky /tmp pattern: root's, writable by all, sticky.
  ASSERT_EQ(chown(elsewhere.c_str(), 0, 0), 0);
  ASSERT_EQ(chmod(elsewhere.c_str(), 01777), 0);
  ExpectUsable();
  ASSERT_EQ(chmod(elsewhere.c_str(), 0777), 0);
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_STORE_NOT_PRIVATE) << "not sticky: refused";

  // The store goes back where it was, for the tests that follow in this process.
  fs::remove(kelsa);
  fs::rename(elsewhere / "Kelsa", kelsa);
  fs::remove_all(elsewhere);
}

TEST_F(StoreFoldersTest, LockFileThatIsALinkIsNamed) {
  const fs::path lock = Root() / (std::string(kUniqueId) + ".lock");
  fs::remove(lock);
  fs::create_symlink("/dev/null", lock);
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_STORE_NOT_PRIVATE);
  const Problem problem = ReportedProblem();
  EXPECT_EQ(problem.path, lock.string());
  EXPECT_EQ(problem.fault, OV_STORE_NOT_PLAIN);
  fs::remove(lock);
  ExpectUsable();
}

TEST_F(StoreFoldersTest, MissingSecretBesideTokensIsNamedAndNoNewOneIsMade) {
  const fs::path saved = env.SecretFolder() / "saved.key";
  fs::rename(SecretFile(), saved);
  // A process starting now reads the secret afresh.
  ov::platform::LinuxUserProtect fresh(env.SecretFolder().string(), getuid());
  ov::platform::ScopedPlatform scope({.userProtect = &fresh});
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_USER_SECRET_MISSING);
    EXPECT_EQ(ReportedProblem().path, SecretFile().string());
    EXPECT_FALSE(fs::exists(SecretFile())) << "a new secret was made beside the old tokens";
  }
  fs::rename(saved, SecretFile());
  ExpectUsable();

  // Without tokens a missing secret is only a first start: it is made when needed.
  fs::remove_all(Root());
  fs::remove(SecretFile());
  ov::platform::LinuxUserProtect first(env.SecretFolder().string(), getuid());
  ov::platform::ScopedPlatform firstScope({.userProtect = &first});
  ASSERT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  ASSERT_EQ(OV_CreateInstanceA("Home", 0), OV_OK);
  EXPECT_TRUE(fs::exists(SecretFile()));
}

int g_lockErrno = 0;
int RefusedLock(int /*fd*/, int /*operation*/) {
  errno = g_lockErrno;
  return -1;
}

TEST_F(StoreFoldersTest, FileSystemWithoutLocksIsNamed) {
  ov::platform::LinuxNamedMutexProvider refusing(&RefusedLock);
  ov::platform::ScopedPlatform scope({.namedMutexes = &refusing});
  for (const int error : {ENOLCK, EOPNOTSUPP, ENOSYS}) {
    g_lockErrno = error;
    EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_FILE_LOCKING_UNSUPPORTED) << error;
    EXPECT_EQ(ReportedProblem().path, (Root() / (std::string(kUniqueId) + ".lock")).string());
  }
  g_lockErrno = EWOULDBLOCK;
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_ERR_ALREADY_INITIALIZED) << "a lock held elsewhere";
}

// On a USB drive the store lives beside the program on a file system that may keep no modes at
// all (FAT shows every file as writable by all): its folders are not judged.
TEST(StoreFoldersUsbTest, StoreOnAUsbDriveIsNotJudgedByModes) {
  ov::test::StorageEnvironment env("usb-flash");
  const fs::path root = ov::GetFilePath(nullptr);
  ASSERT_FALSE(root.empty());
  ASSERT_EQ(chmod(root.c_str(), 0777), 0);
  EXPECT_EQ(OV_InitializeA(kUniqueId, 0), OV_OK);
  EXPECT_EQ(OV_Finalize(), OV_OK);
  chmod(root.c_str(), 0700);
}

}  // namespace
