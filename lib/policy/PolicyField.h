// PolicyField: one small encoded field of a policy string. The string never holds a field's value
// itself, only an index into the field's short table of allowed values ("pinlen" stores 2 bits
// that pick 0, 4, 6 or 8), so a field is its table, its width in bits, where it starts, and the
// index it currently holds.
//
// A field may have no index (-1): it is then answered by its default index, and a field with
// neither has no value. Fields whose place depends on what precedes them (the level 3 extension,
// the level 4 and 5 flags) get their start bit when the string is read.
//
// Bad input raises OVException 4100 (kPolicyErrFieldValue) with the texts the log and the callers
// know; nothing here reads outside the bit array.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

class BitArray;

class PolicyField {
 public:
  // `values` lists the allowed values by index (index 0 first).
  PolicyField(std::string name, std::vector<int32_t> values, int32_t width, int32_t startBit,
              int32_t defaultIndex = -1);

  // Reads the index at the start bit. The field must lie entirely inside `bits` and its index must
  // have a value; otherwise 4100 "Policy parser error. for policy parameter:  <name>".
  void ValidateField(const BitArray& bits);
  // Sets the index of an allowed value; 4100 "Invalid value:  <v> provided for Orvanti token
  // policy parameter:  <name>" when the value is not in the table.
  void ValidateField(int32_t value);
  // True when `value` is in the table (ValidateField(value) would succeed).
  bool IsAllowedValue(int32_t value) const noexcept;

  // The value at `index`, or -1 when the table has none there.
  int32_t GetValue(int32_t index) const noexcept;
  // The current index, else the default index, else -1.
  int32_t GetEffectiveIndex() const noexcept {
    return m_nCurrentIndex != -1 ? m_nCurrentIndex : m_nDefaultIndex;
  }

  int32_t GetCurrentIndex() const noexcept { return m_nCurrentIndex; }
  // An index outside the table clears the field (-1).
  void SetCurrentIndex(int32_t index) noexcept;
  int32_t GetDefaultIndex() const noexcept { return m_nDefaultIndex; }
  int32_t GetWidth() const noexcept { return m_nWidth; }
  const std::string& GetName() const noexcept { return m_szName; }
  int32_t GetStartBit() const noexcept { return m_nStartBit; }
  void SetStartBit(int32_t startBit) noexcept { m_nStartBit = startBit; }

 private:
  std::vector<int32_t> m_values;
  int32_t m_nCurrentIndex = -1;
  int32_t m_nDefaultIndex;
  int32_t m_nWidth;
  std::string m_szName;
  int32_t m_nStartBit;
};

// FieldL4: a level 4 or level 5 flag. A flag's table is 0, 1, ... so its value is its index; it
// has no default and gets its start bit when the string is read.
class FieldL4 : public PolicyField {
 public:
  FieldL4(std::string name, std::vector<int32_t> values, int32_t width)
      : PolicyField(std::move(name), std::move(values), width, -1) {}

  // The flag as read or set; -1 when it has neither.
  int32_t GetFlagValue() const noexcept { return GetCurrentIndex(); }
};

}  // namespace ov
