#include "crypto/CryptHash.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/Hex.h"

namespace ov {

namespace {

constexpr std::size_t kSha1Size = 20;

}  // namespace

CryptHash::CryptHash(const CryptProvider& provider) noexcept
    : m_pLibraryContext(provider.LibraryContext()) {}

void CryptHash::CreateHash(ALG_ID algorithm) {
  LogScope log("CryptHash::CreateHash");
  log.Number("Algid", static_cast<int32_t>(algorithm));
  m_hash.reset();
  if (algorithm != CALG_SHA1) cng::Fail(log, "CryptCreateHash failed.");
  try {
    m_hash = cng::CreateHash(cng::Sha1());
  } catch (const OVException&) {
    cng::Fail(log, "CryptCreateHash failed.");
  }
}

void CryptHash::HashData(std::span<const std::uint8_t> data, SecureString& hex) {
  LogScope log("CryptHash::HashData");
  log.Number("dwDataLen", static_cast<int32_t>(data.size()));
  if (!m_hash) cng::Fail(log, "CryptHashData failed.");
  try {
    cng::HashData(m_hash.get(), data);
  } catch (const OVException&) {
    cng::Fail(log, "CryptHashData failed.");
  }
  const SecureBytes value = ReadValue(log);
  hex = HexEncodeSecret(value);
}

void CryptHash::GetHashValue(std::span<std::uint8_t> out, std::uint32_t& length) {
  LogScope log("CryptHash::GetHashValue");
  log.Number("dwDataLen", static_cast<int32_t>(out.size()));
  if (!m_hash) cng::Fail(log, "CryptGetHashParam (HP_HASHVAL) failed.");
  if (out.size() < kSha1Size) cng::Fail(log, "Insufficient bufffer passed for hash data failed.");
  const SecureBytes value = ReadValue(log);
  std::copy(value.begin(), value.end(), out.begin());
  length = static_cast<std::uint32_t>(value.size());
}

SecureBytes CryptHash::ReadValue(LogScope& log) const {
  SecureBytes value(kSha1Size);
  try {
    cng::ReadDuplicate(m_hash.get(), value);
  } catch (const OVException&) {
    cng::Fail(log, "CryptGetHashParam (HP_HASHVAL) failed.");
  }
  return value;
}

}  // namespace ov
