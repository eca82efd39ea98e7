// The edge between the crypto services and the Windows cryptography (CNG): owners of the handles
// the services keep, the algorithm providers opened once per process, and the one place where a
// failing call becomes an OVException. The handles are plain pointers here so that the class
// headers need no Windows headers.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace ov {

class LogScope;

namespace cng {

struct HashFree {
  void operator()(void* hash) const noexcept;
};
struct KeyFree {
  void operator()(void* key) const noexcept;
};
struct AlgorithmFree {
  void operator()(void* algorithm) const noexcept;
};

using HashPtr = std::unique_ptr<void, HashFree>;
using KeyPtr = std::unique_ptr<void, KeyFree>;
using AlgorithmPtr = std::unique_ptr<void, AlgorithmFree>;

// Reports `text` to the log and raises OVException 6003 carrying it.
[[noreturn]] void Fail(LogScope& log, const char* text);
[[noreturn]] void Fail(const char* text);

// Providers opened once per process and shared by every thread (CNG allows that for hashing and
// for keys made from them). Raise 6003 when the system does not offer them.
void* Sha1();
void* Sha256();
void* HmacSha256();

// A hash object of `algorithm`, keyed when `key` is given (an HMAC provider); raises 6003.
HashPtr CreateHash(void* algorithm, std::span<const std::uint8_t> key = {});
void HashData(void* hash, std::span<const std::uint8_t> data);
// Writes the value (exactly out.size() bytes, the hash's length) and returns the hash to its
// initial state.
void FinishHash(void* hash, std::span<std::uint8_t> out);
// The value of everything hashed so far, read from a duplicate so the hash can take more data.
void ReadDuplicate(void* hash, std::span<std::uint8_t> out);

// A provider of a block cipher ("AES", "3DES", "DES") in a chaining mode ("ChainingModeECB",
// "ChainingModeCBC", as wide text); null when the system does not offer it.
AlgorithmPtr OpenCipher(const wchar_t* algorithm, const wchar_t* chainingMode);
// True when the provider is set to CBC (the stand-in for an ECB the system does not offer).
bool IsCbc(void* algorithm);
// A key imported as raw bytes into a cipher provider; raises 6003.
KeyPtr ImportKey(void* algorithm, std::span<const std::uint8_t> key);
// Encrypts or decrypts whole blocks, without padding. `chain` is the chaining value of a CBC key
// (updated in place, so consecutive calls continue one message) and empty for ECB. False when the
// system refuses or produces another length.
bool Crypt(void* key, bool encrypt, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
           std::span<std::uint8_t> chain);
// One block through a key of a CBC provider as ECB: a fresh copy of the key from a zero IV.
bool CryptOneBlockByCbc(void* key, bool encrypt, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out);

}  // namespace cng
}  // namespace ov
