#include "crypto/RsaPublicKey.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>
// clang-format on

#include <climits>
#include <cstring>

#include "common/LogFacade.h"
#include "crypto/windows/CngUtil.h"

namespace ov {

struct RsaPublicKey::Key {
  cng::KeyPtr key;
  std::size_t size = 0;
};

RsaPublicKey::RsaPublicKey(std::span<const std::uint8_t> subjectPublicKeyInfo)
    : m_key(std::make_unique<Key>()) {
  LogScope log("RsaPublicKey::RsaPublicKey");
  if (subjectPublicKeyInfo.empty() || subjectPublicKeyInfo.size() > LONG_MAX) {
    cng::Fail(log, "Invalid public key");
  }
  // The decoder allocates the structure; LocalFree releases it.
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD infoSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, subjectPublicKeyInfo.data(),
                           static_cast<DWORD>(subjectPublicKeyInfo.size()),
                           CRYPT_DECODE_ALLOC_FLAG | CRYPT_DECODE_NOCOPY_FLAG, nullptr, &info,
                           &infoSize)) {
    cng::Fail(log, "d2i_PUBKEY failed");
  }
  struct LocalRelease {
    void operator()(CERT_PUBLIC_KEY_INFO* p) const noexcept { LocalFree(p); }
  };
  const std::unique_ptr<CERT_PUBLIC_KEY_INFO, LocalRelease> owner(info);
  if (info->Algorithm.pszObjId == nullptr ||
      std::strcmp(info->Algorithm.pszObjId, szOID_RSA_RSA) != 0) {
    cng::Fail(log, "The public key is not an RSA key");
  }
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, info, 0, nullptr, &key)) {
    cng::Fail(log, "d2i_PUBKEY failed");
  }
  m_key->key.reset(key);
  // The length is read from the key's public blob, which every implementation exports.
  ULONG blobSize = 0;
  if (BCryptExportKey(key, nullptr, BCRYPT_RSAPUBLIC_BLOB, nullptr, 0, &blobSize, 0) < 0 ||
      blobSize < sizeof(BCRYPT_RSAKEY_BLOB)) {
    cng::Fail(log, "d2i_PUBKEY failed");
  }
  std::vector<std::uint8_t> blob(blobSize);
  if (BCryptExportKey(key, nullptr, BCRYPT_RSAPUBLIC_BLOB, blob.data(), blobSize, &blobSize, 0) <
      0) {
    cng::Fail(log, "d2i_PUBKEY failed");
  }
  BCRYPT_RSAKEY_BLOB header;
  std::memcpy(&header, blob.data(), sizeof(header));
  const ULONG bits = header.BitLength;
  if (bits == 0) cng::Fail(log, "d2i_PUBKEY failed");
  m_key->size = (bits + 7) / 8;
  log.Number("dwKeyBits", static_cast<int32_t>(bits));
}

RsaPublicKey::~RsaPublicKey() = default;
RsaPublicKey::RsaPublicKey(RsaPublicKey&&) noexcept = default;
RsaPublicKey& RsaPublicKey::operator=(RsaPublicKey&&) noexcept = default;

std::size_t RsaPublicKey::Size() const noexcept { return m_key ? m_key->size : 0; }

std::vector<std::uint8_t> RsaPublicKey::EncryptPkcs1v15(
    std::span<const std::uint8_t> plaintext) const {
  LogScope log("RsaPublicKey::EncryptPkcs1v15");
  if (!m_key || !m_key->key) cng::Fail(log, "RSA encryption set-up failed");
  if (plaintext.size() + 11 > m_key->size) cng::Fail(log, "RSA encryption failed");
  static std::uint8_t empty = 0;
  auto* input = plaintext.empty() ? &empty : const_cast<std::uint8_t*>(plaintext.data());
  std::vector<std::uint8_t> out(m_key->size);
  ULONG length = 0;
  if (BCryptEncrypt(m_key->key.get(), input, static_cast<ULONG>(plaintext.size()), nullptr,
                    nullptr, 0, out.data(), static_cast<ULONG>(out.size()), &length,
                    BCRYPT_PAD_PKCS1) < 0) {
    cng::Fail(log, "RSA encryption failed");
  }
  out.resize(length);
  return out;
}

}  // namespace ov
