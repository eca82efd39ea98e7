// A cryptographic provider opened for one operation. The token library's routines open a provider
// of a type (general purpose, or with AES), create hashes and keys in it and release it when they
// return. Here the provider is the OpenSSL library context the objects are created in; opening
// checks that the type is one the library knows and that the random generator is ready, the two
// things a caller could not do anything about later.
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <optional>

namespace ov {

class CryptProvider {
 public:
  // PROV_RSA_FULL or PROV_RSA_AES; nothing for any other type or when OpenSSL cannot serve.
  static std::optional<CryptProvider> Acquire(std::uint32_t type);

  std::uint32_t Type() const noexcept { return m_nType; }
  // The OpenSSL library context (the process default).
  OSSL_LIB_CTX* LibraryContext() const noexcept { return nullptr; }

 private:
  explicit CryptProvider(std::uint32_t type) noexcept : m_nType(type) {}
  std::uint32_t m_nType;
};

}  // namespace ov
