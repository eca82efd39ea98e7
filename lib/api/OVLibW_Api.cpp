// The wide (W) OV_ functions. They only convert their text arguments to UTF-8 (a null argument
// stays null), call the A function and convert what comes back; the converted copies are wiped.
// The lock is taken by the A function, so a W function holds it only while its A call runs. Any
// exception in the conversion answers OV_ERR_OPERATION_FAILED.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "api/Boundary.h"
#include "common/TokenInfoRecords.h"
#include "common/WideText.h"

using namespace ov;

namespace {

// Passcodes have at most 8 characters; the narrow call gets room for them and a terminator.
constexpr std::size_t kNarrowOtpBuffer = 9;

}  // namespace

extern "C" {

int32_t OV_InitializeW(const wchar_t* uniqueId, int32_t reserved) {
  LogScope log("OV_InitializeW");
  log.Wide("uniqueId", uniqueId);
  return log.Return(Guard(log, [&] { return OV_InitializeA(NarrowArgument(uniqueId).get(), reserved); }));
}

int32_t OV_CreateInstanceW(const wchar_t* tokenName, int32_t reserved) {
  LogScope log("OV_CreateInstanceW");
  log.Wide("tokenName", tokenName);
  return log.Return(
      Guard(log, [&] { return OV_CreateInstanceA(NarrowArgument(tokenName).get(), reserved); }));
}

int32_t OV_GenerateActivationCodeW(const wchar_t* policy, wchar_t* activationCode) {
  LogScope log("OV_GenerateActivationCodeW");
  log.Wide("policy", policy);
  try {
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    const int32_t result = OV_GenerateActivationCodeA(NarrowArgument(policy).get(),
                                                      activationCode ? code : nullptr);
    if (result == OV_OK) {
      const std::wstring wide = NarrowToWide(std::string_view(code, strnlen(code, sizeof code)));
      std::wcsncpy(activationCode, wide.c_str(), OV_ACTIVATION_CODE_SIZE);
    }
    return log.Return(result);
  } catch (...) {
    log.Message("Error: Crash");
    // The token may have taken the policy already: put it back to its installed state.
    OV_ResetToken();
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
}

int32_t OV_PerformAutoEnrollmentW(const wchar_t* url, const wchar_t* userId,
                                  const wchar_t* password, const wchar_t* softPin,
                                  const wchar_t* deviceName, int32_t timeOutSeconds,
                                  int32_t* softPinMinLength, int32_t* softPinMaxLength,
                                  int32_t* softPinComplexity) {
  LogScope log("OV_PerformAutoEnrollmentW");
  SetEnrollmentFailure(OV_ENROLL_FAILURE_UNKNOWN);
  log.Wide("url", url);
  log.Wide("userId", userId);
  log.Wide("deviceName", deviceName);
  return log.Return(Guard(log, [&] {
    return OV_PerformAutoEnrollmentA(
        NarrowArgument(url).get(), NarrowArgument(userId).get(), NarrowArgument(password).get(),
        NarrowArgument(softPin).get(), NarrowArgument(deviceName).get(), timeOutSeconds,
        softPinMinLength, softPinMaxLength, softPinComplexity);
  }));
}

int32_t OV_SetPinValidationW(const wchar_t* pin) {
  LogScope log("OV_SetPinValidationW");
  return log.Return(Guard(log, [&] { return OV_SetPinValidationA(NarrowArgument(pin).get()); }));
}

int32_t OV_SetOTPValidationW(const wchar_t* softPin, int32_t minLength, int32_t maxLength,
                             int32_t complexity) {
  LogScope log("OV_SetOTPValidationW");
  return log.Return(Guard(log, [&] {
    return OV_SetOTPValidationA(NarrowArgument(softPin).get(), minLength, maxLength, complexity);
  }));
}

int32_t OV_SetPinW(const wchar_t* pin) {
  LogScope log("OV_SetPinW");
  return log.Return(Guard(log, [&] { return OV_SetPinA(NarrowArgument(pin).get()); }));
}

int32_t OV_ChangePinW(const wchar_t* oldPin, const wchar_t* newPin) {
  LogScope log("OV_ChangePinW");
  return log.Return(Guard(log, [&] {
    return OV_ChangePinA(NarrowArgument(oldPin).get(), NarrowArgument(newPin).get());
  }));
}

int32_t OV_ValidatePinW(const wchar_t* pin) {
  LogScope log("OV_ValidatePinW");
  return log.Return(Guard(log, [&] { return OV_ValidatePinA(NarrowArgument(pin).get()); }));
}

int32_t OV_GenerateOtpW(const wchar_t* challenge, int32_t hostIndex, wchar_t* otp,
                        int32_t* otpLength) {
  LogScope log("OV_GenerateOtpW");
  log.Wide("challenge", challenge);
  log.Number("hostIndex", hostIndex);
  return log.Return(Guard(log, [&] {
    const NarrowArgument narrowChallenge(challenge);
    if (otp == nullptr) return OV_GenerateOtpA(narrowChallenge.get(), hostIndex, nullptr, otpLength);
    char passcode[kNarrowOtpBuffer] = {};
    WipeOnExit wipe(passcode, sizeof passcode);
    const int32_t result = OV_GenerateOtpA(narrowChallenge.get(), hostIndex, passcode, otpLength);
    if (result == OV_OK) {
      const std::wstring wide = NarrowToWide(std::string_view(passcode, strnlen(passcode, sizeof passcode)));
      std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, otp);
    }
    return result;
  }));
}

int32_t OV_ChangeTokenNameW(const wchar_t* newName) {
  LogScope log("OV_ChangeTokenNameW");
  log.Wide("newName", newName);
  return log.Return(Guard(log, [&] { return OV_ChangeTokenNameA(NarrowArgument(newName).get()); }));
}

int32_t OV_GetTokenInfoW(OVTokenInfoW* info) {
  LogScope log("OV_GetTokenInfoW");
  return log.Return(Guard(log, [&] {
    OVTokenInfoA narrow{};
    const int32_t result = OV_GetTokenInfoA(info ? &narrow : nullptr);
    try {
      if (result == OV_OK) OVTokenInfoA2W(narrow, *info);
    } catch (...) {
      ReleaseTokenInfo(narrow);
      throw;
    }
    ReleaseTokenInfo(narrow);
    return result;
  }));
}

int32_t OV_FreeTokenInfoW(OVTokenInfoW* info) {
  LogScope log("OV_FreeTokenInfoW");
  // Runs without the library lock.
  return log.Return(Guard(log, [&]() -> int32_t {
    if (info == nullptr) {
      log.Message("INVALID_PARAM");
      return OV_ERR_INVALID_PARAM;
    }
    if (!g_pOVHelper) return OV_ERR_NOT_INITIALIZED;
    return g_pOVHelper->OVHelper_FreeTokenInfoW(info, false);
  }));
}

int32_t OV_GetTokenListW(OVTokenInfoW* list, int32_t* count) {
  LogScope log("OV_GetTokenListW");
  return log.Return(Guard(log, [&] {
    if (list == nullptr || count == nullptr || *count <= 0) return OV_GetTokenListA(nullptr, count);
    std::vector<OVTokenInfoA> narrow(static_cast<std::size_t>(*count));  // zeroed records
    int32_t result = OV_GetTokenListA(narrow.data(), count);
    try {
      const auto filled = std::min<std::size_t>(narrow.size(), std::max(*count, 0));
      for (std::size_t i = 0; result == OV_OK && i < filled; ++i) OVTokenInfoA2W(narrow[i], list[i]);
    } catch (...) {
      for (auto& entry : narrow) ReleaseTokenInfo(entry);
      throw;
    }
    for (auto& entry : narrow) ReleaseTokenInfo(entry);
    return result;
  }));
}

int32_t OV_FreeTokenListW(OVTokenInfoW* list, int32_t count) {
  LogScope log("OV_FreeTokenListW");
  log.Number("count", count);
  return log.Return(CallLocked(log, list != nullptr, [&](OVHelper& h) {
    int32_t result = OV_OK;
    for (int32_t i = 0; i < count; ++i) result = h.OVHelper_FreeTokenInfoW(&list[i], true);
    return result;
  }));
}

int32_t OV_ImportLegacyTokenDataW(const wchar_t* tokenName) {
  LogScope log("OV_ImportLegacyTokenDataW");
  log.Wide("tokenName", tokenName);
  return log.Return(Guard(log, [&]() -> int32_t {
    if (tokenName == nullptr || *tokenName == L'\0') {
      log.Message("INVALID_PARAM");
      return OV_ERR_INVALID_PARAM;
    }
    return OV_ImportLegacyTokenDataA(NarrowArgument(tokenName).get());
  }));
}

}  // extern "C"
