#include "policy/PolicyField.h"

#include <algorithm>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/BitArray.h"
#include "policy/PolicyLevel.h"

namespace ov {

PolicyField::PolicyField(std::string name, std::vector<int32_t> values, int32_t width,
                         int32_t startBit, int32_t defaultIndex)
    : m_values(std::move(values)),
      m_nDefaultIndex(defaultIndex),
      m_nWidth(width),
      m_szName(std::move(name)),
      m_nStartBit(startBit) {}

void PolicyField::ValidateField(const BitArray& bits) {
  LogScope log("PolicyField::ValidateField");
  log.Text("szName", m_szName);
  log.Number("nStartBit", m_nStartBit);
  log.Number("nWidth", m_nWidth);
  // A field cut off by the end of the string is refused rather than read as index 0: a truncated
  // policy would otherwise turn into one without PIN or lock-out.
  const bool inside = m_nStartBit >= 0 && m_nWidth > 0 && m_nWidth <= 32 &&
                      int64_t{m_nStartBit} + m_nWidth <= bits.GetBitCount();
  const int64_t index = inside ? int64_t{bits.GetBits(m_nStartBit, m_nWidth)} : -1;
  log.Number("nIndex", static_cast<int32_t>(index));
  if (index < 0 || static_cast<uint64_t>(index) >= m_values.size()) {
    const std::string text = "Policy parser error. for policy parameter:  " + m_szName;
    log.Message(text.c_str());
    throw OVException(kPolicyErrFieldValue, text);
  }
  m_nCurrentIndex = static_cast<int32_t>(index);
}

bool PolicyField::IsAllowedValue(int32_t value) const noexcept {
  return std::find(m_values.begin(), m_values.end(), value) != m_values.end();
}

void PolicyField::ValidateField(int32_t value) {
  LogScope log("PolicyField::ValidateField");
  log.Text("szName", m_szName);
  log.Number("nValue", value);
  const auto it = std::find(m_values.begin(), m_values.end(), value);
  if (it == m_values.end()) {
    const std::string text = "Invalid value:  " + std::to_string(value) +
                             " provided for Orvanti token policy parameter:  " + m_szName;
    log.Message(text.c_str());
    throw OVException(kPolicyErrFieldValue, text);
  }
  m_nCurrentIndex = static_cast<int32_t>(it - m_values.begin());
}

int32_t PolicyField::GetValue(int32_t index) const noexcept {
  if (index < 0 || static_cast<std::size_t>(index) >= m_values.size()) return -1;
  return m_values[static_cast<std::size_t>(index)];
}

void PolicyField::SetCurrentIndex(int32_t index) noexcept {
  m_nCurrentIndex = (index >= 0 && static_cast<std::size_t>(index) < m_values.size()) ? index : -1;
}

}  // namespace ov
