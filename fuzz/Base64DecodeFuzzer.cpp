// Fuzzes the lenient base64 decoder with arbitrary text (token file values, enrollment strings and
// server messages all reach it), and the encoder with arbitrary bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "encoding/Base64.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool InAlphabet(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Every character of the alphabet adds 6 bits, whole bytes come out, and never more than the
  // text announces.
  std::size_t characters = 0;
  for (char c : text) characters += InAlphabet(c) ? 1 : 0;
  const ov::SecureBytes decoded = ov::Base64Decode(text);
  Check(decoded.size() <= ov::Base64DecodedLength(text));
  Check(decoded.size() == characters * 6 / 8);

  // What was decoded encodes to clean text that decodes to the same bytes again.
  const std::string again = ov::Base64Encode(decoded);
  Check(ov::IsBase64(again));
  Check(ov::Base64Decode(again) == decoded);

  // Any bytes survive a round trip, through either encoder.
  const std::span<const std::uint8_t> bytes(data, size);
  const std::string encoded = ov::Base64Encode(bytes);
  Check(ov::Base64EncodeSecret(bytes).view() == encoded);
  Check(encoded.size() == (size + 2) / 3 * 4);
  const ov::SecureBytes back = ov::Base64Decode(encoded);
  Check(back.size() == size && std::equal(back.begin(), back.end(), data));

  (void)ov::IsBase64(text);
  return 0;
}
