// Standard Base64 with padding, written out here so that a test builds its input without the
// code under test or a crypto library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace ov::test {

inline std::string Base64(std::string_view text) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, text.size() - i);
    uint32_t group = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      group = (group << 8) | (j < n ? static_cast<unsigned char>(text[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      out.push_back(j <= n ? kAlphabet[(group >> (18 - 6 * j)) & 63] : '=');
    }
  }
  return out;
}

}  // namespace ov::test
