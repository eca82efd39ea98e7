#include "crypto/CryptSymmetric.h"

#include <climits>

#include "common/LogFacade.h"

namespace ov {

namespace {

// Leaves room for a padding block in int-sized cipher lengths.
constexpr std::size_t kMaxInput = INT_MAX - 64;

}  // namespace

CryptSymmetric::CryptSymmetric(const CryptProvider& provider, ALG_ID algorithm,
                               std::span<const std::uint8_t> key)
    : m_algorithm(algorithm), m_key(key.begin(), key.end()) {
  Init(provider.LibraryContext());
}

void CryptSymmetric::SetIV(std::span<const std::uint8_t> iv) {
  LogScope log("CryptSymmetric::SetIV");
  if (iv.size() != m_nIVLength) crypto::Fail(log, "CryptSetKeyParam failed");
  m_iv.assign(iv.begin(), iv.end());
  m_bIVSet = true;
  m_state = State::kIdle;
}

void CryptSymmetric::Encrypt(std::span<const std::uint8_t> input, SecureBytes& output, bool final) {
  LogScope log("CryptSymmetric::Encrypt");
  log.Number("dwDataLen", static_cast<int32_t>(input.size() > INT_MAX ? INT_MAX : input.size()));
  log.Number("Final", final ? 1 : 0);
  if (input.size() > kMaxInput || (!final && input.size() % m_nBlockLength != 0)) {
    crypto::Fail(log, "CrtypEncrypt failed-1");
  }
  Begin(State::kEncrypting, log, "CrtypEncrypt failed-1");
  SecureBytes buffer(input.begin(), input.end());
  if (final) {
    const auto pad = static_cast<std::uint8_t>(m_nBlockLength - input.size() % m_nBlockLength);
    buffer.insert(buffer.end(), pad, pad);
  }
  output.assign(buffer.size(), 0);
  if (!Transform(buffer, output)) {
    m_state = State::kIdle;
    crypto::Fail(log, "CrtypEncrypt failed-2");
  }
  if (final) m_state = State::kIdle;
}

void CryptSymmetric::Decrypt(std::span<const std::uint8_t> input, SecureBytes& output, bool final) {
  LogScope log("CryptSymmetric::Decrypt");
  log.Number("dwDataLen", static_cast<int32_t>(input.size() > INT_MAX ? INT_MAX : input.size()));
  log.Number("Final", final ? 1 : 0);
  if (input.size() > kMaxInput || input.size() % m_nBlockLength != 0 || (final && input.empty())) {
    m_state = State::kIdle;
    crypto::Fail(log, "CrtypDecrypt failed-1");
  }
  Begin(State::kDecrypting, log, "CrtypDecrypt failed-1");
  output.assign(input.size(), 0);
  if (!Transform(input, output)) {
    m_state = State::kIdle;
    SecureWipe(output.data(), output.size());
    output.clear();
    crypto::Fail(log, "CrtypDecrypt failed-2");
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
    crypto::Fail(log, "CrtypDecrypt failed-2");
  }
  output.resize(output.size() - pad);
}

}  // namespace ov
