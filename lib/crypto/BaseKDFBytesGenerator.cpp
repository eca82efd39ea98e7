#include "crypto/BaseKDFBytesGenerator.h"

#include <algorithm>
#include <cstring>

#include "common/LogFacade.h"
#include "common/SecureMemory.h"

namespace ov {

BaseKDFBytesGenerator::~BaseKDFBytesGenerator() { SecureWipe(m_Z.data(), m_Z.size()); }

void BaseKDFBytesGenerator::Init(const KDFParameters& parameters) {
  LogScope log("BaseKDFBytesGenerator::Init");
  const auto z = parameters.GetZ();
  log.Number("nZLength", static_cast<int32_t>(std::min<std::size_t>(z.size(), INT32_MAX)));
  SecureWipe(m_Z.data(), m_Z.size());
  m_nZLength = 0;
  m_bInitialised = false;
  if (z.size() > m_Z.size()) {
    log.Message("Invalid State or Params");
    return;
  }
  std::copy(z.begin(), z.end(), m_Z.begin());
  m_nZLength = z.size();
  std::copy(parameters.GetIV().begin(), parameters.GetIV().end(), m_IV.begin());
  m_bInitialised = true;
}

std::int32_t BaseKDFBytesGenerator::GenerateBytes(std::span<std::uint8_t> out,
                                                  std::int32_t blockLength, std::int32_t outOffset,
                                                  std::int32_t length) {
  LogScope log("BaseKDFBytesGenerator::GenerateBytes");
  log.Number("nBlockLength", blockLength);
  log.Number("nOutOffset", outOffset);
  log.Number("nLength", length);
  if (!m_bInitialised || blockLength < 0 || outOffset < 0 || length < 0 ||
      static_cast<std::size_t>(blockLength) > out.size() || blockLength - length < outOffset) {
    log.Message("Invalid State or Params");
    return log.Return(0);
  }
  const std::size_t ivLength = strnlen(reinterpret_cast<const char*>(m_IV.data()), m_IV.size());
  std::array<std::uint8_t, Sha256Digest::kDigestSize> block{};
  WipeOnExit wipeBlock(block);
  auto counter = static_cast<std::uint32_t>(m_nCounterStart);
  std::size_t done = 0;
  const auto total = static_cast<std::size_t>(length);
  while (done < total) {
    const std::array<std::uint8_t, 4> c{
        static_cast<std::uint8_t>(counter >> 24), static_cast<std::uint8_t>(counter >> 16),
        static_cast<std::uint8_t>(counter >> 8), static_cast<std::uint8_t>(counter)};
    m_digest.BlockUpdate(m_Z, 0, m_nZLength);
    m_digest.BlockUpdate(c, 0, c.size());
    m_digest.BlockUpdate(m_IV, 0, ivLength);
    m_digest.DoFinal(block, 0);
    const std::size_t n = std::min(block.size(), total - done);
    std::copy_n(block.begin(), n, out.begin() + outOffset + static_cast<std::ptrdiff_t>(done));
    done += n;
    ++counter;
  }
  m_digest.Reset();
  return log.Return(length);
}

}  // namespace ov
