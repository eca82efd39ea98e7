#include "crypto/HmacSha256.h"

#include <openssl/core_names.h>
#include <openssl/params.h>

#include <array>

#include "common/LogFacade.h"

namespace ov {

HmacSha256::HmacSha256() : m_context(EVP_MAC_CTX_new(ossl::Hmac())) {
  LogScope log("HmacSha256::HmacSha256");
  if (!m_context) ossl::Fail(log, "HMAC context allocation failed");
}

void HmacSha256::Init(const KeyParameter& key) {
  LogScope log("HmacSha256::Init");
  log.Number("nKeyLength", key.GetLength());
  // A null key pointer tells OpenSSL to keep the previous key, so an empty key is passed as a
  // valid pointer with length 0.
  static const std::uint8_t kEmpty = 0;
  const std::uint8_t* bytes = key.GetKey().empty() ? &kEmpty : key.GetKey().data();
  char digest[] = OSSL_DIGEST_NAME_SHA2_256;
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_end(),
  };
  m_bKeyed = false;
  if (EVP_MAC_init(m_context.get(), bytes, key.GetKey().size(), params) != 1) {
    ossl::Fail(log, "HMAC key setup failed");
  }
  m_bKeyed = true;
}

void HmacSha256::BlockUpdate(std::span<const std::uint8_t> in, std::size_t offset,
                             std::size_t length) {
  LogScope log("HmacSha256::BlockUpdate");
  if (!m_bKeyed) ossl::Fail(log, "HMAC used without a key");
  if (offset > in.size() || length > in.size() - offset)
    ossl::Fail(log, "Input outside its buffer");
  if (EVP_MAC_update(m_context.get(), in.data() + offset, length) != 1) {
    ossl::Fail(log, "HMAC update failed");
  }
}

std::int32_t HmacSha256::DoFinal(std::span<std::uint8_t> out, std::size_t offset) {
  LogScope log("HmacSha256::DoFinal");
  if (!m_bKeyed) ossl::Fail(log, "HMAC used without a key");
  if (offset > out.size() || out.size() - offset < kMacSize) {
    ossl::Fail(log, "Output buffer too small");
  }
  std::size_t written = 0;
  if (EVP_MAC_final(m_context.get(), out.data() + offset, &written, kMacSize) != 1 ||
      written != kMacSize) {
    ossl::Fail(log, "HMAC final failed");
  }
  // A null key re-initialises with the key already set.
  if (EVP_MAC_init(m_context.get(), nullptr, 0, nullptr) != 1) ossl::Fail(log, "HMAC reset failed");
  return log.Return(kMacSize);
}

void HmacSha256::Reset() {
  LogScope log("HmacSha256::Reset");
  if (!m_bKeyed) return;
  if (EVP_MAC_init(m_context.get(), nullptr, 0, nullptr) != 1) ossl::Fail(log, "HMAC reset failed");
}

}  // namespace ov
