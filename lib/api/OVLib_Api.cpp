// The narrow (A) OV_ functions and those without text. Each checks its arguments and hands one
// OVHelper operation to CallLocked; OV_Initialize and OV_Finalize also create and destroy the
// library object.
#include <cstring>
#include <string>

#include "api/Boundary.h"
#include "api/InputValidation.h"
#include "api/OVHelper.h"
#include "storage/OVEngineStore.h"
#include "storage/StoragePaths.h"
#include "storage/TokenFile.h"

using namespace ov;

namespace {

// The unique ID as the library keeps it: trailing blanks dropped, a-z upper-cased.
std::string NormalizeUniqueId(const char* id) {
  std::string copy(id);
  copy.erase(copy.find_last_not_of(' ') + 1);
  for (char& c : copy) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return copy;
}

int32_t InitializeLibrary(LogScope& log, const char* uniqueId, int32_t reserved) {
  if (reserved != 0 || uniqueId == nullptr) {
    log.Message("INVALID_PARAM");
    return OV_ERR_INVALID_PARAM;
  }
  const std::string id = NormalizeUniqueId(uniqueId);
  if (!IsValidTokenName(id.c_str())) {
    log.Message("INVALID_PARAM");
    return OV_ERR_INVALID_PARAM;
  }
  if (g_pOVHelper && g_pOVHelper->IsInitialized()) {
    log.Message("Error: already initialized");
    return OV_ERR_ALREADY_INITIALIZED;
  }
  // An object left uninitialized by an earlier failed attempt is replaced.
  g_pOVHelper.reset();
  g_pOVHelper.reset(new (std::nothrow) OVHelper);
  if (!g_pOVHelper || g_pOVHelper->CriticalSection() == nullptr) {
    g_pOVHelper.reset();
    return OV_ERR_INIT_FAILED;
  }
  std::unique_lock lock(*g_pOVHelper->CriticalSection(), std::try_to_lock);
  if (!lock.owns_lock()) {
    log.Message("Cannot enter to the Critical section");
    return OV_ERR_OPERATION_FAILED;
  }
  try {
    return g_pOVHelper->OVHelper_Initialize(id);
  } catch (...) {
    lock.unlock();
    g_pOVHelper.reset();
    throw;
  }
}

int32_t FinalizeLibrary(LogScope& log) {
  OVHelper* helper = g_pOVHelper.get();
  if (helper == nullptr) return OV_ERR_NOT_INITIALIZED;
  if (helper->CriticalSection() == nullptr) return OV_ERR_OPERATION_FAILED;
  std::unique_lock lock(*helper->CriticalSection(), std::try_to_lock);
  if (!lock.owns_lock()) {
    log.Message("Cannot enter to the Critical section");
    return OV_ERR_OPERATION_FAILED;
  }
  int32_t result = OV_ERR_OPERATION_FAILED;
  try {
    result = helper->OVHelper_Uninitialize();
  } catch (...) {
    lock.unlock();
    g_pOVHelper.reset();
    throw;
  }
  lock.unlock();
  g_pOVHelper.reset();
  return result;
}

// Whether the token has a file already: a name stored before the character rule still opens.
bool IsStoredTokenName(const char* name) noexcept {
  try {
    const std::string file = OVEngineStore::GetFileName(name);
    for (const bool isOv3 : {true, false}) {
      const std::string path = OVEngineStore::GetFullFilePath(file, isOv3);
      if (!path.empty() && FileExists(path)) return true;
    }
  } catch (...) {
  }
  return false;
}

// Opening a token: the name rule; a new token's name also the character rule.
bool IsValidInstanceName(const char* name) noexcept {
  return IsValidTokenName(name) && (IsValidNewTokenName(name) || IsStoredTokenName(name));
}

// A policy string is absent or has one of the lengths 4, 8, 9, 10, 11, 12.
bool IsPolicyLengthAllowed(const char* policy) {
  if (policy == nullptr) return true;
  const std::size_t length = strnlen(policy, 13);
  return length == 4 || (length >= 8 && length <= 12);
}

// The argument check of auto-enrollment. The URL rule turns backslashes into slashes; the
// corrected URL is the one used.
bool OV_PerformAuto_Validation(std::string& url, const char* userId, const char* password,
                               const char* softPin, const char* deviceName,
                               const int32_t* minLength, const int32_t* maxLength,
                               const int32_t* complexity) {
  if (userId == nullptr || password == nullptr) return false;
  if (minLength == nullptr || maxLength == nullptr || complexity == nullptr) return false;
  if (!IsValidUrl(url) || !IsValidUserName(userId) || !IsValidEnrollmentPin(password)) return false;
  if (deviceName != nullptr && !IsValidNewTokenName(deviceName)) return false;
  return softPin == nullptr || IsValidSoftPin(softPin, *minLength, *maxLength, *complexity);
}

}  // namespace

extern "C" {

int32_t OV_InitializeA(const char* uniqueId, int32_t reserved) {
  LogScope log("OV_InitializeA");
  log.Text("uniqueId", uniqueId);
  log.Number("reserved", reserved);
  return log.Return(Guard(log, [&] { return InitializeLibrary(log, uniqueId, reserved); }));
}

int32_t OV_Finalize(void) {
  LogScope log("OV_Finalize");
  return log.Return(Guard(log, [&] { return FinalizeLibrary(log); }));
}

int32_t OV_GetStoreProblemA(char* path, int32_t* pathLength, int32_t* fault) {
  LogScope log("OV_GetStoreProblemA");
  if (pathLength == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  return log.Return(Guard(log, [&]() -> int32_t {
    const StoreProblem problem = LastStoreProblem();
    if (problem.code == OV_OK) return OV_ERR_OPERATION_FAILED;
    if (fault != nullptr) *fault = problem.fault;
    const auto needed = static_cast<int32_t>(problem.path.size() + 1);
    if (path == nullptr || *pathLength < needed) {
      *pathLength = needed;
      return OV_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(path, problem.path.c_str(), problem.path.size() + 1);
    *pathLength = needed;
    return OV_OK;
  }));
}

int32_t OV_GetEnrollmentFailure(int32_t* kind) {
  LogScope log("OV_GetEnrollmentFailure");
  if (kind == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  *kind = LastEnrollmentFailure();
  log.Number("kind", *kind);
  return log.Return(OV_OK);
}

int32_t OV_CreateInstanceA(const char* tokenName, int32_t reserved) {
  LogScope log("OV_CreateInstanceA");
  log.Text("tokenName", tokenName);
  log.Number("reserved", reserved);
  return log.Return(
      CallLocked(log, reserved == 0 && IsValidInstanceName(tokenName),
                 [&](OVHelper& h) { return h.OVHelper_GetInstance(tokenName, reserved); }));
}

int32_t OV_ReleaseInstance(void) {
  LogScope log("OV_ReleaseInstance");
  return log.Return(
      CallLocked(log, true, [](OVHelper& h) { return h.OVHelper_ReleaseInstance(); }));
}

int32_t OV_GenerateActivationCodeA(const char* policy, char* activationCode) {
  LogScope log("OV_GenerateActivationCodeA");
  log.Text("policy", policy);
  const bool valid = activationCode != nullptr && IsPolicyLengthAllowed(policy);
  return log.Return(CallLocked(log, valid, [&](OVHelper& h) {
    // A missing policy string stands for the default policy.
    return h.OVHelper_GenerateActivationCode(policy ? policy : "", activationCode);
  }));
}

int32_t OV_PerformAutoEnrollmentA(const char* url, const char* userId, const char* password,
                                  const char* softPin, const char* deviceName,
                                  int32_t timeOutSeconds, int32_t* softPinMinLength,
                                  int32_t* softPinMaxLength, int32_t* softPinComplexity) {
  LogScope log("OV_PerformAutoEnrollmentA");
  SetEnrollmentFailure(OV_ENROLL_FAILURE_UNKNOWN);
  log.Text("url", url);
  log.Text("userId", userId);
  log.Text("deviceName", deviceName);
  log.Number("timeOutSeconds", timeOutSeconds);
  std::string checkedUrl = url != nullptr ? url : "";
  const bool valid = url != nullptr &&
                     OV_PerformAuto_Validation(checkedUrl, userId, password, softPin, deviceName,
                                               softPinMinLength, softPinMaxLength, softPinComplexity);
  return log.Return(CallLocked(log, valid, [&](OVHelper& h) {
    return h.OVHelper_PerformAutoEnrollment(checkedUrl.c_str(), userId, password, softPin, deviceName,
                                            timeOutSeconds, softPinMinLength, softPinMaxLength,
                                            softPinComplexity);
  }));
}

int32_t OV_SetPinValidationA(const char* pin) {
  LogScope log("OV_SetPinValidationA");
  return log.Return(
      CallLocked(log, pin != nullptr, [&](OVHelper& h) { return h.OVSetPin_Validation(pin); }));
}

int32_t OV_SetOTPValidationA(const char* softPin, int32_t minLength, int32_t maxLength,
                             int32_t complexity) {
  LogScope log("OV_SetOTPValidationA");
  log.Number("minLength", minLength);
  log.Number("maxLength", maxLength);
  log.Number("complexity", complexity);
  return log.Return(CallLocked(log, softPin != nullptr, [&](OVHelper& h) {
    return h.OVSetOTP_Validation(softPin, minLength, maxLength, complexity);
  }));
}

int32_t OV_SetPinA(const char* pin) {
  LogScope log("OV_SetPinA");
  return log.Return(
      CallLocked(log, pin != nullptr, [&](OVHelper& h) { return h.OVHelper_SetPIN(pin); }));
}

int32_t OV_ChangePinA(const char* oldPin, const char* newPin) {
  LogScope log("OV_ChangePinA");
  return log.Return(CallLocked(log, oldPin != nullptr && newPin != nullptr, [&](OVHelper& h) {
    return h.OVHelper_ChangePIN(oldPin, newPin);
  }));
}

int32_t OV_ValidatePinA(const char* pin) {
  LogScope log("OV_ValidatePinA");
  return log.Return(
      CallLocked(log, pin != nullptr, [&](OVHelper& h) { return h.OVHelper_ValidatePIN(pin); }));
}

int32_t OV_GenerateOtpA(const char* challenge, int32_t hostIndex, char* otp, int32_t* otpLength) {
  LogScope log("OV_GenerateOtpA");
  log.Text("challenge", challenge);
  log.Number("hostIndex", hostIndex);
  return log.Return(CallLocked(log, otpLength != nullptr, [&](OVHelper& h) {
    return h.OVHelper_GenerateOTP(challenge, hostIndex, otp, otpLength);
  }));
}

int32_t OV_GetRemainingTickCount(int32_t* seconds) {
  LogScope log("OV_GetRemainingTickCount");
  return log.Return(CallLocked(log, seconds != nullptr, [&](OVHelper& h) {
    return h.OVHelper_GetRemainingTickCount(seconds);
  }));
}

int32_t OV_ResetToken(void) {
  LogScope log("OV_ResetToken");
  return log.Return(CallLocked(log, true, [](OVHelper& h) { return h.OVHelper_ResetToken(); }));
}

int32_t OV_DeleteToken(void) {
  LogScope log("OV_DeleteToken");
  return log.Return(CallLocked(log, true, [](OVHelper& h) { return h.OVHelper_DeleteToken(); }));
}

int32_t OV_ChangeTokenNameA(const char* newName) {
  LogScope log("OV_ChangeTokenNameA");
  log.Text("newName", newName);
  return log.Return(CallLocked(log, IsValidNewTokenName(newName),
                               [&](OVHelper& h) { return h.OVHelper_ChangeTokenName(newName); }));
}

int32_t OV_GetTokenInfoA(OVTokenInfoA* info) {
  LogScope log("OV_GetTokenInfoA");
  return log.Return(
      CallLocked(log, info != nullptr, [&](OVHelper& h) { return h.OVHelper_GetTokenInfo(info); }));
}

int32_t OV_FreeTokenInfoA(OVTokenInfoA* info) {
  LogScope log("OV_FreeTokenInfoA");
  return log.Return(CallLocked(log, info != nullptr, [&](OVHelper& h) {
    return h.OVHelper_FreeTokenInfoA(info, false);
  }));
}

int32_t OV_GetTokenListA(OVTokenInfoA* list, int32_t* count) {
  LogScope log("OV_GetTokenListA");
  if (count != nullptr) log.Number("count", *count);
  return log.Return(CallLocked(log, count != nullptr, [&](OVHelper& h) {
    return h.OVHelper_GetTokenList(list, count);
  }));
}

int32_t OV_FreeTokenListA(OVTokenInfoA* list, int32_t count) {
  LogScope log("OV_FreeTokenListA");
  log.Number("count", count);
  return log.Return(CallLocked(log, list != nullptr, [&](OVHelper& h) {
    int32_t result = OV_OK;
    for (int32_t i = 0; i < count; ++i) result = h.OVHelper_FreeTokenInfoA(&list[i], true);
    return result;
  }));
}

int32_t OV_ImportLegacyTokenDataA(const char* tokenName) {
  LogScope log("OV_ImportLegacyTokenDataA");
  log.Text("tokenName", tokenName);
  // A name that breaks the rule has always been answered with OV_ERR_NOT_INITIALIZED here (the W
  // form answers OV_ERR_INVALID_PARAM for a missing name); callers may depend on the code.
  if (!IsValidTokenName(tokenName)) {
    log.Message("INVALID_PARAM");
    return log.Return(OV_ERR_NOT_INITIALIZED);
  }
  return log.Return(CallLocked(log, IsValidNewTokenName(tokenName), [&](OVHelper& h) {
    return h.OVHelper_ImportLegacyTokenData(tokenName);
  }));
}

}  // extern "C"
