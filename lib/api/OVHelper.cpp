#include "api/OVHelper.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "api/InputValidation.h"
#include "api/TokenCatalogue.h"
#include "common/TokenInfoRecords.h"
#include "common/LogFacade.h"
#include "common/OVException.h"
#include "engine/OVEngine.h"
#include "enroll/AutoEnrollManager.h"
#include "platform/Platform.h"
#include "storage/StoragePaths.h"

namespace ov {

std::unique_ptr<OVHelper> g_pOVHelper;

namespace {
std::atomic<int32_t> g_enrollmentFailure{OV_ENROLL_FAILURE_UNKNOWN};
}  // namespace

int32_t LastEnrollmentFailure() noexcept { return g_enrollmentFailure.load(); }
void SetEnrollmentFailure(int32_t kind) noexcept { g_enrollmentFailure.store(kind); }

OVHelper::OVHelper() : m_pCriticalSection(std::make_unique<std::recursive_mutex>()) {}

OVHelper::~OVHelper() {
  if (m_bInitialized) OVHelper_Uninitialize();
}

int32_t OVHelper::OVHelper_Initialize(const std::string& uniqueId) {
  LogScope log("OVHelper::OVHelper_Initialize");
  log.Text("UniqueID", uniqueId);
  if (m_szUniqueID.empty()) m_szUniqueID = uniqueId;
  // One lock per token store: it lives in the store's own folder, so processes with different
  // session environments still exclude each other.
  SetStoreProblem({});
  const std::string store = GetFilePath(nullptr);
  if (store.empty()) {
    log.Message("Error: no token store folder");
    m_szUniqueID.clear();
    return log.Return(OV_ERR_INIT_FAILED);
  }
  // A store that cannot be used safely is refused with a code of its own, and what is at fault is
  // kept for OV_GetStoreProblemA.
  auto refuse = [&](StoreProblem problem) {
    log.Message("Error: the token store cannot be used");
    log.Text("FilePath", problem.path);
    m_szUniqueID.clear();
    const int32_t code = problem.code;
    SetStoreProblem(std::move(problem));
    return log.Return(code);
  };
  if (std::optional<StoreProblem> problem = FindStoreProblem(store)) return refuse(*problem);
  auto mutex = platform::Current().namedMutexes->Acquire(m_szUniqueID, store);
  switch (mutex.outcome) {
    case platform::NamedMutexProvider::Outcome::Failed:
      log.Message("Error: CreateMutex failed");
      m_szUniqueID.clear();
      return log.Return(OV_ERR_INIT_FAILED);
    case platform::NamedMutexProvider::Outcome::AlreadyExists:
      log.Message("Error: Mutex already exists");
      m_szUniqueID.clear();
      return log.Return(OV_ERR_ALREADY_INITIALIZED);
    case platform::NamedMutexProvider::Outcome::Unsupported:
      return refuse({OV_ERR_FILE_LOCKING_UNSUPPORTED, mutex.lockFile, 0});
    case platform::NamedMutexProvider::Outcome::Unsafe:
      return refuse({OV_ERR_STORE_NOT_PRIVATE, mutex.lockFile, OV_STORE_NOT_PLAIN});
    case platform::NamedMutexProvider::Outcome::Acquired:
      break;
  }
  m_hMutex = std::move(mutex.held);
  m_bInitialized = true;
  // With the lock held no save can be running: whatever an interrupted one left is settled now,
  // before any token is listed or opened.
  RecoverTokenFolders(m_szUniqueID);
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_Uninitialize() {
  LogScope log("OVHelper::OVHelper_Uninitialize");
  if (m_bTokenCreated || m_OVEngine != nullptr) OVHelper_ReleaseInstance();
  m_szUniqueID.clear();
  m_bInitialized = false;
  m_hMutex.reset();
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_GetInstance(const char* tokenName, int32_t reserved) {
  LogScope log("OVHelper::OVHelper_GetInstance");
  log.Text("TokenName", tokenName);
  log.Number("reserved", reserved);
  if (!m_bInitialized) return log.Return(OV_ERR_NOT_INITIALIZED);
  if (m_bTokenCreated) {
    return log.Return(m_szTokenName == tokenName ? OV_ERR_INSTANCE_EXISTS : OV_ERR_OTHER_TOKEN_OPEN);
  }
  if (m_OVEngine != nullptr) return log.Return(OV_ERR_INSTANCE_EXISTS);
  if (m_szTokenName.empty()) m_szTokenName = tokenName;
  m_OVEngine = OVEngine::GetInstance(m_szUniqueID, tokenName);
  if (m_OVEngine == nullptr) return log.Return(OV_ERR_OPERATION_FAILED);
  m_bTokenCreated = true;
  try {
    m_OVEngine->InitOVEngine();
    if (m_OVEngine->GetPolicy().GetPolicyParameter("pinlen") == 0) {
      // A token without a user PIN opens with the fixed internal one.
      if (m_OVEngine->ValidatePIN(kInternalPin) != OV_OK) return log.Return(OV_ERR_OPERATION_FAILED);
      m_bPinVerified = true;
      if (m_OVEngine->GetTokenState() != ACTIVATED_STATE) m_OVEngine->SetTokenState(ACTIVATED_STATE);
    }
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_ReleaseInstance() {
  LogScope log("OVHelper::OVHelper_ReleaseInstance");
  if (!m_bTokenCreated && m_OVEngine == nullptr) {
    log.Message("Error: no instance");
    return log.Return(OV_ERR_NO_INSTANCE);
  }
  OVEngine::ReleaseInstance();
  m_OVEngine = nullptr;
  m_szTokenName.clear();
  m_bTokenCreated = false;
  m_bPinVerified = false;
  return log.Return(OV_OK);
}

int32_t OVHelper::ReopenAfterFailedValidation(int32_t result) {
  if (m_bPinVerified) {
    const std::string name = m_szTokenName;
    OVHelper_ReleaseInstance();
    OVHelper_GetInstance(name.c_str(), 0);
  }
  m_bPinVerified = false;
  return result;
}

void OVHelper::EnterPinState() {
  if (m_OVEngine->GetPolicy().IsPinRequired()) {
    m_OVEngine->SetTokenState(PENDING_PIN_STATE);
  } else if (m_OVEngine->SetPIN(kInternalPin) == OV_OK) {
    m_bPinVerified = true;
    m_OVEngine->SetTokenState(ACTIVATED_STATE);
  }
}

int32_t OVHelper::OVHelper_GenerateActivationCode(const char* policy, char* activationCode) {
  LogScope log("OVHelper::OVHelper_GenerateActivationCode");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (m_OVEngine->GetTokenState() != INSTALLED_STATE) return log.Return(OV_ERR_INVALID_TOKEN_STATE);
  int32_t result = m_OVEngine->SetPolicy(policy ? policy : "");
  if (result != OV_OK) return log.Return(result);
  result = m_OVEngine->GenerateActivationCode(activationCode);
  if (result != OV_OK) {
    m_OVEngine->SaveToken();
    return log.Return(result);
  }
  EnterPinState();
  m_OVEngine->SaveToken();
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_PerformAutoEnrollment(const char* url, const char* userId,
                                                 const char* password, const char* softPin,
                                                 const char* deviceName, int32_t timeOutSeconds,
                                                 int32_t* softPinMinLength,
                                                 int32_t* softPinMaxLength,
                                                 int32_t* softPinComplexity) {
  LogScope log("OVHelper::OVHelper_PerformAutoEnrollment");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (m_OVEngine->GetTokenState() != INSTALLED_STATE) {
    log.Message("Error: GetTokenState() != INSTALLED_STATE");
    return log.Return(OV_ERR_INVALID_TOKEN_STATE);
  }
  // Without a device name of its own the token's name stands for the device.
  const std::string tokenName = m_szTokenName;
  AutoEnrollManager manager(url, userId, password, softPin,
                            deviceName != nullptr ? deviceName : tokenName.c_str(), timeOutSeconds,
                            IsValidSoftPin);
  const int32_t result = manager.PerformAutoEnrollment();
  if (softPinMinLength != nullptr) *softPinMinLength = manager.GetMinSoftPinLength();
  if (softPinMaxLength != nullptr) *softPinMaxLength = manager.GetMaxSoftPinLength();
  if (softPinComplexity != nullptr) *softPinComplexity = manager.GetAlphanumericSoftPin();
  if (result != OV_OK) {
    SetEnrollmentFailure(manager.GetFailure());
    log.Message("AutoEnrollManager::PerformAutoEnrollment fails");
    log.Number("failure", manager.GetFailure());
    return log.Return(result);
  }

  // The policy is checked before anything is saved: a server's policy the token cannot take
  // (multi-host, say) ends the operation with the token exactly as it was.
  int32_t applied = m_OVEngine->ValidateAndSavePolicy(manager.GetPolicyString());
  if (applied != OV_OK) {
    SetEnrollmentFailure(OV_ENROLL_SERVER_ANSWER_WRONG);
    log.Message("OVEngine::SetPolicy fails");
    return log.Return(applied);
  }
  m_OVEngine->SetSoftPINRequired(manager.GetMinSoftPinLength() != 0);
  applied = m_OVEngine->SetTokenKeys(manager.GetTokenKey().c_str());
  if (applied != OV_OK) {
    log.Message("OVEngine::SetOTPKey fails");
    return log.Return(applied);
  }
  EnterPinState();
  m_OVEngine->SetSerialNumber(manager.GetSerialNumber());
  return log.Return(m_OVEngine->SaveToken() ? OV_OK : OV_ERR_OPERATION_FAILED);
}

int32_t OVHelper::OVSetPin_Validation(const char* pin) {
  LogScope log("OVHelper::OVSetPin_Validation");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (PinLength() == 0) return log.Return(OV_ERR_PIN_NOT_SUPPORTED);
  return log.Return(SetPin_Validation(m_OVEngine->GetPolicy(), pin));
}

int32_t OVHelper::OVSetOTP_Validation(const char* softPin, int32_t minLength, int32_t maxLength,
                                      int32_t complexity) {
  LogScope log("OVHelper::OVSetOTP_Validation");
  if (!IsValidSoftPin(softPin, minLength, maxLength, complexity)) {
    log.Message("Error: IsValidSoftPin failed");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_SetPIN(const char* pin) {
  LogScope log("OVHelper::OVHelper_SetPIN");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  const int32_t state = m_OVEngine->GetTokenState();
  if (state == INSTALLED_STATE) return log.Return(OV_ERR_ACTIVATION_REQUIRED);
  if (PinLength() == 0) return log.Return(OV_ERR_PIN_NOT_SUPPORTED);
  if (state == ACTIVATED_STATE) return log.Return(OV_ERR_PIN_ALREADY_SET);
  int32_t result = SetPin_Validation(m_OVEngine->GetPolicy(), pin);
  if (result != OV_OK) return log.Return(result);
  result = m_OVEngine->SetPIN(pin);
  if (result == OV_OK) m_bPinVerified = true;
  if (!m_OVEngine->SaveToken()) result = OV_ERR_OPERATION_FAILED;
  return log.Return(result);
}

int32_t OVHelper::OVHelper_ValidatePIN(const char* pin) {
  LogScope log("OVHelper::OVHelper_ValidatePIN");
  const int32_t check = ValidatePinChecks();
  if (check != OV_OK) return log.Return(check);
  const int32_t result = m_OVEngine->ValidatePIN(pin);
  if (result != OV_OK) return log.Return(ReopenAfterFailedValidation(result));
  m_bPinVerified = true;
  return log.Return(IsPinChangeDue() ? OV_ERR_CHANGE_PIN_REQUIRED : OV_OK);
}

int32_t OVHelper::OVHelper_ChangePIN(const char* oldPin, const char* newPin) {
  LogScope log("OVHelper::OVHelper_ChangePIN");
  const int32_t check = ValidatePinChecks();
  if (check != OV_OK) return log.Return(check);
  const int32_t result = m_OVEngine->ValidatePIN(oldPin);
  if (result != OV_OK) return log.Return(ReopenAfterFailedValidation(result));
  return log.Return(m_OVEngine->ChangePIN(oldPin, newPin));
}

int32_t OVHelper::OVHelper_GenerateOTP(const char* challenge, int32_t hostIndex, char* otp,
                                       int32_t* otpLength) {
  LogScope log("OVHelper::OVHelper_GenerateOTP");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (m_OVEngine->GetTokenState() != ACTIVATED_STATE) return log.Return(OV_ERR_TOKEN_NOT_ACTIVATED);
  if (m_OVEngine->IsTokenLocked()) return log.Return(OV_ERR_TOKEN_LOCKED);
  if (!m_bPinVerified) return log.Return(OV_ERR_PIN_NOT_VERIFIED);
  const bool multiHost = m_OVEngine->GetPolicy().GetMode() == MULTI_HOST;
  const int32_t host = multiHost ? hostIndex : 0;
  const int32_t challengeLength = m_OVEngine->ChallengeLength(host);
  if (challengeLength >= 0 &&
      (challenge == nullptr || static_cast<int32_t>(strlen(challenge)) != challengeLength)) {
    log.Message("Error: challenge missing or of the wrong length");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  if (multiHost && (hostIndex < 1 || hostIndex > 9)) return log.Return(OV_ERR_INVALID_PARAM);
  if (otpLength == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  // A multi-host host has its own passcode length: the query and the size check use it, so a
  // code is never cut short.
  const int32_t needed = m_OVEngine->PasscodeLength(host);
  if (otp == nullptr || *otpLength == 0) {
    *otpLength = needed;
    return log.Return(OV_OK);
  }
  if (*otpLength < needed) {
    *otpLength = needed;
    return log.Return(OV_ERR_BUFFER_TOO_SMALL);
  }
  try {
    const SecureString passcode =
        m_OVEngine->GetNextPasscode(challengeLength >= 0 ? challenge : nullptr, host);
    if (passcode.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
    std::memcpy(otp, passcode.data(), std::min<std::size_t>(passcode.size(), static_cast<std::size_t>(*otpLength)));
    return log.Return(OV_OK);
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
    return log.Return(e.GetErrorCode() == OV_ERR_INVALID_PARAM ? OV_ERR_INVALID_PARAM : OV_ERR_OPERATION_FAILED);
  }
}

int32_t OVHelper::OVHelper_GetRemainingTickCount(int32_t* seconds) {
  LogScope log("OVHelper::OVHelper_GetRemainingTickCount");
  // Like its sibling operations it needs the open token.
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  const int32_t left = m_OVEngine->GetRemainingTickCount();
  if (left < 0) {
    *seconds = 0;
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  *seconds = left;
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_ChangeTokenName(const char* newName) {
  LogScope log("OVHelper::OVHelper_ChangeTokenName");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (m_OVEngine->GetTokenState() != ACTIVATED_STATE) return log.Return(OV_ERR_TOKEN_NOT_ACTIVATED);
  if (m_OVEngine->IsTokenLocked()) return log.Return(OV_ERR_TOKEN_LOCKED);
  if (!m_bPinVerified) return log.Return(OV_ERR_PIN_NOT_VERIFIED);
  const int32_t result = m_OVEngine->ChangeTokenName(newName);
  if (result == OV_OK) m_szTokenName = newName;
  return log.Return(result);
}

int32_t OVHelper::OVHelper_ResetToken() {
  LogScope log("OVHelper::OVHelper_ResetToken");
  const int32_t check = ResetOrDeleteChecks();
  if (check != OV_OK) return log.Return(check);
  if (m_OVEngine->ResetToken() != OV_OK) return log.Return(OV_ERR_OPERATION_FAILED);
  m_bPinVerified = false;
  m_OVEngine->SetTokenState(INSTALLED_STATE);
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_DeleteToken() {
  LogScope log("OVHelper::OVHelper_DeleteToken");
  const int32_t check = ResetOrDeleteChecks();
  if (check != OV_OK) return log.Return(check);
  if (m_OVEngine->DeleteToken() != OV_OK) return log.Return(OV_ERR_OPERATION_FAILED);
  return log.Return(OVHelper_ReleaseInstance());
}

int32_t OVHelper::OVHelper_GetTokenInfo(OVTokenInfoA* info) {
  LogScope log("OVHelper::OVHelper_GetTokenInfo");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (info == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  return log.Return(m_OVEngine->GetTokenInfo(*info));
}

int32_t OVHelper::PinLength() const { return m_OVEngine->GetPolicy().GetPolicyParameter("pinlen"); }

int32_t OVHelper::ValidatePinChecks() const {
  if (!HasInstance()) return OV_ERR_NO_INSTANCE;
  if (m_OVEngine->GetTokenState() != ACTIVATED_STATE) return OV_ERR_TOKEN_NOT_ACTIVATED;
  if (PinLength() == 0) return OV_ERR_PIN_NOT_SUPPORTED;
  if (m_OVEngine->IsTokenLocked()) return OV_ERR_TOKEN_LOCKED;
  return OV_OK;
}

int32_t OVHelper::ResetOrDeleteChecks() const {
  if (!HasInstance()) return OV_ERR_NO_INSTANCE;
  if (m_OVEngine->GetTokenState() == ACTIVATED_STATE) {
    if (m_OVEngine->IsTokenLocked()) return OV_ERR_TOKEN_LOCKED;
    if (!m_bPinVerified) return OV_ERR_PIN_NOT_VERIFIED;
  }
  return OV_OK;
}

bool OVHelper::IsPinChangeDue() const {
  const TokenData& record = m_OVEngine->Record();
  const int32_t useChanges = m_OVEngine->GetPolicy().GetPinUseChanges();
  if (useChanges != 0 && record.m_nPinUseCount != 0 && record.m_nPinUseCount > useChanges) return true;
  return IsPinExpired(record.m_PinChangeTime, record.m_nPinExpiryMonths,
                      platform::Current().clock->NowUnixSeconds());
}

template <class Record>
int32_t OVHelper::FreeTokenInfo(Record* info, bool listEntry, const char* function) {
  LogScope log(function);
  if (!listEntry && !HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (info == nullptr) {
    log.Message("Error: pOVTokenInfo==NULL ");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  ReleaseTokenInfo(*info);
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_FreeTokenInfoA(OVTokenInfoA* info, bool listEntry) {
  return FreeTokenInfo(info, listEntry, "OVHelper::OVHelper_FreeTokenInfoA");
}

int32_t OVHelper::OVHelper_FreeTokenInfoW(OVTokenInfoW* info, bool listEntry) {
  return FreeTokenInfo(info, listEntry, "OVHelper::OVHelper_FreeTokenInfoW");
}

int32_t OVHelper::OVHelper_GetTokenList(OVTokenInfoA* list, int32_t* count) {
  LogScope log("OVHelper::OVHelper_GetTokenList");
  if (!m_bInitialized) return log.Return(OV_ERR_NOT_INITIALIZED);
  return log.Return(GetTokenList(UniqueId(), list, count));
}

int32_t OVHelper::OVHelper_ImportLegacyTokenData(const char* tokenName) {
  LogScope log("OVHelper::OVHelper_ImportLegacyTokenData");
  return log.Return(ImportLegacyTokenData(*this, tokenName, &ImportProfileIntoToken));
}

int32_t ImportProfileIntoToken(OVHelper& helper, const char* tokenName, const Ov80Profile& profile) {
  LogScope log("OVHelper::ImportProfileIntoToken");
  const int32_t opened = helper.OVHelper_GetInstance(tokenName, 0);
  if (opened != OV_OK) return log.Return(opened);
  int32_t result = OV_ERR_OPERATION_FAILED;
  try {
    result = helper.m_OVEngine->ImportProfileData(profile) == OV_OK ? OV_OK : OV_ERR_OPERATION_FAILED;
  } catch (...) {
    result = OV_ERR_OPERATION_FAILED;
  }
  helper.OVHelper_ReleaseInstance();
  return log.Return(result);
}

}  // namespace ov
