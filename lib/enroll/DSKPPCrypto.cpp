#include "enroll/DSKPPCrypto.h"

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/DSKPP_PRF_Factory.h"
#include "crypto/RsaPublicKey.h"
#include "crypto/Sha256Digest.h"
#include "ov/ov_api.h"

namespace ov {

namespace {

constexpr std::string_view kKeyGenerationLabel = "Key generation";
constexpr std::string_view kMacLabel = "MAC 1 computation";

[[noreturn]] void Fail(LogScope& log, const char* text) {
  log.Message(text);
  throw OVException(OV_ERR_OPERATION_FAILED, text);
}

DSKPPCrypto::Bytes BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

SecureBytes Prf(LogScope& log, std::string_view macAlgorithm, DSKPPCrypto::Bytes key,
                DSKPPCrypto::Bytes message, std::int32_t length) {
  const auto prf = DSKPP_PRF_Factory::GetPRFInstance(macAlgorithm);
  if (!prf) Fail(log, "Unknown MAC algorithm");
  SecureBytes out(static_cast<std::size_t>(length));
  if (prf->DoPrf(key, message, length, out) != length) Fail(log, "DoPrf failed");
  return out;
}

}  // namespace

SecureBytes DSKPPCrypto::CreateSaltBuffer(Bytes a, Bytes b, Bytes c, Bytes d) {
  SecureBytes out;
  out.reserve(a.size() + b.size() + c.size() + d.size());
  for (const Bytes part : {a, b, c, d}) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<std::uint8_t> DSKPPCrypto::EncryptNonce(Bytes key, Bytes clientNonce) {
  LogScope log("DSKPPCrypto::EncryptNonce");
  return RsaPublicKey(key).EncryptPkcs1v15(clientNonce);
}

SecureBytes DSKPPCrypto::CalcAuthData(Bytes identifier, Bytes secret, std::int32_t iterations,
                                      Bytes key, Bytes serverNonce, Bytes clientNonce, Bytes url,
                                      std::string_view macAlgorithm) {
  LogScope log("DSKPPCrypto::CalcAuthData");
  log.Number("iterations", iterations);
  const auto pbkdf2 = DSKPP_PRF_Factory::GetPBKDF2Instance(macAlgorithm);
  if (!pbkdf2) Fail(log, "Unknown MAC algorithm");
  const SecureBytes salt = CreateSaltBuffer(clientNonce, key);
  const SecureBytes authKey = pbkdf2->DoPBKDF2(secret, salt, iterations, kAuthDataLength);
  if (authKey.size() != static_cast<std::size_t>(kAuthDataLength)) Fail(log, "DoPBKDF2 failed");
  const SecureBytes message = CreateSaltBuffer(identifier, url, clientNonce, serverNonce);
  return Prf(log, macAlgorithm, authKey, message, kAuthDataLength);
}

DSKPPCrypto::Keys DSKPPCrypto::DeriveKeys(Bytes key, Bytes serverNonce, Bytes clientNonce,
                                          std::int32_t dsLen, std::string_view macAlgorithm) {
  LogScope log("DSKPPCrypto::DeriveKeys");
  log.Number("dsLen", dsLen);
  if (dsLen <= 0 || dsLen % 2 != 0) Fail(log, "Invalid provisioning key length");
  const SecureBytes seed = CreateSaltBuffer(BytesOf(kKeyGenerationLabel), key, serverNonce);
  const SecureBytes provisioningKey = Prf(log, macAlgorithm, clientNonce, seed, dsLen);
  const auto half = provisioningKey.begin() + dsLen / 2;
  return Keys{SecureBytes(provisioningKey.begin(), half), SecureBytes(half, provisioningKey.end())};
}

SecureBytes DSKPPCrypto::CreateKeyConfirmationMAC(Bytes macKey,
                                                  std::span<const std::string_view> messages,
                                                  std::string_view macAlgorithm) {
  LogScope log("DSKPPCrypto::CreateKeyConfirmationMAC");
  Sha256Digest digest;
  for (std::string_view message : messages) {
    message = message.substr(0, message.find('\0'));
    digest.BlockUpdate(BytesOf(message), 0, message.size());
  }
  SecureBytes input(kMacLabel.begin(), kMacLabel.end());
  input.resize(kMacLabel.size() + Sha256Digest::kDigestSize);
  digest.DoFinal(input, kMacLabel.size());
  return Prf(log, macAlgorithm, macKey, input, kMacLength);
}

}  // namespace ov
