// Fuzzes the reader of a format-3 token file at its three layers. Token files are outside input:
// they are copied between machines and USB drives, left by earlier installations, and anyone who
// can write the user's data folder can change them.
//
// Input layout: byte 0 picks the layer in its low two bits, the rest is the payload.
//  0  the record text. Bit 2 puts the program on a USB drive instead of the machine drive.
//     Bit 3 clear: the payload is a file's record text, read with deserializeTLV and then taken
//     into a token data record with getOrvantiData.
//     Bit 3 set: the payload is a token name (its length in the payload's first byte) and the
//     information text, which are sealed into a real file for the drive, written out as record
//     text and read back, so the fuzzer reaches what lies behind the MACs.
//  1  the machine-drive envelope (OV3Util's user-bound protection with an entropy).
//  2  the USB-drive envelope (3DES under the drive key); bit 2 is the format-3 flag.
//  3  the user-secret blob of the Linux user-bound protection.
// Bits 4 and 5 pick the entropy that layers 1 and 3 seal with.
//
// Beyond memory safety the target checks:
//  - record text: the map a read leaves, written out, is a fixed point of reading and writing
//    (whether the read succeeded or stopped at a fault), never longer than the text it came from
//    by more than the one length character a text cut short inside its last length field lacks;
//    every text field of the record is terminated inside its array;
//  - a sealed token reads back exactly when its information text reads and its policy is valid,
//    with the name, the serial number, the policy, the key material, the counts, the state and
//    the counters as stored (texts cut to their fields), and does not open on the other drive;
//  - machine envelope and user-secret blob: the raw input never opens (nothing was sealed with
//    the entropy it is tried with, and a blob cannot be forged); the input sealed and opened
//    again is the input; the sealed blob does not open with another entropy, with a changed,
//    missing or added byte, or with another user's secret;
//  - USB envelope: an input that opens is whole blocks, its plaintext 1 to 8 bytes shorter, and
//    sealing that plaintext gives the input back (the padding check lets no other form through);
//    a refused input leaves the output as it was; the input sealed and opened again is the input,
//    and does not give the input back under the other format flag or on another drive; a drive
//    that cannot be identified neither seals nor opens and leaves the data as it was.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/OVException.h"
#include "common/SecureMemory.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxUserProtect.h"
#include "policy/OVPolicy.h"
#include "storage/OV3ConstantsUtil.h"
#include "storage/OV3Properties.h"
#include "storage/OV3Util.h"
#include "storage/TokenData.h"
#include "storage/Win_UsbFlash.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

using Bytes = std::span<const uint8_t>;

Bytes AsBytes(std::string_view text) { return {reinterpret_cast<const uint8_t*>(text.data()), text.size()}; }

std::string_view AsText(Bytes bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

bool Same(Bytes a, Bytes b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }

// The user-bound blob adds its header, nonce and tag; OV3Util seals one zero byte more.
constexpr std::size_t kBlobOverhead = 5 + 12 + 16;

constexpr char kUniqueId[] = "FUZZ-TOKEN-0001";
constexpr char kOtherUniqueId[] = "FUZZ-TOKEN-0002";
// Raw input is opened with this entropy only; nothing is ever sealed with it.
constexpr char kRawEntropy[] = "raw input entropy";
constexpr std::string_view kSealEntropies[] = {"", kUniqueId, "\x01", "0123456789abcdef0123456789abcdef"};

class FuzzClock final : public ov::platform::Clock {
 public:
  int64_t NowUnixSeconds() override { return 1'700'000'000; }
};

class FuzzAdapters final : public ov::platform::NetworkAdapters {
 public:
  std::optional<std::vector<Adapter>> List(Family) override {
    return std::vector<Adapter>{{"eth0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
                                {"wlan0", {0x02, 0x11, 0x22, 0x33, 0x44, 0x55}}};
  }
};

// The drive the program runs from, answered from fields the target sets: the machine's own disk,
// or a USB flash drive with a fixed identity that `volumeSerial` and `present` vary.
class FuzzDrive final : public ov::platform::DriveIdentity {
 public:
  explicit FuzzDrive(std::string executable) : m_executable(std::move(executable)) {
    m_facts.descriptor = {18, 1, 0x10, 0x03, 0, 0, 0, 9, 0x81, 0x07, 0x81, 0x55, 0x00, 0x01, 1, 2, 3, 1};
    m_facts.manufacturer = u"Fuzz Devices";
    m_facts.product = u"Fuzz Flash";
    m_facts.serial = u"FUZZ0001SERIAL";
    m_facts.speedMbps = 5000;
  }
  std::string ExecutablePath() override { return m_executable; }
  Kind KindOf(const std::string&) override { return usb ? Kind::NotFixed : Kind::FixedDisk; }
  std::optional<uint32_t> VolumeSerial(const std::string&) override {
    if (!usb || !present) return std::nullopt;
    return volumeSerial;
  }
  std::optional<ov::platform::UsbDeviceFacts> UsbDevice(const std::string&) override {
    if (!usb || !present) return std::nullopt;
    return m_facts;
  }

  bool usb = false;
  bool present = true;
  uint32_t volumeSerial = 0x1A2B3C4D;

 private:
  std::string m_executable;
  ov::platform::UsbDeviceFacts m_facts;
};

struct Fixture {
  explicit Fixture(const std::string& root)
      : drive(root + "/program/orvanti"),
        protect(root + "/protect", getuid()),
        otherUser(root + "/protect-other", getuid()) {}

  FuzzClock clock;
  FuzzAdapters adapters;
  FuzzDrive drive;
  ov::platform::LinuxUserProtect protect;
  ov::platform::LinuxUserProtect otherUser;
};

std::string g_root;
Fixture* g_fixture = nullptr;
ov::platform::ScopedPlatform* g_services = nullptr;  // installed for the whole run

// Puts the program on the machine drive or on the USB drive; the library finds the drive type and
// the USB serial number once, so its caches go.
void UseDrive(bool usb) {
  g_fixture->drive.usb = usb;
  g_fixture->drive.present = true;
  g_fixture->drive.volumeSerial = 0x1A2B3C4D;
  ov::Win_UsbFlash::ResetCaches();
}

// --- record text ---------------------------------------------------------------------------------

template <std::size_t N>
void CheckTerminated(const char (&field)[N]) {
  Check(strnlen(field, N) < N);
}

void CheckTexts(const ov::TokenData& r) {
  CheckTerminated(r.m_szVersion);
  CheckTerminated(r.m_szSerialNo);
  CheckTerminated(r.m_szKeyMaterial);
  CheckTerminated(r.m_szEncOtpKey);
  CheckTerminated(r.m_szEncTransactionKey);
  CheckTerminated(r.m_szPolicy);
  CheckTerminated(r.m_szAlgorithm);
  CheckTerminated(r.m_szTokenName);
  CheckTerminated(r.m_szEncMacKey);
}

// What a field of N characters shows of `text`: up to its first zero byte, at most N - 1 of it.
template <std::size_t N>
bool Shows(const char (&field)[N], std::string_view text) {
  text = text.substr(0, std::min(text.find('\0'), N - 1));
  return ov::TokenData::Text(field) == text;
}

// Written out, read and written again, the map's text does not change.
ov::SecureString CheckFixedPoint(const ov::OV3Properties& map) {
  const ov::SecureString text = map.serializeTLV();
  // Every value came through a three-digit length field, so every value can be written.
  Check(text.empty() == (map.size() == 0));
  ov::OV3Properties again;
  Check(again.deserializeTLV(text.view()));
  Check(again.size() == map.size());
  Check(again.serializeTLV() == text);
  return text;
}

void RecordText(std::string_view text) {
  ov::OV3Properties map;
  map.deserializeTLV(text);
  // A success or a fault: what was read stays, and is as good a map as any.
  const ov::SecureString written = CheckFixedPoint(map);
  Check(written.size() <= text.size() + 1);

  ov::TokenData record;
  map.getOrvantiData(record);
  CheckTexts(record);
}

bool PolicyReads(std::string_view policy) {
  try {
    ov::OVPolicy parsed;
    parsed.SetPolicyString(policy);
    return true;
  } catch (...) {
    return false;
  }
}

void SealedToken(bool usb, std::string_view payload) {
  if (payload.empty()) return;
  const std::size_t nameLength = std::min<std::size_t>(static_cast<uint8_t>(payload[0]), payload.size() - 1);
  const std::string_view name = payload.substr(1, nameLength);
  const std::string_view information = payload.substr(1 + nameLength);
  // A token always has a name, and its information text always holds records.
  if (name.empty() || information.empty()) return;

  ov::OV3Properties file;
  try {
    Check(file.ov3StoreTokenName(name));
    file.obfuAndSetTokenInfoString(information, name);
  } catch (const ov::OVException&) {
    Check(false);
  }
  const ov::SecureString text = file.serializeTLV();
  if (text.empty()) return;  // a sealed item too long for its length field: the save fails

  ov::OV3Properties stored;
  ov::StoredTokenInfo expected;
  const bool informationReads = stored.deserializeTLV(information);
  stored.getTokenInfo(expected);
  const bool reads = informationReads && PolicyReads(expected.tokenPolicy.view());

  ov::OV3Properties read;
  Check(read.deserializeTLV(text.view()));
  ov::TokenData record;
  Check(read.getOrvantiData(record) == reads);
  CheckTexts(record);
  if (reads) {
    Check(Shows(record.m_szTokenName, name));
    Check(Shows(record.m_szSerialNo, expected.tokenSerialNo.view()));
    Check(Shows(record.m_szPolicy, expected.tokenPolicy.view()));
    Check(Shows(record.m_szKeyMaterial, expected.keyMaterial.view()));
    Check(Shows(record.m_szVersion, ov::kRecordVersion));
    Check(Shows(record.m_szEncOtpKey, ""));  // the file holds no seed
    Check(record.m_nBadPinCount == expected.badPinCount && record.m_nPinUseCount == expected.pinUseCount);
    Check(record.m_nState == static_cast<uint32_t>(expected.tokenState));
    Check(record.m_nChallengeLen == static_cast<uint32_t>(expected.challengeLength));
    Check(record.m_nLockUntil == expected.lockUntil && record.m_bKeySet == (expected.keySet ? 1 : 0));
    const std::size_t counters = std::min<std::size_t>(expected.counters.size(), 10);
    for (std::size_t i = 0; i < counters; ++i) {
      Check(record.m_nCounters[i] == static_cast<int32_t>(expected.counters[i]));
    }
  }

  // The same file on the other drive: its keys were made with this drive's identity.
  UseDrive(!usb);
  ov::OV3Properties moved;
  Check(moved.deserializeTLV(text.view()));
  ov::TokenData elsewhere;
  Check(!moved.getOrvantiData(elsewhere));
  CheckTexts(elsewhere);
}

// --- machine-drive envelope ----------------------------------------------------------------------

bool Opens(Bytes blob, const ov::OV3Util::Entropy& entropy, ov::SecureBytes* plain = nullptr) {
  try {
    ov::SecureBytes opened = ov::OV3Util::CryptUnprotectEntropy(blob, entropy);
    if (plain != nullptr) *plain = std::move(opened);
    return true;
  } catch (const ov::OVException& e) {
    Check(e.GetErrorCode() == 6003);
    return false;
  }
}

ov::OV3Util::Entropy MakeEntropy(std::string_view text) {
  ov::OV3Util::Entropy entropy;
  entropy.bytes.assign(text.begin(), text.end());
  return entropy;
}

void MachineEnvelope(std::string_view entropyText, Bytes payload) {
  UseDrive(false);
  Check(!Opens(payload, MakeEntropy(kRawEntropy)));

  const ov::OV3Util::Entropy entropy = MakeEntropy(entropyText);
  const std::vector<uint8_t> blob = ov::OV3Util::CryptProtectEntropy(payload, entropy);
  Check(blob.size() == payload.size() + 1 + kBlobOverhead);
  ov::SecureBytes plain;
  Check(Opens(blob, entropy, &plain));
  Check(Same(plain, payload));

  ov::OV3Util::Entropy longer = entropy;
  longer.bytes.push_back(0);
  Check(!Opens(blob, longer));
  std::vector<uint8_t> changed = blob;
  changed[payload.size() % changed.size()] ^= 0x01;
  Check(!Opens(changed, entropy));
}

// --- USB-drive envelope --------------------------------------------------------------------------

void UsbEnvelope(bool isOv3, Bytes payload) {
  UseDrive(true);
  FuzzDrive& drive = g_fixture->drive;

  ov::SecureBytes plain = {0xA5};
  if (ov::Win_UsbFlash::FlashUnlock(payload, plain, kUniqueId, isOv3)) {
    Check(!payload.empty() && payload.size() % 8 == 0);
    Check(plain.size() < payload.size() && plain.size() + 8 >= payload.size());
    ov::SecureBytes again = plain;
    Check(ov::Win_UsbFlash::Lock2Flash(again, kUniqueId, isOv3));
    Check(Same(again, payload));
  } else {
    Check(plain.size() == 1 && plain[0] == 0xA5);
  }

  ov::SecureBytes sealed(payload.begin(), payload.end());
  Check(ov::Win_UsbFlash::Lock2Flash(sealed, kUniqueId, isOv3));
  Check(sealed.size() == (payload.size() / 8 + 1) * 8);
  ov::SecureBytes opened;
  Check(ov::Win_UsbFlash::FlashUnlock(sealed, opened, kUniqueId, isOv3));
  Check(Same(opened, payload));

  // Another key opens it at best into other bytes (a pad can check out by chance).
  auto givesPayload = [&](std::string_view uniqueId, bool flag) {
    ov::SecureBytes out;
    return ov::Win_UsbFlash::FlashUnlock(sealed, out, uniqueId, flag) && Same(out, payload);
  };
  Check(!givesPayload(kUniqueId, !isOv3));
  Check(!givesPayload(kOtherUniqueId, isOv3));
  drive.volumeSerial ^= 0x00010000;
  Check(!givesPayload(kUniqueId, isOv3));

  drive.present = false;
  ov::SecureBytes untouched(payload.begin(), payload.end());
  Check(!ov::Win_UsbFlash::Lock2Flash(untouched, kUniqueId, isOv3));
  Check(Same(untouched, payload));
  ov::SecureBytes none = {0xA5};
  Check(!ov::Win_UsbFlash::FlashUnlock(sealed, none, kUniqueId, isOv3));
  Check(none.size() == 1 && none[0] == 0xA5);
}

// --- user-secret blob ----------------------------------------------------------------------------

void UserSecret(std::string_view entropyText, Bytes payload) {
  ov::platform::LinuxUserProtect& protect = g_fixture->protect;
  const Bytes raw = AsBytes(kRawEntropy);
  Check(!protect.Unprotect(payload, raw));
  // The same bytes behind a valid header, so that the nonce, ciphertext and tag are reached.
  std::vector<uint8_t> headed = {'O', 'V', 'U', 'P', 1};
  headed.insert(headed.end(), payload.begin(), payload.end());
  Check(!protect.Unprotect(headed, raw));

  const Bytes entropy = AsBytes(entropyText);
  const std::optional<std::vector<uint8_t>> blob = protect.Protect(payload, entropy);
  Check(blob.has_value());
  Check(blob->size() == payload.size() + kBlobOverhead);
  Check(std::equal(headed.begin(), headed.begin() + 5, blob->begin()));
  const std::optional<ov::SecureBytes> plain = protect.Unprotect(*blob, entropy);
  Check(plain.has_value() && Same(*plain, payload));

  std::vector<uint8_t> other(entropy.begin(), entropy.end());
  other.push_back('x');
  Check(!protect.Unprotect(*blob, other));
  if (!entropy.empty()) {
    other.pop_back();
    other.back() ^= 0x80;
    Check(!protect.Unprotect(*blob, other));
  }
  Check(!g_fixture->otherUser.Unprotect(*blob, entropy));

  // One changed byte in each part: header, nonce, ciphertext (when there is one), tag; and the
  // blob a byte short and a byte long.
  const std::size_t salt = payload.empty() ? 0 : payload[0];
  std::vector<std::size_t> positions = {salt % 5, 5 + salt % 12, blob->size() - 1 - salt % 16};
  if (!payload.empty()) positions.push_back(17 + salt % payload.size());
  for (std::size_t at : positions) {
    std::vector<uint8_t> changed = *blob;
    changed[at] ^= static_cast<uint8_t>(1u << (salt % 8));
    Check(!protect.Unprotect(changed, entropy));
  }
  const Bytes whole(*blob);
  Check(!protect.Unprotect(whole.first(whole.size() - 1), entropy));
  std::vector<uint8_t> longer = *blob;
  longer.push_back(0);
  Check(!protect.Unprotect(longer, entropy));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The user secrets and the folders the drive code creates beside the program live in a private
  // folder.
  g_root = (std::filesystem::temp_directory_path() / "ovfuzz-XXXXXX").string();
  if (mkdtemp(g_root.data()) == nullptr) std::abort();
  setenv("XDG_DATA_HOME", g_root.c_str(), 1);
  // A run that ends normally takes its secrets with it; one that crashed leaves them to look at.
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
  });
  g_fixture = new Fixture(g_root);
  ov::platform::Platform services;
  services.clock = &g_fixture->clock;
  services.networkAdapters = &g_fixture->adapters;
  services.driveIdentity = &g_fixture->drive;
  services.userProtect = &g_fixture->protect;
  g_services = new ov::platform::ScopedPlatform(services);
  ov::OV3ConstantsUtil::getInstance().setMACAddress(4);
  // Both secrets are created (and synced) here once, not in the first input's time.
  if (!g_fixture->protect.Protect({}, {}) || !g_fixture->otherUser.Protect({}, {})) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const Bytes payload(data + 1, size - 1);
  const bool flag = (mode & 0x04) != 0;
  const std::string_view entropy = kSealEntropies[(mode >> 4) & 0x03];
  switch (mode & 0x03) {
    case 0:
      UseDrive(flag);
      if ((mode & 0x08) != 0) {
        SealedToken(flag, AsText(payload));
      } else {
        RecordText(AsText(payload));
      }
      break;
    case 1: MachineEnvelope(entropy, payload); break;
    case 2: UsbEnvelope(flag, payload); break;
    default: UserSecret(entropy, payload); break;
  }
  return 0;
}
