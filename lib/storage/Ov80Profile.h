// The token of an 8.0 installation: one file, "ProfileData", directly in the storage root, holding
// a user-bound blob (no entropy) whose plaintext begins with the 218-byte profile record. The
// desktop application imports it once into a new token at start-up; this is its reader.
//
// Profile record, integers little-endian:
//   0   4    profile flag, 1 = the profile holds a token
//   4   4    activation: 0 = not activated (no PIN set yet), 1 = activated
//   8   4    passcode length
//   12  4    moving factor (event counter)
//   16  4    consecutive wrong PINs
//   30  144  the PIN-protected OTP key text; a shorter text ends with a zero byte
//   176 21   activation key material as hexadecimal text, zero-terminated, at most 20 characters
// The other bytes are not used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ov {

inline constexpr std::size_t kOv80ProfileSize = 218;
inline constexpr char kOv80ProfileFileName[] = "ProfileData";

struct Ov80Profile {
  std::array<uint8_t, kOv80ProfileSize> bytes{};

  Ov80Profile() = default;
  Ov80Profile(const Ov80Profile&) = delete;
  Ov80Profile& operator=(const Ov80Profile&) = delete;
  ~Ov80Profile();

  uint32_t Flag() const { return U32(0); }
  uint32_t Activation() const { return U32(4); }
  uint32_t PasscodeLength() const { return U32(8); }
  int32_t MovingFactor() const { return static_cast<int32_t>(U32(12)); }
  int32_t BadPinCount() const { return static_cast<int32_t>(U32(16)); }
  // The protected OTP key text: up to its zero byte, at most 144 characters.
  std::string_view EncOtpKey() const { return Text(30, 144); }
  // The key material text: up to its zero byte, at most 20 characters.
  std::string_view KeyMaterial() const { return Text(176, 20); }

 private:
  uint32_t U32(std::size_t at) const;
  std::string_view Text(std::size_t at, std::size_t width) const;
};

// Reads the profile at `path` into `profile` (zero as the caller gives it). True when the file
// could be opened: a blob that cannot be opened for this user, or a plaintext shorter than the
// profile record, leaves the record zero, which reads as a profile without a token.
bool OV80ReadData(const std::string& path, Ov80Profile& profile);

// The profile record of a plaintext (the part after it is ignored); false, with `profile`
// untouched, when the plaintext is shorter than the record.
bool ParseOv80Profile(std::span<const uint8_t> plaintext, Ov80Profile& profile);

}  // namespace ov
