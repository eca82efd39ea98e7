// Activation codes of manual activation. The token draws 10 random bytes (the entropy), shows
// them as a 23-character code, and derives its OTP key from them; the user types the code into
// the authentication server, which derives the same key.
//
// Version 1 (policy levels 2 to 5), 100 bits, most significant first: the entropy (80 bits),
// capability level - 1 (5 bits), the more-payloads flag (0), fill bits until (bits + 8) is a
// multiple of 5, a 5-bit zero field, and an error-detection byte (the last byte of SHA-256 over
// the bits so far padded to whole bytes). Rendered as 20 Base32 characters in groups of five.
// Legacy form (level 1): the entropy as 16 Base32 characters in groups of four, each group
// followed by its checksum character.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/SecureMemory.h"
#include "encoding/BitArray.h"

namespace ov {

class ActivationPayload {
 public:
  virtual ~ActivationPayload() = default;
  virtual BitArray Encode() const = 0;
  int32_t GetVersion() const noexcept { return m_nVersion; }
  bool IsInitialized() const noexcept { return m_bInitialized; }

 protected:
  int32_t m_nVersion = -1;
  bool m_bInitialized = false;
};

class ActivationPayloadV1 final : public ActivationPayload {
 public:
  // Raises OVException 6003 for no entropy, more than 10 bytes, or a level outside 1..32.
  ActivationPayloadV1(std::span<const uint8_t> entropy, int32_t capabilityLevel);
  // The entropy bits followed by (capability level - 1) in 5 bits.
  BitArray Encode() const override;
  SecureBytes GetEntropy() const { return m_entropy; }
  int32_t GetCapabilityLevel() const noexcept { return m_nCapabilityLevel; }

 private:
  SecureBytes m_entropy;
  int32_t m_nCapabilityLevel;
};

class ActivationCode {
 public:
  explicit ActivationCode(std::vector<std::unique_ptr<ActivationPayload>> payloads);
  // Version 1 (or -1) or 0 (legacy); nullopt when it cannot be built. Another version raises 6003.
  std::optional<SecureString> GetActivationCode(int32_t version) const;
  // The payload at `position` (from 1), or null.
  const ActivationPayload* GetPayload(int32_t position) const;
  static uint8_t ComputeErrorDetection(const BitArray& bits);

 private:
  std::vector<std::unique_ptr<ActivationPayload>> m_payloads;
};

std::optional<SecureString> CreateLegacyActivationCode(std::span<const uint8_t> entropy);
std::optional<SecureString> CreateV1ActivationCode(std::span<const uint8_t> entropy,
                                                   int32_t capabilityLevel);

}  // namespace ov
