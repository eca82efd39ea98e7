#include "policy/OVPolicy.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/Base32Checksum.h"
#include "encoding/BitArray.h"
#include "policy/PolicyLevelV2.h"
#include "policy/PolicyLevelV3.h"
#include "policy/PolicyLevelV4.h"
#include "policy/PolicyLevelV5.h"

namespace ov {

namespace {

constexpr int32_t kChecksumWidth = 5;
constexpr const char* kInvalidPolicy = "Invalid Orvanti token policy.";
constexpr const char* kChecksumMismatch = "OV Policy cannot be downgraded from the null policy.";

// Decimal digits, no sign, no blanks and no leading zero. The text is stored as the policy and
// its bytes go into the activation key material, so "09859" or "9859 " must not pass for 9859.
// Values of 2^63 and above are left to BitArray, which refuses them.
bool IsPlainDecimal(std::string_view text) noexcept {
  if (text.empty() || text.size() > 19 || (text[0] == '0' && text.size() > 1)) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

OVPolicy::OVPolicy() : m_pPolicyLevel(std::make_unique<PolicyLevelV3>()) {}

OVPolicy::OVPolicy(const OVPolicy& other)
    : m_pPolicyLevel(other.m_pPolicyLevel->Clone()),
      m_szPolicy(other.m_szPolicy),
      m_bValid(other.m_bValid) {}

OVPolicy& OVPolicy::operator=(const OVPolicy& other) {
  if (this != &other) {
    m_pPolicyLevel = other.m_pPolicyLevel->Clone();
    m_szPolicy = other.m_szPolicy;
    m_bValid = other.m_bValid;
  }
  return *this;
}

OVPolicy::~OVPolicy() = default;

int64_t OVPolicy::GetChecksum(std::string_view text) {
  const char c = Base32Checksum::GetChecksumChar(text);
  if (c >= 'A' && c <= 'R') return 31 - (c - 'A');
  if (c >= 'S' && c <= 'Z') return 'Z' - c;
  if (c >= '2' && c <= '7') return c - '0';
  return -1;
}

std::string OVPolicy::GetValidatedPolicyString(std::string_view text) {
  LogScope log("OVPolicy::GetValidatedPolicyString");
  log.Text("szPolicy", text);
  const BitArray bits = IsPlainDecimal(text) ? BitArray::FromDecimal(text) : BitArray();
  const int32_t n = bits.GetBitCount();
  log.Number("nBitCount", n);
  if (n == 0) {
    log.Message(kInvalidPolicy);
    throw OVException(kPolicyErrInvalidPolicy, kInvalidPolicy);
  }
  // Shorter strings have no room for a checksum; they fail the comparison below, since the
  // checksum range and the policy range are then empty and "0" has checksum 15.
  const int64_t checksum =
      n >= kChecksumWidth
          ? static_cast<int64_t>(bits.GetValue64(n - kChecksumWidth, kChecksumWidth))
          : 0;
  std::string withoutChecksum = bits.GetSubArray(0, n - kChecksumWidth).GetBase10();
  if (GetChecksum(withoutChecksum) != checksum) {
    log.Message(kChecksumMismatch);
    throw OVException(kPolicyErrInvalidPolicy, kChecksumMismatch);
  }
  log.Text("szValidated", withoutChecksum);
  return withoutChecksum;
}

void OVPolicy::SetPolicyString(const char* text) {
  if (text == nullptr) {
    LogScope log("OVPolicy::SetPolicyString");
    log.Message(kInvalidPolicy);
    throw OVException(kPolicyErrInvalidPolicy, kInvalidPolicy);
  }
  SetPolicyString(std::string_view(text));
}

void OVPolicy::SetPolicyString(std::string_view text) {
  LogScope log("OVPolicy::SetPolicyString");
  log.Text("szPolicy", text);
  // Everything is built aside and committed at the end, so a refused string leaves the previous
  // policy as it was.
  std::string full;
  std::string withoutChecksum;
  if (!text.empty()) {
    withoutChecksum = GetValidatedPolicyString(text);
    full = text;
  } else {
    // The level 1 default. Its full text is read as it stands: the level 2 fields end before the
    // checksum bits, which are ignored.
    PolicyLevelV2 levelOne;
    levelOne.SetLevelOneMark(true);
    full = Formulate(levelOne);
    withoutChecksum = full;
  }
  if (withoutChecksum.empty()) {
    log.Message(kInvalidPolicy);
    throw OVException(kPolicyErrInvalidPolicy, kInvalidPolicy);
  }
  const BitArray bits = BitArray::FromDecimal(withoutChecksum);
  int32_t level = static_cast<int32_t>(bits.GetBits(1, 4));
  if (level == 0) level = -1;
  log.Number("nLevel", level);
  std::unique_ptr<PolicyLevel> parsed = InitializeOVPolicy(level, bits);
  m_pPolicyLevel = std::move(parsed);
  m_szPolicy = std::move(full);
  m_bValid = true;
  log.Number("m_nCapabilityLevel", m_pPolicyLevel->GetLevel());
}

std::unique_ptr<PolicyLevel> OVPolicy::InitializeOVPolicy(int32_t level, const BitArray& bits) {
  LogScope log("OVPolicy::InitializeOVPolicy");
  log.Number("nLevel", level);
  switch (level) {
    case 1:
    case 2: {
      auto parsed = std::make_unique<PolicyLevelV2>();
      parsed->Initialize(bits, level == 1);
      return parsed;
    }
    case 3: {
      auto parsed = std::make_unique<PolicyLevelV3>();
      parsed->Initialize(bits, false);
      return parsed;
    }
    case 4: {
      auto parsed = std::make_unique<PolicyLevelV4>();
      parsed->Initialize(bits, false);
      return parsed;
    }
    case 5: {
      auto parsed = std::make_unique<PolicyLevelV5>();
      if (parsed->InitializePL5(bits)) return parsed;
      // No room for the level 5 flag: the token has a level 4 policy.
      auto fallback = std::make_unique<PolicyLevelV4>();
      fallback->Initialize(bits, false);
      return fallback;
    }
    default: {
      const std::string text =
          "Error initializing token policy. Invalid token policy capability:   " +
          std::to_string(level);
      log.Message(text.c_str());
      throw OVException(kPolicyErrInvalidPolicy, text);
    }
  }
}

std::string OVPolicy::Formulate(PolicyLevel& level) {
  LogScope log("OVPolicy::FormulatePolicyString");
  BitArray bits;
  bits.AppendBit(true);
  bits.AppendValue(level.GetLevel(), 4);
  level.GetEncoding(bits);
  const int64_t checksum = GetChecksum(bits.GetBase10());
  bits.AppendValue(static_cast<int32_t>(checksum), kChecksumWidth);
  std::string text = bits.GetBase10();
  log.Text("szPolicy", text);
  return text;
}

const std::string& OVPolicy::FormulatePolicyString() {
  m_szPolicy = Formulate(*m_pPolicyLevel);
  m_bValid = true;
  return m_szPolicy;
}

OVPolicy OVPolicy::GetDefaultPolicy(int32_t mode) {
  LogScope log("OVPolicy::GetDefaultPolicy");
  log.Number("nMode", mode);
  if (mode < 4 || mode > 6) {
    const std::string text =
        "Cannot generate default policy for the mode :   : " + std::to_string(mode) + " ";
    log.Message(text.c_str());
    throw OVException(kPolicyErrInvalidPolicy, text);
  }
  OVPolicy policy;
  policy.SetMode(mode);
  policy.FormulatePolicyString();
  return policy;
}

int32_t OVPolicy::GetPolicyParameter(std::string_view key) const {
  return m_pPolicyLevel->GetPolicyParameter(key);
}

void OVPolicy::SetPolicyParameter(std::string_view key, int32_t value) {
  m_pPolicyLevel->SetPolicyParameter(key, value);
}

bool OVPolicy::IsEventBased() const {
  const int32_t mode = GetMode();
  return mode == 0 || mode == 4;
}

bool OVPolicy::IsTimeBased() const {
  const int32_t mode = GetMode();
  return mode == 1 || mode == 5;
}

bool OVPolicy::IsChallengeResponse() const {
  const int32_t mode = GetMode();
  return mode == 2 || mode == 6;
}

}  // namespace ov
