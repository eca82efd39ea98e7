#include <optional>

#include "common/OVException.h"
#include "crypto/CryptDeriveKey.h"
#include "crypto/CryptProvider.h"
#include "crypto/CryptSymmetric.h"

namespace ov {

namespace {

constexpr std::size_t kTripleDesKeySize = 24;

template <class Operation>
std::optional<SecureBytes> RunCipher(std::span<const std::uint8_t> key, Operation&& operation) {
  if (key.size() != kTripleDesKeySize) return std::nullopt;
  try {
    const auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
    if (!provider) return std::nullopt;
    CryptSymmetric cipher(*provider, CALG_3DES, key);
    SecureBytes out;
    operation(cipher, out);
    return out;
  } catch (const OVException&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<SecureBytes> TripleDesCbcEncrypt(std::span<const std::uint8_t> key,
                                               std::span<const std::uint8_t> plain) {
  return RunCipher(key, [&](CryptSymmetric& cipher, SecureBytes& out) {
    cipher.Encrypt(plain, out, true);
  });
}

std::optional<SecureBytes> TripleDesCbcDecrypt(std::span<const std::uint8_t> key,
                                               std::span<const std::uint8_t> sealed) {
  return RunCipher(key, [&](CryptSymmetric& cipher, SecureBytes& out) {
    cipher.Decrypt(sealed, out, true);
  });
}

}  // namespace ov
