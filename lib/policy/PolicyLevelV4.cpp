#include "policy/PolicyLevelV4.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/BitArray.h"

namespace ov {

PolicyLevelV4::PolicyLevelV4() {
  m_flags.reserve(6);
  m_flags.emplace_back("OTP_ENCODING", std::vector<int32_t>{0, 1, 2, 3}, 2);
  for (const char* name : {"ALLOW_TRIVIAL_PIN", "PIN_VERIFICATION", "PIN_CACHING_ACTIVE",
                           "PIN_LEN_EXT_IGNORED_TAG", "PIN_LEN_EXT_VALUE"}) {
    m_flags.emplace_back(name, std::vector<int32_t>{0, 1}, 1);
  }
}

std::unique_ptr<PolicyLevel> PolicyLevelV4::Clone() const {
  return std::make_unique<PolicyLevelV4>(*this);
}

PolicyField* PolicyLevelV4::FindField(std::string_view key) {
  for (FieldL4& flag : m_flags) {
    if (flag.GetName() == key) return &flag;
  }
  return PolicyLevelV3::FindField(key);
}

void PolicyLevelV4::Initialize(const BitArray& bits, bool /*levelOne*/) {
  LogScope log("PolicyLevelV4::Initialize");
  PolicyLevelV2::Initialize(bits, false);
  const int32_t bodyEnd = 5 + GetBodyWidth();
  if (bits.GetBitCount() > bodyEnd) {
    // Any bit after the body starts the extension. Reading a short tail from other positions
    // could turn an administrator's lock-out and PIN rules into weaker ones, so a field the
    // string cuts off refuses it instead.
    ReadExtension(bits);
    m_nLevel4Start = bodyEnd + GetExtensionWidth();
  } else {
    // A string ending with its body is read the way it always was: the extension counts as
    // width -1 and the flags start on the body's last bit (and are then cut off).
    log.Message("level 4 policy without the level 3 extension");
    SetNoExtension(-1);
    m_nLevel4Start = bodyEnd - 1;
  }
  log.Number("nLevel4Start", m_nLevel4Start);
  int32_t position = m_nLevel4Start;
  for (FieldL4& flag : m_flags) {
    flag.SetStartBit(position);
    flag.ValidateField(bits);
    position += flag.GetWidth();
  }
  m_nLevel4Width = position - m_nLevel4Start;
}

void PolicyLevelV4::EncodeFlags(BitArray& bits) {
  LogScope log("PolicyLevelV4::EncodeFlags");
  for (const FieldL4& flag : m_flags) {
    const int32_t index = flag.GetEffectiveIndex();
    if (index == -1) {
      log.Text("szKey", flag.GetName());
      log.Message("Policy Parameter is not defined.");
      throw OVException(kPolicyErrUndefined, "Policy Parameter is not defined.");
    }
    bits.AppendValue(index, flag.GetWidth());
  }
}

void PolicyLevelV4::GetEncoding(BitArray& bits) {
  LogScope log("PolicyLevelV4::GetEncoding");
  PolicyLevelV2::GetEncoding(bits);
  EncodeExtension(bits, true);
  m_nLevel4Start = 5 + GetBodyWidth() + GetExtensionWidth();
  EncodeFlags(bits);
  m_nLevel4Width = 7;
}

int32_t PolicyLevelV4::getValue(std::string_view key) const {
  for (const FieldL4& flag : m_flags) {
    if (flag.GetName() == key) return flag.GetFlagValue();
  }
  return -1;
}

bool PolicyLevelV4::GetBinaryFlag(std::string_view key) const {
  const int32_t value = getValue(key);
  if (value != 0 && value != 1) {
    LogScope log("PolicyLevelV4::GetBinaryFlag");
    log.Text("szKey", key);
    log.Number("nValue", value);
    throw OVException(kPolicyErrUnsupported,
                      "Invalid value of the policy flag " + std::string(key));
  }
  return value == 1;
}

bool PolicyLevelV4::IsTrivialPinAllowed() const { return GetBinaryFlag("ALLOW_TRIVIAL_PIN"); }

bool PolicyLevelV4::IsTrivialPinAllowedEx() const { return GetBinaryFlag("ALLOW_TRIVIAL_PIN"); }

int32_t PolicyLevelV4::GetPinLength() const {
  LogScope log("PolicyLevelV4::GetPinLength");
  if (GetBinaryFlag("PIN_LEN_EXT_IGNORED_TAG")) return log.Return(GetPolicyParameter("pinlen"));
  return log.Return(GetBinaryFlag("PIN_LEN_EXT_VALUE") ? 7 : 5);
}

}  // namespace ov
