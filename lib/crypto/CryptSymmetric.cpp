#include "crypto/CryptSymmetric.h"

#include <climits>

#include "common/LogFacade.h"

namespace ov {

namespace {

// The OpenSSL name of the CBC cipher for an algorithm and key length; null when unsupported.
const char* CbcCipherName(ALG_ID algorithm, std::size_t keyLength) {
  switch (algorithm) {
    case CALG_3DES:
      return keyLength == 24 ? "DES-EDE3-CBC" : nullptr;
    case CALG_AES:
      if (keyLength == 16) return "AES-128-CBC";
      if (keyLength == 24) return "AES-192-CBC";
      if (keyLength == 32) return "AES-256-CBC";
      return nullptr;
    case CALG_AES_128:
      return keyLength == 16 ? "AES-128-CBC" : nullptr;
    case CALG_AES_192:
      return keyLength == 24 ? "AES-192-CBC" : nullptr;
    case CALG_AES_256:
      return keyLength == 32 ? "AES-256-CBC" : nullptr;
    default:
      return nullptr;
  }
}

// Leaves room for a padding block in int-sized OpenSSL lengths.
constexpr std::size_t kMaxInput = INT_MAX - 64;

}  // namespace

CryptSymmetric::CryptSymmetric(const CryptProvider& provider, ALG_ID algorithm,
                               std::span<const std::uint8_t> key)
    : m_algorithm(algorithm), m_key(key.begin(), key.end()) {
  Init(provider.LibraryContext());
}

void CryptSymmetric::Init(OSSL_LIB_CTX* libraryContext) {
  LogScope log("CryptSymmetric::Init");
  log.Number("Algid", static_cast<int32_t>(m_algorithm));
  log.Number("dwKeyLen", static_cast<int32_t>(m_key.size()));
  const char* name = CbcCipherName(m_algorithm, m_key.size());
  if (name == nullptr) ossl::Fail(log, "CryptImportKey failed");
  m_cipher.reset(EVP_CIPHER_fetch(libraryContext, name, nullptr));
  m_context.reset(EVP_CIPHER_CTX_new());
  if (!m_cipher || !m_context) ossl::Fail(log, "CryptImportKey failed");
  const int blockLength = EVP_CIPHER_get_block_size(m_cipher.get());
  if (blockLength <= 1) ossl::Fail(log, "CryptGetKeyParam failed-1");
  const int ivLength = EVP_CIPHER_get_iv_length(m_cipher.get());
  if (ivLength <= 0) ossl::Fail(log, "CryptGetKeyParam failed-2");
  m_nBlockLength = static_cast<std::uint32_t>(blockLength);
  m_nIVLength = static_cast<std::uint32_t>(ivLength);
  m_iv.assign(m_nIVLength, 0);
}

void CryptSymmetric::SetIV(std::span<const std::uint8_t> iv) {
  LogScope log("CryptSymmetric::SetIV");
  if (iv.size() != m_nIVLength) ossl::Fail(log, "CryptSetKeyParam failed");
  m_iv.assign(iv.begin(), iv.end());
  m_bIVSet = true;
  m_state = State::kIdle;
}

// Keys the cipher context with the IV when a message starts (or the direction changes), so a
// message's calls chain on and the next message starts from the IV.
void CryptSymmetric::Begin(State direction, LogScope& log, const char* failure) {
  if (m_state == direction) return;
  m_state = State::kIdle;
  const int encrypt = direction == State::kEncrypting ? 1 : 0;
  if (EVP_CipherInit_ex2(m_context.get(), m_cipher.get(), m_key.data(), m_iv.data(), encrypt,
                         nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(m_context.get(), 0) != 1) {
    ossl::Fail(log, failure);
  }
  m_state = direction;
}

void CryptSymmetric::Encrypt(std::span<const std::uint8_t> input, SecureBytes& output, bool final) {
  LogScope log("CryptSymmetric::Encrypt");
  log.Number("dwDataLen", static_cast<int32_t>(input.size() > INT_MAX ? INT_MAX : input.size()));
  log.Number("Final", final ? 1 : 0);
  if (input.size() > kMaxInput || (!final && input.size() % m_nBlockLength != 0)) {
    ossl::Fail(log, "CrtypEncrypt failed-1");
  }
  Begin(State::kEncrypting, log, "CrtypEncrypt failed-1");
  SecureBytes buffer(input.begin(), input.end());
  if (final) {
    const auto pad = static_cast<std::uint8_t>(m_nBlockLength - input.size() % m_nBlockLength);
    buffer.insert(buffer.end(), pad, pad);
  }
  output.assign(buffer.size(), 0);
  int produced = 0;
  if (EVP_CipherUpdate(m_context.get(), output.data(), &produced, buffer.data(),
                       static_cast<int>(buffer.size())) != 1 ||
      static_cast<std::size_t>(produced) != buffer.size()) {
    m_state = State::kIdle;
    ossl::Fail(log, "CrtypEncrypt failed-2");
  }
  if (final) m_state = State::kIdle;
}

void CryptSymmetric::Decrypt(std::span<const std::uint8_t> input, SecureBytes& output, bool final) {
  LogScope log("CryptSymmetric::Decrypt");
  log.Number("dwDataLen", static_cast<int32_t>(input.size() > INT_MAX ? INT_MAX : input.size()));
  log.Number("Final", final ? 1 : 0);
  if (input.size() > kMaxInput || input.size() % m_nBlockLength != 0 || (final && input.empty())) {
    m_state = State::kIdle;
    ossl::Fail(log, "CrtypDecrypt failed-1");
  }
  Begin(State::kDecrypting, log, "CrtypDecrypt failed-1");
  output.assign(input.size(), 0);
  int produced = 0;
  if (EVP_CipherUpdate(m_context.get(), output.data(), &produced, input.data(),
                       static_cast<int>(input.size())) != 1 ||
      static_cast<std::size_t>(produced) != input.size()) {
    m_state = State::kIdle;
    SecureWipe(output.data(), output.size());
    output.clear();
    ossl::Fail(log, "CrtypDecrypt failed-2");
  }
  if (!final) return;
  m_state = State::kIdle;
  // The pad is checked over the whole last block without an early exit, so the time taken does
  // not tell where a damaged pad went wrong.
  const std::size_t pad = output.back();
  unsigned bad = (pad == 0 || pad > m_nBlockLength) ? 1u : 0u;
  for (std::size_t i = 1; i <= m_nBlockLength; ++i) {
    const unsigned inPad = i <= pad ? 1u : 0u;
    bad |= inPad & (output[output.size() - i] != pad ? 1u : 0u);
  }
  if (bad != 0) {
    SecureWipe(output.data(), output.size());
    output.clear();
    ossl::Fail(log, "CrtypDecrypt failed-2");
  }
  output.resize(output.size() - pad);
}

}  // namespace ov
