// A cryptographic provider opened for one operation. The token library's routines open a provider
// of a type (general purpose, or with AES), create hashes and keys in it and release it when they
// return. The objects are created in the process's default library context; opening
// checks that the type is one the library knows and that the random generator is ready, the two
// things a caller could not do anything about later.
#pragma once

#include <cstdint>
#include <optional>

#include "crypto/CryptoHandles.h"

namespace ov {

class CryptProvider {
 public:
  // PROV_RSA_FULL or PROV_RSA_AES; nothing for any other type or when the random generator cannot serve.
  static std::optional<CryptProvider> Acquire(std::uint32_t type);

  std::uint32_t Type() const noexcept { return m_nType; }
  // The library context the objects are created in (the process default).
  crypto::LibraryContext* LibraryContext() const noexcept { return nullptr; }

 private:
  explicit CryptProvider(std::uint32_t type) noexcept : m_nType(type) {}
  std::uint32_t m_nType;
};

}  // namespace ov
