#include "policy/PolicyLevelV3.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/BitArray.h"

namespace ov {

namespace {

constexpr int32_t kExtensionWidth = 4;
constexpr int32_t kDeferToLevel2Index = 15;
constexpr int32_t kDeferToLevel2Value = 21;

}  // namespace

PolicyLevelV3::PolicyLevelV3()
    : m_v3MaxAttacks("v3maxattacks",
                     {4, 5, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, kDeferToLevel2Value},
                     kExtensionWidth, -1) {}

std::unique_ptr<PolicyLevel> PolicyLevelV3::Clone() const {
  return std::make_unique<PolicyLevelV3>(*this);
}

PolicyField* PolicyLevelV3::FindField(std::string_view key) {
  if (key == m_v3MaxAttacks.GetName()) return &m_v3MaxAttacks;
  return PolicyLevelV2::FindField(key);
}

void PolicyLevelV3::Initialize(const BitArray& bits, bool /*levelOne*/) {
  LogScope log("PolicyLevelV3::Initialize");
  PolicyLevelV2::Initialize(bits, false);
  if (bits.GetBitCount() == 5 + GetBodyWidth()) {
    SetNoExtension(0);
    return;
  }
  ReadExtension(bits);
}

void PolicyLevelV3::ReadExtension(const BitArray& bits) {
  LogScope log("PolicyLevelV3::ReadExtension");
  m_v3MaxAttacks.SetStartBit(5 + GetBodyWidth());
  m_v3MaxAttacks.ValidateField(bits);
  m_nExtensionWidth = kExtensionWidth;
  log.Number("v3maxattacks", m_v3MaxAttacks.GetCurrentIndex());
}

void PolicyLevelV3::SetNoExtension(int32_t width) noexcept {
  m_v3MaxAttacks.SetCurrentIndex(-1);
  m_nExtensionWidth = width;
}

void PolicyLevelV3::EncodeExtension(BitArray& bits, bool always) {
  int32_t index = m_v3MaxAttacks.GetEffectiveIndex();
  if (index == -1 && always) index = kDeferToLevel2Index;
  if (index == -1) {
    m_nExtensionWidth = 0;
    return;
  }
  bits.AppendValue(index, kExtensionWidth);
  m_nExtensionWidth = kExtensionWidth;
}

void PolicyLevelV3::GetEncoding(BitArray& bits) {
  LogScope log("PolicyLevelV3::GetEncoding");
  PolicyLevelV2::GetEncoding(bits);
  EncodeExtension(bits, false);
}

int32_t PolicyLevelV3::GetPolicyParameter(std::string_view key) const {
  LogScope log("PolicyLevelV3::GetPolicyParameter");
  const int32_t level2 = PolicyLevelV2::GetPolicyParameter(key);
  if (key != "maxattacks") return level2;
  const int32_t v3 = m_v3MaxAttacks.GetValue(m_v3MaxAttacks.GetEffectiveIndex());
  return log.Return(v3 != -1 && v3 != kDeferToLevel2Value ? v3 : level2);
}

void PolicyLevelV3::SetPolicyParameter(std::string_view key, int32_t value) {
  if (key != "maxattacks") {
    PolicyLevelV2::SetPolicyParameter(key, value);
    return;
  }
  LogScope log("PolicyLevelV3::SetPolicyParameter");
  log.Number("nValue", value);
  const PolicyField* level2 = GetField(key);
  if (level2->IsAllowedValue(value) || value == kDeferToLevel2Value ||
      !m_v3MaxAttacks.IsAllowedValue(value)) {
    // Raises 4100 with level 2's text when neither table can hold the value.
    PolicyLevelV2::SetPolicyParameter(key, value);
    m_v3MaxAttacks.SetCurrentIndex(-1);
    return;
  }
  SetLevelOneMark(false);
  m_v3MaxAttacks.ValidateField(value);
}

}  // namespace ov
