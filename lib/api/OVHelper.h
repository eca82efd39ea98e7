// OVHelper: the one library object behind the OV_ functions. It owns the library's named mutex
// (held from initialisation to finalisation, so a second process with the same unique ID is
// refused) and the library lock, opens and releases the single token instance, remembers whether
// the PIN was verified in this instance, and checks the token's state before every token
// operation. Each OV_ function calls exactly one of its operations under the library lock.
//
// The lock is recursive and never waited for: a call that finds another thread inside the library
// fails at once (see Boundary.h).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ov/ov_api.h"
#include "platform/NamedMutex.h"

namespace ov {

class OVEngine;

class OVHelper {
 public:
  OVHelper();
  ~OVHelper();
  OVHelper(const OVHelper&) = delete;
  OVHelper& operator=(const OVHelper&) = delete;

  // The library lock; null only if it could not be created.
  std::recursive_mutex* CriticalSection() noexcept { return m_pCriticalSection.get(); }
  bool IsInitialized() const noexcept { return m_bInitialized; }
  const std::string& UniqueId() const noexcept { return m_szUniqueID; }

  int32_t OVHelper_Initialize(const std::string& uniqueId);
  int32_t OVHelper_Uninitialize();
  int32_t OVHelper_GetInstance(const char* tokenName, int32_t reserved);
  int32_t OVHelper_ReleaseInstance();
  int32_t OVHelper_GenerateActivationCode(const char* policy, char* activationCode);
  int32_t OVHelper_PerformAutoEnrollment(const char* url, const char* userId, const char* password,
                                         const char* softPin, const char* deviceName,
                                         int32_t timeOutSeconds, int32_t* softPinMinLength,
                                         int32_t* softPinMaxLength, int32_t* softPinComplexity);
  int32_t OVSetPin_Validation(const char* pin);
  int32_t OVSetOTP_Validation(const char* softPin, int32_t minLength, int32_t maxLength,
                              int32_t complexity);
  int32_t OVHelper_SetPIN(const char* pin);
  int32_t OVHelper_ValidatePIN(const char* pin);
  int32_t OVHelper_ChangePIN(const char* oldPin, const char* newPin);
  int32_t OVHelper_GenerateOTP(const char* challenge, int32_t hostIndex, char* otp,
                               int32_t* otpLength);
  int32_t OVHelper_GetRemainingTickCount(int32_t* seconds);
  int32_t OVHelper_ChangeTokenName(const char* newName);
  int32_t OVHelper_ResetToken();
  int32_t OVHelper_DeleteToken();
  int32_t OVHelper_GetTokenInfo(OVTokenInfoA* info);
  // listEntry false: a record of OV_GetTokenInfo, which needs the open instance; true: an entry of
  // OV_GetTokenList, which does not.
  int32_t OVHelper_FreeTokenInfoA(OVTokenInfoA* info, bool listEntry);
  int32_t OVHelper_FreeTokenInfoW(OVTokenInfoW* info, bool listEntry);
  int32_t OVHelper_GetTokenList(OVTokenInfoA* list, int32_t* count);
  int32_t OVHelper_ImportLegacyTokenData(const char* tokenName);

 private:
  friend int32_t ImportProfileIntoToken(OVHelper& helper, const char* tokenName,
                                        const struct Ov80Profile& profile);
  // The release rule of both record types, with the instance check of a single record.
  template <class Record>
  int32_t FreeTokenInfo(Record* info, bool listEntry, const char* function);
  bool HasInstance() const noexcept { return m_bTokenCreated && m_OVEngine != nullptr; }
  int32_t PinLength() const;
  // The checks before a PIN validation or change, and before a reset or deletion, in their order.
  int32_t ValidatePinChecks() const;
  int32_t ResetOrDeleteChecks() const;
  // After a wrong PIN that follows a right one the instance is opened afresh, so passcodes need a
  // new validation.
  int32_t ReopenAfterFailedValidation(int32_t result);
  // After a policy and keys arrived: a token whose policy wants a PIN waits for it; one without
  // takes the internal PIN and is ready (a failure there leaves the state as it was, unreported).
  void EnterPinState();
  // A right PIN whose use count or age demands a change.
  bool IsPinChangeDue() const;

  OVEngine* m_OVEngine = nullptr;
  std::string m_szTokenName;
  std::string m_szUniqueID;
  std::unique_ptr<platform::HeldNamedMutex> m_hMutex;
  bool m_bPinVerified = false;
  bool m_bInitialized = false;
  bool m_bTokenCreated = false;
  std::unique_ptr<std::recursive_mutex> m_pCriticalSection;
};

// The library object: created by OV_Initialize, destroyed by OV_Finalize. Only those two change it.
extern std::unique_ptr<OVHelper> g_pOVHelper;

// The OVEnrollmentFailure of the last automatic enrollment that ran (0 after success). It lives
// outside the library object, so it can be read without the library lock and after OV_Finalize.
int32_t LastEnrollmentFailure() noexcept;
void SetEnrollmentFailure(int32_t kind) noexcept;

}  // namespace ov
