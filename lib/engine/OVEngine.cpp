#include "engine/OVEngine.h"

#include <algorithm>
#include <array>
#include <map>
#include <cstdio>
#include <cstring>

#include "api/InputValidation.h"
#include "common/LogFacade.h"
#include "common/OVException.h"
#include "common/TokenInfoRecords.h"
#include "crypto/BaseKDFBytesGenerator.h"
#include "crypto/KDFParameters.h"
#include "crypto/OrvantiAPI.h"
#include "encoding/Hex.h"
#include "engine/ActivationCode.h"
#include "engine/NoxOVAuthenticator.h"
#include "engine/PasscodeTime.h"
#include "platform/Platform.h"
#include "storage/TokenFile.h"

namespace ov {

namespace {

std::unique_ptr<OVEngine> g_pOVEngine;

// The time step of each token's last time-based code: a second request within the step gives
// the same code and leaves the file alone.
std::map<std::string, int32_t> s_LastTimeStep;

constexpr const char* kModeTexts[] = {OV_MODE_TEXT_EVENT_SYNCHRONOUS, OV_MODE_TEXT_TIME_SYNCHRONOUS,
                                      OV_MODE_TEXT_CHALLENGE_RESPONSE, OV_MODE_TEXT_MULTI_HOST};
constexpr std::size_t kMaxPinLength = 99;

bool IsPolicyError(int32_t code) { return code >= 4097 && code <= 4100; }

// The OTP key of manual activation: SHA-256 of the key material and four zero bytes.
SecureString OtpKeyFromKeyMaterial(std::string_view keyMaterialHex) {
  SecureBytes z;
  if (!HexDecode(keyMaterialHex, z)) return {};
  BaseKDFBytesGenerator kdf;
  kdf.Init(KDFParameters(z));
  SecureBytes key(32);
  if (kdf.GenerateBytes(key, 32, 0, 32) != 32) return {};
  return HexEncodeSecret(key);
}

}  // namespace

OVEngine::OVEngine(std::string_view uniqueId, std::string_view tokenName)
    : OVEngineStore(uniqueId, tokenName) {
  m_Policy.SetPolicyString("");  // the default policy until the token is given one
}

OVEngine::~OVEngine() { ReInitialize(); }

OVEngine* OVEngine::GetInstance(std::string_view uniqueId, std::string_view tokenName) {
  LogScope log("OVEngine::GetInstance");
  if (!g_pOVEngine) g_pOVEngine.reset(new OVEngine(uniqueId, tokenName));
  return g_pOVEngine.get();
}

void OVEngine::ReleaseInstance() {
  LogScope log("OVEngine::ReleaseInstance");
  g_pOVEngine.reset();
}

int64_t OVEngine::NowSince2010() {
  return platform::Current().clock->NowUnixSeconds() - kLockTimeBaseUnixSeconds;
}

int32_t OVEngine::GetLockTimeLeft(int32_t lockUntil) {
  // 0 is "no lock-out" whatever the clock says, even before 2010 where now is negative.
  if (lockUntil == 0) return 0;
  const int64_t left = static_cast<int64_t>(lockUntil) - NowSince2010();
  return static_cast<int32_t>(std::clamp<int64_t>(left, 0, kLongestLockSeconds));
}

int32_t OVEngine::PolicyLockSeconds(const OVPolicy& policy, int32_t badPinCount) {
  const int32_t delay = policy.GetAttackDelay();
  if (delay <= 0 || badPinCount <= 0 || badPinCount < delay) return 0;
  const int64_t minutes = static_cast<int64_t>(badPinCount) - delay + 1;
  return static_cast<int32_t>(std::min<int64_t>(60 * minutes, kLongestLockSeconds));
}

int32_t OVEngine::LockTimeLeft(const OVPolicy& policy, const TokenData& record) {
  return std::min(GetLockTimeLeft(record.m_nLockUntil), PolicyLockSeconds(policy, record.m_nBadPinCount));
}

bool OVEngine::AttemptsExhausted(const OVPolicy& policy, int32_t badPinCount) {
  const int32_t maxAttacks = policy.GetMaxAttacks();
  return maxAttacks > 0 && badPinCount >= maxAttacks;
}

bool OVEngine::CapLockTime() {
  const int32_t until = m_TokenData.m_nLockUntil;
  const int64_t allowed = PolicyLockSeconds(m_Policy, m_TokenData.m_nBadPinCount);
  if (until == 0 || static_cast<int64_t>(until) - NowSince2010() <= allowed) return false;
  LogScope log("OVEngine::CapLockTime");
  log.Message("The lock-out was set by a clock that ran ahead: it ends after the policy's lock time");
  m_TokenData.m_nLockUntil = allowed == 0 ? 0 : static_cast<int32_t>(NowSince2010() + allowed);
  return true;
}

bool OVEngine::IsTokenLocked() const { return LockTimeLeft(m_Policy, m_TokenData) > 0; }

void OVEngine::CountAttempt() {
  ++m_TokenData.m_nBadPinCount;
  m_nBadPinCount = m_TokenData.m_nBadPinCount;
  const int32_t delay = m_Policy.GetAttackDelay();
  if (PolicyLockSeconds(m_Policy, m_nBadPinCount) > 0) SetLockTime(m_nBadPinCount - delay);
}

bool OVEngine::DeactivateIfSpent(int32_t& result) {
  if (TokenData::Text(m_TokenData.m_szPolicy).empty() ||
      !AttemptsExhausted(m_Policy, m_TokenData.m_nBadPinCount)) {
    return false;
  }
  LogScope log("OVEngine::DeactivateIfSpent");
  log.Message("The token's last try reached the most wrong PINs allowed: it is deactivated");
  log.Number("nBadPinCount", m_TokenData.m_nBadPinCount);
  result = ResetToken() == OV_OK ? OV_ERR_TOKEN_DEACTIVATED : OV_ERR_OPERATION_FAILED;
  return true;
}

void OVEngine::StorePolicyInRecord() {
  TokenData::SetText(m_TokenData.m_szPolicy, m_Policy.GetPolicyString());
  TokenData::SetText(m_TokenData.m_szAlgorithm, m_Policy.GetTokenAlgorithm());
  m_TokenData.m_nPasscodeLength = static_cast<uint32_t>(m_Policy.GetPwdLen());
}

void OVEngine::InitOVEngine() {
  LogScope log("OVEngine::InitOVEngine");
  m_bIsOv3File = true;
  std::string path = GetFullFilePath(m_szFileName, true);
  if (!FileExists(path)) {
    const std::string legacy = GetFullFilePath(m_szFileName, false);
    if (FileExists(legacy)) {
      m_bIsOv3File = false;
      path = legacy;
    }
  }
  if (GetTokenData(m_szUniqueID, path, m_TokenData, m_bIsOv3File)) {
    // The stored name's letter case wins where the names agree.
    const std::string_view stored = TokenData::Text(m_TokenData.m_szTokenName);
    for (std::size_t i = 0; i < m_szTokenName.size() && i < stored.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(stored[i])) ==
          std::tolower(static_cast<unsigned char>(m_szTokenName[i]))) {
        m_szTokenName[i] = stored[i];
      } else {
        log.Message("Invalid Param or State");
      }
    }
    m_nTokenState = static_cast<int32_t>(m_TokenData.m_nState);
    m_nBadPinCount = m_TokenData.m_nBadPinCount;
  }
  if (!TokenData::Text(m_TokenData.m_szPolicy).empty()) {
    m_Policy.SetPolicyString(TokenData::Text(m_TokenData.m_szPolicy));
    StorePolicyInRecord();
  }
  // The lock-out is measured against the policy, so the policy comes first.
  const bool capped = CapLockTime();
  if (FileExists(path)) {
    // The whole record map is kept, so that every later save writes the seed back.
    ReadOV3FromFile(m_Properties, path, m_szUniqueID, m_bIsOv3File);
    int32_t deactivated = OV_OK;
    if (DeactivateIfSpent(deactivated)) return;
    // The shortened lock-out is written at once, or it would start again at every opening.
    if (capped && !SaveData()) log.Message("Error: the shortened lock-out could not be saved");
    return;
  }
  if (!SaveData()) {
    log.Message("Error: SaveData()");
    throw OVException(OV_ERR_OPERATION_FAILED, "Error: SaveData()");
  }
}

void OVEngine::InitializePin(const char* pin) {
  LogScope log("OVEngine::InitializePin");
  const std::size_t length = pin ? strnlen(pin, kMaxPinLength + 1) : 0;
  if (length == 0) {
    log.Message("Invalid PIN");
  } else if (length > kMaxPinLength) {
    log.Message("Invalid PIN Length");
  } else {
    m_szPin = std::string_view(pin, length);
  }
}

bool OVEngine::InitializeOrvanti(const char* pin) {
  LogScope log("OVEngine::InitializeOrvanti");
  const int32_t pinLength = m_Policy.GetPolicyParameter("pinlen");
  if (pinLength != 0 && (pin == nullptr || static_cast<int32_t>(strlen(pin)) != m_Policy.GetPinLen())) {
    return log.Return(false);
  }
  const std::string_view keyMaterial = TokenData::Text(m_TokenData.m_szKeyMaterial);
  const bool hasProtectedKey = !TokenData::Text(m_TokenData.m_szEncOtpKey).empty();
  if (m_TokenData.m_bKeySet == 0) {
    if (!hasProtectedKey && !keyMaterial.empty()) {
      HexDecode(keyMaterial, m_pActivationEntropy);
      m_szOtpKey = OtpKeyFromKeyMaterial(keyMaterial);
      if (m_szOtpKey.size() != 64) return log.Return(false);
      InitializePin(pin);
      return log.Return(true);
    }
    if (!hasProtectedKey) return log.Return(false);
    InitializePin(pin);
    return log.Return(true);
  }
  if (!keyMaterial.empty()) {
    InitializePin(pin);
    return log.Return(true);
  }
  if (hasProtectedKey && DecryptOTPKey(kInternalPin) == OV_OK &&
      (TokenData::Text(m_TokenData.m_szEncMacKey).empty() || DecryptMacKey(kInternalPin) == OV_OK) &&
      DecryptTransactionKey(kInternalPin) == OV_OK) {
    InitializePin(pin);
    return log.Return(true);
  }
  return log.Return(false);
}

int32_t OVEngine::SetPIN(const char* pin) {
  LogScope log("OVEngine::SetPIN");
  if (pin == nullptr || *pin == '\0') {
    log.Message("Error: Pin is empty");
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  InitializeOrvanti(pin);
  if (m_szOtpKey.empty()) return log.Return(OV_ERR_OPERATION_FAILED);
  // Every key is protected in memory first and the file written once, so a crash never leaves a
  // file whose keys open with two different PINs.
  int32_t result = EncryptOTPKey(pin, false);
  if (result != OV_OK) return log.Return(result);
  if (m_TokenData.m_bKeySet == 1) {
    if (!m_szTransactionKey.empty()) result = EncryptTransactionKey(pin, false);
    if (result == OV_OK && !m_szMacKey.empty()) result = EncryptMacKey(pin, false);
    if (result != OV_OK) return log.Return(result);
  }
  const int32_t previousState = m_nTokenState;
  m_nTokenState = ACTIVATED_STATE;
  const SystemTime now = SystemTimeFromUnix(platform::Current().clock->NowUnixSeconds());
  SetChangePINDateTime(&now);
  if (!SaveData()) {
    m_nTokenState = previousState;
    log.Message("SaveData operation fails");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  return log.Return(OV_OK);
}

int32_t OVEngine::ValidatePIN(const char* pin) {
  LogScope log("OVEngine::ValidatePIN");
  std::string path;
  if (m_szFileName.empty()) {
    log.Message("Error: File name is empty");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  if (!IsFileExists(m_szFileName, &path)) {
    log.Message("Error: Cannot find file");
    log.Text("Path", path);
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  if (!GetTokenData(m_szUniqueID, path, m_TokenData, m_bIsOv3File) ||
      !ReadOV3FromFile(m_Properties, path, m_szUniqueID, m_bIsOv3File)) {
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  CapLockTime();
  int32_t deactivated = OV_OK;
  if (DeactivateIfSpent(deactivated)) return log.Return(deactivated);
  // The try is counted on disk, with the lock-out or the deactivation it brings, before the PIN is
  // tried: a process stopped while trying, or a disk that refuses the write, never gives a free
  // guess, and up to the answer a right PIN writes exactly what a wrong one does. A refused write
  // answers as any failed save, before anything about the PIN is known. A token without a user PIN
  // opens with the fixed internal one, which nobody has to guess: it is not counted.
  const bool guessable = m_Policy.GetPolicyParameter("pinlen") != 0;
  if (guessable) {
    const int32_t count = m_TokenData.m_nBadPinCount;
    const int32_t lockUntil = m_TokenData.m_nLockUntil;
    CountAttempt();
    if (!SaveData()) {
      m_TokenData.m_nBadPinCount = count;
      m_TokenData.m_nLockUntil = lockUntil;
      m_nBadPinCount = count;
      log.Message("Error: the attempt could not be counted");
      return log.Return(OV_ERR_OPERATION_FAILED);
    }
  }
  const std::string_view pinText = pin ? std::string_view(pin) : std::string_view();
  if (DecryptOTPKey(pinText) == OV_OK) {
    m_TokenData.m_nBadPinCount = 0;
    m_nBadPinCount = 0;
    m_TokenData.m_nLockUntil = 0;
    if (m_TokenData.m_bKeySet == 1) {
      DecryptMacKey(pinText);
      if (!TokenData::Text(m_TokenData.m_szEncTransactionKey).empty()) DecryptTransactionKey(pinText);
    }
    ++m_TokenData.m_nPinUseCount;
    if (!m_bIsOv3File) return log.Return(ConvertLegacyToken(pin));
    if (!SaveData()) return log.Return(OV_ERR_OPERATION_FAILED);
    InitializePin(pin);
    return log.Return(OV_OK);
  }
  log.Number("nBadPinCount", m_nBadPinCount);
  // The count on disk says "spent" already; the keys go now that the PIN proved wrong.
  if (guessable && DeactivateIfSpent(deactivated)) return log.Return(deactivated);
  return log.Return(OV_ERR_INVALID_PIN);
}

int32_t OVEngine::ConvertLegacyToken(const char* pin) {
  LogScope log("OVEngine::ConvertLegacyToken");
  OVTokenInfoA info{};
  bool ported = false;
  {
    SecureBytes seed(kKeyTextSize, 0);
    std::copy_n(m_szOtpKey.begin(), std::min(m_szOtpKey.size(), kKeyTextSize - 1), seed.begin());
    try {
      GetTokenInfo(info);
      ported = m_Properties.portOV2toOV3(info, pin, seed, m_TokenData);
    } catch (...) {
      ported = false;
    }
    ReleaseTokenInfo(info);
  }
  if (!ported) {
    log.Message("Internal Error.");
    // The PIN was right: the try counted before it is taken back in the legacy file.
    if (!SaveData()) log.Message("Failed to save data");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  // The new file is written before the old one goes, so the token always exists in a file.
  const std::string legacyPath = GetFullFilePath(m_szFileName, false);
  m_bIsOv3File = true;
  TokenData::SetText(m_TokenData.m_szEncOtpKey, "F3");
  if (!SaveData()) {
    m_bIsOv3File = false;
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  if (!RemoveFile(legacyPath)) log.Message("Error: the legacy file could not be removed");
  InitializePin(pin);
  return log.Return(OV_OK);
}

void OVEngine::SetLockTime(int32_t attemptsOverThreshold) {
  const int64_t minutes = attemptsOverThreshold + 1;
  const int64_t seconds = std::min<int64_t>(60 * minutes, kLongestLockSeconds);
  m_TokenData.m_nLockUntil = static_cast<int32_t>(NowSince2010() + seconds);
}

int32_t OVEngine::ChangePIN(const char* oldPin, const char* newPin) {
  LogScope log("OVEngine::ChangePIN");
  if (newPin == nullptr || oldPin == nullptr ||
      static_cast<int32_t>(strlen(newPin)) != m_Policy.GetPinLen() || !IsAlphaNumeric(newPin) ||
      std::strcmp(oldPin, newPin) == 0) {
    return log.Return(OV_ERR_INVALID_PARAM);
  }
  const int32_t result = SetPIN(newPin);
  if (result != OV_OK) return log.Return(result);
  m_TokenData.m_nPinUseCount = 0;
  m_nTokenState = ACTIVATED_STATE;
  return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
}

int32_t OVEngine::ResetToken() {
  LogScope log("OVEngine::ResetToken");
  m_TokenData.Reset();
  // The record map goes too: it holds the seed protected with the PIN, which a deactivated
  // token's file must not keep (anyone with the file could still guess the PIN offline).
  m_Properties = OV3Properties();
  m_Policy = OVPolicy();
  m_Policy.SetPolicyString("");
  ReInitialize();
  m_nTokenState = INSTALLED_STATE;
  m_nBadPinCount = 0;
  if (IsFileExists(m_szFileName) && !SaveData()) return log.Return(OV_ERR_OPERATION_FAILED);
  return log.Return(OV_OK);
}

void OVEngine::ReInitialize() {
  m_szOtpKey.Wipe();
  m_szTransactionKey.Wipe();
  m_szMacKey.Wipe();
  m_nTokenState = INSTALLED_STATE;
  m_pActivationEntropy.clear();
  m_szPin.Wipe();
  m_pAuthenticator.reset();
}

int32_t OVEngine::DeleteToken() { return RemoveTokenFile(); }

int32_t OVEngine::ChangeTokenName(const char* newName) {
  LogScope log("OVEngine::ChangeTokenName");
  if (newName == nullptr) return log.Return(OV_ERR_OPERATION_FAILED);
  if (m_szTokenName == newName) {
    log.Message("Error: OV_ERR_DUPLICATE_TOKEN_NAME strcmp");
    return log.Return(OV_ERR_DUPLICATE_TOKEN_NAME);
  }
  const std::string newFile = GetFileName(newName);
  if (IsFileExists(newFile)) {
    log.Message("Error:OV_ERR_DUPLICATE_TOKEN_NAME  IsFileExists");
    return log.Return(OV_ERR_DUPLICATE_TOKEN_NAME);
  }
  const std::string oldFile = GetFileName(m_szTokenName);
  if (oldFile != m_szFileName) {
    log.Message("Error: mismatch error");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  // The file's content is rewritten for the new name under the old file name first, and the file
  // then takes the new name in one rename: at every instant exactly one file holds the token. A
  // crash between the two leaves a file whose name is not its token's, which the next start of
  // the library moves to the name its content gives (RecoverTokenFolders).
  const std::string oldName = m_szTokenName;
  const SecureString pin(m_szPin.view());
  if (!WriteForName(newName, pin) || !RenameFile(oldFile, newFile)) {
    log.Message("Error: the token could not be renamed");
    if (!WriteForName(oldName, pin)) log.Message("Error: the old name could not be written back");
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  m_szFileName = newFile;
  return log.Return(OV_OK);
}

bool OVEngine::WriteForName(const std::string& name, const SecureString& pin) {
  m_szTokenName = name;
  try {
    // The seed's keys depend on the name: it is protected again under the remembered PIN.
    if (m_bIsOv3File && !m_Properties.ov3StoreTokenName(m_szTokenName)) return false;
    return SetPIN(pin.c_str()) == OV_OK;
  } catch (const OVException&) {
    return false;
  }
}

char* OVEngine::GetTokenModeStr(int32_t mode) {
  if (mode < 0 || mode > 6) return nullptr;
  return DuplicateText(std::string_view(kModeTexts[mode % 4]));
}

char* OVEngine::GetTokenPolicyLevel() const {
  const int32_t level = m_Policy.GetPolicyLevel();
  if (level == -1) return nullptr;
  return DuplicateText(std::string_view("Level " + std::to_string(level)));
}

int32_t OVEngine::GetTokenInfo(OVTokenInfoA& info) {
  LogScope log("OVEngine::GetTokenInfo");
  info = OVTokenInfoA{};  // the caller's record may hold anything; nothing in it is ours
  info.m_szTokenName = DuplicateText(std::string_view(m_szTokenName));
  info.m_szSdkVersion = DuplicateText(std::string_view(kRecordVersion));
  const std::string_view policy = TokenData::Text(m_TokenData.m_szPolicy);
  if (policy.empty()) {
    info.m_nTokenState = INSTALLED_STATE;
    info.m_nChallengeLength = -1;
    info.m_nMaxAttacks = -1;
    info.m_nPinLength = -1;
    info.m_nTimeStep = -1;
    return log.Return(OV_OK);
  }
  info.m_szTokenPolicy = DuplicateText(policy);
  info.m_szTokenPolicyLevel = GetTokenPolicyLevel();
  info.m_szTokenMode = GetTokenModeStr(m_Policy.GetMode());
  info.m_szTokenSerialNo = DuplicateText(TokenData::Text(m_TokenData.m_szSerialNo));
  info.m_nTokenState = static_cast<int32_t>(m_TokenData.m_nState);
  info.m_nChallengeLength = m_Policy.GetChallLen();
  info.m_nMaxAttacks = m_Policy.GetMaxAttacks();
  info.m_nBadPinCount = m_nBadPinCount;
  info.m_nLockTimeLeft = LockTimeLeft(m_Policy, m_TokenData);
  info.m_bTokenLocked = info.m_nLockTimeLeft > 0;
  info.m_bPinRequired = m_Policy.IsPinRequired();
  info.m_nPinLength = info.m_bPinRequired ? m_Policy.GetPinLen() : -1;
  info.m_nTimeStep = m_Policy.GetTStick();
  info.m_bTrivialPinAllowedEx = m_Policy.IsTrivialPinAllowedEx();
  info.m_bTrivialPinAllowed = m_Policy.IsTrivialPinAllowed();
  return log.Return(OV_OK);
}

int32_t OVEngine::SetChangePINDateTime(const SystemTime* time) {
  if (time == nullptr) return OV_ERR_OPERATION_FAILED;
  m_TokenData.m_PinChangeTime = *time;
  return OV_OK;
}

int32_t OVEngine::SetSoftPINRequired(bool required) {
  m_TokenData.m_bSoftPinRequired = required ? 1 : 0;
  return SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED;
}

int32_t OVEngine::SetPolicy(std::string_view policy) {
  try {
    return ValidateAndSavePolicy(policy);
  } catch (const OVException&) {
    return OV_ERR_OPERATION_FAILED;
  }
}

int32_t OVEngine::ValidateAndSavePolicy(std::string_view policy) {
  LogScope log("OVEngine::ValidateAndSavePolicy");
  log.Text("Policy", policy);
  try {
    // Applied to a copy first: a refused policy leaves the token's as it was.
    OVPolicy candidate = m_Policy;
    candidate.SetPolicyString(policy);
    if (!candidate.IsEventBased() && !candidate.IsChallengeResponse() && !candidate.IsTimeBased()) {
      log.Message("Error: MULTI_HOST policy");
      return log.Return(OV_ERR_INVALID_PARAM);
    }
    m_Policy = candidate;
    StorePolicyInRecord();
    return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
  } catch (const OVException& e) {
    log.Message(e.GetErrorString().c_str());
    return log.Return(IsPolicyError(e.GetErrorCode()) ? OV_ERR_INVALID_PARAM : OV_ERR_OPERATION_FAILED);
  }
}

int32_t OVEngine::GenerateActivationCode(char* out) {
  LogScope log("OVEngine::GenerateActivationCode");
  StorePolicyInRecord();
  m_nTokenState = INSTALLED_STATE;
  std::array<uint8_t, 10> entropy{};
  WipeOnExit wipe(entropy);
  if (!OrvantiAPI::GenerateRandomKey(entropy)) return log.Return(OV_ERR_OPERATION_FAILED);
  const int32_t level = m_Policy.GetPolicyLevel();
  SecureBytes keyMaterial(entropy.begin(), entropy.end());
  std::optional<SecureString> code;
  if (level == 1) {
    code = CreateLegacyActivationCode(entropy);
  } else {
    code = CreateV1ActivationCode(entropy, level);
    const std::string& policy = m_Policy.GetPolicyString();
    keyMaterial.insert(keyMaterial.end(), policy.begin(), policy.end());
  }
  if (!code || out == nullptr) return log.Return(OV_ERR_OPERATION_FAILED);
  std::memcpy(out, code->c_str(), std::min<std::size_t>(code->size() + 1, OV_ACTIVATION_CODE_SIZE));
  const SecureString hex = HexEncodeSecret(keyMaterial);
  if (hex.empty() || hex.size() >= sizeof m_TokenData.m_szKeyMaterial) return log.Return(OV_ERR_OPERATION_FAILED);
  TokenData::SetText(m_TokenData.m_szKeyMaterial, hex.view());
  m_nTokenState = PENDING_PIN_STATE;
  return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
}

int32_t OVEngine::SetTokenKeys(const char* keys) {
  LogScope log("OVEngine::SetTokenKeys");
  if (keys == nullptr) return log.Return(OV_ERR_OPERATION_FAILED);
  const std::string_view text(keys);
  const bool transign = m_Policy.IsTransactionSigning();
  if (text.size() != (transign ? 192u : 64u)) return log.Return(OV_ERR_OPERATION_FAILED);
  int32_t result = SetOTPKey(text.substr(0, 64));
  if (result != OV_OK || !transign) return log.Return(result);
  if ((result = SetTransactionKey(text.substr(64, 64))) != OV_OK) return log.Return(result);
  if ((result = SetMacKey(text.substr(128, 64))) != OV_OK) return log.Return(result);
  return log.Return(EncryptData("0000000000000000"));
}

int32_t OVEngine::SetOTPKey(std::string_view key) {
  m_szOtpKey = key;
  const int32_t result = EncryptOTPKey(kInternalPin);
  if (result != OV_OK) return result;
  m_TokenData.m_bKeySet = 1;
  return SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED;
}

int32_t OVEngine::SetTransactionKey(std::string_view key) {
  m_szTransactionKey = key;
  return EncryptTransactionKey(kInternalPin);
}

int32_t OVEngine::SetMacKey(std::string_view key) {
  m_szMacKey = key;
  const int32_t result = EncryptMacKey(kInternalPin);
  if (result != OV_OK) return result;
  return SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED;
}

void OVEngine::SetSerialNumber(std::string_view serial) {
  TokenData::SetText(m_TokenData.m_szSerialNo, serial);
}

void OVEngine::InitOTPEngine(int32_t host) {
  m_pAuthenticator = std::make_unique<NoxOVAuthenticator>(
      NoxOVAuthenticator::DecodeOtpKey(m_szOtpKey.view()),
      static_cast<int32_t>(m_TokenData.m_nPasscodeLength), m_TokenData.m_nCounters[host],
      TokenData::Text(m_TokenData.m_szAlgorithm));
}

void OVEngine::UpdateOTPEngine(int32_t host) {
  m_pAuthenticator->UpdateForHost(NoxOVAuthenticator::DecodeOtpKey(m_szOtpKey.view()), host,
                                  m_TokenData.m_nCounters[host]);
}

SecureString OVEngine::GeneratePasscode(const char* challenge, int32_t host) {
  if (host < 0 || host > 9) throw OVException(OV_ERR_OPERATION_FAILED, "host index out of range");
  if (!m_pAuthenticator) InitOTPEngine(host);
  if (m_Policy.GetMode() == MULTI_HOST) UpdateOTPEngine(host);
  return m_pAuthenticator->GenPwd(challenge, m_TokenData.m_nCounters[host]);
}

SecureString OVEngine::GetNextPasscode(const char* challenge, int32_t host) {
  LogScope log("OVEngine::GetNextPasscode");
  log.Number("HostIndex", host);
  if (host < 0 || host > 9) throw OVException(OV_ERR_OPERATION_FAILED, "host index out of range");
  if (m_Policy.IsTimeBased()) {
    const int32_t saved = m_TokenData.m_nCounters[host];
    const int32_t step = TimeStep(platform::Current().clock->NowUnixSeconds(), m_Policy.GetTStick());
    m_TokenData.m_nCounters[host] = step;
    auto last = s_LastTimeStep.find(m_szTokenName);
    if (last != s_LastTimeStep.end() && last->second == step) {
      SecureString passcode;
      try {
        passcode = GeneratePasscode(challenge, host);
      } catch (...) {
        m_TokenData.m_nCounters[host] = saved;
        throw;
      }
      m_TokenData.m_nCounters[host] = saved;
      return passcode;
    }
    SecureString passcode;
    try {
      passcode = GeneratePasscode(challenge, host);
    } catch (...) {
      m_TokenData.m_nCounters[host] = saved;
      throw;
    }
    s_LastTimeStep[m_szTokenName] = step;
    m_TokenData.m_nCounters[host] = saved + 1;
    if (!SaveData()) throw OVException(OV_ERR_OPERATION_FAILED, "SaveData failed");
    return passcode;
  }
  SecureString passcode = GeneratePasscode(challenge, host);
  m_TokenData.m_nCounters[host] = m_pAuthenticator->GetCounter();
  if (!SaveData()) throw OVException(OV_ERR_OPERATION_FAILED, "SaveData failed");
  return passcode;
}

int32_t OVEngine::GetRemainingTickCount() const {
  if (!m_Policy.IsTimeBased()) return -1;
  return SecondsLeftInStep(platform::Current().clock->NowUnixSeconds(), m_Policy.GetTStick());
}

int32_t OVEngine::PasscodeLength(int32_t host) const {
  if (m_Policy.GetMode() == MULTI_HOST && host >= 1 && host <= 9) {
    return NoxOVAuthenticator::GetHostPolicy(host).GetPwdLen();
  }
  return m_Policy.GetPwdLen();
}

int32_t OVEngine::ChallengeLength(int32_t host) const {
  const int32_t mode = m_Policy.GetMode();
  if (mode == CHALLENGE_RESPONSE || mode == 6) return m_Policy.GetChallLen();
  // Host 9 computes with its host suite, which takes any numeric question up to 8 digits; the
  // length a caller's challenge must have is the token's own "challlen", as the server expects.
  if (mode == MULTI_HOST && host == 9) return m_Policy.GetChallLen();
  return -1;
}

int32_t OVEngine::ImportProfileData(const Ov80Profile& profile) {
  LogScope log("OVEngine::ImportProfileData");
  log.Number("Flag", static_cast<int32_t>(profile.Flag()));
  log.Number("Activation", static_cast<int32_t>(profile.Activation()));
  if (profile.Flag() != 1) return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
  if (SetPolicy("") != OV_OK) return log.Return(OV_ERR_OPERATION_FAILED);
  m_TokenData.m_nLockUntil = 0;
  m_TokenData.m_nPinUseCount = 0;
  m_TokenData.m_nPasscodeLength = profile.PasscodeLength();
  if (profile.Activation() == 0) {
    m_TokenData.m_nBadPinCount = 0;
    m_TokenData.m_nCounters[0] = 0;
    m_nBadPinCount = 0;
    m_nTokenState = PENDING_PIN_STATE;
    TokenData::SetText(m_TokenData.m_szKeyMaterial, profile.KeyMaterial());
    return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
  }
  if (profile.Activation() != 1) return log.Return(SaveData() ? OV_OK : OV_ERR_OPERATION_FAILED);
  m_TokenData.m_nBadPinCount = profile.BadPinCount();
  m_nBadPinCount = profile.BadPinCount();
  m_TokenData.m_nCounters[0] = profile.MovingFactor();
  m_nTokenState = ACTIVATED_STATE;
  TokenData::SetText(m_TokenData.m_szEncOtpKey, profile.EncOtpKey());
  // Written as a legacy file first; the format-3 file made when the instance opened goes only
  // after that write succeeded (it would be found first at the next opening).
  const std::string current = GetFullFilePath(m_szFileName, true);
  m_bIsOv3File = false;
  if (!SaveData()) {
    m_bIsOv3File = true;
    return log.Return(OV_ERR_OPERATION_FAILED);
  }
  RemoveFile(current);
  return log.Return(OV_OK);
}

}  // namespace ov
