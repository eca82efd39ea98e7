// PolicyLevelV3: level 2 plus an optional 4-bit extension right after the body, the field
// "v3maxattacks", which offers finer wrong-PIN limits than level 2's 0, 3, 6 and 10:
//   4, 5, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21 (by index 0..15).
// Its last value, 21, is not a limit: it means "take level 2's maxattacks". A string that ends
// right after the body has no extension.
#pragma once

#include "policy/PolicyLevelV2.h"

namespace ov {

class PolicyLevelV3 : public PolicyLevelV2 {
 public:
  PolicyLevelV3();

  std::unique_ptr<PolicyLevel> Clone() const override;
  void Initialize(const BitArray& bits, bool levelOne) override;
  void GetEncoding(BitArray& bits) override;
  // "maxattacks" answers from "v3maxattacks" when that holds a limit.
  int32_t GetPolicyParameter(std::string_view key) const override;
  // "maxattacks" goes to level 2's field when its table has the value (clearing the extension),
  // else to "v3maxattacks". 21 is refused: it would read back as level 2's value.
  void SetPolicyParameter(std::string_view key, int32_t value) override;
  int32_t GetLevel() const override { return 3; }

  // 4 when the extension was read or written, 0 when a level 3 string has none, -1 before either
  // and for a level 4/5 string without it (see PolicyLevelV4).
  int32_t GetExtensionWidth() const noexcept { return m_nExtensionWidth; }

 protected:
  // Reads "v3maxattacks" right after the body (which must have been read).
  void ReadExtension(const BitArray& bits);
  // Records that the string has no extension, with the width that then counts for it.
  void SetNoExtension(int32_t width) noexcept;
  PolicyField* FindField(std::string_view key) override;
  // Appends the extension when "v3maxattacks" has an index; with `always`, also when it has none
  // (then as index 15, "take level 2's value"), because level 4 flags must follow an extension.
  void EncodeExtension(BitArray& bits, bool always);

 private:
  PolicyField m_v3MaxAttacks;
  int32_t m_nExtensionWidth = -1;
};

}  // namespace ov
