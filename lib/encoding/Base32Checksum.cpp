#include "encoding/Base32Checksum.h"

#include <cstdint>

#include "common/LogFacade.h"
#include "encoding/Base32.h"

namespace ov {

namespace {

// The sum is kept modulo 2^64 (unsigned arithmetic wraps), which leaves it right modulo 32 for a
// text of any length and turns a negative term (a byte above 0x7F) into its two's complement.
unsigned ChecksumIndex(std::string_view text) noexcept {
  uint64_t sum = 0;
  uint64_t position = 0;
  for (char c : text) {
    ++position;
    sum += position * static_cast<uint64_t>(static_cast<int64_t>(static_cast<signed char>(c)));
  }
  return static_cast<unsigned>(sum & 31u);
}

template <class Text>
void Append(Text& text) {
  LogScope log("Base32Checksum::AddChecksum");
  if (text.empty()) {
    log.Message("Invalid State or Params");
    return;
  }
  text.push_back(Base32::kAlphabet[ChecksumIndex(text)]);
}

}  // namespace

char Base32Checksum::GetChecksumChar(std::string_view text) {
  LogScope log("Base32Checksum::GetChecksumChar");
  if (text.empty()) {
    log.Message("Invalid State or Params");
    return '\0';
  }
  return Base32::kAlphabet[ChecksumIndex(text)];
}

void Base32Checksum::AddChecksum(std::string& text) { Append(text); }

void Base32Checksum::AddChecksum(SecureString& text) { Append(text); }

}  // namespace ov
