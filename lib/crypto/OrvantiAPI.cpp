#include "crypto/OrvantiAPI.h"

#include <array>
#include <climits>
#include <cstring>
#include <exception>
#include <new>
#include <optional>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/CryptHash.h"
#include "crypto/CryptProvider.h"
#include "crypto/CryptSymmetric.h"
#include "crypto/RandomBytes.h"
#include "encoding/Hex.h"

namespace ov::OrvantiAPI {

namespace {

constexpr std::size_t kSha1Size = 20;
constexpr std::size_t kPassphraseKeySize = 24;
constexpr std::array<std::uint8_t, 8> kZeroIV{};

// The 3DES-CBC key of the protected texts, or nothing when the passphrase key fails.
std::optional<CryptSymmetric> PassphraseCipher(const char* passphrase,
                                               const CryptProvider& provider) {
  SecureBytes key(kPassphraseKeySize);
  if (!GenerateCryptKey(passphrase, key)) return std::nullopt;
  std::optional<CryptSymmetric> cipher(std::in_place, provider, CALG_3DES, key);
  cipher->SetIV(kZeroIV);
  return cipher;
}

bool IsUpperHexDigit(std::uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool GenerateRandomKey(std::span<std::uint8_t> buffer) {
  LogScope log("OrvantiAPI::GenerateRandomKey");
  log.Number("dwLen", static_cast<int32_t>(buffer.size() > INT_MAX ? INT_MAX : buffer.size()));
  if (buffer.empty()) return true;
  if (buffer.data() == nullptr || buffer.size() > INT_MAX) return false;
  if (!CryptProvider::Acquire(PROV_RSA_FULL)) {
    log.Message("CryptAcquireContext failed");
    return false;
  }
  if (!RandomBytes(buffer)) {
    log.Message("CryptGenRandom failed");
    return false;
  }
  return true;
}

bool GenerateCryptKey(const char* passphrase, std::span<std::uint8_t> out) {
  LogScope log("OrvantiAPI::GenerateCryptKey");
  log.Number("dwOutLen", static_cast<int32_t>(out.size() > INT_MAX ? INT_MAX : out.size()));
  // Each pair takes one byte of each digest, so an odd length would write one byte too many.
  if (passphrase == nullptr || out.data() == nullptr || out.empty() || out.size() % 2 != 0 ||
      out.size() > 2 * kSha1Size) {
    log.Message("Invalid parameter");
    return false;
  }
  try {
    const auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
    if (!provider) {
      log.Message("CryptAcquireContext failed");
      return false;
    }
    std::array<std::uint8_t, kSha1Size> a{};
    std::array<std::uint8_t, kSha1Size> b{};
    WipeOnExit wipeA(a);
    WipeOnExit wipeB(b);
    SecureString hex;
    std::uint32_t length = 0;

    CryptHash first(*provider);
    first.CreateHash(CALG_SHA1);
    first.HashData({reinterpret_cast<const std::uint8_t*>(passphrase), std::strlen(passphrase)},
                   hex);
    first.GetHashValue(a, length);

    CryptHash second(*provider);
    second.CreateHash(CALG_SHA1);
    second.HashData(a, hex);
    second.GetHashValue(b, length);

    for (std::size_t i = 0; i < out.size() / 2; ++i) {
      out[2 * i] = a[i];
      out[2 * i + 1] = b[i];
    }
    return true;
  } catch (const OVException& e) {
    log.Message(e.what());
  } catch (const std::bad_alloc&) {
    log.Message("BAD_ALLOC");
  } catch (const std::exception& e) {
    log.Message(e.what());
  }
  return false;
}

bool EncryptKP(const char* passphrase, SecureString* text, ALG_ID algorithm) {
  LogScope log("OrvantiAPI::EncryptKP");
  log.Number("Algid", static_cast<int32_t>(algorithm));
  if (text == nullptr || passphrase == nullptr || algorithm != CALG_3DES) {
    log.Message("Invalid parameter");
    return false;
  }
  try {
    const auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
    if (!provider) {
      log.Message("CryptAcquireContext failed");
      return false;
    }
    auto cipher = PassphraseCipher(passphrase, *provider);
    if (!cipher) return false;
    const auto* plain = reinterpret_cast<const std::uint8_t*>(text->data());
    SecureBytes encrypted;
    cipher->Encrypt({plain, text->size()}, encrypted, true);
    SecureString hex(HexEncode(encrypted));
    *text = std::move(hex);
    return true;
  } catch (const OVException& e) {
    log.Message(e.what());
  } catch (const std::bad_alloc&) {
    log.Message("BAD_ALLOC");
  } catch (const std::exception& e) {
    log.Message(e.what());
  }
  return false;
}

bool DecryptKP(const char* passphrase, SecureString* text, ALG_ID algorithm) {
  LogScope log("OrvantiAPI::DecryptKP");
  log.Number("Algid", static_cast<int32_t>(algorithm));
  if (text == nullptr || passphrase == nullptr || algorithm != CALG_3DES) {
    log.Message("Invalid parameter");
    return false;
  }
  try {
    SecureBytes encrypted;
    if (!HexDecode(text->view(), encrypted)) {
      log.Message("Invalid hex text");
      return false;
    }
    const auto provider = CryptProvider::Acquire(PROV_RSA_FULL);
    if (!provider) {
      log.Message("CryptAcquireContext failed");
      return false;
    }
    auto cipher = PassphraseCipher(passphrase, *provider);
    if (!cipher) return false;
    SecureBytes plain;
    cipher->Decrypt(encrypted, plain, true);
    for (std::uint8_t c : plain) {
      if (!IsUpperHexDigit(c)) {
        log.Message("Decrypted text is not a key");
        return false;  // `plain` is wiped as it goes
      }
    }
    *text = SecureString(reinterpret_cast<const char*>(plain.data()), plain.size());
    return true;
  } catch (const OVException& e) {
    log.Message(e.what());
  } catch (const std::bad_alloc&) {
    log.Message("BAD_ALLOC");
  } catch (const std::exception& e) {
    log.Message(e.what());
  }
  return false;
}

}  // namespace ov::OrvantiAPI
