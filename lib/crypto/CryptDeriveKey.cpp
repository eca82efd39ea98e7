#include "crypto/CryptDeriveKey.h"

#include <array>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptProvider.h"

namespace ov {

namespace {

constexpr std::size_t kSha1Size = 20;
constexpr std::size_t kTripleDesKeySize = 24;

SecureBytes Sha1(const CryptProvider& provider, std::span<const std::uint8_t> data) {
  CryptHash hash(provider);
  hash.CreateHash(CALG_SHA1);
  SecureString hex;
  hash.HashData(data, hex);
  SecureBytes value(kSha1Size);
  std::uint32_t length = 0;
  hash.GetHashValue(value, length);
  value.resize(length);
  return value;
}

}  // namespace

SecureBytes Derive3DesKeyFromSha1(std::span<const std::uint8_t> material) {
  LogScope log("CryptDeriveKey");
  try {
    const auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
    if (!provider) {
      log.Message("Error: CryptAcquireContext failed");
      return {};
    }
    const SecureBytes hash = Sha1(*provider, material);
    SecureBytes inner(64, 0x36);
    SecureBytes outer(64, 0x5C);
    for (std::size_t i = 0; i < hash.size(); ++i) {
      inner[i] ^= hash[i];
      outer[i] ^= hash[i];
    }
    SecureBytes key = Sha1(*provider, inner);
    const SecureBytes second = Sha1(*provider, outer);
    key.insert(key.end(), second.begin(), second.end());
    key.resize(kTripleDesKeySize);
    return key;
  } catch (const OVException&) {
    log.Message("Error: CryptDeriveKey failed");
    return {};
  }
}

}  // namespace ov
