// A symmetric key imported into a provider: the platform-cipher wrapper behind the passphrase
// protection of key texts and the drive key. The key works in CBC mode with a zero IV until
// SetIV sets another. Encrypt and Decrypt may be called several times for one message: a call
// that is not final takes whole blocks and keeps the chaining value for the next call; the final
// call adds (Encrypt) or checks and removes (Decrypt) the standard block padding (PKCS#5: 1 to
// block-length bytes, each holding the pad length) and starts the next message from the IV again.
//
// Supported: CALG_3DES with a 24-byte key, CALG_AES with 16, 24 or 32 bytes and the sized AES
// identifiers with their own length. Every failure reports its fixed text to the log and raises
// OVException 6003; a padding that does not check out is such a failure.
#pragma once

#include <cstdint>
#include <span>

#include "common/SecureMemory.h"
#include "crypto/CryptAlgorithms.h"
#include "crypto/CryptProvider.h"
#include "crypto/CryptoHandles.h"

namespace ov {

class LogScope;

class CryptSymmetric {
 public:
  // Imports the key (a copy is kept, wiped on destruction) and reads its block and IV lengths.
  CryptSymmetric(const CryptProvider& provider, ALG_ID algorithm,
                 std::span<const std::uint8_t> key);

  // Sets the IV (exactly GetIVLength() bytes) for the next message.
  void SetIV(std::span<const std::uint8_t> iv);

  void Encrypt(std::span<const std::uint8_t> input, SecureBytes& output, bool final);
  void Decrypt(std::span<const std::uint8_t> input, SecureBytes& output, bool final);

  std::uint32_t GetBlockLength() const noexcept { return m_nBlockLength; }
  std::uint32_t GetIVLength() const noexcept { return m_nIVLength; }
  bool IsIVSet() const noexcept { return m_bIVSet; }

 private:
  enum class State { kIdle, kEncrypting, kDecrypting };

  void Init(crypto::LibraryContext* libraryContext);
  void Begin(State direction, LogScope& log, const char* failure);
  // Runs whole blocks of the current message through the cipher; false when the cipher fails.
  bool Transform(std::span<const std::uint8_t> input, std::span<std::uint8_t> output);

  ALG_ID m_algorithm;
  SecureBytes m_key;
  crypto::CipherAlgorithm m_cipher;
  crypto::CipherContext m_context;
  SecureBytes m_iv;
  // The chaining value of the current message where the cipher library leaves it to the caller.
  SecureBytes m_chain;
  std::uint32_t m_nBlockLength = 0;
  std::uint32_t m_nIVLength = 0;
  bool m_bIVSet = false;
  State m_state = State::kIdle;
};

}  // namespace ov
