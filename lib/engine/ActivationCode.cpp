#include "engine/ActivationCode.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/Sha256Digest.h"
#include "encoding/Base32.h"
#include "encoding/Base32Checksum.h"

namespace ov {

namespace {

constexpr std::size_t kMaxEntropy = 10;

// "ABCDEFGHIJKLMNOPQRST" -> "ABCDE-FGHIJ-KLMNO-PQRST" (group of 5) or groups of 4 with checksum.
SecureString Grouped(std::string_view text, std::size_t group, bool checksum) {
  SecureString out;
  for (std::size_t i = 0; i < text.size(); i += group) {
    if (!out.empty()) out += '-';
    const std::string_view part = text.substr(i, group);
    out += part;
    if (checksum) out += Base32Checksum::GetChecksumChar(part);
  }
  return out;
}

}  // namespace

ActivationPayloadV1::ActivationPayloadV1(std::span<const uint8_t> entropy, int32_t capabilityLevel)
    : m_nCapabilityLevel(capabilityLevel) {
  LogScope log("ActivationPayloadV1::ActivationPayloadV1");
  if (entropy.empty()) {
    log.Message("No entropy provided for ActivationPayload version 1");
    throw OVException(6003, "No entropy provided for ActivationPayload version 1");
  }
  if (entropy.size() > kMaxEntropy) {
    log.Message("Incorrect entropy provided for ActivationPayload version 1");
    throw OVException(6003, "Incorrect entropy provided for ActivationPayload version 1");
  }
  if (capabilityLevel < 1 || capabilityLevel > 32) {
    log.Message("Incorrect capability level provided for activation payload version 1");
    throw OVException(6003, "Incorrect capability level provided for activation payload version 1");
  }
  m_entropy.assign(entropy.begin(), entropy.end());
  m_nVersion = 1;
  m_bInitialized = true;
}

BitArray ActivationPayloadV1::Encode() const {
  BitArray bits;
  bits.AppendBytes(m_entropy, static_cast<int32_t>(m_entropy.size() * 8));
  bits.AppendValue(m_nCapabilityLevel - 1, 5);
  return bits;
}

ActivationCode::ActivationCode(std::vector<std::unique_ptr<ActivationPayload>> payloads)
    : m_payloads(std::move(payloads)) {}

const ActivationPayload* ActivationCode::GetPayload(int32_t position) const {
  if (position < 1 || static_cast<std::size_t>(position) > m_payloads.size()) return nullptr;
  return m_payloads[static_cast<std::size_t>(position - 1)].get();
}

uint8_t ActivationCode::ComputeErrorDetection(const BitArray& bits) {
  BitArray padded = bits;
  while (padded.GetBitCount() % 8 != 0) padded.AppendBit(false);
  const SecureBytes bytes = padded.GetBytes();
  Sha256Digest digest;
  digest.BlockUpdate(bytes, 0, bytes.size());
  uint8_t out[32];
  digest.DoFinal(out, 0);
  return out[31];
}

std::optional<SecureString> ActivationCode::GetActivationCode(int32_t version) const {
  LogScope log("ActivationCode::GetActivationCode");
  if (version < -1 || version > 1) {
    log.Message("Invalid State or Params");
    throw OVException(6003, "Invalid State or Params");
  }
  const auto* first = dynamic_cast<const ActivationPayloadV1*>(GetPayload(1));
  if (version == 0) {
    if (first == nullptr || !first->IsInitialized()) return std::nullopt;
    const SecureString text = Base32::Encode(first->GetEntropy());
    return Grouped(text.view().substr(0, 16), 4, true);
  }
  if (first == nullptr) {
    log.Message("Unable to produce version specifed, Insufficent data.");
    return std::nullopt;
  }
  BitArray bits = first->Encode();
  bits.AppendBit(false);  // the last payload
  while ((bits.GetBitCount() + 8) % 5 != 0) bits.AppendBit(false);
  bits.AppendValue(0, 5);
  bits.AppendValue(ComputeErrorDetection(bits), 8);
  const std::optional<SecureString> text = bits.GetBase32();
  if (!text || text->size() != 20) return std::nullopt;
  return Grouped(text->view(), 5, false);
}

std::optional<SecureString> CreateLegacyActivationCode(std::span<const uint8_t> entropy) {
  LogScope log("CreateLegacyActivationCode");
  try {
    std::vector<std::unique_ptr<ActivationPayload>> payloads;
    payloads.push_back(std::make_unique<ActivationPayloadV1>(entropy, 1));
    return ActivationCode(std::move(payloads)).GetActivationCode(0);
  } catch (...) {
    log.Message("CreateLegacyActivationCode fails");
    return std::nullopt;
  }
}

std::optional<SecureString> CreateV1ActivationCode(std::span<const uint8_t> entropy,
                                                   int32_t capabilityLevel) {
  LogScope log("CreateV1ActivationCode");
  try {
    std::vector<std::unique_ptr<ActivationPayload>> payloads;
    payloads.push_back(std::make_unique<ActivationPayloadV1>(entropy, capabilityLevel));
    return ActivationCode(std::move(payloads)).GetActivationCode(1);
  } catch (...) {
    log.Message("CreateV1ActivationCode fails");
    return std::nullopt;
  }
}

}  // namespace ov
