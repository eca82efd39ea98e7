// PolicyLevelV2: the fields of a level 1 or level 2 policy, and the base of every higher level.
//
// Ten fields, in this order (also the order in which they are written), each an index into a table:
//
//   key            start  width  values              default
//   mode             5      4    0 .. 15             0
//   pwdlen           9      1    6, 8                none (8 digits in modes 2, 3, 6, else 6)
//   pinlen          10      2    0, 4, 6, 8          4
//   maxattacks      12      2    0, 3, 6, 10         10
//   pinusechanges   14      2    0, 128, 256, 384    0
//   attackdelay     16      2    0, 2, 4, 8          0
//   securemode      18      1    0, 1                0
//   transign        19      1    0, 1                0
//   tstick          20      2    20, 30, 60          30
//   challlen        20/22   1    6, 8                8   (bit 22 in mode 3, behind "tstick")
//
// Modes 0 event, 1 time, 2 challenge-response and 3 multi-host are long forms that carry every
// field the mode uses (event: no "tstick", "challlen"; time: no "challlen"; challenge-response: no
// "tstick"). Modes 4, 5 and 6 are the short forms of 0, 1 and 2: only the mode is in the string and
// the other fields take fixed defaults. Modes 7 to 15 fit the field but are refused.
//
// A level 1 policy is a level 2 object with the level 1 mark; any change of a field clears it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "policy/PolicyField.h"
#include "policy/PolicyLevel.h"

namespace ov {

class PolicyLevelV2 : public PolicyLevel {
 public:
  PolicyLevelV2();

  std::unique_ptr<PolicyLevel> Clone() const override;
  void Initialize(const BitArray& bits, bool levelOne) override;
  void GetEncoding(BitArray& bits) override;
  int32_t GetPolicyParameter(std::string_view key) const override;
  void SetPolicyParameter(std::string_view key, int32_t value) override;
  const std::string& GetTokenAlgorithm() const override { return m_szAlgorithm; }
  void SetTokenAlgorithm(int32_t mode) override;
  int32_t GetLevel() const override { return m_nLevel; }
  bool IsTrivialPinAllowed() const override { return true; }
  bool IsTrivialPinAllowedEx() const override { return true; }
  int32_t GetPinLength() const override { return GetPolicyParameter("pinlen"); }

  void SetLevelOneMark(bool levelOne) noexcept { m_nLevel = levelOne ? 1 : 2; }

  // The field of `key` among this level's fields and those of higher levels; null when unknown.
  PolicyField* GetField(std::string_view key) { return FindField(key); }
  const PolicyField* GetField(std::string_view key) const;

  // Whether a level 2 field is part of `mode`; fields of higher levels are part of every mode.
  // A mode outside 0..6 raises 4099.
  static bool IsFieldAllowed(int32_t mode, std::string_view key);

  // The mode in force: the "mode" field's index, else its default.
  int32_t GetModeValue() const noexcept;
  // Bits of the body after the level: 4 for a short form, 15..18 for a long one, -1 before any
  // reading or writing.
  int32_t GetBodyWidth() const noexcept { return m_nBodyWidth; }

  // The fixed field values of the short forms: SetDefaultPolicyParams for what all three share,
  // then one call per mode.
  void SetDefaultPolicyParams();
  void SetDefaultEventPolicyParams();
  void SetDefaultTimePolicyParams();
  void SetDefaultCRPolicyParams();

 protected:
  // Finds a field by key; higher levels add their own fields in front of these.
  virtual PolicyField* FindField(std::string_view key);

 private:
  enum FieldIndex {
    kMode,
    kPwdLen,
    kPinLen,
    kMaxAttacks,
    kPinUseChanges,
    kAttackDelay,
    kSecureMode,
    kTranSign,
    kTStick,
    kChallLen,
    kFieldCount
  };

  void ApplyShortFormDefaults(int32_t mode);
  void ParseLongPolicyWithMode(const BitArray& bits, int32_t mode);
  void ParseLongPolicy(const BitArray& bits, int32_t mode, int32_t expectedWidth);
  void GetLongPolicyEncodingWithMode(BitArray& bits, int32_t mode, int32_t expectedWidth);
  // The index a field answers with: its own, its default, or for "pwdlen" the mode's length.
  int32_t AnsweringIndex(FieldIndex field, int32_t mode) const noexcept;

  int32_t m_nLevel = 2;
  std::vector<PolicyField> m_fields;
  int32_t m_nBodyWidth = -1;
  std::string m_szAlgorithm;
};

}  // namespace ov
