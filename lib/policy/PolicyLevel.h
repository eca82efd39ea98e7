// PolicyLevel: what a capability level of the token policy knows. The body of a policy string is a
// row of small encoded fields whose layout grows with the level: level 2 (which also serves level
// 1) holds the mode and the PIN, lock-out and passcode fields; level 3 adds a finer "maxattacks";
// level 4 adds six one- and two-bit flags; level 5 adds "NUMERIC_ONLY_PIN". Each level appends its
// fields after those of the level before, so PolicyLevelV3 extends PolicyLevelV2 and so on.
//
// OVPolicy owns exactly one level object and asks it every question about the fields by key
// ("pwdlen", "ALLOW_TRIVIAL_PIN", ...). Bit positions count from bit 0, the leading 1 of the
// policy string; bits 1-4 hold the level; the body starts at bit 5.
//
// Failures raise OVException with the parser's own codes below. They travel inside the library
// only: whoever applies a policy for a caller reports them as OV_ERR_INVALID_PARAM.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ov {

class BitArray;

// The policy string itself is refused: malformed text, wrong checksum, level outside 1..5, no
// default for a mode.
inline constexpr int32_t kPolicyErrInvalidPolicy = 4097;
// Unknown key, undefined mode, a field with no value to encode, a wrong encoded length.
inline constexpr int32_t kPolicyErrUndefined = 4098;
// Unsupported mode for a field query, a wrong parsed length, a level 4/5 flag other than 0 or 1.
inline constexpr int32_t kPolicyErrUnsupported = 4099;
// An index or a value outside a field's table, or a field cut off by the end of the string.
inline constexpr int32_t kPolicyErrFieldValue = 4100;

class PolicyLevel {
 public:
  virtual ~PolicyLevel() = default;

  virtual std::unique_ptr<PolicyLevel> Clone() const = 0;

  // Reads the fields from the bits of a policy string without its checksum. `levelOne` marks a
  // level 2 object as level 1 (higher levels ignore it).
  virtual void Initialize(const BitArray& bits, bool levelOne) = 0;
  // Appends the body (everything after bit 4) to `bits`. A short-form mode first resets the other
  // fields to its defaults, because the short form cannot carry them.
  virtual void GetEncoding(BitArray& bits) = 0;

  // The value of a field; -1 when the field does not apply to the mode or has no value.
  virtual int32_t GetPolicyParameter(std::string_view key) const = 0;
  // Sets a field to one of its allowed values (4100 otherwise, 4098 for an unknown key).
  virtual void SetPolicyParameter(std::string_view key, int32_t value) = 0;

  // "HmacSHA256" for event, time and multi-host modes, the OCRA suite for challenge-response,
  // empty for an undefined mode or before anything was read or set.
  virtual const std::string& GetTokenAlgorithm() const = 0;
  // Rebuilds the algorithm text for `mode` from the current fields.
  virtual void SetTokenAlgorithm(int32_t mode) = 0;

  // 1 .. 5.
  virtual int32_t GetLevel() const = 0;
  // The PIN rules' view of the level 4/5 flags; both are true below level 4.
  virtual bool IsTrivialPinAllowed() const = 0;
  virtual bool IsTrivialPinAllowedEx() const = 0;
  // The PIN length the token demands: "pinlen", or at levels 4 and 5 the extended length (5 or 7)
  // unless the policy says to ignore it.
  virtual int32_t GetPinLength() const = 0;
};

}  // namespace ov
