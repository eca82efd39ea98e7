// PolicyLevelV4: level 3 plus six flags, read one after the other from the bit after the level 3
// extension (5 + body width + 4):
//
//   OTP_ENCODING (2 bits)        kept, no effect on passcodes
//   ALLOW_TRIVIAL_PIN            1 = trivial PINs allowed
//   PIN_VERIFICATION             kept, no effect
//   PIN_CACHING_ACTIVE           kept, no effect
//   PIN_LEN_EXT_IGNORED_TAG      0 = the PIN length comes from PIN_LEN_EXT_VALUE
//   PIN_LEN_EXT_VALUE            0 = PIN length 5, 1 = PIN length 7
//
// Any bit after the body starts the extension, and the flags follow it; a field cut off by the
// end of the string is refused, so that a short tail never reads as weaker rules than it gives.
// Only a string ending exactly with its body is read the old way, without the extension and
// with the flags from the body's last bit (5 + body width - 1), which leaves them cut off. Written
// strings always carry the extension, as "take level 2's value" when no finer limit is set.
#pragma once

#include <vector>

#include "policy/PolicyLevelV3.h"

namespace ov {

class PolicyLevelV4 : public PolicyLevelV3 {
 public:
  PolicyLevelV4();

  std::unique_ptr<PolicyLevel> Clone() const override;
  void Initialize(const BitArray& bits, bool levelOne) override;
  void GetEncoding(BitArray& bits) override;
  int32_t GetLevel() const override { return 4; }
  // "ALLOW_TRIVIAL_PIN" is 1 (both).
  bool IsTrivialPinAllowed() const override;
  bool IsTrivialPinAllowedEx() const override;
  int32_t GetPinLength() const override;

  // The current index of a level 4 flag (its value), -1 for any other key or an unset flag.
  int32_t getValue(std::string_view key) const;
  // Bit where the flags start, and their total width (7); -1 before they are read.
  int32_t GetLevel4Start() const noexcept { return m_nLevel4Start; }
  int32_t GetLevel4Width() const noexcept { return m_nLevel4Width; }

 protected:
  PolicyField* FindField(std::string_view key) override;
  // A level 4 flag as a bool; anything but 0 or 1 (an unread flag) raises 4099.
  bool GetBinaryFlag(std::string_view key) const;
  void EncodeFlags(BitArray& bits);

 private:
  std::vector<FieldL4> m_flags;
  int32_t m_nLevel4Start = -1;
  int32_t m_nLevel4Width = -1;
};

}  // namespace ov
