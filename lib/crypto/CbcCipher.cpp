#include "crypto/CbcCipher.h"

#include <algorithm>

#include "common/LogFacade.h"
#include "crypto/CryptoHandles.h"

namespace ov {

CbcCipher::CbcCipher(BlockCipherKey& key, std::span<const std::uint8_t> iv,
                     std::int32_t paddingMode)
    : m_key(key), m_nPaddingMode(paddingMode), m_iv(iv.begin(), iv.end()) {
  LogScope log("CbcCipher::CbcCipher");
  log.Number("nPaddingMode", paddingMode);
  log.Number("nIVLength", static_cast<int32_t>(iv.size() > 64 ? 64 : iv.size()));
  if (iv.size() != key.GetBlockLength()) crypto::Fail(log, "IV length is not the block length");
  if (paddingMode != kNoPadding && paddingMode != kPkcs7Padding) {
    crypto::Fail(log, "Unknown padding mode");
  }
}

SecureBytes CbcCipher::Encrypt(std::span<const std::uint8_t> input) {
  LogScope log("CbcCipher::Encrypt");
  log.Number("nInputLength", static_cast<int32_t>(std::min<std::size_t>(input.size(), INT32_MAX)));
  const std::size_t blockLength = m_key.GetBlockLength();
  const std::size_t whole = input.size() / blockLength * blockLength;
  const bool pad = m_nPaddingMode == kPkcs7Padding;
  SecureBytes output(whole + (pad ? blockLength : 0));

  // `chain` is the IV, then the last cipher block; each block is XORed with it and encrypted
  // straight into the output, which then serves as the next chaining value.
  std::span<const std::uint8_t> chain = m_iv;
  SecureBytes work(blockLength);
  auto encryptInto = [&](std::size_t at) {
    std::span<std::uint8_t> block(output.data() + at, blockLength);
    m_key.EncryptBlock(work, block);
    chain = block;
  };
  for (std::size_t at = 0; at < whole; at += blockLength) {
    for (std::size_t i = 0; i < blockLength; ++i) work[i] = input[at + i] ^ chain[i];
    encryptInto(at);
  }
  if (pad) {
    const std::size_t buffered = input.size() - whole;
    const auto value = static_cast<std::uint8_t>(blockLength - buffered);
    for (std::size_t i = 0; i < blockLength; ++i) {
      work[i] = (i < buffered ? input[whole + i] : value) ^ chain[i];
    }
    encryptInto(whole);
  }
  return output;
}

std::optional<SecureBytes> CbcCipher::Decrypt(std::span<const std::uint8_t> input) {
  LogScope log("CbcCipher::Decrypt");
  log.Number("nInputLength", static_cast<int32_t>(std::min<std::size_t>(input.size(), INT32_MAX)));
  const std::size_t blockLength = m_key.GetBlockLength();
  const bool pad = m_nPaddingMode == kPkcs7Padding;
  if (input.size() % blockLength != 0 || (pad && input.empty())) {
    log.Message("Input is not whole blocks");
    return std::nullopt;
  }
  SecureBytes output(input.size());
  std::span<const std::uint8_t> chain = m_iv;
  for (std::size_t at = 0; at < input.size(); at += blockLength) {
    const auto cipherBlock = input.subspan(at, blockLength);
    std::span<std::uint8_t> block(output.data() + at, blockLength);
    m_key.DecryptBlock(cipherBlock, block);
    for (std::size_t i = 0; i < blockLength; ++i) block[i] ^= chain[i];
    chain = cipherBlock;
  }
  if (!pad) return output;

  // Checked over the whole last block without an early exit, so the time taken does not tell
  // where a damaged pad went wrong.
  const std::size_t p = output.back();
  unsigned bad = (p == 0 || p > blockLength) ? 1u : 0u;
  for (std::size_t i = 1; i <= blockLength; ++i) {
    bad |= (i <= p ? 1u : 0u) & (output[output.size() - i] != p ? 1u : 0u);
  }
  if (bad != 0) {
    log.Message("Padding check failed");
    return std::nullopt;  // `output` is wiped as it goes
  }
  output.resize(output.size() - p);
  return output;
}

}  // namespace ov
