// OrvantiAPI: the passphrase services of the token library. Random bytes for keys and nonces; the
// passphrase key (two chained SHA-1 values, interleaved byte by byte) that also names token files;
// and the protection of key texts with a passphrase: 3DES-CBC under the passphrase key with a zero
// IV and PKCS#5 padding, written as upper-case hex. The protected texts are always upper-case hex
// key strings, so a decryption counts as right only when it gives such a string; that check is
// what tells a wrong passphrase.
//
// None of these functions raises: every failure returns false.
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"
#include "crypto/CryptAlgorithms.h"

namespace ov::OrvantiAPI {

// Fills `buffer` from the system's random generator.
bool GenerateRandomKey(std::span<std::uint8_t> buffer);

// Derives out.size() key bytes from the passphrase (its bytes up to the terminator): with
// A = SHA-1(passphrase) and B = SHA-1(A), out = A[0] B[0] A[1] B[1] ... The length must be even
// and at most 40 (both digests used up); false for a null passphrase or an empty or other length.
bool GenerateCryptKey(const char* passphrase, std::span<std::uint8_t> out);

// Replaces *text with the upper-case hex of its encryption under the passphrase (always 2 x 8
// digits more than a multiple of 8 bytes: a full pad block when the length is a multiple of 8).
// Only CALG_3DES. On any failure *text is left as it was.
bool EncryptKP(const char* passphrase, SecureString* text, ALG_ID algorithm);

// Replaces *text (hex, either case) with its decryption under the passphrase. True only when the
// plaintext is upper-case hex digits; on any failure *text is left as it was and the rejected
// plaintext is wiped.
bool DecryptKP(const char* passphrase, SecureString* text, ALG_ID algorithm);

}  // namespace ov::OrvantiAPI
