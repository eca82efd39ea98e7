// OV3Properties: the in-memory form of a format-3 token file. A map from two-character tags to
// base64 texts, the record text it is written as, and the operations that put each protected item
// (the token name, the token information, the seed that holds the OTP key) into the map and take
// it out again.
//
// Record text: records of tag (2 characters), value length ("%3d") and value, in ascending tag
// order, nothing between them. Values are base64 of the item's bytes, so none may reach 1000
// characters; a map with such a value does not serialize (the save fails and writes nothing).
//
// Protection: the name, the information and the seed each have keys derived from random salts
// kept in the map, fixed constants, the device-identity string of a slot (OV3Util) and, for the
// seed, the PIN. On the machine drive the items are sealed with the user-bound protection; on a
// USB drive with AES-CBC under the derived keys. Reading tries the device slots 0 to 4 in turn and
// uses the first that verifies.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/SecureMemory.h"
#include "ov/ov_api.h"
#include "storage/TokenData.h"

namespace ov {

inline constexpr char NAME_ENC_CONST[] = "K7=4w|dRyo3";
inline constexpr char NAME_MAC_CONST[] = "3)v#kiQTb";
inline constexpr char INFO_ENC_CONST[] = "pK?739rtn5M(";
inline constexpr char INFO_MAC_CONST[] = "/eli7Gc2wqbn";
inline constexpr char KEK1_CONST[] = "--r84T17k}2m";
inline constexpr char KEK2_CONST[] = "*hwRt$c]|z3958Kqe";
inline constexpr char DEK_PROT_CONST[] = "6WKaRNDf5QLs";
inline constexpr char SEED_PROT_CONST[] = "4HmrC8tFWyk7";

// The token information kept in a file's information text.
struct StoredTokenInfo {
  int32_t badPinCount = 0;
  int32_t challengeLength = 0;
  int32_t maxAttacks = 0;
  SecureString sdkVersion;  // the stored flag text, "true"
  SecureString tokenMode;
  SecureString tokenName;
  SecureString tokenPolicy;
  SecureString tokenPolicyLevel;
  SecureString tokenSerialNo;
  int32_t tokenState = 0;
  int32_t lockTimeLeft = 0;
  bool pinRequired = false;
  std::vector<uint32_t> counters;
  int32_t pinUseCount = 0;
  bool keySet = false;
  int32_t pinExpiryMonths = 0;
  int32_t lockUntil = 0;     // "ZD": the end of a running PIN lock-out
  SecureString keyMaterial;  // "AS": activation key material of a token whose PIN is not set
};

class OV3Properties {
 public:
  OV3Properties() = default;
  virtual ~OV3Properties() = default;
  OV3Properties(const OV3Properties&) = default;
  OV3Properties& operator=(const OV3Properties&) = default;

  // The tag of an index of the tag table ("" outside it).
  static std::string_view TagOf(int index) noexcept;

  void setItem(std::string_view tag, std::span<const uint8_t> bytes);
  void setText(std::string_view tag, std::string_view text);
  void setInt(std::string_view tag, int32_t value);
  void setLong(std::string_view tag, int32_t value);
  void setBool(std::string_view tag, bool value);
  void setLongArray(std::string_view tag, std::span<const uint32_t> values);

  SecureString getText(std::string_view tag) const;
  SecureBytes getItem(std::string_view tag) const;
  int32_t getInt(std::string_view tag) const;
  int32_t getLong(std::string_view tag) const;
  bool getBool(std::string_view tag) const;
  std::size_t getLongArray(std::string_view tag, std::vector<uint32_t>* values) const;
  bool has(std::string_view tag) const { return m_map.count(std::string(tag)) != 0; }
  std::size_t size() const { return m_map.size(); }

  // The record text; empty when a value is too long for its length field.
  SecureString serializeTLV() const;
  // Adds the records of `text` to the map. False for malformed text; records read before the
  // fault stay.
  bool deserializeTLV(std::string_view text);
  // Adds the items of a legacy key-and-value text ("key,value;key,value"), values unchanged. Runs
  // of ";" separate like one; an item ends at ";" or a zero byte; an empty item, an item without
  // "," or one with an empty key ends the reading. False only on an internal failure.
  bool deserialize(std::string_view text);

  // Name: stored under new salts (raises 6003 on failure); read back with the first device slot
  // whose MAC verifies (raises 6003 when none does).
  bool ov3StoreTokenName(std::string_view name);
  SecureString ov3GetTokenName() const;

  void obfuAndSetTokenInfoString(std::string_view text, std::string_view name);
  bool ov3StoreTokenInfo(const OVTokenInfoA& info, const TokenData& tokenData);
  void ov3GetTokenInfo(StoredTokenInfo& out) const;
  void getTokenInfo(StoredTokenInfo& out) const;
  // Name and information into the token data record; false on any failure.
  bool getOrvantiData(TokenData& tokenData) const;

  bool ov3StoreSeed(std::string_view pin, std::span<const uint8_t> seed, bool bCalcDekHmac);
  bool ov3StoreSeedFlash(std::string_view pin, std::span<const uint8_t> seed, bool bCalcDekHmac);
  std::optional<SecureBytes> ov3GetSeed(std::string_view pin, bool bVerifyDekHmac) const;
  std::optional<SecureBytes> ov3GetSeedFlash(std::string_view pin, bool bVerifyDekHmac) const;
  // The machine-drive or USB-drive form, by the drive the program runs from.
  bool ov3StoreSeedForDrive(std::string_view pin, std::span<const uint8_t> seed, bool bCalcDekHmac);
  std::optional<SecureBytes> ov3GetSeedForDrive(std::string_view pin, bool bVerifyDekHmac) const;

  // Moves a legacy token into this map at its first right PIN: the name and the information from
  // `info` and `record`, and `seed` (the OTP key text in a zero-filled buffer) protected with
  // `pin` for the drive in use. The legacy-only fields (key-set flag "KP", PIN expiry "FT", key
  // material "AS", protected transaction and MAC keys "AK" and "MK", algorithm "CR") are stored
  // whatever the outcome. True when name, information and seed were stored; an empty seed, like
  // any failure, gives false.
  bool portOV2toOV3(const OVTokenInfoA& info, std::string_view pin, std::span<const uint8_t> seed,
                    const TokenData& record);

 private:
  std::map<std::string, SecureString> m_map;
};

}  // namespace ov
