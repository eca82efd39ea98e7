#include "platform/linux/LinuxUserProtect.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "common/UniqueFd.h"

#include "crypto/Aead.h"
#include "crypto/OrvantiAPI.h"
#include "platform/UserFolders.h"

namespace ov::platform {

namespace {

constexpr std::array<uint8_t, 5> kHeader = {'O', 'V', 'U', 'P', 1};
constexpr std::size_t kSecretSize = 32;
constexpr char kSecretName[] = "user.key";
constexpr char kInfoLabel[] = "orvanti user protect v1";

bool ReadExact(int fd, uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteExact(int fd, const uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Creates each missing folder of `path` with mode 0700.
bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// The secret file must be a regular file of ours that nobody else can read.
bool IsPrivateFile(int fd, uid_t uid) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == uid &&
         (st.st_mode & 077) == 0 && st.st_size == static_cast<off_t>(kSecretSize);
}

}  // namespace

LinuxUserProtect::LinuxUserProtect(std::string secretFolder, uid_t uid)
    : m_folder(std::move(secretFolder)), m_uid(uid) {}

std::string LinuxUserProtect::DefaultSecretFolder() {
  const std::string home = UserDataHome();
  return home.empty() ? std::string() : home + "/Kelsa/Protect";
}

SecureBytes LinuxUserProtect::Secret(bool create) {
  std::lock_guard lock(m_mutex);
  if (m_secret.empty()) m_secret = LoadSecret(create);
  return m_secret;
}

SecureBytes LinuxUserProtect::LoadSecret(bool create) {
  if (m_folder.empty() || m_folder[0] != '/') return {};
  const std::string path = m_folder + "/" + kSecretName;
  SecureBytes secret(kSecretSize);
  {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() >= 0) {
      if (IsPrivateFile(fd.get(), m_uid) && ReadExact(fd.get(), secret.data(), secret.size())) {
        return secret;
      }
      return {};
    }
    if (errno != ENOENT || !create) return {};
  }
  // First use: write a new secret to a temporary file and link it into place, so two processes
  // starting at once agree on one secret (the second link fails and that process reads the first).
  if (!MakeFolders(m_folder) || !OrvantiAPI::GenerateRandomKey(secret)) return {};
  chmod(m_folder.c_str(), 0700);
  std::string temp = m_folder + "/.user.key.XXXXXX";
  UniqueFd fd(mkstemp(temp.data()));
  if (fd.get() < 0) return {};
  const bool written = fchmod(fd.get(), 0600) == 0 &&
                       WriteExact(fd.get(), secret.data(), secret.size()) && fsync(fd.get()) == 0;
  const bool linked = written && link(temp.c_str(), path.c_str()) == 0;
  unlink(temp.c_str());
  if (linked) {
    UniqueFd folder(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) fsync(folder.get());
    return secret;
  }
  return written && errno == EEXIST ? LoadSecret(false) : SecureBytes{};
}

SecureBytes LinuxUserProtect::DeriveKey(std::span<const uint8_t> entropy, bool create) {
  const SecureBytes secret = Secret(create);
  if (secret.empty()) return {};
  std::vector<uint8_t> info(std::begin(kInfoLabel), std::end(kInfoLabel));  // label and its 0
  for (int shift = 24; shift >= 0; shift -= 8) info.push_back(static_cast<uint8_t>(m_uid >> shift));
  info.insert(info.end(), entropy.begin(), entropy.end());
  const SecureBytes key = HkdfSha256(secret, kHeader, info, kAeadKeySize);
  SecureWipe(info.data(), info.size());
  return key;
}

bool LinuxUserProtect::IsSecretRefused() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_secret.empty()) return false;
  }
  if (m_folder.empty() || m_folder[0] != '/') return false;
  struct stat st {};
  const std::string path = m_folder + "/" + kSecretName;
  if (lstat(path.c_str(), &st) != 0) return errno != ENOENT;
  return Secret(false).empty();
}

std::string LinuxUserProtect::SecretFile() {
  if (m_folder.empty() || m_folder[0] != '/') return {};
  return m_folder + "/" + kSecretName;
}

bool LinuxUserProtect::IsSecretMissing() {
  {
    std::lock_guard lock(m_mutex);
    if (!m_secret.empty()) return false;
  }
  const std::string path = SecretFile();
  struct stat st {};
  return !path.empty() && lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

std::optional<std::vector<uint8_t>> LinuxUserProtect::Protect(std::span<const uint8_t> data,
                                                              std::span<const uint8_t> entropy) {
  const SecureBytes key = DeriveKey(entropy, true);
  if (key.empty()) return std::nullopt;
  auto sealed = AeadSeal(key, kHeader, data);
  if (!sealed) return std::nullopt;
  std::vector<uint8_t> blob(kHeader.begin(), kHeader.end());
  blob.insert(blob.end(), sealed->begin(), sealed->end());
  return blob;
}

std::optional<SecureBytes> LinuxUserProtect::Unprotect(std::span<const uint8_t> blob,
                                                       std::span<const uint8_t> entropy) {
  if (blob.size() < kHeader.size() || !std::equal(kHeader.begin(), kHeader.end(), blob.begin())) {
    return std::nullopt;
  }
  const SecureBytes key = DeriveKey(entropy, false);
  if (key.empty()) return std::nullopt;
  return AeadOpen(key, kHeader, blob.subspan(kHeader.size()));
}

}  // namespace ov::platform
