// The OpenSSL side of CryptSymmetric: the cipher is fetched by name and the chaining value lives in
// the cipher context.
#include <openssl/evp.h>

#include <climits>

#include "common/LogFacade.h"
#include "crypto/CryptSymmetric.h"

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

}  // namespace

void CryptSymmetric::Init(crypto::LibraryContext* libraryContext) {
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

bool CryptSymmetric::Transform(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
  int produced = 0;
  return EVP_CipherUpdate(m_context.get(), output.data(), &produced, input.data(),
                          static_cast<int>(input.size())) == 1 &&
         static_cast<std::size_t>(produced) == input.size();
}

}  // namespace ov
