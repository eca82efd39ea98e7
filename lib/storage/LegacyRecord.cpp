#include "storage/LegacyRecord.h"

#include <algorithm>
#include <cstring>

#include "common/LogFacade.h"
#include "common/SecureMemory.h"
#include "platform/Platform.h"

namespace ov {

namespace {

// Where each field lies in one layout. The two layouts share their order and widths from the
// state on; the legacy record has the lock-out time and the PIN-change time in between.
struct Layout {
  std::size_t state, passcodeLength, badPinCount, pinUseCount, keySet;
  std::size_t pinExpiryMonths, counters, serialNo, keyMaterial, encOtpKey, encTransactionKey;
  std::size_t policy, algorithm, tokenName, encMacKey;
};

constexpr std::size_t kVersionWidth = 32;
constexpr std::size_t kLockUntil = 52;
constexpr std::size_t kPinChangeTime = 56;
constexpr int kStoredCounters = 10;
constexpr std::size_t kSerialWidth = 64;
constexpr std::size_t kKeyMaterialWidth = 64;
constexpr std::size_t kProtectedKeyWidth = 145;
constexpr std::size_t kPolicyWidth = 32;
constexpr std::size_t kAlgorithmWidth = 32;
constexpr std::size_t kTokenNameWidth = 78;

constexpr Layout kLegacy{32, 36, 40, 44, 48, 88, 92, 132, 196, 260, 405, 550, 582, 614, 692};
constexpr Layout k820{32, 36, 40, 44, 48, 52, 56, 96, 160, 224, 369, 514, 546, 578, 656};

static_assert(kLegacy.encMacKey + kProtectedKeyWidth + 39 == kLegacyRecordSize);
static_assert(k820.encMacKey + kProtectedKeyWidth == kLegacy820ReadSize);

uint32_t ReadU32(std::span<const uint8_t> in, std::size_t at) {
  return static_cast<uint32_t>(in[at]) | static_cast<uint32_t>(in[at + 1]) << 8 |
         static_cast<uint32_t>(in[at + 2]) << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
}
int32_t ReadI32(std::span<const uint8_t> in, std::size_t at) { return static_cast<int32_t>(ReadU32(in, at)); }
uint16_t ReadU16(std::span<const uint8_t> in, std::size_t at) {
  return static_cast<uint16_t>(in[at] | in[at + 1] << 8);
}

void WriteU32(std::span<uint8_t> out, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void WriteU16(std::span<uint8_t> out, std::size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A text field of the input: up to its terminator, or the whole field when it has none.
std::string_view FieldText(std::span<const uint8_t> in, std::size_t at, std::size_t width) {
  if (width == 0) return {};
  const char* p = reinterpret_cast<const char*>(in.data() + at);
  return {p, strnlen(p, width)};
}

// A record text into a field of the output, cut to leave room for the terminator; the rest of
// the field stays zero.
template <std::size_t N>
void WriteText(std::span<uint8_t> out, std::size_t at, std::size_t width, const char (&field)[N]) {
  const std::string_view text = TokenData::Text(field);
  std::memcpy(out.data() + at, text.data(), std::min(text.size(), width - 1));
}

// The fields both layouts carry, from the state to the MAC key.
void ReadCommon(TokenData& r, std::span<const uint8_t> in, const Layout& l) {
  r.m_nState = ReadU32(in, l.state);
  r.m_nPasscodeLength = ReadU32(in, l.passcodeLength);
  r.m_nBadPinCount = ReadI32(in, l.badPinCount);
  r.m_nPinUseCount = ReadI32(in, l.pinUseCount);
  r.m_bKeySet = in[l.keySet];
  r.m_nPinExpiryMonths = ReadU32(in, l.pinExpiryMonths);
  for (int i = 0; i < kStoredCounters; ++i) r.m_nCounters[i] = ReadI32(in, l.counters + 4 * i);
  TokenData::SetText(r.m_szSerialNo, FieldText(in, l.serialNo, kSerialWidth));
  TokenData::SetText(r.m_szKeyMaterial, FieldText(in, l.keyMaterial, kKeyMaterialWidth));
  TokenData::SetText(r.m_szEncOtpKey, FieldText(in, l.encOtpKey, kProtectedKeyWidth));
  TokenData::SetText(r.m_szEncTransactionKey, FieldText(in, l.encTransactionKey, kProtectedKeyWidth));
  TokenData::SetText(r.m_szPolicy, FieldText(in, l.policy, kPolicyWidth));
  TokenData::SetText(r.m_szAlgorithm, FieldText(in, l.algorithm, kAlgorithmWidth));
  TokenData::SetText(r.m_szTokenName, FieldText(in, l.tokenName, kTokenNameWidth));
  TokenData::SetText(r.m_szEncMacKey, FieldText(in, l.encMacKey, kProtectedKeyWidth));
}

}  // namespace

LegacyRecord::~LegacyRecord() { SecureWipe(bytes.data(), bytes.size()); }

bool IsLegacy820Record(std::span<const uint8_t> plaintext) {
  constexpr std::size_t n = sizeof kLegacy820Version - 1;
  return plaintext.size() >= n && std::memcmp(plaintext.data(), kLegacy820Version, n) == 0;
}

bool CopyOVData(TokenData& record, std::span<const uint8_t> legacy) {
  LogScope log("OVEngine::CopyOVData");
  if (legacy.size() < kLegacyRecordSize) {
    log.Number("length", static_cast<int32_t>(legacy.size()));
    log.Message("Error: legacy record too short");
    return log.Return(false);
  }
  TokenData::SetText(record.m_szVersion, FieldText(legacy, 0, kVersionWidth));
  ReadCommon(record, legacy, kLegacy);
  record.m_nLockUntil = ReadI32(legacy, kLockUntil);
  SystemTime& t = record.m_PinChangeTime;
  uint16_t* parts[] = {&t.wYear, &t.wMonth, &t.wDayOfWeek, &t.wDay,
                       &t.wHour, &t.wMinute, &t.wSecond, &t.wMilliseconds};
  for (std::size_t i = 0; i < 8; ++i) *parts[i] = ReadU16(legacy, kPinChangeTime + 2 * i);
  return log.Return(true);
}

bool ConvertLegacyOVData(TokenData& record, std::span<const uint8_t> source, int64_t now) {
  LogScope log("OVEngine::ConvertLegacyOVData");
  if (source.size() < kLegacy820ReadSize) {
    log.Number("length", static_cast<int32_t>(source.size()));
    log.Message("Error: legacy record too short");
    return log.Return(false);
  }
  ReadCommon(record, source, k820);
  record.m_nLockUntil = 0;
  record.m_PinChangeTime = SystemTimeFromUnix(now);
  TokenData::SetText(record.m_szVersion, kRecordVersion);
  return log.Return(true);
}

void CopyFromOVData(LegacyRecord& legacy, const TokenData& r) {
  LogScope log("OVEngine::CopyFromOVData");
  std::span<uint8_t> out(legacy.bytes);
  std::fill(out.begin(), out.end(), uint8_t{0});
  WriteText(out, 0, kVersionWidth, r.m_szVersion);
  WriteU32(out, kLegacy.state, r.m_nState);
  WriteU32(out, kLegacy.passcodeLength, r.m_nPasscodeLength);
  WriteU32(out, kLegacy.badPinCount, static_cast<uint32_t>(r.m_nBadPinCount));
  WriteU32(out, kLegacy.pinUseCount, static_cast<uint32_t>(r.m_nPinUseCount));
  out[kLegacy.keySet] = r.m_bKeySet;
  WriteU32(out, kLockUntil, static_cast<uint32_t>(r.m_nLockUntil));
  const SystemTime& t = r.m_PinChangeTime;
  const uint16_t parts[] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay,
                            t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
  for (std::size_t i = 0; i < 8; ++i) WriteU16(out, kPinChangeTime + 2 * i, parts[i]);
  WriteU32(out, kLegacy.pinExpiryMonths, r.m_nPinExpiryMonths);
  for (int i = 0; i < kStoredCounters; ++i) {
    WriteU32(out, kLegacy.counters + 4 * i, static_cast<uint32_t>(r.m_nCounters[i]));
  }
  WriteText(out, kLegacy.serialNo, kSerialWidth, r.m_szSerialNo);
  WriteText(out, kLegacy.keyMaterial, kKeyMaterialWidth, r.m_szKeyMaterial);
  WriteText(out, kLegacy.encOtpKey, kProtectedKeyWidth, r.m_szEncOtpKey);
  WriteText(out, kLegacy.encTransactionKey, kProtectedKeyWidth, r.m_szEncTransactionKey);
  WriteText(out, kLegacy.policy, kPolicyWidth, r.m_szPolicy);
  WriteText(out, kLegacy.algorithm, kAlgorithmWidth, r.m_szAlgorithm);
  WriteText(out, kLegacy.tokenName, kTokenNameWidth, r.m_szTokenName);
  WriteText(out, kLegacy.encMacKey, kProtectedKeyWidth, r.m_szEncMacKey);
}

bool ReadLegacyPlaintext(std::span<const uint8_t> plaintext, TokenData& record) {
  if (IsLegacy820Record(plaintext)) {
    return ConvertLegacyOVData(record, plaintext, platform::Current().clock->NowUnixSeconds());
  }
  return CopyOVData(record, plaintext);
}

std::string_view LegacyVersionText(std::span<const uint8_t> plaintext) {
  return FieldText(plaintext, 0, std::min(kVersionWidth, plaintext.size()));
}

std::string_view LegacyTokenNameText(std::span<const uint8_t> plaintext) {
  const std::size_t at = IsLegacy820Record(plaintext) ? k820.tokenName : kLegacy.tokenName;
  if (plaintext.size() <= at) return {};
  return FieldText(plaintext, at, std::min(kTokenNameWidth, plaintext.size() - at));
}

}  // namespace ov
