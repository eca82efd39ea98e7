// PolicyLevelV5: level 4 plus the flag "NUMERIC_ONLY_PIN" in the bit after the six level 4 flags.
// A level 5 string that ends before that bit is a level 4 policy: InitializePL5 then answers
// false and the caller reads the string again as level 4.
#pragma once

#include "policy/PolicyLevelV4.h"

namespace ov {

class PolicyLevelV5 : public PolicyLevelV4 {
 public:
  PolicyLevelV5();

  std::unique_ptr<PolicyLevel> Clone() const override;
  // Reads the string; false when it has no bit for "NUMERIC_ONLY_PIN".
  bool InitializePL5(const BitArray& bits);
  // InitializePL5, raising 4099 when the string is too short for level 5.
  void Initialize(const BitArray& bits, bool levelOne) override;
  void GetEncoding(BitArray& bits) override;
  int32_t GetLevel() const override { return 5; }
  // "NUMERIC_ONLY_PIN" is 1.
  bool IsTrivialPinAllowedEx() const override { return isTrivialPinAllowed5(); }
  bool isTrivialPinAllowed5() const;

  // 8 once read or written, -1 before.
  int32_t GetLevel5Width() const noexcept { return m_nLevel5Width; }

 protected:
  PolicyField* FindField(std::string_view key) override;

 private:
  FieldL4 m_numericOnlyPin;
  int32_t m_nLevel5Width = -1;
};

}  // namespace ov
