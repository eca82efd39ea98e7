#include "api/OVHelper.h"

#include "api/InputValidation.h"
#include "api/TokenCatalogue.h"
#include "common/TokenInfoRecords.h"
#include "common/LogFacade.h"
#include "platform/Platform.h"

namespace ov {

std::unique_ptr<OVHelper> g_pOVHelper;

OVHelper::OVHelper() : m_pCriticalSection(std::make_unique<std::recursive_mutex>()) {}

OVHelper::~OVHelper() {
  if (m_bInitialized) OVHelper_Uninitialize();
}

int32_t OVHelper::Unavailable(LogScope& log) {
  log.Message("Error: operation not available in this build");
  return log.Return(OV_ERR_OPERATION_FAILED);
}

int32_t OVHelper::OVHelper_Initialize(const std::string& uniqueId) {
  LogScope log("OVHelper::OVHelper_Initialize");
  log.Text("UniqueID", uniqueId);
  if (m_szUniqueID.empty()) m_szUniqueID = uniqueId;
  auto mutex = platform::Current().namedMutexes->Acquire(m_szUniqueID);
  switch (mutex.outcome) {
    case platform::NamedMutexProvider::Outcome::Failed:
      log.Message("Error: CreateMutex failed");
      m_szUniqueID.clear();
      return log.Return(OV_ERR_INIT_FAILED);
    case platform::NamedMutexProvider::Outcome::AlreadyExists:
      log.Message("Error: Mutex already exists");
      m_szUniqueID.clear();
      return log.Return(OV_ERR_ALREADY_INITIALIZED);
    case platform::NamedMutexProvider::Outcome::Acquired:
      break;
  }
  m_hMutex = std::move(mutex.held);
  m_bInitialized = true;
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
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_ReleaseInstance() {
  LogScope log("OVHelper::OVHelper_ReleaseInstance");
  if (!m_bTokenCreated && m_OVEngine == nullptr) {
    log.Message("Error: no instance");
    return log.Return(OV_ERR_NO_INSTANCE);
  }
  m_OVEngine = nullptr;
  m_szTokenName.clear();
  m_bTokenCreated = false;
  m_bPinVerified = false;
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_GenerateActivationCode(const char*, char*) {
  LogScope log("OVHelper::OVHelper_GenerateActivationCode");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_PerformAutoEnrollment(const char*, const char*, const char*,
                                                 const char*, const char*, int32_t, int32_t*,
                                                 int32_t*, int32_t*) {
  LogScope log("OVHelper::OVHelper_PerformAutoEnrollment");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVSetPin_Validation(const char*) {
  LogScope log("OVHelper::OVSetPin_Validation");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
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

int32_t OVHelper::OVHelper_SetPIN(const char*) {
  LogScope log("OVHelper::OVHelper_SetPIN");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_ValidatePIN(const char*) {
  LogScope log("OVHelper::OVHelper_ValidatePIN");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_ChangePIN(const char*, const char*) {
  LogScope log("OVHelper::OVHelper_ChangePIN");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_GenerateOTP(const char*, int32_t, char*, int32_t*) {
  LogScope log("OVHelper::OVHelper_GenerateOTP");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_GetRemainingTickCount(int32_t*) {
  LogScope log("OVHelper::OVHelper_GetRemainingTickCount");
  // Like its sibling operations it needs the open token.
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_ChangeTokenName(const char*) {
  LogScope log("OVHelper::OVHelper_ChangeTokenName");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_ResetToken() {
  LogScope log("OVHelper::OVHelper_ResetToken");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_DeleteToken() {
  LogScope log("OVHelper::OVHelper_DeleteToken");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_GetTokenInfo(OVTokenInfoA* info) {
  LogScope log("OVHelper::OVHelper_GetTokenInfo");
  if (!HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (info == nullptr) return log.Return(OV_ERR_INVALID_PARAM);
  return Unavailable(log);
}

int32_t OVHelper::OVHelper_FreeTokenInfoA(OVTokenInfoA* info, bool listEntry) {
  LogScope log("OVHelper::OVHelper_FreeTokenInfoA");
  if (!listEntry && !HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (info == nullptr) {
    log.Message("Error: pOVTokenInfo==NULL ");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  ReleaseTokenInfo(*info);
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_FreeTokenInfoW(OVTokenInfoW* info, bool listEntry) {
  LogScope log("OVHelper::OVHelper_FreeTokenInfoW");
  if (!listEntry && !HasInstance()) return log.Return(OV_ERR_NO_INSTANCE);
  if (info == nullptr) {
    log.Message("Error: pOVTokenInfo==NULL ");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  ReleaseTokenInfo(*info);
  return log.Return(OV_OK);
}

int32_t OVHelper::OVHelper_GetTokenList(OVTokenInfoA* list, int32_t* count) {
  LogScope log("OVHelper::OVHelper_GetTokenList");
  if (!m_bInitialized) return log.Return(OV_ERR_NOT_INITIALIZED);
  return log.Return(GetTokenList(UniqueId(), list, count));
}

int32_t OVHelper::OVHelper_ImportLegacyTokenData(const char*) {
  LogScope log("OVHelper::OVHelper_ImportLegacyTokenData");
  return Unavailable(log);
}

}  // namespace ov
