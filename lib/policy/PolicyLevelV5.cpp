#include "policy/PolicyLevelV5.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/BitArray.h"

namespace ov {

PolicyLevelV5::PolicyLevelV5() : m_numericOnlyPin("NUMERIC_ONLY_PIN", {0, 1}, 1) {}

std::unique_ptr<PolicyLevel> PolicyLevelV5::Clone() const {
  return std::make_unique<PolicyLevelV5>(*this);
}

PolicyField* PolicyLevelV5::FindField(std::string_view key) {
  if (key == m_numericOnlyPin.GetName()) return &m_numericOnlyPin;
  return PolicyLevelV4::FindField(key);
}

bool PolicyLevelV5::InitializePL5(const BitArray& bits) {
  LogScope log("PolicyLevelV5::InitializePL5");
  PolicyLevelV4::Initialize(bits, false);
  const int32_t position = GetLevel4Start() + GetLevel4Width();
  if (position >= bits.GetBitCount()) {
    log.Message("Error: Invalid policy level");
    return false;
  }
  m_numericOnlyPin.SetStartBit(position);
  m_numericOnlyPin.ValidateField(bits);
  m_nLevel5Width = GetLevel4Width() + 1;
  return true;
}

void PolicyLevelV5::Initialize(const BitArray& bits, bool /*levelOne*/) {
  if (!InitializePL5(bits)) {
    throw OVException(kPolicyErrUnsupported, "Error: Invalid policy level");
  }
}

void PolicyLevelV5::GetEncoding(BitArray& bits) {
  LogScope log("PolicyLevelV5::GetEncoding");
  PolicyLevelV4::GetEncoding(bits);
  const int32_t index = m_numericOnlyPin.GetEffectiveIndex();
  if (index == -1) {
    log.Message("Policy Parameter is not defined.");
    throw OVException(kPolicyErrUndefined, "Policy Parameter is not defined.");
  }
  bits.AppendValue(index, m_numericOnlyPin.GetWidth());
  m_nLevel5Width = GetLevel4Width() + 1;
}

bool PolicyLevelV5::isTrivialPinAllowed5() const {
  const int32_t value = m_numericOnlyPin.GetFlagValue();
  if (value != 0 && value != 1) {
    LogScope log("PolicyLevelV5::isTrivialPinAllowed5");
    log.Number("nValue", value);
    throw OVException(kPolicyErrUnsupported, "Invalid value of the policy flag NUMERIC_ONLY_PIN");
  }
  return value == 1;
}

}  // namespace ov
