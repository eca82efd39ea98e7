// The tests' reference cryptography on Windows: CNG called directly, one fresh handle per call.
#include <windows.h>
#include <bcrypt.h>

#include "support/ReferenceCrypto.h"

namespace ov::test::ref {

namespace {

struct Algorithm {
  Algorithm(const wchar_t* id, ULONG flags) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, id, nullptr, flags))) handle = nullptr;
  }
  ~Algorithm() {
    if (handle != nullptr) BCryptCloseAlgorithmProvider(handle, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  BCRYPT_ALG_HANDLE handle = nullptr;
};

Bytes Hash(const wchar_t* id, std::size_t size, std::span<const uint8_t> key,
           std::span<const uint8_t> data) {
  Algorithm algorithm(id, key.empty() ? 0 : BCRYPT_ALG_HANDLE_HMAC_FLAG);
  Bytes out(size);
  BCryptHash(algorithm.handle, const_cast<PUCHAR>(key.data()), static_cast<ULONG>(key.size()),
             const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), out.data(),
             static_cast<ULONG>(out.size()));
  return out;
}

}  // namespace

Bytes Sha1(std::span<const uint8_t> data) { return Hash(BCRYPT_SHA1_ALGORITHM, 20, {}, data); }

Bytes Sha256(std::span<const uint8_t> data) { return Hash(BCRYPT_SHA256_ALGORITHM, 32, {}, data); }

Bytes HmacSha256(std::span<const uint8_t> key, std::span<const uint8_t> message) {
  // An empty HMAC key is not one CNG takes; the tests' keys are never empty.
  return Hash(BCRYPT_SHA256_ALGORITHM, 32, key, message);
}

Bytes Pbkdf2Sha256(std::string_view password, std::span<const uint8_t> salt, uint32_t iterations,
                   std::size_t length) {
  Algorithm algorithm(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  Bytes out(length);
  BCryptDeriveKeyPBKDF2(algorithm.handle,
                        reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
                        static_cast<ULONG>(password.size()), const_cast<PUCHAR>(salt.data()),
                        static_cast<ULONG>(salt.size()), iterations, out.data(),
                        static_cast<ULONG>(out.size()), 0);
  return out;
}

Bytes TripleDesCbcEncrypt(std::span<const uint8_t> key, std::span<const uint8_t, 8> iv,
                          std::span<const uint8_t> plain) {
  Algorithm algorithm(BCRYPT_3DES_ALGORITHM, 0);
  BCryptSetProperty(algorithm.handle, BCRYPT_CHAINING_MODE,
                    reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_CBC)),
                    sizeof(BCRYPT_CHAIN_MODE_CBC), 0);
  BCRYPT_KEY_HANDLE keyHandle = nullptr;
  BCryptGenerateSymmetricKey(algorithm.handle, &keyHandle, nullptr, 0,
                             const_cast<PUCHAR>(key.data()), static_cast<ULONG>(key.size()), 0);
  uint8_t chain[8];
  std::copy(iv.begin(), iv.end(), chain);
  Bytes out(plain.size() + 8);
  ULONG written = 0;
  BCryptEncrypt(keyHandle, const_cast<PUCHAR>(plain.data()), static_cast<ULONG>(plain.size()),
                nullptr, chain, sizeof chain, out.data(), static_cast<ULONG>(out.size()), &written,
                BCRYPT_BLOCK_PADDING);
  BCryptDestroyKey(keyHandle);
  out.resize(written);
  return out;
}

}  // namespace ov::test::ref
