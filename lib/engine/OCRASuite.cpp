#include "engine/OCRASuite.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/LogFacade.h"
#include "common/OVException.h"
#include "encoding/Hex.h"
#include "engine/NoxOVAuthenticator.h"
#include "ov/ov_api.h"

namespace ov::OCRASuite {
namespace {

constexpr std::size_t kQuestionBytes = 128;
constexpr std::size_t kMaxNumericQuestion = 8;
constexpr std::size_t kMaxSessionBytes = 512;
constexpr std::size_t kNumberBytes = 8;

[[noreturn]] void Fail(LogScope& log, int32_t code, const char* text) {
  log.Message(text);
  throw OVException(code, text);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool AllDigits(std::string_view text) { return std::all_of(text.begin(), text.end(), IsDigit); }

std::string ToLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// The data inputs a suite names, read from the part after its second colon.
struct DataInputs {
  bool bCounter = false;
  char questionFormat = 0;  // 'n', 'a', 'h'; 0 when the suite names no question
  std::size_t nPasswordBytes = 0;
  std::size_t nSessionBytes = 0;
  bool bTimeStamp = false;
};

// Only HMAC-SHA-256 is computed here: a suite naming another hash would give a value its server
// never computes.
void VerifyCrypto(std::string_view cryptoFunction) {
  LogScope log("OCRASuite::VerifyCrypto");
  if (!cryptoFunction.starts_with("hotp-sha256-")) {
    Fail(log, OV_ERR_OPERATION_FAILED, "Invalid Param or State");
  }
}

bool IsTimeStepText(std::string_view text) {
  if (text.size() < 2 || text.size() > 3) return false;
  const char unit = text.back();
  return AllDigits(text.substr(0, text.size() - 1)) && (unit == 's' || unit == 'm' || unit == 'h');
}

DataInputs ParseDataInput(std::string_view dataInput) {
  LogScope log("OCRASuite::ParseDataInput");
  DataInputs inputs;
  bool bPassword = false;
  bool bSession = false;
  for (const std::string_view element : Split(dataInput, '-')) {
    bool bDuplicate = false;
    if (element == "c") {
      bDuplicate = inputs.bCounter;
      inputs.bCounter = true;
    } else if (element.size() == 4 && element[0] == 'q' &&
               (element[1] == 'n' || element[1] == 'a' || element[1] == 'h') &&
               AllDigits(element.substr(2))) {
      bDuplicate = inputs.questionFormat != 0;
      inputs.questionFormat = element[1];
    } else if (element == "psha1" || element == "psha256" || element == "psha512") {
      bDuplicate = bPassword;
      bPassword = true;
      inputs.nPasswordBytes = element == "psha1" ? 20 : element == "psha256" ? 32 : 64;
    } else if (element.size() == 4 && element[0] == 's' && AllDigits(element.substr(1))) {
      bDuplicate = bSession;
      bSession = true;
      inputs.nSessionBytes = std::stoul(std::string(element.substr(1)));
      if (inputs.nSessionBytes == 0 || inputs.nSessionBytes > kMaxSessionBytes) {
        Fail(log, OV_ERR_OPERATION_FAILED, "Unsupported session length");
      }
    } else if (element.size() >= 3 && element[0] == 't' && IsTimeStepText(element.substr(1))) {
      bDuplicate = inputs.bTimeStamp;
      inputs.bTimeStamp = true;
    } else {
      log.Text("szDataInput", element);
      Fail(log, OV_ERR_OPERATION_FAILED, "Unsupported data input");
    }
    if (bDuplicate) Fail(log, OV_ERR_OPERATION_FAILED, "Data input named twice");
  }
  return inputs;
}

void AppendMessage(SecureBytes& message, std::span<const std::uint8_t> bytes) {
  message.insert(message.end(), bytes.begin(), bytes.end());
}

// Hex text that this file built itself, so a decoding failure is an internal fault.
void AppendHex(SecureBytes& message, std::string_view hex) {
  LogScope log("OCRASuite::AppendMessage");
  SecureBytes bytes;
  if (!HexDecode(hex, bytes)) Fail(log, OV_ERR_OPERATION_FAILED, "Invalid Param or State");
  AppendMessage(message, bytes);
}

void AppendNumber(SecureBytes& message, std::uint64_t value) {
  std::uint8_t bytes[kNumberBytes];
  for (std::size_t i = 0; i < kNumberBytes; ++i) {
    bytes[i] = static_cast<std::uint8_t>(value >> (8 * (kNumberBytes - 1 - i)));
  }
  AppendMessage(message, bytes);
}

std::uint64_t ParseDecimal(LogScope& log, std::string_view text) {
  if (text.empty() || !AllDigits(text)) Fail(log, OV_ERR_INVALID_PARAM, "Invalid number");
  std::uint64_t value = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) Fail(log, OV_ERR_OPERATION_FAILED, "Number too large");
    value = value * 10 + digit;
  }
  return value;
}

// Hex text of at most `bytes` bytes, padded on the left to exactly that size.
void AppendLeftPaddedHex(LogScope& log, SecureBytes& message, std::string_view hex,
                         std::size_t bytes) {
  if (!std::all_of(hex.begin(), hex.end(), [](char c) { return HexDigitValue(c) >= 0; })) {
    Fail(log, OV_ERR_INVALID_PARAM, "Invalid hex text");
  }
  if (hex.size() > 2 * bytes) Fail(log, OV_ERR_OPERATION_FAILED, "Input too long");
  SecureString padded(2 * bytes - hex.size(), '0');
  padded.append(hex.data(), hex.size());
  AppendHex(message, padded.view());
}

void GetCounterInfo(SecureBytes& message, std::string_view counter) {
  LogScope log("OCRASuite::GetCounterInfo");
  AppendNumber(message, ParseDecimal(log, counter));
}

void GetQuestionInfo(SecureBytes& message, char format, std::optional<std::string_view> question) {
  LogScope log("OCRASuite::GetQuestionInfo");
  if (!question) Fail(log, OV_ERR_INVALID_PARAM, "Challenge missing");
  const std::string_view q = *question;
  log.Text("szQuestion", q);
  std::string hex;
  switch (format) {
    case 'n': {
      if (!AllDigits(q)) Fail(log, OV_ERR_INVALID_PARAM, "Invalid challenge");
      if (q.size() > kMaxNumericQuestion) Fail(log, OV_ERR_OPERATION_FAILED, "Challenge too long");
      std::uint32_t value = 0;
      for (const char c : q) value = value * 10 + static_cast<std::uint32_t>(c - '0');
      // The value without leading zeros: 0 writes no digit at all.
      static constexpr char kDigits[] = "0123456789ABCDEF";
      for (; value != 0; value >>= 4) hex.insert(hex.begin(), kDigits[value & 0x0F]);
      break;
    }
    case 'a':
      if (!std::all_of(q.begin(), q.end(), [](char c) { return IsDigit(c) || IsLetter(c); })) {
        Fail(log, OV_ERR_INVALID_PARAM, "Invalid challenge");
      }
      if (q.size() > kQuestionBytes) Fail(log, OV_ERR_OPERATION_FAILED, "Challenge too long");
      hex = HexEncode({reinterpret_cast<const std::uint8_t*>(q.data()), q.size()});
      break;
    case 'h':
      if (!std::all_of(q.begin(), q.end(), [](char c) { return HexDigitValue(c) >= 0; })) {
        Fail(log, OV_ERR_INVALID_PARAM, "Invalid challenge");
      }
      if (q.size() > 2 * kQuestionBytes) Fail(log, OV_ERR_OPERATION_FAILED, "Challenge too long");
      hex = q;
      break;
    default:
      Fail(log, OV_ERR_OPERATION_FAILED, "Invalid Param or State");
  }
  hex.resize(2 * kQuestionBytes, '0');
  AppendHex(message, hex);
}

void GetPasswordInfo(SecureBytes& message, std::size_t bytes, std::string_view password) {
  LogScope log("OCRASuite::GetPasswordInfo");
  AppendLeftPaddedHex(log, message, password, bytes);
}

bool IsSessionInfoPresent(const DataInputs& inputs) { return inputs.nSessionBytes != 0; }

void GetSessionInfo(SecureBytes& message, std::size_t bytes, std::string_view session) {
  LogScope log("OCRASuite::GetSessionInfo");
  AppendLeftPaddedHex(log, message, session, bytes);
}

void GetTimeStampInfo(SecureBytes& message, std::string_view timestamp) {
  LogScope log("OCRASuite::GetTimeStampInfo");
  AppendNumber(message, ParseDecimal(log, timestamp));
}

}  // namespace

SecureBytes GenerateMessage(std::string_view suite, std::string_view counter,
                            std::optional<std::string_view> question, std::string_view password,
                            std::string_view session, std::string_view timestamp) {
  LogScope log("OCRASuite::GenerateMessage");
  log.Text("szSuite", suite);
  const std::string lower = ToLower(suite);
  const std::vector<std::string_view> fields = Split(lower, ':');
  if (fields.size() != 3) Fail(log, OV_ERR_OPERATION_FAILED, "Invalid Param or State");
  VerifyCrypto(fields[1]);
  const DataInputs inputs = ParseDataInput(fields[2]);

  SecureBytes message;
  message.reserve(suite.size() + 1 + kNumberBytes + kQuestionBytes + 64 + kMaxSessionBytes +
                  kNumberBytes);
  AppendMessage(message, {reinterpret_cast<const std::uint8_t*>(suite.data()), suite.size()});
  message.push_back(0x00);
  if (inputs.bCounter) GetCounterInfo(message, counter);
  if (inputs.questionFormat != 0) GetQuestionInfo(message, inputs.questionFormat, question);
  if (inputs.nPasswordBytes != 0) GetPasswordInfo(message, inputs.nPasswordBytes, password);
  if (IsSessionInfoPresent(inputs)) GetSessionInfo(message, inputs.nSessionBytes, session);
  if (inputs.bTimeStamp) GetTimeStampInfo(message, timestamp);
  log.Number("nMessageLength", static_cast<int32_t>(message.size()));
  return message;
}

SecureString GenerateOCRA(std::string_view suite, std::span<const std::uint8_t> key,
                          std::string_view counter, std::optional<std::string_view> question,
                          std::string_view password, std::string_view session,
                          std::string_view timestamp, std::int32_t digits) {
  LogScope log("OCRASuite::GenerateOCRA");
  log.Number("nDigits", digits);
  const SecureBytes message =
      GenerateMessage(suite, counter, question, password, session, timestamp);
  const SecureBytes hash = NoxOVAuthenticator::Hmac_Sha1(key, message);
  return NoxOVAuthenticator::GetOTP(hash, digits, false);
}

}  // namespace ov::OCRASuite
