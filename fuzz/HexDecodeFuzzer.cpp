// Fuzzes the hexadecimal decoder with arbitrary text (stored keys and key material are hex), and
// the encoder with arbitrary bytes.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "encoding/Hex.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  ov::SecureBytes decoded = {0xEE};
  const bool valid = size % 2 == 0 && std::all_of(text.begin(), text.end(),
                                                  [](char c) { return ov::HexDigitValue(c) >= 0; });
  Check(ov::HexDecode(text, decoded) == valid);
  if (valid) {
    // Accepted text comes back as its upper-case form.
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Check(decoded.size() == size / 2);
    Check(ov::HexEncode(decoded) == upper);
  } else {
    Check(decoded.empty());  // nothing half-decoded, and nothing of the earlier contents
  }

  const std::span<const std::uint8_t> bytes(data, size);
  const std::string encoded = ov::HexEncode(bytes);
  Check(ov::HexEncodeSecret(bytes).view() == encoded);
  ov::SecureBytes back;
  Check(ov::HexDecode(encoded, back));
  Check(back.size() == size && std::equal(back.begin(), back.end(), data));
  return 0;
}
