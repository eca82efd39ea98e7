#include "crypto/Sha256Digest.h"

#include "common/LogFacade.h"

namespace ov {

Sha256Digest::Sha256Digest() : m_context(EVP_MD_CTX_new()) {
  LogScope log("Sha256Digest::Sha256Digest");
  if (!m_context || EVP_DigestInit_ex2(m_context.get(), ossl::Sha256(), nullptr) != 1) {
    ossl::Fail(log, "SHA-256 initialisation failed");
  }
}

void Sha256Digest::Reset() {
  LogScope log("Sha256Digest::Reset");
  if (EVP_DigestInit_ex2(m_context.get(), ossl::Sha256(), nullptr) != 1) {
    ossl::Fail(log, "SHA-256 initialisation failed");
  }
}

void Sha256Digest::Update(std::uint8_t in) {
  LogScope log("Sha256Digest::Update");
  if (EVP_DigestUpdate(m_context.get(), &in, 1) != 1) ossl::Fail(log, "SHA-256 update failed");
}

void Sha256Digest::BlockUpdate(std::span<const std::uint8_t> in, std::size_t offset,
                               std::size_t length) {
  LogScope log("Sha256Digest::BlockUpdate");
  if (offset > in.size() || length > in.size() - offset) {
    ossl::Fail(log, "Input outside its buffer");
  }
  if (EVP_DigestUpdate(m_context.get(), in.data() + offset, length) != 1) {
    ossl::Fail(log, "SHA-256 update failed");
  }
}

std::int32_t Sha256Digest::DoFinal(std::span<std::uint8_t> out, std::size_t offset) {
  LogScope log("Sha256Digest::DoFinal");
  if (offset > out.size() || out.size() - offset < kDigestSize) {
    ossl::Fail(log, "Output buffer too small");
  }
  if (EVP_DigestFinal_ex(m_context.get(), out.data() + offset, nullptr) != 1 ||
      EVP_DigestInit_ex2(m_context.get(), ossl::Sha256(), nullptr) != 1) {
    ossl::Fail(log, "SHA-256 final failed");
  }
  return log.Return(kDigestSize);
}

}  // namespace ov
