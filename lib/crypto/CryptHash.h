// A hash object created in a provider: the platform-hash wrapper that the passphrase key and the
// drive key are computed with. Only SHA-1 is asked of it. The value can be read at any time and
// more data can be hashed afterwards (reading works on a copy of the running state), so a caller
// may hash a record in several pieces and read the result once at the end.
//
// Every failure reports its fixed text to the log and raises OVException 6003.
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"
#include "crypto/CryptAlgorithms.h"
#include "crypto/CryptProvider.h"
#include "crypto/CryptoHandles.h"

namespace ov {

class LogScope;

class CryptHash {
 public:
  explicit CryptHash(const CryptProvider& provider) noexcept;

  // Starts a hash of `algorithm` (CALG_SHA1), replacing any hash this object held.
  void CreateHash(ALG_ID algorithm);
  // Hashes `data` and renders the value of everything hashed so far as upper-case hex in `hex`.
  void HashData(std::span<const std::uint8_t> data, SecureString& hex);
  // Writes the value to the front of `out` and its size to `length`; `out` must be large enough.
  void GetHashValue(std::span<std::uint8_t> out, std::uint32_t& length);

 private:
  SecureBytes ReadValue(LogScope& log) const;

  crypto::LibraryContext* m_pLibraryContext;
  crypto::DigestContext m_hash;
};

}  // namespace ov
