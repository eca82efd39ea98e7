// The tests' own reference for what a manually activated token must produce: the key an
// activation code implies and RFC 4226 passcodes with HMAC-SHA-256, computed with the tests' own
// cryptography rather than through the library.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "policy/OVPolicy.h"
#include "support/ReferenceCrypto.h"

namespace ov::test {

// A policy string with the given fields set on the default policy.
inline std::string Formulate(std::initializer_list<std::pair<const char*, int32_t>> fields) {
  OVPolicy policy;
  for (const auto& [key, value] : fields) policy.SetPolicyParameter(key, value);
  return policy.FormulatePolicyString();
}

// The 80 bits of entropy an activation code carries in its first 16 base-32 characters.
inline std::vector<uint8_t> EntropyOf(std::string code) {
  std::erase(code, '-');
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  std::vector<uint8_t> bytes(10);
  int bit = 0;
  for (char c : code) {
    const auto value = alphabet.find(c);
    for (int b = 4; b >= 0 && bit < 80; --b, ++bit) {
      bytes[bit / 8] |= static_cast<uint8_t>(((value >> b) & 1) << (7 - bit % 8));
    }
  }
  return bytes;
}

// What the OTP key is made of: entropy, policy digits, four zero bytes.
inline std::vector<uint8_t> ActivationKeyMaterial(const std::string& code, const std::string& policy) {
  std::vector<uint8_t> material = EntropyOf(code);
  material.insert(material.end(), policy.begin(), policy.end());
  material.insert(material.end(), 4, 0);
  return material;
}

inline std::vector<uint8_t> Sha256(const std::vector<uint8_t>& data) { return ref::Sha256(data); }

inline std::string UpperHex(const std::vector<uint8_t>& data) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : data) out += hex[b >> 4], out += hex[b & 15];
  return out;
}

// Bytes of hexadecimal text (either case).
inline std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The OTP key a manual activation with this code and policy installs.
inline std::vector<uint8_t> ActivationKey(const std::string& code, const std::string& policy) {
  return Sha256(ActivationKeyMaterial(code, policy));
}

// RFC 4226 with HMAC-SHA-256 and dynamic truncation.
inline std::string Hotp(const std::vector<uint8_t>& key, uint64_t counter, int digits) {
  uint8_t message[8];
  for (int i = 7; i >= 0; --i, counter >>= 8) message[i] = static_cast<uint8_t>(counter);
  const std::vector<uint8_t> mac = ref::HmacSha256(key, message);
  const int offset = mac[31] & 0x0F;
  const uint32_t binary = (mac[offset] & 0x7Fu) << 24 | mac[offset + 1] << 16 |
                          mac[offset + 2] << 8 | mac[offset + 3];
  uint32_t modulus = 1;
  for (int i = 0; i < digits; ++i) modulus *= 10;
  std::string code = std::to_string(binary % modulus);
  return std::string(static_cast<std::size_t>(digits) - code.size(), '0') + code;
}

}  // namespace ov::test
