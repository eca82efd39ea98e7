// OV3Util: the protection services of token files. User-bound protection with an extra entropy
// value (the platform's UserProtect), AES-CBC, random bytes and texts, keys derived from texts and
// the device-identity string, the PIN-derived key-encryption key, and the framing of the OTP key
// into a seed record. Together they bind a token file to the user, to the machine or USB drive,
// and (the OTP key) to the user's PIN.
//
// Failures raise OVException 6003 after an error line in the log. Every returned buffer that can
// hold a key or plaintext is wiped when released.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/SecureMemory.h"

namespace ov::OV3Util {

inline constexpr std::size_t kSeedBufferSize = 256;
inline constexpr std::size_t kSeedRecordSize = 128;  // the part of the seed buffer that is stored
inline constexpr std::size_t kMaxSeedLength = 145;
inline constexpr int32_t kKekIterations = 10000;
inline constexpr char kRandomAlphabet[] =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The entropy of a protected blob: a copy of the given bytes.
struct Entropy {
  SecureBytes bytes;
};

void SetEntropy(std::span<const uint8_t> bytes, Entropy& entropy);

// Protects `data` for the current user; the blob opens only with the same entropy (CryptProtect:
// the key bytes are the entropy). The result is checked by opening it at once.
std::vector<uint8_t> CryptProtect(std::span<const uint8_t> data, std::span<const uint8_t> key);
std::vector<uint8_t> CryptProtectEntropy(std::span<const uint8_t> data, const Entropy& entropy);
// The data of a blob of CryptProtect*, exactly as given to it.
SecureBytes CryptUnprotect(std::span<const uint8_t> blob, std::span<const uint8_t> key);
SecureBytes CryptUnprotectEntropy(std::span<const uint8_t> blob, const Entropy& entropy);

// Returns when `mac` is HMAC-SHA-256(key, 00 00 00 01 || data), all 32 bytes of it (compared in
// constant time); raises 6003 otherwise.
void verifyHmac(std::span<const uint8_t> key, std::span<const uint8_t> data,
                std::span<const uint8_t> mac);

// The 256-byte seed buffer: byte 0 the seed length, then the seed. A seed above 145 bytes raises
// 6003 (it would not fit the stored record, and an empty seed must not be stored in its place).
SecureBytes prepereSeedBuff(std::span<const uint8_t> seed);
// The seed of a 128-byte seed record: min(length byte, 127) bytes from byte 1 on.
SecureBytes extractSeedFromBuff(std::span<const uint8_t> record);

void getRandomArray(std::span<uint8_t> buffer);
// n characters of kRandomAlphabet, each chosen by a random byte.
SecureString getRandomString(std::size_t n);

// AES (the key length picks AES-128/192/256) in CBC mode; padding selects PKCS#7. A decryption
// whose padding does not check out gives an empty result.
SecureBytes aesCbc(std::span<const uint8_t> iv, std::span<const uint8_t> key,
                   std::span<const uint8_t> input, bool encrypt, bool padding);

// "1,2,3" and back: values written "%lu", separated by ","; reading counts 1 plus the number of
// ",", and reads each part with atol when `values` is given.
std::string longArrayToString(std::span<const uint32_t> values);
std::size_t longArrayFromString(std::string_view text, std::vector<uint32_t>* values);

// The device-identity string d(slot): on the machine drive the slot's text of the device-identity
// list; on a USB drive its serial number for every slot; otherwise an empty text.
std::string GetDeviceUnique(int slot);
// H(s, slot) = SHA-256(s + d(slot)).
SecureBytes getSHA256Key(std::string_view s, int slot);
// The key-encryption key of the seed: PBKDF2-HMAC-SHA256 of the password with the salt
// H(a1 + a2 + d + a0, slot), 10000 iterations, 32 bytes.
SecureBytes getKEKBuff(std::string_view a0, std::string_view a1, std::string_view a2,
                       std::span<const uint8_t> password, int slot);

// How many key-encryption keys this process has derived: each costs 10000 PBKDF2 iterations, so
// tests and benchmarks count them to see what a read or a wrong PIN costs.
uint64_t KekDerivationCount() noexcept;

}  // namespace ov::OV3Util
