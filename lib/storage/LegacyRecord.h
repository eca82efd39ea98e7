// Legacy token records: the token files of the 8.2 program generation (".dat" in the folder
// "KLSA_GA_8_2"), which stay usable until the token's first right PIN moves it into a format-3
// file. A legacy file's plaintext is one fixed-layout record, told apart by the version text at
// its start:
//
//   - "8.2.0" as its first five characters: the 8.2.0 record, read only. It has no lock-out time
//     and no PIN-change time, so those start afresh, and the token is written back in the legacy
//     layout with the version "8.3.1" at its next save.
//   - anything else: the 876-byte legacy record, read and written field for field.
//
// Integers are little-endian; texts are single-byte and zero-terminated within their field. A
// text is copied up to its terminator (or its field's end, when it has none) and cut to the
// destination's width less one. A plaintext shorter than the layout it is read with is refused:
// its missing fields have no value, and reading on would run past the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "storage/TokenData.h"

namespace ov {

inline constexpr std::size_t kLegacyRecordSize = 876;
// An 8.2.0 record is read up to the end of its MAC key field; what follows is not read.
inline constexpr std::size_t kLegacy820ReadSize = 801;
inline constexpr char kLegacy820Version[] = "8.2.0";

// The bytes of a legacy record; a holder of one wipes it (it carries PIN-protected keys and
// activation key material).
struct LegacyRecord {
  std::array<uint8_t, kLegacyRecordSize> bytes{};
  LegacyRecord() = default;
  LegacyRecord(const LegacyRecord&) = delete;
  LegacyRecord& operator=(const LegacyRecord&) = delete;
  ~LegacyRecord();
};

// True when the plaintext holds an 8.2.0 record: its first five characters are "8.2.0".
bool IsLegacy820Record(std::span<const uint8_t> plaintext);

// Fills `record` from a legacy record, the version text included. Fields that the layout has no
// place for keep their values. False, with `record` untouched, when `legacy` is shorter than
// kLegacyRecordSize.
bool CopyOVData(TokenData& record, std::span<const uint8_t> legacy);

// Fills `record` from an 8.2.0 record; the lock-out time becomes 0, the PIN-change time `now`
// (seconds since 1970, UTC) and the version "8.3.1". False, with `record` untouched, when
// `source` is shorter than kLegacy820ReadSize.
bool ConvertLegacyOVData(TokenData& record, std::span<const uint8_t> source, int64_t now);

// Writes `record` into `legacy` in the legacy layout; the zero areas, and every byte the layout
// does not fill, are zero.
void CopyFromOVData(LegacyRecord& legacy, const TokenData& record);

// A legacy file's plaintext into `record`, by its version text (ConvertLegacyOVData with the
// current time, or CopyOVData). False when the plaintext is too short for its layout.
bool ReadLegacyPlaintext(std::span<const uint8_t> plaintext, TokenData& record);

// The texts a log line names a legacy file by: its version and token name, each bounded by its
// field and by the plaintext (empty when the plaintext ends before the field).
std::string_view LegacyVersionText(std::span<const uint8_t> plaintext);
std::string_view LegacyTokenNameText(std::span<const uint8_t> plaintext);

}  // namespace ov
