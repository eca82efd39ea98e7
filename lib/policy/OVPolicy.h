// OVPolicy: a token's policy. It fixes the passcode mode and length, the PIN rules, the lock-out
// rules, the time step, the challenge length, transaction signing and the level 4/5 PIN flags.
// Administrators and enrollment servers hand it over as the policy string, a short decimal number:
//
//   bit 0        always 1, so that leading zero fields survive the decimal form
//   bits 1-4     capability level, 1 to 5
//   bits 5..n-6  the level's body (PolicyLevelV2 .. PolicyLevelV5)
//   last 5 bits  checksum value of the decimal text of bits 0..n-6 (GetChecksum)
//
// The string must be plain decimal digits without a leading zero, below 2^63. OVPolicy checks the
// checksum, picks the level object, lets it read the fields, and answers the engine's questions.
// It also builds the default policies: event, time and challenge-response short forms for
// multi-host hosts, and the level 1 policy of an empty string.
//
// Failures raise OVException 4097..4100 (see policy/PolicyLevel.h); whoever applies a policy for
// a caller reports them as OV_ERR_INVALID_PARAM. SetPolicyString changes nothing when it fails.
//
// Setters change the fields only; the policy text changes with SetPolicyString and
// FormulatePolicyString. Not thread-safe: the engine that owns it is used under the library lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "policy/PolicyLevel.h"

namespace ov {

class BitArray;

class OVPolicy {
 public:
  // Invalid, no text, a level 3 object with every field at its default (mode 0).
  OVPolicy();
  // Copies hold their own level object. There are no moves: a moved-from policy would have none.
  OVPolicy(const OVPolicy& other);
  OVPolicy& operator=(const OVPolicy& other);
  ~OVPolicy();

  // --- The policy string -------------------------------------------------------------------

  // Applies a policy string and makes the policy valid. An empty text gives the level 1 default
  // policy (event mode, PIN length 4, 10 attempts; text 17840159). A null text raises 4097. On any
  // failure the policy keeps its previous state.
  void SetPolicyString(const char* text);
  void SetPolicyString(std::string_view text);
  // The full policy string as set or formulated (checksum included); empty when there is none.
  const std::string& GetPolicyString() const noexcept { return m_szPolicy; }
  // Writes the current fields as a policy string, stores it as the policy text, makes the policy
  // valid and returns the text. A short-form mode resets the other fields to its defaults first.
  const std::string& FormulatePolicyString();
  // The default policy of a short-form mode: 4 event (9859), 5 time (9894), 6 challenge-response
  // (9946). Any other mode raises 4097.
  static OVPolicy GetDefaultPolicy(int32_t mode);
  // The policy string without its checksum, in decimal; 4097 when the text is malformed or the
  // checksum does not match.
  static std::string GetValidatedPolicyString(std::string_view text);
  // The checksum value (0..7, 14..31) of the decimal text of a policy without its checksum; -1 for
  // an empty text.
  static int64_t GetChecksum(std::string_view text);

  // True once a policy string was applied or formulated.
  bool IsValid() const noexcept { return m_bValid; }
  // 1 .. 5.
  int32_t GetPolicyLevel() const { return m_pPolicyLevel->GetLevel(); }

  // --- Fields ------------------------------------------------------------------------------
  // Keys: "mode", "pwdlen", "pinlen", "maxattacks", "pinusechanges", "attackdelay", "securemode",
  // "transign", "tstick", "challlen"; from level 3 "v3maxattacks"; from level 4 the flags
  // "OTP_ENCODING", "ALLOW_TRIVIAL_PIN", "PIN_VERIFICATION", "PIN_CACHING_ACTIVE",
  // "PIN_LEN_EXT_IGNORED_TAG", "PIN_LEN_EXT_VALUE"; at level 5 "NUMERIC_ONLY_PIN".

  // The field's value, -1 when it does not apply to the mode. Unknown key: 4098; a mode above 6:
  // 4099.
  int32_t GetPolicyParameter(std::string_view key) const;
  // Sets a field to one of its allowed values: 4100 for any other value, 4098 for an unknown key.
  void SetPolicyParameter(std::string_view key, int32_t value);

  int32_t GetMode() const { return GetPolicyParameter("mode"); }
  int32_t GetPwdLen() const { return GetPolicyParameter("pwdlen"); }
  // The PIN length the token demands: "pinlen", except at levels 4 and 5 when
  // "PIN_LEN_EXT_IGNORED_TAG" is 0: then 5 or 7 by "PIN_LEN_EXT_VALUE".
  int32_t GetPinLen() const { return m_pPolicyLevel->GetPinLength(); }
  int32_t GetTStick() const { return GetPolicyParameter("tstick"); }
  int32_t GetMaxAttacks() const { return GetPolicyParameter("maxattacks"); }
  int32_t GetPinUseChanges() const { return GetPolicyParameter("pinusechanges"); }
  int32_t GetAttackDelay() const { return GetPolicyParameter("attackdelay"); }
  int32_t GetChallLen() const { return GetPolicyParameter("challlen"); }

  void SetMode(int32_t value) { SetPolicyParameter("mode", value); }
  void SetPwdLen(int32_t value) { SetPolicyParameter("pwdlen", value); }
  void SetPinLen(int32_t value) { SetPolicyParameter("pinlen", value); }
  void SetTStick(int32_t value) { SetPolicyParameter("tstick", value); }
  void SetMaxAttacks(int32_t value) { SetPolicyParameter("maxattacks", value); }
  void SetPinUseChanges(int32_t value) { SetPolicyParameter("pinusechanges", value); }
  void SetAttackDelay(int32_t value) { SetPolicyParameter("attackdelay", value); }
  void SetChallLen(int32_t value) { SetPolicyParameter("challlen", value); }

  // "pinlen" is not 0. (A level 4/5 extended length does not make a PIN-less policy need one.)
  bool IsPinRequired() const { return GetPolicyParameter("pinlen") != 0; }
  bool IsMaxAttacksSet() const { return GetMaxAttacks() != 0; }
  bool IsPinUseChangesSet() const { return GetPinUseChanges() != 0; }
  bool IsAttackDelaySet() const { return GetAttackDelay() != 0; }

  // "securemode" is kept and written but changes no behaviour.
  bool IsSecureMode() const { return GetPolicyParameter("securemode") != 0; }
  void SetSecureMode() { SetPolicyParameter("securemode", 1); }
  void ClearSecureMode() { SetPolicyParameter("securemode", 0); }
  // "transign": the token receives a transaction key and a MAC key beside its OTP key.
  bool IsTransactionSigning() const { return GetPolicyParameter("transign") != 0; }
  void SetTransactionSigning() { SetPolicyParameter("transign", 1); }
  void ClearTransactionSigning() { SetPolicyParameter("transign", 0); }

  // Modes 0/4, 1/5 and 2/6; mode 3 (multi-host) is none of them.
  bool IsEventBased() const;
  bool IsTimeBased() const;
  bool IsChallengeResponse() const;

  // The passcode algorithm: "HmacSHA256", or for challenge-response the OCRA suite
  // "OCRA-1:HOTP-SHA256-<pwdlen>:QN0<challlen>"; empty before a policy is read or set.
  const std::string& GetTokenAlgorithm() const { return m_pPolicyLevel->GetTokenAlgorithm(); }
  // Rebuilds the algorithm text for `mode` from the current fields (the fields' own changes keep
  // it up to date already).
  void SetTokenAlgorithm(int32_t mode) { m_pPolicyLevel->SetTokenAlgorithm(mode); }

  // The PIN rules' view of the flags. IsTrivialPinAllowed: levels 4 and 5 "ALLOW_TRIVIAL_PIN" is
  // 1. IsTrivialPinAllowedEx: level 4 "ALLOW_TRIVIAL_PIN" is 1, level 5 "NUMERIC_ONLY_PIN" is 1.
  // Both are true below level 4.
  bool IsTrivialPinAllowed() const { return m_pPolicyLevel->IsTrivialPinAllowed(); }
  bool IsTrivialPinAllowedEx() const { return m_pPolicyLevel->IsTrivialPinAllowedEx(); }

 private:
  // A new level object for `level`, read from `bits` (the policy without its checksum).
  static std::unique_ptr<PolicyLevel> InitializeOVPolicy(int32_t level, const BitArray& bits);
  // The full policy string (checksum included) of a level object's current fields.
  static std::string Formulate(PolicyLevel& level);

  std::unique_ptr<PolicyLevel> m_pPolicyLevel;
  std::string m_szPolicy;
  bool m_bValid = false;
};

}  // namespace ov
