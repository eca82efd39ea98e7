// DSKPPCrypto: the client's computations of the four-pass DSKPP exchange (RFC 6063) on raw
// bytes. R_C is the client nonce, R_S the server nonce, K the server's key as it came in
// "ds:KeyName" (the bytes of its DER SubjectPublicKeyInfo), K_AC the key derived from the
// password, K_PROV the provisioning key whose halves are K_MAC and K_TOKEN, AD the authentication
// data. The pseudo-random function and PBKDF2 are the ones the MAC algorithm URN names
// (DSKPP_PRF_Factory); an unknown URN, a refused input or a failing primitive raises
// OVException 6003. Every derived key is returned in wiped storage.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "common/SecureMemory.h"

namespace ov {

class DSKPPCrypto {
 public:
  static constexpr std::int32_t kAuthDataLength = 16;  // K_AC and AD
  static constexpr std::int32_t kMacLength = 32;       // the key confirmation MAC

  using Bytes = std::span<const std::uint8_t>;

  // a || b || c || d.
  static SecureBytes CreateSaltBuffer(Bytes a, Bytes b = {}, Bytes c = {}, Bytes d = {});

  // R_C encrypted with RSA PKCS #1 v1.5 under K; as many bytes as K's modulus, big-endian.
  static std::vector<std::uint8_t> EncryptNonce(Bytes key, Bytes clientNonce);

  // AD = PRF(K_AC, identifier || url || R_C || R_S, 16) with
  // K_AC = PBKDF2(secret, R_C || K, iterations, 16). The identifier and the secret are the user
  // ID's and the password's upper-case hex text.
  static SecureBytes CalcAuthData(Bytes identifier, Bytes secret, std::int32_t iterations,
                                  Bytes key, Bytes serverNonce, Bytes clientNonce, Bytes url,
                                  std::string_view macAlgorithm);

  struct Keys {
    SecureBytes mac;    // K_MAC: the first half of K_PROV
    SecureBytes token;  // K_TOKEN: the second half
  };
  // K_PROV = PRF(R_C, "Key generation" || K || R_S, dsLen); dsLen must be even and positive.
  static Keys DeriveKeys(Bytes key, Bytes serverNonce, Bytes clientNonce, std::int32_t dsLen,
                         std::string_view macAlgorithm);

  // PRF(K_MAC, "MAC 1 computation" || SHA-256(messages in order), 32). Each message counts up
  // to its first NUL, as the texts went over the wire.
  static SecureBytes CreateKeyConfirmationMAC(Bytes macKey,
                                              std::span<const std::string_view> messages,
                                              std::string_view macAlgorithm);
};

}  // namespace ov
