#include "crypto/HmacSha256.h"

#include <array>

#include "common/LogFacade.h"

namespace ov {

// The keyed hash object is made by Init; until then the MAC refuses to work.
HmacSha256::HmacSha256() {
  LogScope log("HmacSha256::HmacSha256");
  cng::HmacSha256();
}

void HmacSha256::Init(const KeyParameter& key) {
  LogScope log("HmacSha256::Init");
  log.Number("nKeyLength", key.GetLength());
  m_bKeyed = false;
  m_context = cng::CreateHash(cng::HmacSha256(), key.GetKey());
  m_bKeyed = true;
}

void HmacSha256::BlockUpdate(std::span<const std::uint8_t> in, std::size_t offset,
                             std::size_t length) {
  LogScope log("HmacSha256::BlockUpdate");
  if (!m_bKeyed) cng::Fail(log, "HMAC used without a key");
  if (offset > in.size() || length > in.size() - offset) cng::Fail(log, "Input outside its buffer");
  cng::HashData(m_context.get(), in.subspan(offset, length));
}

std::int32_t HmacSha256::DoFinal(std::span<std::uint8_t> out, std::size_t offset) {
  LogScope log("HmacSha256::DoFinal");
  if (!m_bKeyed) cng::Fail(log, "HMAC used without a key");
  if (offset > out.size() || out.size() - offset < kMacSize) {
    cng::Fail(log, "Output buffer too small");
  }
  // A reusable hash goes back to its keyed initial state when finished.
  cng::FinishHash(m_context.get(), out.subspan(offset, kMacSize));
  return log.Return(kMacSize);
}

void HmacSha256::Reset() {
  LogScope log("HmacSha256::Reset");
  if (!m_bKeyed) return;
  std::array<std::uint8_t, kMacSize> discarded{};
  WipeOnExit wipe(discarded);
  cng::FinishHash(m_context.get(), discarded);
}

}  // namespace ov
