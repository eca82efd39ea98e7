#include "storage/OV3Util.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "common/WideText.h"
#include "crypto/BlockCipherKey.h"
#include "crypto/CbcCipher.h"
#include "crypto/CryptAlgorithms.h"
#include "crypto/DSKPP_PRF_Factory.h"
#include "crypto/HmacSha256.h"
#include "crypto/OrvantiAPI.h"
#include "crypto/Sha256Digest.h"
#include "platform/Platform.h"
#include "storage/OV3ConstantsUtil.h"
#include "storage/Win_UsbFlash.h"

namespace ov::OV3Util {

namespace {

constexpr char kPrfUrn[] = "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256";

std::atomic<uint64_t> g_kekDerivations{0};

[[noreturn]] void Fail(LogScope& log, const char* text) {
  log.Message(text);
  throw OVException(6003, text);
}

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::vector<uint8_t> Protect(std::span<const uint8_t> data, const Entropy& entropy,
                             LogScope& log, const char* failure) {
  // The protected plaintext is always the data followed by one zero byte.
  SecureBytes plain(data.begin(), data.end());
  plain.push_back(0);
  platform::UserProtect& protect = *platform::Current().userProtect;
  auto blob = protect.Protect(plain, entropy.bytes);
  if (!blob) Fail(log, failure);
  if (!protect.Unprotect(*blob, entropy.bytes)) Fail(log, "Error: CryptUnprotectData");
  log.Number("dwBlobLen", static_cast<int32_t>(blob->size()));
  return std::move(*blob);
}

SecureBytes Unprotect(std::span<const uint8_t> blob, const Entropy& entropy, LogScope& log) {
  auto plain = platform::Current().userProtect->Unprotect(blob, entropy.bytes);
  if (!plain) Fail(log, "Error: CryptUnprotectData");
  if (!plain->empty()) plain->pop_back();  // the zero byte added when protecting
  return std::move(*plain);
}

SecureBytes Sha256(std::span<const uint8_t> data) {
  Sha256Digest digest;
  digest.BlockUpdate(data, 0, data.size());
  SecureBytes out(Sha256Digest::kDigestSize);
  digest.DoFinal(out, 0);
  return out;
}

}  // namespace

void SetEntropy(std::span<const uint8_t> bytes, Entropy& entropy) {
  LogScope log("OV3Util::SetEntropy");
  if (bytes.empty()) Fail(log, "Error: no entropy");
  entropy.bytes.assign(bytes.begin(), bytes.end());
}

std::vector<uint8_t> CryptProtect(std::span<const uint8_t> data, std::span<const uint8_t> key) {
  LogScope log("OV3Util::CryptProtect");
  Entropy entropy;
  SetEntropy(key, entropy);
  return Protect(data, entropy, log, "Error: CryptProtectData failed");
}

std::vector<uint8_t> CryptProtectEntropy(std::span<const uint8_t> data, const Entropy& entropy) {
  LogScope log("OV3Util::CryptProtectEntropy");
  return Protect(data, entropy, log, "Error: CryptProtectData");
}

SecureBytes CryptUnprotect(std::span<const uint8_t> blob, std::span<const uint8_t> key) {
  LogScope log("OV3Util::CryptUnprotect");
  Entropy entropy;
  SetEntropy(key, entropy);
  return Unprotect(blob, entropy, log);
}

SecureBytes CryptUnprotectEntropy(std::span<const uint8_t> blob, const Entropy& entropy) {
  LogScope log("OV3Util::CryptUnprotectEntropy");
  return Unprotect(blob, entropy, log);
}

void verifyHmac(std::span<const uint8_t> key, std::span<const uint8_t> data,
                std::span<const uint8_t> mac) {
  LogScope log("OV3Util::verifyHmac");
  if (mac.size() != 32) throw OVException(6003);
  const SecureBytes expected = HmacSha256WithCounter(key, data, 1);
  if (expected.size() != mac.size()) throw OVException(6003);
  // Every byte is compared, whatever the first difference, so the time tells nothing.
  uint8_t difference = 0;
  for (std::size_t i = 0; i < mac.size(); ++i) difference |= expected[i] ^ mac[i];
  if (difference != 0) throw OVException(6003);
}

SecureBytes prepereSeedBuff(std::span<const uint8_t> seed) {
  LogScope log("OV3Util::prepereSeedBuff");
  if (seed.size() > kMaxSeedLength) Fail(log, "Seed buffer too long");
  SecureBytes buffer(kSeedBufferSize, 0);
  buffer[0] = static_cast<uint8_t>(seed.size());
  std::copy(seed.begin(), seed.end(), buffer.begin() + 1);
  return buffer;
}

SecureBytes extractSeedFromBuff(std::span<const uint8_t> record) {
  LogScope log("OV3Util::extractSeedFromBuff");
  if (record.empty()) return {};
  const std::size_t length = std::min({std::size_t{record[0]}, kSeedRecordSize - 1, record.size() - 1});
  return SecureBytes(record.begin() + 1, record.begin() + 1 + static_cast<long>(length));
}

void getRandomArray(std::span<uint8_t> buffer) {
  LogScope log("OV3Util::getRandomArray");
  if (!OrvantiAPI::GenerateRandomKey(buffer)) Fail(log, "Error: GenerateRandomKey");
}

SecureString getRandomString(std::size_t n) {
  LogScope log("OV3Util::getRandomString");
  SecureBytes bytes(n);
  getRandomArray(bytes);
  SecureString text;
  text.reserve(n);
  for (uint8_t b : bytes) text.push_back(kRandomAlphabet[b % 62]);
  return text;
}

SecureBytes aesCbc(std::span<const uint8_t> iv, std::span<const uint8_t> key,
                   std::span<const uint8_t> input, bool encrypt, bool padding) {
  LogScope log("OV3Util::aesCbc");
  log.Number("encrypt", encrypt);
  log.Number("padding", padding);
  BlockCipherKey cipherKey(CALG_AES, key);
  CbcCipher cipher(cipherKey, iv, padding ? CbcCipher::kPkcs7Padding : CbcCipher::kNoPadding);
  if (encrypt) return cipher.Encrypt(input);
  std::optional<SecureBytes> plain = cipher.Decrypt(input);
  return plain ? std::move(*plain) : SecureBytes{};
}

std::string longArrayToString(std::span<const uint32_t> values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) text += ',';
    text += std::to_string(values[i]);
  }
  return text;
}

std::size_t longArrayFromString(std::string_view text, std::vector<uint32_t>* values) {
  const std::size_t count = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
  if (values != nullptr) {
    values->clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t end = std::min(text.find(',', start), text.size());
      const std::string part(text.substr(start, end - start));
      values->push_back(static_cast<uint32_t>(std::atol(part.c_str())));
      start = end + 1;
    }
  }
  return count;
}

std::string GetDeviceUnique(int slot) {
  LogScope log("OV3Util::GetDeviceUnique");
  log.Number("nMacAddressIndex", slot);
  const int driveType = Win_UsbFlash::GetActiveDriveType();
  std::string unique;
  if (driveType == DRIVE_MACHINE) {
    unique = slot < 0 ? std::string() : OV3ConstantsUtil::getInstance().getMACAddress(static_cast<unsigned>(slot));
    log.Text("MACAddress", unique);
  } else if (driveType == DRIVE_USBFLASH || driveType == DRIVE_USBDRIVE) {
    unique = Utf16ToUtf8(Win_UsbFlash::GetFlashSerial());
    log.Text("Serial", unique);
  }
  return unique;
}

SecureBytes getSHA256Key(std::string_view s, int slot) {
  LogScope log("OV3Util::getSHA256Key");
  SecureString text(s);
  text += GetDeviceUnique(slot);
  return Sha256(Bytes(text.view()));
}

SecureBytes getKEKBuff(std::string_view a0, std::string_view a1, std::string_view a2,
                       std::span<const uint8_t> password, int slot) {
  LogScope log("OV3Util::getKEKBuff");
  const std::string device = GetDeviceUnique(slot);
  SecureString saltText(a1);
  saltText += a2;
  saltText += device;
  saltText += a0;
  const SecureBytes salt = getSHA256Key(saltText.view(), slot);
  g_kekDerivations.fetch_add(1, std::memory_order_relaxed);
  auto pbkdf2 = DSKPP_PRF_Factory::GetPBKDF2Instance(kPrfUrn);
  if (!pbkdf2) Fail(log, "Bad_Alloc");
  SecureBytes kek = pbkdf2->DoPBKDF2(password, salt, kKekIterations, 32);
  if (kek.empty()) Fail(log, "Error");
  return kek;
}

uint64_t KekDerivationCount() noexcept { return g_kekDerivations.load(std::memory_order_relaxed); }

}  // namespace ov::OV3Util
