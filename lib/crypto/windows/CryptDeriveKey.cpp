#include "crypto/CryptDeriveKey.h"

// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <climits>
#include <cstring>

#include "common/LogFacade.h"

namespace ov {

namespace {

constexpr std::size_t kTripleDesKeySize = 24;

struct Provider {
  HCRYPTPROV handle = 0;
  ~Provider() {
    if (handle != 0) CryptReleaseContext(handle, 0);
  }
};
struct Hash {
  HCRYPTHASH handle = 0;
  ~Hash() {
    if (handle != 0) CryptDestroyHash(handle);
  }
};
struct Key {
  HCRYPTKEY handle = 0;
  ~Key() {
    if (handle != 0) CryptDestroyKey(handle);
  }
};

}  // namespace

// The system's own derivation; the key is read back as a plaintext blob (header, length, bytes) so
// that the 3DES-CBC of the drive files runs on the same cipher as every other key. The system may
// set the DES parity bits of the derived bytes, which the cipher ignores.
SecureBytes Derive3DesKeyFromSha1(std::span<const std::uint8_t> material) {
  LogScope log("CryptDeriveKey");
  if (material.size() > ULONG_MAX) return {};
  Provider provider;
  if (!CryptAcquireContextW(&provider.handle, nullptr, nullptr, PROV_RSA_FULL,
                            CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
    log.Message("Error: CryptAcquireContext failed");
    return {};
  }
  Hash hash;
  Key key;
  if (!CryptCreateHash(provider.handle, CALG_SHA1, 0, 0, &hash.handle) ||
      !CryptHashData(hash.handle, material.data(), static_cast<DWORD>(material.size()), 0) ||
      !CryptDeriveKey(provider.handle, CALG_3DES, hash.handle, CRYPT_EXPORTABLE, &key.handle)) {
    log.Message("Error: CryptDeriveKey failed");
    return {};
  }
  DWORD size = 0;
  if (!CryptExportKey(key.handle, 0, PLAINTEXTKEYBLOB, 0, nullptr, &size)) {
    log.Message("Error: CryptDeriveKey failed");
    return {};
  }
  SecureBytes blob(size);
  constexpr std::size_t kHeader = sizeof(BLOBHEADER) + sizeof(DWORD);
  DWORD length = 0;
  if (!CryptExportKey(key.handle, 0, PLAINTEXTKEYBLOB, 0, blob.data(), &size) ||
      size < kHeader + kTripleDesKeySize ||
      (std::memcpy(&length, blob.data() + sizeof(BLOBHEADER), sizeof(length)), length) !=
          kTripleDesKeySize) {
    log.Message("Error: CryptDeriveKey failed");
    return {};
  }
  return SecureBytes(blob.begin() + kHeader, blob.begin() + kHeader + kTripleDesKeySize);
}

}  // namespace ov
