// UserProtect on Linux. A blob is
//
//   "OVUP" | version 1 | nonce (12) | AES-256-GCM ciphertext | tag (16)
//
// under a key derived with HKDF-SHA-256 from the user's secret (32 random bytes), with the user id
// and the entropy in the derivation's info. The header is authenticated too.
//
// What it protects against: other users of the machine (the secret is a 0600 file in a 0700
// folder of the user's own), and copies of token files taken to another account or machine
// without the secret. A wrong entropy, another user's secret or a changed byte makes Unprotect
// fail. What it does not: like the service it stands in for, it does not keep out programs that
// run as the same user, nor root, who can read the secret.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>

#include "platform/UserProtect.h"

namespace ov::platform {

class LinuxUserProtect final : public UserProtect {
 public:
  // `secretFolder` holds the user's secret, created on first use; `uid` is bound into every key.
  LinuxUserProtect(std::string secretFolder, uid_t uid);
  // The folder for the current user: <data home>/Kelsa/Protect.
  static std::string DefaultSecretFolder();

  std::optional<std::vector<uint8_t>> Protect(std::span<const uint8_t> data,
                                              std::span<const uint8_t> entropy) override;
  std::optional<SecureBytes> Unprotect(std::span<const uint8_t> blob,
                                       std::span<const uint8_t> entropy) override;
  bool IsSecretRefused() override;
  std::string SecretFile() override;
  bool IsSecretMissing() override;

 private:
  // The user's secret, read or created; empty when neither works.
  SecureBytes Secret(bool create);
  SecureBytes LoadSecret(bool create);
  SecureBytes DeriveKey(std::span<const uint8_t> entropy, bool create);

  std::string m_folder;
  uid_t m_uid;
  // The secret once read or created: every protect and unprotect needs it, and a token file read
  // opens several blobs.
  std::mutex m_mutex;
  SecureBytes m_secret;
};

}  // namespace ov::platform
