// Fuzzes the OCRA message builder: the challenge is typed by the user or handed over by a server,
// and the builder reads the suite and every other data input as text too.
//
// Input layout: byte 0 picks the mode. Below 0x80 its low bits pick one of the suites the policy
// builds (or a hex-question suite), bit 6 asks for no question at all, and the rest is the
// question; the target then knows exactly what must happen:
//  - no question, characters outside the format: 6002; a question too long for its format: 6003;
//  - otherwise a message of the suite bytes, 0x00 and the 128-byte question block laid out as its
//    format says, and an OCRA passcode of the asked length made of decimal digits.
// From 0x80 on the rest is split at newlines into suite, question, counter, PIN hash, session and
// time stamp; then only 6002 and 6003 may be raised, and an accepted message starts with the suite
// and 0x00 and is no longer than the largest data inputs allow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/OVException.h"
#include "encoding/Hex.h"
#include "engine/OCRASuite.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::uint8_t kKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                   17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

struct FixedSuite {
  const char* suite;
  char format;
  std::int32_t digits;
};

constexpr FixedSuite kSuites[] = {
    {"OCRA-1:HOTP-SHA256-8:QN08", 'n', 8},
    {"OCRA-1:HOTP-SHA256-6:QN06", 'n', 6},
    {"OCRA-1:HOTP-SHA256-8:QA08", 'a', 8},
    {"OCRA-1:HOTP-SHA256-6:QH10", 'h', 6},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHex(char c) { return ov::HexDigitValue(c) >= 0; }

// The message opens with the suite's bytes (compared as bytes: a suite may hold any octet).
bool StartsWithSuite(const ov::SecureBytes& message, std::string_view suite) {
  return message.size() > suite.size() &&
         std::equal(suite.begin(), suite.end(), message.begin(),
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; }) &&
         message[suite.size()] == 0;
}

// The 256 hex digits the question block must hold, or nullopt when the question must be refused
// (with the code in *code).
std::optional<std::string> ExpectedBlock(char format, std::string_view q, int32_t* code) {
  std::string hex;
  if (format == 'n') {
    if (!std::all_of(q.begin(), q.end(), IsDigit)) return *code = 6002, std::nullopt;
    if (q.size() > 8) return *code = 6003, std::nullopt;
    unsigned long value = q.empty() ? 0 : std::stoul(std::string(q));
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (; value != 0; value /= 16) hex.insert(hex.begin(), kDigits[value % 16]);
  } else if (format == 'a') {
    if (!std::all_of(q.begin(), q.end(), IsAlnum)) return *code = 6002, std::nullopt;
    if (q.size() > 128) return *code = 6003, std::nullopt;
    hex = ov::HexEncode({reinterpret_cast<const std::uint8_t*>(q.data()), q.size()});
  } else {
    if (!std::all_of(q.begin(), q.end(), IsHex)) return *code = 6002, std::nullopt;
    if (q.size() > 256) return *code = 6003, std::nullopt;
    for (const char c : q) hex += static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
  }
  hex.resize(256, '0');
  return hex;
}

void FuzzFixedSuite(std::uint8_t selector, std::string_view rest) {
  const FixedSuite& fixed = kSuites[selector % (sizeof(kSuites) / sizeof(kSuites[0]))];
  const std::string_view suite = fixed.suite;
  const bool noQuestion = (selector & 0x40) != 0;
  const std::optional<std::string_view> question =
      noQuestion ? std::nullopt : std::optional<std::string_view>(rest);

  int32_t expectedCode = 6002;
  const std::optional<std::string> block =
      noQuestion ? std::nullopt : ExpectedBlock(fixed.format, rest, &expectedCode);
  try {
    const ov::SecureBytes message = ov::OCRASuite::GenerateMessage(suite, "", question, "", "", "");
    Check(block.has_value());
    Check(message.size() == suite.size() + 1 + 128);
    Check(StartsWithSuite(message, suite));
    Check(ov::HexEncode(std::span(message).subspan(suite.size() + 1)) == *block);

    const ov::SecureString passcode =
        ov::OCRASuite::GenerateOCRA(suite, kKey, "", question, "", "", "", fixed.digits);
    Check(passcode.size() == static_cast<std::size_t>(fixed.digits));
    Check(std::all_of(passcode.begin(), passcode.end(), IsDigit));
  } catch (const ov::OVException& e) {
    Check(!block.has_value());
    Check(e.GetErrorCode() == expectedCode);
  }
}

void FuzzFreeInputs(std::string_view rest) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0; fields.size() < 6;) {
    const std::size_t end = rest.find('\n', start);
    if (end == std::string_view::npos) {
      fields.push_back(rest.substr(start));
      break;
    }
    fields.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  fields.resize(6);
  const std::string_view suite = fields[0];
  try {
    const ov::SecureBytes message = ov::OCRASuite::GenerateMessage(suite, fields[2], fields[1],
                                                                   fields[3], fields[4], fields[5]);
    Check(StartsWithSuite(message, suite));
    Check(message.size() <= suite.size() + 1 + 8 + 128 + 64 + 512 + 8);
  } catch (const ov::OVException& e) {
    Check(e.GetErrorCode() == 6002 || e.GetErrorCode() == 6003);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] < 0x80) {
    FuzzFixedSuite(data[0], rest);
  } else {
    FuzzFreeInputs(rest);
  }
  return 0;
}
