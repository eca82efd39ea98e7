// OVEngine: the object that stands for one token while it is open. It holds the token's policy,
// its token data record, its keys in clear while the PIN is known, and the counters that drive
// PIN lock-out and deactivation. The library object (OVHelper) creates one engine per open token
// and checks every precondition before calling it; the engine assumes a correct state.
//
// The user PIN is never stored: a PIN is right exactly when it opens the token's protected OTP
// key. Wrong PINs count towards a lock-out (from "attackdelay" on) and towards deactivation (at
// "maxattacks", which resets the token to INSTALLED_STATE).
//
// A try's outcome is on disk before the PIN is tried: the count goes up, with the lock-out it
// brings, in one save, and a right PIN undoes that in the save that follows. A token whose stored
// count has reached "maxattacks" is spent: it is deactivated when it is opened or validated, so a
// process stopped between the count and the deactivation never leaves it usable.
//
// One engine per process (GetInstance / ReleaseInstance), used under the library lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/SecureMemory.h"
#include "ov/ov_api.h"
#include "policy/OVPolicy.h"
#include "storage/OVEngineStore.h"
#include "storage/Ov80Profile.h"

namespace ov {

class NoxOVAuthenticator;

// The fixed PIN that stands in for the user's on tokens without a PIN, and protects delivered
// keys until the user's PIN is set.
inline constexpr char kInternalPin[] = "R#p3";
// Lock-out ends count seconds from 2010-01-01 00:00:01 UTC; 0 is no lock-out.
inline constexpr int64_t kLockTimeBaseUnixSeconds = 1262304001;
// The longest lock-out a wrong PIN can start; no lock-out ever has more time left than this.
inline constexpr int32_t kLongestLockSeconds = 1200;

class OVEngine final : public OVEngineStore {
 public:
  static OVEngine* GetInstance(std::string_view uniqueId, std::string_view tokenName);
  static void ReleaseInstance();

  ~OVEngine() override;

  // Finds or creates the token file and loads it; raises OVException 6003 when a new token's
  // file cannot be written.
  void InitOVEngine();

  int32_t SetPIN(const char* pin);
  bool InitializeOrvanti(const char* pin);
  void InitializePin(const char* pin);
  int32_t ValidatePIN(const char* pin);
  int32_t ChangePIN(const char* oldPin, const char* newPin);
  int32_t ResetToken();
  void ReInitialize();
  int32_t DeleteToken();
  int32_t ChangeTokenName(const char* newName);
  int32_t GetTokenInfo(OVTokenInfoA& info) override;
  int32_t SetChangePINDateTime(const SystemTime* time);
  int32_t SetSoftPINRequired(bool required);
  void SetLockTime(int32_t attemptsOverThreshold);

  // Manual activation and key delivery.
  int32_t SetPolicy(std::string_view policy);
  int32_t ValidateAndSavePolicy(std::string_view policy);
  int32_t GenerateActivationCode(char* out);
  int32_t SetTokenKeys(const char* keys);
  int32_t SetOTPKey(std::string_view key);
  int32_t SetTransactionKey(std::string_view key);
  int32_t SetMacKey(std::string_view key);
  // The serial number the enrollment server gave the token (kept to the record field's width).
  void SetSerialNumber(std::string_view serial);

  // Moves an 8.0 profile's token into this new token. A token that was activated is kept as a
  // legacy file (its record carries the key protected with the profile's PIN, which that PIN
  // opens and the first right PIN converts); one waiting for its PIN keeps the key material in
  // its format-3 file. Either way it stays usable after the instance is released.
  int32_t ImportProfileData(const Ov80Profile& profile);

  // Passcodes. Host 0 is the token itself, hosts 1 to 9 those of a multi-host token. The event
  // counter is advanced and saved before a code is returned; a time-based token gives the same
  // code again within one time step without touching its file.
  void InitOTPEngine(int32_t host);
  void UpdateOTPEngine(int32_t host);
  SecureString GeneratePasscode(const char* challenge, int32_t host);
  SecureString GetNextPasscode(const char* challenge, int32_t host);
  // Seconds left in the current time step; -1 for a token that is not time-based.
  int32_t GetRemainingTickCount() const;
  // The length of the passcode `host` gets (a multi-host token's hosts have their own policies).
  int32_t PasscodeLength(int32_t host) const;
  // The challenge length `host` needs, or -1 when it takes none.
  int32_t ChallengeLength(int32_t host) const;

  static char* GetTokenModeStr(int32_t mode);
  char* GetTokenPolicyLevel() const;
  static int32_t GetLockTimeLeft(int32_t lockUntil);
  // The lock-out, in seconds, that `badPinCount` wrong PINs in a row give under `policy`: none
  // below "attackdelay" (or without one), then a minute per try from there, up to the longest.
  static int32_t PolicyLockSeconds(const OVPolicy& policy, int32_t badPinCount);
  // Seconds left of `record`'s lock-out, never more than its policy gives its count from now.
  static int32_t LockTimeLeft(const OVPolicy& policy, const TokenData& record);
  // True when `badPinCount` wrong PINs in a row deactivate a token of `policy`.
  static bool AttemptsExhausted(const OVPolicy& policy, int32_t badPinCount);

  int32_t GetTokenState() const noexcept { return m_nTokenState; }
  void SetTokenState(int32_t state) noexcept { m_nTokenState = state; }
  bool IsTokenLocked() const;
  const OVPolicy& GetPolicy() const noexcept { return m_Policy; }
  const TokenData& Record() const noexcept { return m_TokenData; }
  const std::string& GetTokenName() const noexcept { return m_szTokenName; }
  const SecureString& GetRememberedPin() const noexcept { return m_szPin; }
  // The OTP key in clear while unlocked (hex), for passcode generation.
  const SecureString& OtpKey() const noexcept { return m_szOtpKey; }
  bool SaveToken() { return SaveData(); }

 private:
  OVEngine(std::string_view uniqueId, std::string_view tokenName);
  void StorePolicyInRecord();
  // A legacy token opened with the right PIN becomes a format-3 token.
  int32_t ConvertLegacyToken(const char* pin);
  static int64_t NowSince2010();
  // A lock-out that ends later than the policy's lock time for the stored count from now was set
  // by a clock that ran ahead: it ends that lock time from now instead. True when the record
  // was changed.
  bool CapLockTime();
  // Counts a try in the record, with the lock-out the new count brings.
  void CountAttempt();
  // A token whose stored count reached "maxattacks" (a deactivating try that was stopped before
  // it finished) is deactivated for good. True when it was spent.
  bool DeactivateIfSpent(int32_t& result);
  // Gives the token `name` in memory and writes its file (still under its current file name)
  // with the seed protected again for that name under `pin`.
  bool WriteForName(const std::string& name, const SecureString& pin);

  OVPolicy m_Policy;
  SecureBytes m_pActivationEntropy;
  std::unique_ptr<NoxOVAuthenticator> m_pAuthenticator;
};

}  // namespace ov
