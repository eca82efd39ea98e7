#include "crypto/Sha256Digest.h"

#include <array>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "common/SecureMemory.h"

namespace ov {

Sha256Digest::Sha256Digest() {
  LogScope log("Sha256Digest::Sha256Digest");
  try {
    m_context = cng::CreateHash(cng::Sha256());
  } catch (const OVException&) {
    cng::Fail(log, "SHA-256 initialisation failed");
  }
}

void Sha256Digest::Reset() {
  LogScope log("Sha256Digest::Reset");
  // Finishing a reusable hash is what returns it to its initial state.
  std::array<std::uint8_t, kDigestSize> discarded{};
  WipeOnExit wipe(discarded);
  cng::FinishHash(m_context.get(), discarded);
}

void Sha256Digest::Update(std::uint8_t in) {
  LogScope log("Sha256Digest::Update");
  cng::HashData(m_context.get(), {&in, 1});
}

void Sha256Digest::BlockUpdate(std::span<const std::uint8_t> in, std::size_t offset,
                               std::size_t length) {
  LogScope log("Sha256Digest::BlockUpdate");
  if (offset > in.size() || length > in.size() - offset) {
    cng::Fail(log, "Input outside its buffer");
  }
  cng::HashData(m_context.get(), in.subspan(offset, length));
}

std::int32_t Sha256Digest::DoFinal(std::span<std::uint8_t> out, std::size_t offset) {
  LogScope log("Sha256Digest::DoFinal");
  if (offset > out.size() || out.size() - offset < kDigestSize) {
    cng::Fail(log, "Output buffer too small");
  }
  cng::FinishHash(m_context.get(), out.subspan(offset, kDigestSize));
  return log.Return(kDigestSize);
}

}  // namespace ov
