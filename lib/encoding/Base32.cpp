#include "encoding/Base32.h"

#include <new>
#include <string>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "ov/ov_api.h"

namespace ov {

char Base32::GetBase32Char(int32_t index) {
  LogScope log("Base32::GetBase32Char");
  if (index < 0 || index > 31) {
    log.Message("GetBase32Char passed invalid index:");
    log.Number("index", index);
    throw OVException(OV_ERR_OPERATION_FAILED,
                      "GetBase32Char passed invalid index: " + std::to_string(index));
  }
  return kAlphabet[index];
}

SecureString Base32::Encode(std::span<const std::uint8_t> bytes) {
  LogScope log("Base32::Encode");
  log.Number("nLength",
             static_cast<int32_t>(bytes.size() > 0x7FFFFFFF ? 0x7FFFFFFF : bytes.size()));
  try {
    SecureString text;
    text.reserve((bytes.size() + 4) / 5 * 8);
    // Bits wait in `buffer` until five are there; at most 12 are ever pending.
    uint32_t buffer = 0;
    int pending = 0;
    for (std::uint8_t b : bytes) {
      buffer = (buffer << 8 | b) & 0xFFFu;
      pending += 8;
      while (pending >= 5) {
        pending -= 5;
        text.push_back(kAlphabet[(buffer >> pending) & 0x1F]);
      }
    }
    if (pending > 0) text.push_back(kAlphabet[(buffer << (5 - pending)) & 0x1F]);
    while (text.size() % 8 != 0) text.push_back('=');
    SecureWipe(&buffer, sizeof buffer);
    return text;
  } catch (const std::bad_alloc&) {
    log.Message("out of memory");
    throw OVException(OV_ERR_OPERATION_FAILED, "Base32::Encode out of memory");
  }
}

}  // namespace ov
