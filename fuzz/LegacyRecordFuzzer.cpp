// Fuzzes the readers of a legacy token file's plaintext (legacy files are outside input: they come
// from earlier installations and from USB drives): both record layouts, the texts a log line
// takes from them, and the key-and-value reader that sees the same bytes. Beyond memory safety
// the target checks:
//  - a refused plaintext is shorter than its layout and leaves the record untouched;
//  - every text field of an accepted record is terminated within its field;
//  - a record written in the legacy layout and read back is a fixed point after one round (the
//    first round may only cut texts to the legacy widths);
//  - the log texts lie inside the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "storage/LegacyRecord.h"
#include "storage/OV3Properties.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

template <std::size_t N>
void CheckTerminated(const char (&field)[N]) {
  Check(strnlen(field, N) < N);
}

void Prefill(ov::TokenData& r) {
  r.m_nCounters[10] = 0x5A5A;
  r.m_bTransactionKeySet = 1;
  r.m_bSoftPinRequired = 1;
  r.m_nChallengeLen = 77;
}

bool Same(const ov::TokenData& a, const ov::TokenData& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool Inside(std::string_view text, std::span<const uint8_t> input) {
  if (text.empty()) return true;
  const auto* begin = reinterpret_cast<const char*>(input.data());
  return text.data() >= begin && text.data() + text.size() <= begin + input.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> input(data, size);
  const bool is820 = ov::IsLegacy820Record(input);
  Check(is820 == (size >= 5 && std::memcmp(data, "8.2.0", 5) == 0));

  ov::TokenData untouched;
  Prefill(untouched);
  ov::TokenData record;
  Prefill(record);
  const bool read = ov::ReadLegacyPlaintext(input, record);
  Check(read == (size >= (is820 ? ov::kLegacy820ReadSize : ov::kLegacyRecordSize)));
  if (!read) {
    Check(Same(record, untouched));
  } else {
    CheckTerminated(record.m_szVersion);
    CheckTerminated(record.m_szSerialNo);
    CheckTerminated(record.m_szKeyMaterial);
    CheckTerminated(record.m_szEncOtpKey);
    CheckTerminated(record.m_szEncTransactionKey);
    CheckTerminated(record.m_szPolicy);
    CheckTerminated(record.m_szAlgorithm);
    CheckTerminated(record.m_szTokenName);
    CheckTerminated(record.m_szEncMacKey);
    Check(record.m_nCounters[10] == 0x5A5A && record.m_nChallengeLen == 77);
    if (is820) Check(record.m_nLockUntil == 0 && std::string_view(record.m_szVersion) == "8.3.1");

    ov::LegacyRecord first;
    ov::CopyFromOVData(first, record);
    ov::TokenData once;
    Prefill(once);
    Check(ov::CopyOVData(once, first.bytes));
    ov::LegacyRecord second;
    ov::CopyFromOVData(second, once);
    Check(std::memcmp(first.bytes.data(), second.bytes.data(), first.bytes.size()) == 0);
    ov::TokenData twice;
    Prefill(twice);
    Check(ov::CopyOVData(twice, second.bytes));
    Check(Same(once, twice));
  }

  Check(Inside(ov::LegacyVersionText(input), input));
  Check(Inside(ov::LegacyTokenNameText(input), input));

  ov::OV3Properties map;
  Check(map.deserialize(std::string_view(reinterpret_cast<const char*>(data), size)));
  Check(map.size() <= static_cast<std::size_t>(std::count(data, data + size, ',')));
  return 0;
}
