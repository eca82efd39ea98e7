// The CNG side of CryptSymmetric: a CBC key of the system's provider. CNG hands the chaining value
// back through the IV buffer of each call, so the message's running value is kept in m_chain.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/CryptSymmetric.h"

namespace ov {

namespace {

// The CNG algorithm for an algorithm and key length; null when unsupported.
const wchar_t* CbcAlgorithm(ALG_ID algorithm, std::size_t keyLength) {
  if (algorithm == CALG_3DES) return keyLength == 24 ? BCRYPT_3DES_ALGORITHM : nullptr;
  const ALG_ID effective = EffectiveBlockAlgorithm(algorithm, keyLength);
  return effective == CALG_AES_128 || effective == CALG_AES_192 || effective == CALG_AES_256
             ? BCRYPT_AES_ALGORITHM
             : nullptr;
}

}  // namespace

void CryptSymmetric::Init(crypto::LibraryContext*) {
  LogScope log("CryptSymmetric::Init");
  log.Number("Algid", static_cast<int32_t>(m_algorithm));
  log.Number("dwKeyLen", static_cast<int32_t>(m_key.size()));
  const wchar_t* name = CbcAlgorithm(m_algorithm, m_key.size());
  if (name == nullptr) cng::Fail(log, "CryptImportKey failed");
  m_cipher = cng::OpenCipher(name, BCRYPT_CHAIN_MODE_CBC);
  if (!m_cipher) cng::Fail(log, "CryptImportKey failed");
  m_context = cng::ImportKey(m_cipher.get(), m_key);
  DWORD blockLength = 0;
  ULONG size = 0;
  if (BCryptGetProperty(m_cipher.get(), BCRYPT_BLOCK_LENGTH, reinterpret_cast<PUCHAR>(&blockLength),
                        sizeof(blockLength), &size, 0) < 0 ||
      blockLength <= 1) {
    cng::Fail(log, "CryptGetKeyParam failed-1");
  }
  m_nBlockLength = blockLength;
  m_nIVLength = blockLength;
  m_iv.assign(m_nIVLength, 0);
}

// A message starts on a fresh key: some implementations keep the chaining state inside the key
// and restart it only when the IV passed differs from the last one, so an IV passed again would
// continue the previous message.
void CryptSymmetric::Begin(State direction, LogScope& log, const char* failure) {
  if (m_state == direction) return;
  m_state = State::kIdle;
  try {
    m_context = cng::ImportKey(m_cipher.get(), m_key);
  } catch (const OVException&) {
    cng::Fail(log, failure);
  }
  m_chain.assign(m_iv.begin(), m_iv.end());
  m_state = direction;
}

bool CryptSymmetric::Transform(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
  if (input.empty()) return true;
  return cng::Crypt(m_context.get(), m_state == State::kEncrypting, input, output, m_chain);
}

}  // namespace ov
