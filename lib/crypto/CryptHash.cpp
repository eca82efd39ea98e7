#include "crypto/CryptHash.h"

#include <openssl/evp.h>

#include "common/LogFacade.h"
#include "encoding/Hex.h"

namespace ov {

CryptHash::CryptHash(const CryptProvider& provider) noexcept
    : m_pLibraryContext(provider.LibraryContext()) {}

void CryptHash::CreateHash(ALG_ID algorithm) {
  LogScope log("CryptHash::CreateHash");
  log.Number("Algid", static_cast<int32_t>(algorithm));
  m_hash.reset();
  if (algorithm != CALG_SHA1) ossl::Fail(log, "CryptCreateHash failed.");
  ossl::MdCtxPtr hash(EVP_MD_CTX_new());
  if (!hash || EVP_DigestInit_ex2(hash.get(), ossl::Sha1(), nullptr) != 1) {
    ossl::Fail(log, "CryptCreateHash failed.");
  }
  m_hash = std::move(hash);
}

void CryptHash::HashData(std::span<const std::uint8_t> data, SecureString& hex) {
  LogScope log("CryptHash::HashData");
  log.Number("dwDataLen", static_cast<int32_t>(data.size()));
  if (!m_hash || EVP_DigestUpdate(m_hash.get(), data.data(), data.size()) != 1) {
    ossl::Fail(log, "CryptHashData failed.");
  }
  const SecureBytes value = ReadValue(log);
  hex = HexEncodeSecret(value);
}

void CryptHash::GetHashValue(std::span<std::uint8_t> out, std::uint32_t& length) {
  LogScope log("CryptHash::GetHashValue");
  log.Number("dwDataLen", static_cast<int32_t>(out.size()));
  if (!m_hash) ossl::Fail(log, "CryptGetHashParam (HP_HASHVAL) failed.");
  const int size = EVP_MD_CTX_get_size(m_hash.get());
  if (size <= 0) ossl::Fail(log, "CryptGetHashParam (HP_HASHVAL) failed.");
  if (out.size() < static_cast<std::size_t>(size)) {
    ossl::Fail(log, "Insufficient bufffer passed for hash data failed.");
  }
  const SecureBytes value = ReadValue(log);
  std::copy(value.begin(), value.end(), out.begin());
  length = static_cast<std::uint32_t>(value.size());
}

// Finishes a copy of the running state, so the hash itself can go on taking data.
SecureBytes CryptHash::ReadValue(LogScope& log) const {
  ossl::MdCtxPtr copy(EVP_MD_CTX_new());
  SecureBytes value(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  if (!copy || EVP_MD_CTX_copy_ex(copy.get(), m_hash.get()) != 1 ||
      EVP_DigestFinal_ex(copy.get(), value.data(), &size) != 1) {
    ossl::Fail(log, "CryptGetHashParam (HP_HASHVAL) failed.");
  }
  value.resize(size);
  return value;
}

}  // namespace ov
