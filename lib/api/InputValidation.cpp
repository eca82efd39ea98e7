#include "api/InputValidation.h"

#include <cstring>
#include <string_view>

#include "common/LogFacade.h"
#include "common/WideText.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"

namespace ov {

namespace {

bool IsAsciiLetterOrDigit(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsAsciiDigit(char c) noexcept { return c >= '0' && c <= '9'; }

bool AllLettersOrDigits(std::string_view text) noexcept {
  for (char c : text) {
    if (!IsAsciiLetterOrDigit(c)) return false;
  }
  return true;
}

}  // namespace

bool IsValidTokenName(const char* text) noexcept {
  LogScope log("OVHelper::IsValidTokenName");
  if (text == nullptr) return false;
  const std::string_view name(text, strnlen(text, 65));
  const bool valid = name.size() >= 4 && name.size() <= 64 &&
                     name.find_first_not_of(' ') != std::string_view::npos &&
                     name.find_first_of("+=|;<>,\\\"*?:/") == std::string_view::npos;
  log.Return(valid);
  return valid;
}

bool IsValidNewTokenName(const char* text) noexcept {
  if (!IsValidTokenName(text)) return false;
  LogScope log("OVHelper::IsValidNewTokenName");
  const bool valid = IsPrintableNarrow(text);
  log.Return(valid);
  return valid;
}

bool IsAlphaNumeric(const char* text) noexcept {
  LogScope log("OVHelper::IsAlphaNumeric");
  const bool valid = text != nullptr && AllLettersOrDigits(text);
  log.Return(valid);
  return valid;
}

bool IsNumeric(const char* text) noexcept {
  LogScope log("OVHelper::IsNumeric");
  bool valid = text != nullptr;
  for (const char* p = text; valid && *p != '\0'; ++p) valid = IsAsciiDigit(*p);
  log.Return(valid);
  return valid;
}

bool IsValidUrl(std::string& text) noexcept {
  LogScope log("OVHelper::IsValidUrl");
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  log.Text("szUrl", text);
  const bool valid = (text.find("https://") != std::string::npos && text.size() > 8) ||
                     (text.find("http://") != std::string::npos && text.size() > 7);
  log.Return(valid);
  return valid;
}

bool IsValidUserName(const char* text) noexcept {
  LogScope log("OVHelper::IsValidUserName");
  if (text == nullptr) return false;
  const std::string_view name(text, strnlen(text, 129));
  const bool valid = !name.empty() && name.size() <= 128 &&
                     name.find_first_of("+=|;<>,\\\"*#()/") == std::string_view::npos;
  log.Return(valid);
  return valid;
}

bool IsValidEnrollmentPin(const char* text) noexcept {
  LogScope log("OVHelper::IsValidEnrollmentPin");
  if (text == nullptr) return false;
  const std::string_view pin(text, strnlen(text, 129));
  bool valid = pin.size() >= 4 && pin.size() <= 128;
  for (char c : pin) valid = valid && c >= 32 && c <= 126;
  log.Return(valid);
  return valid;
}

bool HasMixedCaseAndDigit(std::string_view text) noexcept {
  bool lower = false, upper = false, digit = false;
  for (char c : text) {
    // The rule was a regular expression whose "." stops at line breaks.
    if (c == '\n' || c == '\r') return false;
    lower = lower || (c >= 'a' && c <= 'z');
    upper = upper || (c >= 'A' && c <= 'Z');
    digit = digit || IsAsciiDigit(c);
  }
  return lower && upper && digit;
}

bool IsValidSoftPin(const char* text, int32_t minLength, int32_t maxLength,
                    int32_t complex) noexcept {
  LogScope log("OVHelper::IsValidSoftPin");
  log.Number("nMinLength", minLength);
  log.Number("nMaxLength", maxLength);
  log.Number("nComplex", complex);
  if (text == nullptr) return false;
  const std::string_view pin(text);
  const uint64_t length = pin.size();
  if (length < static_cast<uint32_t>(minLength) || length > static_cast<uint32_t>(maxLength)) {
    log.Message("Error: invalid soft PIN length");
    return false;
  }
  const bool valid = complex != 0 ? HasMixedCaseAndDigit(pin) : AllLettersOrDigits(pin);
  log.Return(valid);
  return valid;
}

bool IsRepeatedCharacter(std::string_view text) noexcept {
  return text.find_first_not_of(text.empty() ? '\0' : text[0]) == std::string_view::npos;
}

bool IsSequence(std::string_view text) noexcept {
  if (text.size() <= 1) return true;
  const int step = static_cast<unsigned char>(text[1]) - static_cast<unsigned char>(text[0]);
  if (step != 1 && step != -1) return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) - static_cast<unsigned char>(text[i - 1]) != step) {
      return false;
    }
  }
  return true;
}

int32_t SetPin_Validation(const OVPolicy& policy, const char* pin) {
  LogScope log("OVHelper::SetPin_Validation");
  const int32_t pinLength = policy.GetPinLen();
  log.Number("nPinLen", pinLength);
  if (pin == nullptr || pinLength < 0 ||
      strnlen(pin, static_cast<std::size_t>(pinLength) + 1) !=
          static_cast<std::size_t>(pinLength) ||
      !IsAlphaNumeric(pin)) {
    log.Message("Error: invalid PIN length or characters");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  const int32_t result = policy.GetPolicyLevel() == 5 ? SetPin_Validation_Level5(policy, pin)
                                                      : SetPin_Validation_Level4(policy, pin);
  return log.Return(result);
}

int32_t SetPin_Validation_Level4(const OVPolicy& policy, const char* pin) {
  LogScope log("OVHelper::SetPin_Validation_Level4");
  if (pin == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  const std::string_view text(pin);
  bool valid = false;
  if (policy.IsTrivialPinAllowedEx()) {
    valid = AllLettersOrDigits(text);
  } else {
    valid = !IsRepeatedCharacter(text) && HasMixedCaseAndDigit(text);
  }
  if (!valid) log.Message("Error: PIN does not meet the policy");
  return log.Return(valid ? OV_OK : OV_ERR_INVALID_PARAM);
}

int32_t SetPin_Validation_Level5(const OVPolicy& policy, const char* pin) {
  LogScope log("OVHelper::SetPin_Validation_Level5");
  if (pin == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  const std::string_view text(pin);
  if (policy.IsTrivialPinAllowed()) {
    if (policy.IsTrivialPinAllowedEx()) {
      if (!IsAlphaNumeric(pin)) return log.Return(OV_ERR_INVALID_PARAM);
    } else if (IsRepeatedCharacter(text) || IsSequence(text)) {
      log.Message("Error: trivial PIN");
      return log.Return(OV_ERR_INVALID_PARAM);
    }
    return log.Return(OV_OK);
  }
  if (!IsAlphaNumeric(pin) || IsNumeric(pin) || !HasMixedCaseAndDigit(text)) {
    log.Message("Error: That is not alphanumeric pin. ");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  return log.Return(OV_OK);
}

}  // namespace ov
