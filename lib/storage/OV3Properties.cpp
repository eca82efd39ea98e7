#include "storage/OV3Properties.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "crypto/HmacSha256.h"
#include "encoding/Base64.h"
#include "platform/Platform.h"
#include "policy/OVPolicy.h"
#include "storage/OV3Util.h"
#include "storage/Win_UsbFlash.h"

namespace ov {

namespace {

constexpr std::array<const char*, 42> kTags = {
    "KH", "GQ", "Y1", "Y2", "ML", "G7", "69", "11", "R2", "FR", "OV", "BV", "F3", "53",
    "BA", "B1", "TS", "W5", "Z1", "Z2", "Z3", "Z4", "Z5", "Z6", "Z7", "Z8", "Z9", "ZA",
    "ZB", "ZC", "ZD", "ZE", "ZF", "ZG", "DS", "ES", "KP", "FT", "AS", "AK", "MK", "CR"};

constexpr std::size_t kMaxValueLength = 999;
constexpr int kSlots = 5;
constexpr std::size_t kSaltLength = 32;
constexpr std::size_t kIvTextLength = 16;
constexpr std::size_t kCounterTags = 10;

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string_view View(const SecureBytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Joins texts into one key-derivation input.
SecureString Join(std::initializer_list<std::string_view> parts) {
  SecureString out;
  for (std::string_view part : parts) out += part;
  return out;
}

enum class Drive { Machine, Usb, Unknown };

Drive CurrentDrive() {
  switch (Win_UsbFlash::GetActiveDriveType()) {
    case DRIVE_MACHINE: return Drive::Machine;
    case DRIVE_USBFLASH:
    case DRIVE_USBDRIVE: return Drive::Usb;
    default: return Drive::Unknown;
  }
}

[[noreturn]] void Fail(LogScope& log, const char* text) {
  log.Message(text);
  throw OVException(6003, text);
}

SecureBytes Mac(std::span<const uint8_t> key, std::span<const uint8_t> data) {
  return HmacSha256WithCounter(key, data, 1);
}

// Seals an item: user-bound on the machine drive, AES-CBC with a new IV (stored under `ivTag`) on
// a USB drive.
SecureBytes SealItem(OV3Properties& map, Drive drive, std::span<const uint8_t> key,
                     std::span<const uint8_t> plain, std::string_view ivTag) {
  if (drive == Drive::Machine) {
    std::vector<uint8_t> blob = OV3Util::CryptProtect(plain, key);
    return SecureBytes(blob.begin(), blob.end());
  }
  SecureBytes iv(16);
  OV3Util::getRandomArray(iv);
  map.setItem(ivTag, iv);
  return OV3Util::aesCbc(iv, key, plain, true, true);
}

SecureBytes OpenItem(const OV3Properties& map, Drive drive, std::span<const uint8_t> key,
                     std::span<const uint8_t> sealed, std::string_view ivTag, LogScope& log) {
  if (drive == Drive::Machine) return OV3Util::CryptUnprotect(sealed, key);
  SecureBytes plain = OV3Util::aesCbc(map.getItem(ivTag), key, sealed, false, true);
  if (plain.empty() && !sealed.empty()) Fail(log, "Error: aesCbc failed");
  return plain;
}

bool MacMatches(std::span<const uint8_t> key, std::span<const uint8_t> data,
                std::span<const uint8_t> mac) {
  try {
    OV3Util::verifyHmac(key, data, mac);
    return true;
  } catch (const OVException&) {
    return false;
  }
}

// Steps shared by both seed stores: new IV and salts, the two key-encryption keys and the data
// key, encrypted under the first.
struct NewSeedKeys {
  SecureString iv1, ts, w5, dek;
  SecureBytes kek2, eDek;
};

NewSeedKeys MakeSeedKeys(std::string_view name, std::string_view pin) {
  NewSeedKeys k;
  k.iv1 = OV3Util::getRandomString(kIvTextLength);
  k.ts = OV3Util::getRandomString(kSaltLength);
  k.w5 = OV3Util::getRandomString(kSaltLength);
  const SecureBytes kek1 = OV3Util::getKEKBuff(name, k.ts.view(), KEK1_CONST, Bytes(pin), 0);
  k.kek2 = OV3Util::getKEKBuff(name, k.w5.view(), KEK2_CONST, Bytes(pin), 0);
  k.dek = OV3Util::getRandomString(kSaltLength);
  k.eDek = OV3Util::aesCbc(Bytes(k.iv1.view()), kek1, Bytes(k.dek.view()), true, false);
  return k;
}

}  // namespace

std::string_view OV3Properties::TagOf(int index) noexcept {
  return index >= 0 && index < static_cast<int>(kTags.size()) ? kTags[index] : "";
}

void OV3Properties::setItem(std::string_view tag, std::span<const uint8_t> bytes) {
  m_map[std::string(tag)] = Base64EncodeSecret(bytes);
}

void OV3Properties::setText(std::string_view tag, std::string_view text) { setItem(tag, Bytes(text)); }

void OV3Properties::setInt(std::string_view tag, int32_t value) { setText(tag, std::to_string(value)); }

void OV3Properties::setLong(std::string_view tag, int32_t value) { setText(tag, std::to_string(value)); }

void OV3Properties::setBool(std::string_view tag, bool value) { setText(tag, value ? "true" : "false"); }

void OV3Properties::setLongArray(std::string_view tag, std::span<const uint32_t> values) {
  setText(tag, OV3Util::longArrayToString(values));
}

SecureBytes OV3Properties::getItem(std::string_view tag) const {
  const auto found = m_map.find(std::string(tag));
  if (found == m_map.end()) return {};
  return Base64Decode(found->second.view());
}

SecureString OV3Properties::getText(std::string_view tag) const {
  const SecureBytes bytes = getItem(tag);
  return SecureString(View(bytes));
}

int32_t OV3Properties::getInt(std::string_view tag) const {
  return static_cast<int32_t>(std::atoi(getText(tag).c_str()));
}

int32_t OV3Properties::getLong(std::string_view tag) const {
  return static_cast<int32_t>(std::atol(getText(tag).c_str()));
}

bool OV3Properties::getBool(std::string_view tag) const { return getText(tag).view() == "true"; }

std::size_t OV3Properties::getLongArray(std::string_view tag, std::vector<uint32_t>* values) const {
  return OV3Util::longArrayFromString(getText(tag).view(), values);
}

SecureString OV3Properties::serializeTLV() const {
  LogScope log("OV3Properties::serializeTLV");
  SecureString text;
  for (const auto& [tag, value] : m_map) {
    if (value.size() > kMaxValueLength) {
      // The three-digit length field cannot say it; a record that cannot be read back is not
      // written.
      log.Text("Tag", tag);
      log.Message("OV3Properties::serialize failed");
      return {};
    }
    char length[8];
    std::snprintf(length, sizeof length, "%3d", static_cast<int>(value.size()));
    text += tag;
    text += length;
    text += value.view();
  }
  return text;
}

bool OV3Properties::deserializeTLV(std::string_view text) {
  LogScope log("OV3Properties::deserializeTLV");
  // Tag and length characters are read one at a time: the position just past the end reads as a
  // zero byte, a position beyond that ends the read as malformed.
  bool malformed = false;
  auto at = [&](std::size_t position) -> char {
    if (position < text.size()) return text[position];
    if (position > text.size()) malformed = true;
    return '\0';
  };
  std::size_t p = 0;
  while (p < text.size()) {
    std::string tag{at(p), at(p + 1)};
    char lengthText[4] = {at(p + 2), at(p + 3), at(p + 4), '\0'};
    if (malformed) {
      log.Message("OV3Properties::deserialize failed");
      return log.Return(false);
    }
    const int length = std::atoi(lengthText);
    if (length < 0) {  // a sign in the length field: the record cannot be placed
      log.Message("OV3Properties::deserialize failed");
      return log.Return(false);
    }
    const std::size_t start = p + 5;
    const std::size_t available = start < text.size() ? text.size() - start : 0;
    const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(length), available);
    m_map[tag] = SecureString(text.substr(std::min(start, text.size()), taken));
    p += static_cast<std::size_t>(length) + 5;
  }
  return log.Return(true);
}

bool OV3Properties::deserialize(std::string_view text) {
  LogScope log("OV3Properties::deserialize");
  try {
    std::size_t p = 0;
    while (true) {
      while (p < text.size() && text[p] == ';') ++p;
      if (p >= text.size()) break;
      // An item ends at a ";" or a zero byte: a binary legacy record ends its first (version) item
      // at the version's terminator, and that item has no ",", so nothing of the record is taken.
      std::size_t end = p;
      while (end < text.size() && text[end] != ';' && text[end] != '\0') ++end;
      const std::string_view item = text.substr(p, end - p);
      p = end + 1;
      const std::size_t comma = item.find(',');
      if (item.empty() || comma == std::string_view::npos || comma == 0) break;
      m_map[std::string(item.substr(0, comma))] = SecureString(item.substr(comma + 1));
    }
  } catch (...) {
    log.Message("OV3Properties::deserialize failed");
    return log.Return(false);
  }
  return log.Return(true);
}

bool OV3Properties::portOV2toOV3(const OVTokenInfoA& info, std::string_view pin,
                                 std::span<const uint8_t> seed, const TokenData& record) {
  LogScope log("OV3Properties::portOV2toOV3");
  try {
    if (seed.empty()) {
      log.Message("portOV2toOV3 failed. Seed == NULL");
      throw OVException(7502);
    }
    bool result = ov3StoreTokenName(info.m_szTokenName != nullptr ? info.m_szTokenName : "");
    if (result) result = ov3StoreTokenInfo(info, record);
    if (result) result = ov3StoreSeedForDrive(pin, seed, true);
    // Stored whatever the result, so a later attempt overwrites every tag a failed one left.
    setBool("KP", record.m_bKeySet != 0);
    setInt("FT", static_cast<int32_t>(record.m_nPinExpiryMonths));
    setText("AS", TokenData::Text(record.m_szKeyMaterial));
    setText("AK", TokenData::Text(record.m_szEncTransactionKey));
    setText("MK", TokenData::Text(record.m_szEncMacKey));
    setText("CR", TokenData::Text(record.m_szAlgorithm));
    return log.Return(result);
  } catch (...) {
    log.Message("Error: OV3Properties::portOV2toOV3 failed");
    return log.Return(false);
  }
}

bool OV3Properties::ov3StoreTokenName(std::string_view name) {
  LogScope log("OV3Properties::ov3StoreTokenName");
  const Drive drive = CurrentDrive();
  if (drive == Drive::Unknown) Fail(log, "Unknown drive");
  const SecureString ml = OV3Util::getRandomString(kSaltLength);
  const SecureString g7 = OV3Util::getRandomString(kSaltLength);
  setText("ML", ml.view());
  setText("G7", g7.view());
  const SecureBytes kEnc = OV3Util::getSHA256Key(Join({ml.view(), NAME_ENC_CONST}).view(), 0);
  const SecureBytes kMac = OV3Util::getSHA256Key(Join({g7.view(), NAME_MAC_CONST}).view(), 0);
  const SecureBytes y1 = SealItem(*this, drive, kEnc, Bytes(name), "GQ");
  setItem("Y1", y1);
  setItem("Y2", Mac(kMac, y1));
  return true;
}

SecureString OV3Properties::ov3GetTokenName() const {
  LogScope log("OV3Properties::ov3GetTokenName");
  const Drive drive = CurrentDrive();
  if (drive == Drive::Unknown) Fail(log, "Unknown drive");
  const SecureString g7 = getText("G7");
  const SecureBytes y1 = getItem("Y1");
  const SecureBytes y2 = getItem("Y2");
  for (int slot = 0; slot < kSlots; ++slot) {
    const SecureBytes kMac = OV3Util::getSHA256Key(Join({g7.view(), NAME_MAC_CONST}).view(), slot);
    if (!MacMatches(kMac, y1, y2)) continue;
    const SecureString ml = getText("ML");
    const SecureBytes kEnc = OV3Util::getSHA256Key(Join({ml.view(), NAME_ENC_CONST}).view(), slot);
    const SecureBytes name = OpenItem(*this, drive, kEnc, y1, "GQ", log);
    return SecureString(View(name));
  }
  Fail(log, "OV3Properties::ov3GetTokenName failed");
}

void OV3Properties::obfuAndSetTokenInfoString(std::string_view text, std::string_view name) {
  LogScope log("OV3Properties::obfuAndSetTokenInfoString");
  try {
    const Drive drive = CurrentDrive();
    if (drive == Drive::Unknown) Fail(log, "Unknown drive");
    const SecureString fr = OV3Util::getRandomString(kSaltLength);
    const SecureString r = OV3Util::getRandomString(kSaltLength);
    setText("FR", fr.view());
    setText("OV", r.view());
    const std::string d = OV3Util::GetDeviceUnique(0);
    const SecureBytes kEnc = OV3Util::getSHA256Key(Join({fr.view(), INFO_ENC_CONST, d, name}).view(), 0);
    const SecureBytes kMac =
        OV3Util::getSHA256Key(Join({name, d, r.view(), INFO_MAC_CONST, name}).view(), 0);
    const SecureBytes sealed = SealItem(*this, drive, kEnc, Bytes(text), "69");
    setItem("R2", Mac(kMac, sealed));
    setItem("11", sealed);
  } catch (...) {
    log.Message("OV3Properties::obfuAndSetTokenInfoString failed");
    throw;
  }
}

bool OV3Properties::ov3StoreTokenInfo(const OVTokenInfoA& info, const TokenData& tokenData) {
  LogScope log("OV3Properties::ov3StoreTokenInfo");
  try {
    auto text = [](const char* s) { return std::string_view(s ? s : ""); };
    OV3Properties inner;
    inner.setInt("Z1", info.m_nBadPinCount);
    inner.setLong("Z2", info.m_nChallengeLength);
    inner.setLong("Z3", info.m_nMaxAttacks);
    inner.setBool("Z4", true);
    inner.setText("Z5", text(info.m_szTokenMode));
    inner.setText("Z6", text(info.m_szTokenName));
    inner.setText("Z7", text(info.m_szTokenPolicy));
    inner.setText("Z8", text(info.m_szTokenPolicyLevel));
    inner.setText("Z9", text(info.m_szTokenSerialNo));
    inner.setInt("ZA", info.m_nTokenState);
    inner.setLong("ZB", info.m_nLockTimeLeft);
    inner.setBool("ZC", info.m_bPinRequired != 0);
    uint32_t counters[kCounterTags];
    for (std::size_t i = 0; i < kCounterTags; ++i) counters[i] = static_cast<uint32_t>(tokenData.m_nCounters[i]);
    inner.setLongArray("ZF", counters);
    inner.setInt("ZG", tokenData.m_nPinUseCount);
    inner.setBool("KP", tokenData.m_bKeySet != 0);
    inner.setInt("FT", static_cast<int32_t>(tokenData.m_nPinExpiryMonths));
    // A token whose PIN is not set yet keeps what completes it: the activation key material
    // (inside this protected text) and the end of a running lock-out, so that neither is lost
    // when the token is closed and opened again.
    inner.setInt("ZD", tokenData.m_nLockUntil);
    const std::string_view keyMaterial = TokenData::Text(tokenData.m_szKeyMaterial);
    if (keyMaterial.empty()) {
      inner.setBool("AS", true);
    } else {
      inner.setText("AS", keyMaterial);
    }
    for (const char* tag : {"AK", "MK", "CR"}) inner.setBool(tag, true);
    // Delivered transaction and MAC keys, protected with the PIN, beside the seed.
    const std::string_view transactionKey = TokenData::Text(tokenData.m_szEncTransactionKey);
    const std::string_view macKey = TokenData::Text(tokenData.m_szEncMacKey);
    if (!transactionKey.empty()) setText("AK", transactionKey);
    if (!macKey.empty()) setText("MK", macKey);

    const std::string_view name = text(info.m_szTokenName);
    if (!ov3StoreTokenName(name)) throw OVException(6003);
    const SecureString serialized = inner.serializeTLV();
    if (serialized.empty()) throw OVException(6003);
    obfuAndSetTokenInfoString(serialized.view(), name);
    return log.Return(true);
  } catch (...) {
    log.Message("OV3Properties::ov3StoreTokenInfo failed");
    return log.Return(false);
  }
}

void OV3Properties::ov3GetTokenInfo(StoredTokenInfo& out) const {
  LogScope log("OV3Properties::ov3GetTokenInfo");
  const Drive drive = CurrentDrive();
  if (drive == Drive::Unknown) Fail(log, "Unknown drive");
  const SecureString r = getText("OV");
  const SecureString name = ov3GetTokenName();
  const SecureBytes sealed = getItem("11");
  const SecureBytes mac = getItem("R2");
  static constexpr const char* kRetryMessages[] = {
      "Error: verifyHmac with the first MAC address failed. Going to verificate with the second MAC",
      "Error: verifyHmac with the first MAC address failed. Going to verificate with the third MAC",
      "Error: verifyHmac with the first MAC address failed. Going to verificate with the MAC 4",
      "Error: verifyHmac with the first MAC address failed. Going to verificate with the MAC 5"};
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string d = OV3Util::GetDeviceUnique(slot);
    const SecureBytes kMac =
        OV3Util::getSHA256Key(Join({name.view(), d, r.view(), INFO_MAC_CONST, name.view()}).view(), slot);
    if (!MacMatches(kMac, sealed, mac)) {
      if (slot + 1 < kSlots) log.Message(kRetryMessages[slot]);
      continue;
    }
    const SecureString fr = getText("FR");
    const SecureBytes kEnc =
        OV3Util::getSHA256Key(Join({fr.view(), INFO_ENC_CONST, d, name.view()}).view(), slot);
    const SecureBytes text = OpenItem(*this, drive, kEnc, sealed, "69", log);
    OV3Properties inner;
    if (!inner.deserializeTLV(View(text))) Fail(log, "OV3Properties::ov3GetTokenInfo failed");
    inner.getTokenInfo(out);
    return;
  }
  Fail(log, "OV3Properties::ov3GetTokenInfo failed");
}

void OV3Properties::getTokenInfo(StoredTokenInfo& out) const {
  out.badPinCount = getInt("Z1");
  out.challengeLength = getLong("Z2");
  out.maxAttacks = getLong("Z3");
  out.sdkVersion = getText("Z4");
  out.tokenMode = getText("Z5");
  out.tokenName = getText("Z6");
  out.tokenPolicy = getText("Z7");
  out.tokenPolicyLevel = getText("Z8");
  out.tokenSerialNo = getText("Z9");
  out.tokenState = getInt("ZA");
  out.lockTimeLeft = getLong("ZB");
  out.pinRequired = getBool("ZC");
  getLongArray("ZF", &out.counters);
  out.pinUseCount = getInt("ZG");
  out.keySet = getBool("KP");
  out.pinExpiryMonths = getInt("FT");
  out.lockUntil = getInt("ZD");
  out.keyMaterial = getText("AS");
  if (out.keyMaterial.view() == "true") out.keyMaterial.Wipe();
}

bool OV3Properties::getOrvantiData(TokenData& tokenData) const {
  LogScope log("OV3Properties::getOrvantiData");
  try {
    StoredTokenInfo info;
    ov3GetTokenInfo(info);
    const SecureString name = ov3GetTokenName();
    TokenData::SetText(tokenData.m_szTokenName, name.view());
    tokenData.m_nBadPinCount = info.badPinCount;
    OVPolicy policy;
    policy.SetPolicyString(info.tokenPolicy.view());
    tokenData.m_nPasscodeLength = static_cast<uint32_t>(policy.GetPwdLen());
    tokenData.m_nChallengeLen = static_cast<uint32_t>(info.challengeLength);
    tokenData.m_nLockUntil = info.lockUntil;
    tokenData.m_bKeySet = info.keySet ? 1 : 0;
    TokenData::SetText(tokenData.m_szKeyMaterial, info.keyMaterial.view());
    // The OTP key itself stays in the seed; the record only notes that there is one.
    TokenData::SetText(tokenData.m_szEncOtpKey, has("F3") ? "F3" : "");
    const SecureString transactionKey = getText("AK");
    const SecureString macKey = getText("MK");
    TokenData::SetText(tokenData.m_szEncTransactionKey, transactionKey.view());
    TokenData::SetText(tokenData.m_szEncMacKey, macKey.view());
    tokenData.m_bTransactionKeySet = transactionKey.empty() ? 0 : 1;
    tokenData.m_nPinUseCount = info.pinUseCount;
    tokenData.m_nState = static_cast<uint32_t>(info.tokenState);
    tokenData.m_PinChangeTime = SystemTimeFromUnix(platform::Current().clock->NowUnixSeconds());
    const std::size_t counters = std::min<std::size_t>(info.counters.size(), kCounterTags);
    for (std::size_t i = 0; i < counters; ++i) tokenData.m_nCounters[i] = static_cast<int32_t>(info.counters[i]);
    TokenData::SetText(tokenData.m_szPolicy, info.tokenPolicy.view());
    TokenData::SetText(tokenData.m_szVersion, kRecordVersion);
    TokenData::SetText(tokenData.m_szSerialNo, info.tokenSerialNo.view());
    return log.Return(true);
  } catch (...) {
    log.Message("OV3Properties::getOrvantiData failed");
    return log.Return(false);
  }
}

bool OV3Properties::ov3StoreSeed(std::string_view pin, std::span<const uint8_t> seed, bool bCalcDekHmac) {
  LogScope log("OV3Properties::ov3StoreSeed");
  try {
    const SecureString name = ov3GetTokenName();
    const NewSeedKeys k = MakeSeedKeys(name.view(), pin);

    const SecureString ds = OV3Util::getRandomString(kSaltLength);
    const std::string d = OV3Util::GetDeviceUnique(0);
    const SecureBytes k3 = OV3Util::getSHA256Key(Join({ds.view(), DEK_PROT_CONST, d, name.view()}).view(), 0);
    std::vector<uint8_t> b = OV3Util::CryptProtect(k.eDek, k3);
    if (bCalcDekHmac) b = OV3Util::CryptProtect(b, k.kek2);

    const SecureString iv2 = OV3Util::getRandomString(kIvTextLength);
    const SecureBytes record = OV3Util::prepereSeedBuff(seed);
    const SecureBytes eSeed = OV3Util::aesCbc(Bytes(iv2.view()), Bytes(k.dek.view()),
                                              std::span(record).first(OV3Util::kSeedRecordSize), true, false);
    const SecureString es = OV3Util::getRandomString(kSaltLength);
    const SecureBytes k4 = OV3Util::getSHA256Key(Join({es.view(), SEED_PROT_CONST, d, name.view()}).view(), 0);
    const std::vector<uint8_t> f3 = OV3Util::CryptProtect(eSeed, k4);

    setText("53", k.iv1.view());
    setText("TS", k.ts.view());
    setText("W5", k.w5.view());
    setText("DS", ds.view());
    setItem("BA", b);
    setText("BV", iv2.view());
    setText("ES", es.view());
    setItem("F3", f3);
    return log.Return(true);
  } catch (...) {
    log.Message("Error: OV3Properties::ov3StoreSeed failed");
    return log.Return(false);
  }
}

bool OV3Properties::ov3StoreSeedFlash(std::string_view pin, std::span<const uint8_t> seed,
                                      bool bCalcDekHmac) {
  LogScope log("OV3Properties::ov3StoreSeedFlash");
  try {
    const SecureString name = ov3GetTokenName();
    const NewSeedKeys k = MakeSeedKeys(name.view(), pin);
    const SecureBytes b1 = bCalcDekHmac ? Mac(k.kek2, k.eDek) : SecureBytes(32, 0);
    const SecureString iv2 = OV3Util::getRandomString(kIvTextLength);
    const SecureBytes record = OV3Util::prepereSeedBuff(seed);
    const SecureBytes f3 = OV3Util::aesCbc(Bytes(iv2.view()), Bytes(k.dek.view()),
                                           std::span(record).first(OV3Util::kSeedRecordSize), true, false);
    setText("53", k.iv1.view());
    setText("TS", k.ts.view());
    setText("W5", k.w5.view());
    setItem("BA", k.eDek);
    setItem("B1", b1);
    setText("BV", iv2.view());
    setItem("F3", f3);
    return log.Return(true);
  } catch (...) {
    log.Message("Error: OV3Properties::ov3StoreSeedFlash failed");
    return log.Return(false);
  }
}

std::optional<SecureBytes> OV3Properties::ov3GetSeed(std::string_view pin, bool bVerifyDekHmac) const {
  LogScope log("OV3Properties::ov3GetSeed");
  try {
    const SecureString name = ov3GetTokenName();
    SecureBytes b = getItem("BA");
    int slot = 0;
    if (bVerifyDekHmac) {
      const SecureString w5 = getText("W5");
      bool opened = false;
      for (; slot < kSlots && !opened; ++slot) {
        const SecureBytes kek2 = OV3Util::getKEKBuff(name.view(), w5.view(), KEK2_CONST, Bytes(pin), slot);
        try {
          b = OV3Util::CryptUnprotect(b, kek2);
          opened = true;
        } catch (const OVException&) {
        }
      }
      if (!opened) throw OVException(6003);
      --slot;
    }
    const std::string d = OV3Util::GetDeviceUnique(slot);
    log.Message("DEK second decryption");
    const SecureString ds = getText("DS");
    const SecureBytes eDek =
        OV3Util::CryptUnprotect(b, OV3Util::getSHA256Key(Join({ds.view(), DEK_PROT_CONST, d, name.view()}).view(), slot));
    const SecureString iv1 = getText("53");
    const SecureString ts = getText("TS");
    const SecureBytes kek1 = OV3Util::getKEKBuff(name.view(), ts.view(), KEK1_CONST, Bytes(pin), slot);
    const SecureBytes dek = OV3Util::aesCbc(Bytes(iv1.view()), kek1, eDek, false, false);
    log.Message("Seed first decryption");
    const SecureString es = getText("ES");
    const SecureBytes eSeed = OV3Util::CryptUnprotect(
        getItem("F3"), OV3Util::getSHA256Key(Join({es.view(), SEED_PROT_CONST, d, name.view()}).view(), slot));
    const SecureBytes record = OV3Util::aesCbc(Bytes(getText("BV").view()), dek, eSeed, false, false);
    if (record.size() < OV3Util::kSeedRecordSize) throw OVException(6003);
    return OV3Util::extractSeedFromBuff(record);
  } catch (...) {
    log.Message("OV3Properties::ov3GetSeed failed");
    return std::nullopt;
  }
}

std::optional<SecureBytes> OV3Properties::ov3GetSeedFlash(std::string_view pin, bool bVerifyDekHmac) const {
  LogScope log("OV3Properties::ov3GetSeedFlash");
  try {
    const SecureString name = ov3GetTokenName();
    const SecureBytes ba = getItem("BA");
    const SecureString iv1 = getText("53");
    const SecureString ts = getText("TS");
    const SecureString w5 = getText("W5");
    const SecureBytes kek1 = OV3Util::getKEKBuff(name.view(), ts.view(), KEK1_CONST, Bytes(pin), 0);
    const SecureBytes kek2 = OV3Util::getKEKBuff(name.view(), w5.view(), KEK2_CONST, Bytes(pin), 0);
    if (bVerifyDekHmac) {
      if (!MacMatches(kek2, ba, getItem("B1"))) {
        log.Message("Error: verified failed");
        return std::nullopt;
      }
      log.Message("verified success");
    }
    const SecureBytes dek = OV3Util::aesCbc(Bytes(iv1.view()), kek1, ba, false, false);
    const SecureBytes record = OV3Util::aesCbc(Bytes(getText("BV").view()), dek, getItem("F3"), false, false);
    if (record.size() < OV3Util::kSeedRecordSize) throw OVException(6003);
    return OV3Util::extractSeedFromBuff(record);
  } catch (...) {
    log.Message("Error: OV3Properties::ov3GetSeedFlash failed");
    return std::nullopt;
  }
}

bool OV3Properties::ov3StoreSeedForDrive(std::string_view pin, std::span<const uint8_t> seed,
                                         bool bCalcDekHmac) {
  if (Win_UsbFlash::GetActiveDriveType() != DRIVE_MACHINE) return ov3StoreSeedFlash(pin, seed, bCalcDekHmac);
  return ov3StoreSeed(pin, seed, bCalcDekHmac);
}

std::optional<SecureBytes> OV3Properties::ov3GetSeedForDrive(std::string_view pin, bool bVerifyDekHmac) const {
  if (Win_UsbFlash::GetActiveDriveType() != DRIVE_MACHINE) return ov3GetSeedFlash(pin, bVerifyDekHmac);
  return ov3GetSeed(pin, bVerifyDekHmac);
}

}  // namespace ov
