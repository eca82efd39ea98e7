#include "policy/PolicyLevelV2.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/BitArray.h"

namespace ov {

namespace {

constexpr int32_t kShortFormWidth = 4;
constexpr const char* kOcraPrefix = "OCRA-1:HOTP-SHA256-";
constexpr const char* kHmacAlgorithm = "HmacSHA256";
constexpr const char* kUndefinedMode = "Undefined Mode for Capability-2. Policy cannot be created";

// Body width of the long forms, by mode 0..3.
constexpr int32_t kLongFormWidth[] = {15, 17, 16, 18};

bool IsShortForm(int32_t mode) noexcept { return mode >= 4 && mode <= 6; }

}  // namespace

PolicyLevelV2::PolicyLevelV2() {
  m_fields.reserve(kFieldCount);
  m_fields.emplace_back(
      "mode", std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 4, 5, 0);
  m_fields.emplace_back("pwdlen", std::vector<int32_t>{6, 8}, 1, 9);
  m_fields.emplace_back("pinlen", std::vector<int32_t>{0, 4, 6, 8}, 2, 10, 1);
  m_fields.emplace_back("maxattacks", std::vector<int32_t>{0, 3, 6, 10}, 2, 12, 3);
  m_fields.emplace_back("pinusechanges", std::vector<int32_t>{0, 128, 256, 384}, 2, 14, 0);
  m_fields.emplace_back("attackdelay", std::vector<int32_t>{0, 2, 4, 8}, 2, 16, 0);
  m_fields.emplace_back("securemode", std::vector<int32_t>{0, 1}, 1, 18, 0);
  m_fields.emplace_back("transign", std::vector<int32_t>{0, 1}, 1, 19, 0);
  m_fields.emplace_back("tstick", std::vector<int32_t>{20, 30, 60}, 2, 20, 1);
  m_fields.emplace_back("challlen", std::vector<int32_t>{6, 8}, 1, 20, 1);
}

std::unique_ptr<PolicyLevel> PolicyLevelV2::Clone() const {
  return std::make_unique<PolicyLevelV2>(*this);
}

PolicyField* PolicyLevelV2::FindField(std::string_view key) {
  for (PolicyField& field : m_fields) {
    if (field.GetName() == key) return &field;
  }
  return nullptr;
}

const PolicyField* PolicyLevelV2::GetField(std::string_view key) const {
  return const_cast<PolicyLevelV2*>(this)->FindField(key);
}

bool PolicyLevelV2::IsFieldAllowed(int32_t mode, std::string_view key) {
  if (mode < 0 || mode > 6) {
    LogScope log("PolicyLevelV2::IsFieldAllowed");
    log.Number("nMode", mode);
    log.Message("Unsupported mode to the Policy capability level 2");
    throw OVException(kPolicyErrUnsupported, "Unsupported mode to the Policy capability level 2");
  }
  const int32_t base = mode == 3 ? 3 : mode % 4;
  if (key == "tstick") return base == 1 || base == 3;
  if (key == "challlen") return base == 2 || base == 3;
  return true;
}

int32_t PolicyLevelV2::GetModeValue() const noexcept {
  const PolicyField& mode = m_fields[kMode];
  return mode.GetValue(mode.GetEffectiveIndex());
}

int32_t PolicyLevelV2::AnsweringIndex(FieldIndex field, int32_t mode) const noexcept {
  const int32_t index = m_fields[field].GetEffectiveIndex();
  if (index != -1 || field != kPwdLen) return index;
  return (mode == 2 || mode == 3 || mode == 6) ? 1 : 0;
}

int32_t PolicyLevelV2::GetPolicyParameter(std::string_view key) const {
  LogScope log("PolicyLevelV2::GetPolicyParameter");
  log.Text("szKey", key);
  const PolicyField* field = GetField(key);
  if (field == nullptr) {
    const std::string text = "The policy parameter " + std::string(key) + " does not exist";
    log.Message(text.c_str());
    throw OVException(kPolicyErrUndefined, text);
  }
  const int32_t mode = GetModeValue();
  if (!IsFieldAllowed(mode, key)) return log.Return(-1);
  int32_t index = field->GetEffectiveIndex();
  if (index == -1 && field == &m_fields[kPwdLen]) index = AnsweringIndex(kPwdLen, mode);
  return log.Return(field->GetValue(index));
}

void PolicyLevelV2::SetPolicyParameter(std::string_view key, int32_t value) {
  LogScope log("PolicyLevelV2::SetPolicyParameter");
  log.Text("szKey", key);
  log.Number("nValue", value);
  SetLevelOneMark(false);
  PolicyField* field = FindField(key);
  if (field == nullptr) {
    const std::string text = "The policy parameter " + std::string(key) + " does not exist";
    log.Message(text.c_str());
    throw OVException(kPolicyErrUndefined, text);
  }
  field->ValidateField(value);
  SetTokenAlgorithm(GetModeValue());
}

void PolicyLevelV2::SetTokenAlgorithm(int32_t mode) {
  LogScope log("PolicyLevelV2::SetTokenAlgorithm");
  log.Number("nMode", mode);
  if (mode == 2 || mode == 6) {
    const int32_t pwdIndex = m_fields[kPwdLen].GetEffectiveIndex();
    const int32_t pwdlen = m_fields[kPwdLen].GetValue(pwdIndex == -1 ? 1 : pwdIndex);
    const int32_t challlen = m_fields[kChallLen].GetValue(m_fields[kChallLen].GetEffectiveIndex());
    m_szAlgorithm = kOcraPrefix + std::to_string(pwdlen) + ":QN0" + std::to_string(challlen);
  } else if (mode >= 0 && mode <= 5) {
    m_szAlgorithm = kHmacAlgorithm;
  } else {
    m_szAlgorithm.clear();
  }
  log.Text("szAlgorithm", m_szAlgorithm);
}

void PolicyLevelV2::SetDefaultPolicyParams() {
  m_fields[kPinLen].SetCurrentIndex(1);         // 4
  m_fields[kMaxAttacks].SetCurrentIndex(3);     // 10
  m_fields[kPinUseChanges].SetCurrentIndex(0);  // 0
  m_fields[kAttackDelay].SetCurrentIndex(0);    // 0
  m_fields[kSecureMode].SetCurrentIndex(0);
  m_fields[kTranSign].SetCurrentIndex(0);
}

void PolicyLevelV2::SetDefaultEventPolicyParams() {
  LogScope log("PolicyLevelV2::SetDefaultEventPolicyParams");
  SetDefaultPolicyParams();
  m_fields[kPwdLen].SetCurrentIndex(0);  // 6 digits
  m_fields[kTStick].SetCurrentIndex(-1);
  m_fields[kChallLen].SetCurrentIndex(-1);
}

void PolicyLevelV2::SetDefaultTimePolicyParams() {
  LogScope log("PolicyLevelV2::SetDefaultTimePolicyParams");
  SetDefaultPolicyParams();
  m_fields[kPwdLen].SetCurrentIndex(0);  // 6 digits
  m_fields[kTStick].SetCurrentIndex(1);  // 30 seconds
  m_fields[kChallLen].SetCurrentIndex(-1);
}

void PolicyLevelV2::SetDefaultCRPolicyParams() {
  LogScope log("PolicyLevelV2::SetDefaultCRPolicyParams");
  SetDefaultPolicyParams();
  m_fields[kPwdLen].SetCurrentIndex(1);  // 8 digits
  m_fields[kTStick].SetCurrentIndex(-1);
  m_fields[kChallLen].SetCurrentIndex(1);  // 8-digit challenge
}

void PolicyLevelV2::ApplyShortFormDefaults(int32_t mode) {
  if (mode == 4) SetDefaultEventPolicyParams();
  if (mode == 5) SetDefaultTimePolicyParams();
  if (mode == 6) SetDefaultCRPolicyParams();
  // The short forms carry no algorithm of their own: it follows from the defaults just set.
  SetTokenAlgorithm(mode);
}

void PolicyLevelV2::Initialize(const BitArray& bits, bool levelOne) {
  LogScope log("PolicyLevelV2::Initialize");
  log.Number("nBitCount", bits.GetBitCount());
  SetLevelOneMark(levelOne);
  m_fields[kMode].ValidateField(bits);
  const int32_t mode = GetModeValue();
  log.Number("nMode", mode);
  if (IsShortForm(mode)) {
    ApplyShortFormDefaults(mode);
    m_nBodyWidth = kShortFormWidth;
    return;
  }
  ParseLongPolicyWithMode(bits, mode);
}

void PolicyLevelV2::ParseLongPolicyWithMode(const BitArray& bits, int32_t mode) {
  LogScope log("PolicyLevelV2::ParseLongPolicyWithMode");
  log.Number("nMode", mode);
  if (mode < 0 || mode > 3) {
    log.Message(kUndefinedMode);
    throw OVException(kPolicyErrUndefined, kUndefinedMode);
  }
  m_fields[kChallLen].SetStartBit(mode == 3 ? 22 : 20);
  ParseLongPolicy(bits, mode, kLongFormWidth[mode]);
}

void PolicyLevelV2::ParseLongPolicy(const BitArray& bits, int32_t mode, int32_t expectedWidth) {
  LogScope log("PolicyLevelV2::ParseLongPolicy");
  int32_t width = 0;
  for (PolicyField& field : m_fields) {
    if (IsFieldAllowed(mode, field.GetName())) {
      field.ValidateField(bits);
      width += field.GetWidth();
    } else {
      field.SetCurrentIndex(-1);
    }
  }
  SetTokenAlgorithm(mode);
  log.Number("nWidth", width);
  if (width != expectedWidth) {
    log.Message("Policy parsing error. Length of policy is not as expected");
    throw OVException(kPolicyErrUnsupported,
                      "Policy parsing error. Length of policy is not as expected");
  }
  m_nBodyWidth = width;
}

void PolicyLevelV2::GetEncoding(BitArray& bits) {
  LogScope log("PolicyLevelV2::GetEncoding");
  const int32_t mode = GetModeValue();
  log.Number("nMode", mode);
  if (IsShortForm(mode)) {
    ApplyShortFormDefaults(mode);
    bits.AppendValue(mode, kShortFormWidth);
    m_nBodyWidth = kShortFormWidth;
    return;
  }
  if (mode < 0 || mode > 3) {
    log.Message(kUndefinedMode);
    throw OVException(kPolicyErrUndefined, kUndefinedMode);
  }
  GetLongPolicyEncodingWithMode(bits, mode, kLongFormWidth[mode]);
}

void PolicyLevelV2::GetLongPolicyEncodingWithMode(BitArray& bits, int32_t mode,
                                                  int32_t expectedWidth) {
  LogScope log("PolicyLevelV2::GetLongPolicyEncodingWithMode");
  int32_t width = 0;
  for (int32_t i = 0; i < kFieldCount; ++i) {
    PolicyField& field = m_fields[static_cast<std::size_t>(i)];
    if (!IsFieldAllowed(mode, field.GetName())) {
      field.SetCurrentIndex(-1);
      continue;
    }
    const int32_t index = AnsweringIndex(static_cast<FieldIndex>(i), mode);
    if (index == -1) {
      log.Text("szKey", field.GetName());
      log.Message("Policy Parameter is not defined.");
      throw OVException(kPolicyErrUndefined, "Policy Parameter is not defined.");
    }
    bits.AppendValue(index, field.GetWidth());
    width += field.GetWidth();
  }
  if (width != expectedWidth) {
    log.Message("policy length does not match the definition.");
    throw OVException(kPolicyErrUndefined, "policy length does not match the definition.");
  }
  m_nBodyWidth = width;
  SetTokenAlgorithm(mode);
}

}  // namespace ov
