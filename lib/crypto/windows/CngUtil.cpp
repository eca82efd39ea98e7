#include "crypto/windows/CngUtil.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <climits>
#include <cwchar>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "common/SecureMemory.h"
#include "ov/ov_api.h"

namespace ov::cng {

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

// A provider kept for the life of the process; null when the system lacks it.
AlgorithmPtr OpenProvider(const wchar_t* name, ULONG flags) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!Ok(BCryptOpenAlgorithmProvider(&handle, name, nullptr, flags))) return nullptr;
  return AlgorithmPtr(handle);
}

void* Shared(const AlgorithmPtr& provider, const char* missing) {
  if (!provider) Fail(missing);
  return provider.get();
}

}  // namespace

void HashFree::operator()(void* hash) const noexcept { BCryptDestroyHash(hash); }
void KeyFree::operator()(void* key) const noexcept { BCryptDestroyKey(key); }
void AlgorithmFree::operator()(void* algorithm) const noexcept {
  BCryptCloseAlgorithmProvider(algorithm, 0);
}

void Fail(LogScope& log, const char* text) {
  log.Message(text);
  Fail(text);
}

void Fail(const char* text) { throw OVException(OV_ERR_OPERATION_FAILED, text); }

void* Sha1() {
  static const AlgorithmPtr provider = OpenProvider(BCRYPT_SHA1_ALGORITHM, 0);
  return Shared(provider, "SHA-1 is not available");
}

void* Sha256() {
  static const AlgorithmPtr provider = OpenProvider(BCRYPT_SHA256_ALGORITHM, 0);
  return Shared(provider, "SHA-256 is not available");
}

void* HmacSha256() {
  static const AlgorithmPtr provider =
      OpenProvider(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  return Shared(provider, "HMAC is not available");
}

HashPtr CreateHash(void* algorithm, std::span<const std::uint8_t> key) {
  if (key.size() > ULONG_MAX) Fail("Key too long");
  // A reusable hash returns to its initial (keyed) state when finished, which is what the
  // digest and MAC classes promise after DoFinal. The key is copied by the system.
  static std::uint8_t empty = 0;
  auto* secret = key.empty() ? &empty : const_cast<std::uint8_t*>(key.data());
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!Ok(BCryptCreateHash(algorithm, &hash, nullptr, 0, secret, static_cast<ULONG>(key.size()),
                           BCRYPT_HASH_REUSABLE_FLAG))) {
    Fail("Hash creation failed");
  }
  return HashPtr(hash);
}

void HashData(void* hash, std::span<const std::uint8_t> data) {
  // The length is a ULONG; a larger slice goes in pieces.
  while (!data.empty()) {
    const std::size_t piece = std::min<std::size_t>(data.size(), ULONG_MAX);
    if (!Ok(BCryptHashData(hash, const_cast<std::uint8_t*>(data.data()),
                           static_cast<ULONG>(piece), 0))) {
      Fail("Hash update failed");
    }
    data = data.subspan(piece);
  }
}

void FinishHash(void* hash, std::span<std::uint8_t> out) {
  if (!Ok(BCryptFinishHash(hash, out.data(), static_cast<ULONG>(out.size()), 0))) {
    Fail("Hash final failed");
  }
}

void ReadDuplicate(void* hash, std::span<std::uint8_t> out) {
  BCRYPT_HASH_HANDLE copy = nullptr;
  if (!Ok(BCryptDuplicateHash(hash, &copy, nullptr, 0, 0))) Fail("Hash copy failed");
  const HashPtr owner(copy);
  FinishHash(copy, out);
}

AlgorithmPtr OpenCipher(const wchar_t* algorithm, const wchar_t* chainingMode) {
  AlgorithmPtr provider = OpenProvider(algorithm, 0);
  if (!provider) return nullptr;
  const auto size = static_cast<ULONG>((std::wcslen(chainingMode) + 1) * sizeof(wchar_t));
  if (!Ok(BCryptSetProperty(provider.get(), BCRYPT_CHAINING_MODE,
                            reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chainingMode)), size,
                            0))) {
    return nullptr;
  }
  return provider;
}

bool IsCbc(void* algorithm) {
  wchar_t mode[64] = {};
  ULONG written = 0;
  return Ok(BCryptGetProperty(algorithm, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode),
                              sizeof(mode) - sizeof(wchar_t), &written, 0)) &&
         std::wcscmp(mode, BCRYPT_CHAIN_MODE_CBC) == 0;
}

KeyPtr ImportKey(void* algorithm, std::span<const std::uint8_t> key) {
  if (algorithm == nullptr || key.empty() || key.size() > ULONG_MAX) Fail("Key import failed");
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!Ok(BCryptGenerateSymmetricKey(algorithm, &handle, nullptr, 0,
                                     const_cast<std::uint8_t*>(key.data()),
                                     static_cast<ULONG>(key.size()), 0))) {
    Fail("Key import failed");
  }
  return KeyPtr(handle);
}

bool Crypt(void* key, bool encrypt, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
           std::span<std::uint8_t> chain) {
  if (in.size() > ULONG_MAX || out.size() < in.size()) return false;
  ULONG written = 0;
  auto* input = const_cast<std::uint8_t*>(in.data());
  auto* iv = chain.empty() ? nullptr : chain.data();
  const auto ivLength = static_cast<ULONG>(chain.size());
  const NTSTATUS status =
      encrypt ? BCryptEncrypt(key, input, static_cast<ULONG>(in.size()), nullptr, iv, ivLength,
                              out.data(), static_cast<ULONG>(out.size()), &written, 0)
              : BCryptDecrypt(key, input, static_cast<ULONG>(in.size()), nullptr, iv, ivLength,
                              out.data(), static_cast<ULONG>(out.size()), &written, 0);
  return Ok(status) && written == in.size();
}

bool CryptOneBlockByCbc(void* key, bool encrypt, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out) {
  // The copy starts without chaining state; the key itself is never used, so it never gets any.
  BCRYPT_KEY_HANDLE copy = nullptr;
  if (!Ok(BCryptDuplicateKey(key, &copy, nullptr, 0, 0))) return false;
  const KeyPtr owner(copy);
  std::uint8_t chain[16] = {};
  if (in.size() > sizeof(chain)) return false;
  return Crypt(copy, encrypt, in, out, std::span(chain, in.size()));
}

}  // namespace ov::cng
