#include "app/core/screens/PinOperationModel.h"

#include <algorithm>
#include <cwctype>
#include <initializer_list>
#include <optional>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/TokenRecords.h"
#include "frontend/EnrollmentString.h"
#include "frontend/WipeBytes.h"

namespace ov::app {
namespace {

namespace D = DialogType;

struct Variant {
  int type;
  int headline;
  int label;
  bool masked;
  bool inactivityTimer;
  int maxLength;  // 0: none; -1: the PIN length; -2: the challenge length
};

constexpr int kPinLength = -1;
constexpr int kChallengeLength = -2;
constexpr int kNoLimit = 32767;
constexpr std::size_t kPortalUrlLimit = 2048;

constexpr Variant kVariants[] = {
    {D::CHANGE_TOKEN_PIN_DIALOG1, 110, 111, true, true, 0},
    {D::GET_TOKEN_POLICY, 126, 127, false, false, 0},
    {D::SET_TOKEN_PIN, 128, 129, true, false, kPinLength},
    {D::CONFIRM_SET_TOKEN_PIN, 128, 130, true, false, kPinLength},
    {D::ENTER_PORTAL_URL, 115, 150, false, false, static_cast<int>(kPortalUrlLimit)},
    {D::CHANGE_TOKEN_NAME_DIALOG, 132, 135, false, true, 256},
    {D::CHANGE_TOKEN_PIN_DIALOG2, 110, 153, true, true, kPinLength},
    {D::CHANGE_TOKEN_PIN_DIALOG3, 110, 154, true, true, kPinLength},
    {D::ENTER_CHALLENGE_DIALOG, 139, 140, false, true, kChallengeLength},
    {D::ENTER_TOKEN_PIN_DIALOG, 157, 158, true, false, 0},
};

const Variant* FindVariant(int type) {
  for (const Variant& variant : kVariants) {
    if (variant.type == type) return &variant;
  }
  return nullptr;
}

constexpr std::wstring_view kHttps = L"https://";

bool IsSpace(wchar_t c) {
  return std::iswspace(static_cast<std::wint_t>(c)) != 0 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

void Wipe(std::string& text) {
  frontend::WipeBytes(text.data(), text.size());
  text.clear();
}

// Takes UTF-8 into a secret text without leaving a converted copy behind.
void AssignUtf8(SecretText& target, std::string_view text) {
  std::wstring wide = FromUtf8(text);
  target.assign(wide);
  SecretText::Wipe(wide);
}

bool IsEnrollmentString(const std::string& text) {
  std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(text);
  const bool ok = padded && frontend::CheckIfBase64ConnectionString(*padded);
  if (padded) Wipe(*padded);
  return ok;
}

struct AttemptFacts {
  int badPins = 0;
  int maxAttacks = 0;
  bool locked = false;
  int minutesLeft = 0;
};

AttemptFacts ReadAttemptFacts() {
  AttemptFacts facts;
  OpenTokenInfo info;
  if (!info.ok()) return facts;
  facts.badPins = info->m_nBadPinCount;
  facts.maxAttacks = info->m_nMaxAttacks;
  facts.locked = info->m_bTokenLocked;
  facts.minutesLeft = info->m_bTokenLocked ? (info->m_nLockTimeLeft + 59) / 60 : 0;
  return facts;
}

Text Joined(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) text += part;
  return Text::Literal(std::move(text));
}

// The lock-out text, with the attempts and the deactivation warning when attempts are limited.
Text LockOutText(const AttemptFacts& facts) {
  const std::string lock = Text::Of(203).str() + " " + Text::Of(206, facts.minutesLeft).str();
  if (facts.maxAttacks == 0) return Text::Literal(lock);
  return Joined({Text::Of(209, facts.badPins + 1, facts.maxAttacks).str(), " \n", lock, "\n",
                 Text::Of(210, facts.maxAttacks).str()});
}

}  // namespace

Text PinRuleHint(const OVTokenInfoW& info) {
  const int length = info.m_nPinLength;
  const bool level5 = info.m_szTokenPolicyLevel != nullptr &&
                      std::wstring_view(info.m_szTokenPolicyLevel) == L"Level 5";
  if (!level5) return Text::Of(info.m_bTrivialPinAllowedEx ? 185 : 225, length);
  if (!info.m_bTrivialPinAllowed) return Text::Of(231, length);
  return Text::Of(info.m_bTrivialPinAllowedEx ? 228 : 229, length);
}

std::wstring NormalisePortalUrl(std::wstring_view url) {
  // Scheme and host are case-insensitive; the rest (path, query) is kept as typed.
  const std::size_t hostStart = url.find(L"://");
  if (hostStart == std::wstring_view::npos) return std::wstring(url);
  const std::size_t hostEnd = std::min(url.size(), url.find_first_of(L"/?#", hostStart + 3));
  std::wstring normalised(url);
  for (std::size_t i = 0; i < hostEnd; ++i) {
    normalised[i] = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(normalised[i])));
  }
  return normalised;
}

bool PinOperationModel::isTimer1Added() const {
  const Variant* variant = FindVariant(m_DialogType);
  return variant != nullptr && variant->inactivityTimer;
}

void PinOperationModel::requestFocus(Control control) {
  m_focus = control;
  ++m_focusRequest;
}

void PinOperationModel::setURLEnrollmentString(std::wstring_view text) {
  m_pendingEnrollmentString.assign(text);
}

void PinOperationModel::resetToHttps() {
  m_field.assign(kHttps);
  requestFocus(Control::Field);
}

void PinOperationModel::OnInitDialog() {
  AppLog log("CPinOperationDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  const Variant* variant = FindVariant(m_DialogType);
  if (variant == nullptr) return;
  // The screen object serves one token after another: what the last one's PIN checks showed
  // (a failure, a deactivation) is not this token's.
  SharedValues& shared = Shared();
  shared.g_bPinFailureShown = false;
  shared.g_bDeactivationShown = false;
  m_fieldEnabled = true;
  m_field.clear();
  m_message = {};
  m_hint = {};
  m_hintVisible = false;
  m_continueEnabled = true;
  m_headline = Text::Of(variant->headline);
  m_fieldLabel = Text::Of(variant->label);
  m_masked = variant->masked;
  m_continueText = Text::Of(m_DialogType == D::ENTER_CHALLENGE_DIALOG ? 155 : 106);
  m_cancelText = Text::Of(109);
  m_cancelVisible = m_DialogType != D::ENTER_CHALLENGE_DIALOG;

  int maxLength = variant->maxLength;
  {
    OpenTokenInfo info;
    if (maxLength < 0) {
      maxLength = kNoLimit;
      if (info.ok() && info->m_nTokenState != INSTALLED_STATE) {
        const int limit =
            variant->maxLength == kPinLength ? info->m_nPinLength : info->m_nChallengeLength;
        if (limit > 0) maxLength = limit;
      }
    }
    if ((m_DialogType == D::SET_TOKEN_PIN || m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG2) &&
        info.ok()) {
      m_hint = PinRuleHint(*info);
      m_hintVisible = true;
    }
  }
  m_maxLength = maxLength > 0 ? maxLength : kNoLimit;
  if (m_DialogType == D::SET_TOKEN_PIN || m_DialogType == D::CONFIRM_SET_TOKEN_PIN) {
    postTitleIndicator(Indicator::kHideBack);
  }
  if (m_DialogType == D::GET_TOKEN_POLICY) {
    m_hint = Text::Of(184);
    m_hintVisible = true;
  }
  if (m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG1 || m_DialogType == D::ENTER_TOKEN_PIN_DIALOG) {
    addInstructionOnEnterPinDialog();
  }
  if (m_DialogType == D::ENTER_TOKEN_PIN_DIALOG || m_DialogType == D::ENTER_CHALLENGE_DIALOG) {
    startTimer(TimerId::kFocus, 200, true);
  }
  if (m_DialogType == D::ENTER_PORTAL_URL) {
    shared.g_szPrefilledUserId.clear();
    shared.g_szPrefilledPassword.clear();
    if (!m_pendingEnrollmentString.empty()) {
      m_field.assign(m_pendingEnrollmentString.view());
      m_pendingEnrollmentString.clear();
      // Continue runs once the screen is shown, as a press of the button would.
      startTimer(kContinueNowTimer, 0, true);
    } else {
      // An enrollment string the user copied is taken from the clipboard; else the field
      // waits with the scheme.
      std::string copied = effects().clipboardText();
      std::wstring wide = FromUtf8(copied);
      if (OfferClipboard(wide)) effects().clearClipboard();
      SecretText::Wipe(wide);
      Wipe(copied);
    }
  }
  postTitleIndicator(Indicator::kShowA);
}

bool PinOperationModel::OfferClipboard(std::wstring_view text) {
  std::string narrow = ToUtf8(Trimmed(text));
  // Only an enrollment string is taken (and removed, since it may carry a passphrase).
  const bool taken = !narrow.empty() && IsEnrollmentString(narrow);
  if (taken) {
    AssignUtf8(m_field, narrow);
    m_hint = Text::Of(226);
    m_hintVisible = true;
  } else {
    m_field.assign(kHttps);
  }
  Wipe(narrow);
  return taken;
}

void PinOperationModel::OnDestroy() {
  m_field.clear();
  m_message = {};
  // A PIN this screen took and handed on to the next screens of its flow ends with the flow.
  SharedValues& shared = Shared();
  switch (m_DialogType) {
    case D::CHANGE_TOKEN_PIN_DIALOG1:
    case D::ENTER_TOKEN_PIN_DIALOG:
      shared.g_szCurrentPin.clear();
      break;
    case D::SET_TOKEN_PIN:
      shared.g_szNewPin.clear();
      break;
    case D::CHANGE_TOKEN_PIN_DIALOG2:
      shared.g_szChangedPin.clear();
      break;
    default:
      break;
  }
}

void PinOperationModel::OnShown() { postTitleIndicator(Indicator::kShowA); }

bool PinOperationModel::OnEscape() {
  if (m_cancelVisible) OnBnClickedCancelbtn();
  return true;
}

void PinOperationModel::OnEditChange(std::wstring_view text, bool byUser) {
  m_field.assign(text);
  // Typing is activity: the inactivity count starts again.
  if (byUser) resetTimer(0);
}

bool PinOperationModel::OnFieldKey(FieldKey key) {
  if (key == FieldKey::Arrow) {
    resetTimer(0);
    return false;
  }
  if (m_continueEnabled) {
    SecretText text;
    text.assign(m_field.view());
    OnBnClickedContinuebtn(text.view());
  }
  return true;
}

void PinOperationModel::OnTimer(int id) {
  if (id == TimerId::kFocus) {
    stopTimer(id);
    if (m_fieldEnabled) requestFocus(Control::Field);
  } else if (id == TimerId::kLockRecheck) {
    stopTimer(id);
    addInstructionOnEnterPinDialog();
  } else if (id == kContinueNowTimer) {
    if (isShown()) OnFieldKey(FieldKey::Enter);
  }
  ScreenModel::OnTimer(id);
}

void PinOperationModel::continueAfterPin() {
  Text refusal;
  if (!ContinueToPasscode(false, WithoutInfo::DoNothing, &refusal)) {
    if (!refusal.empty()) m_message = std::move(refusal);
    m_field.clear();
    requestFocus(Control::Field);
  }
}

void PinOperationModel::OnBnClickedContinuebtn(std::wstring_view input) {
  AppLog log("CPinOperationDialog::OnBnClickedContinuebtn");
  log.Number("m_DialogType", m_DialogType);
  if (!m_continueEnabled) return;
  // A copy of its own: the handlers below change the field the input may come from.
  SecretText text;
  text.assign(input);
  m_field.assign(text.view());
  switch (m_DialogType) {
    case D::CHANGE_TOKEN_PIN_DIALOG1:
    case D::ENTER_TOKEN_PIN_DIALOG:
      continueWithPin(text.view(), log);
      break;
    case D::GET_TOKEN_POLICY:
      continueWithPolicy(text.view(), log);
      break;
    case D::SET_TOKEN_PIN:
      continueWithNewPin(text.view());
      break;
    case D::CONFIRM_SET_TOKEN_PIN:
      continueWithConfirmedPin(text.view(), log);
      break;
    case D::ENTER_PORTAL_URL:
      continueEnrollmentString(text.view().substr(0, kPortalUrlLimit));
      break;
    case D::CHANGE_TOKEN_NAME_DIALOG:
      continueWithName(text.view(), log);
      break;
    case D::CHANGE_TOKEN_PIN_DIALOG2:
      continueWithChangedPin(text.view());
      break;
    case D::CHANGE_TOKEN_PIN_DIALOG3:
      continueWithRepeatedPin(text.view(), log);
      break;
    case D::ENTER_CHALLENGE_DIALOG:
      continueWithChallenge(text.view());
      break;
    default:
      break;
  }
  if (m_masked) m_field.clear();
}

void PinOperationModel::continueWithPin(std::wstring_view text, AppLog& log) {
  SharedValues& shared = Shared();
  if (text.empty()) {
    m_message = Text::Of(165);
    requestFocus(Control::Field);
    return;
  }
  shared.g_szCurrentPin.assign(text);
  if (m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG1) {
    shared.g_bPinFailureShown = false;
    shared.g_bDeactivationShown = false;
  }
  const int32_t result = OV_ValidatePinW(shared.g_szCurrentPin.c_str());
  log.Number("result", result);
  if (result != OV_OK) {
    // A refused PIN serves nothing further; only a forced change goes on with it.
    if (result != OV_ERR_CHANGE_PIN_REQUIRED) shared.g_szCurrentPin.clear();
    handleValidatePin(result);
    return;
  }
  shared.g_bPinFailureShown = false;
  shared.g_bChangePinRequired = false;
  if (m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG1) {
    postContinue(Continue::kChangePinNew);
    postTitleIndicator(Indicator::kShowA);
  } else {
    shared.g_szCurrentPin.clear();  // a passcode needs the PIN no longer
    continueAfterPin();
  }
}

void PinOperationModel::continueWithPolicy(std::wstring_view text, AppLog& log) {
  std::wstring code(OV_ACTIVATION_CODE_SIZE + 1, L'\0');
  const std::wstring policy(Trimmed(text));
  const int32_t result =
      OV_GenerateActivationCodeW(policy.empty() ? nullptr : policy.c_str(), code.data());
  log.Number("result", result);
  if (result == OV_OK) {
    Shared().setActivationCode(std::wstring_view(code.c_str()));
    postContinue(Continue::kActivationCode);
  } else if (result == OV_ERR_INVALID_PARAM) {
    m_field.clear();
    m_message = Text::Of(194);
  } else {
    handleGenericErrorCodes(result);
  }
  SecretText::Wipe(code);
  requestFocus(Control::Field);
}

void PinOperationModel::continueWithNewPin(std::wstring_view text) {
  std::size_t pinLength = 0;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      postCancel(Cancel::kAbort);
      return;
    }
    pinLength = static_cast<std::size_t>(info->m_nPinLength);
  }
  SecretText pin;
  pin.assign(text);
  if (text.size() == pinLength && OV_SetPinValidationW(pin.c_str()) == OV_OK) {
    Shared().g_szNewPin.assign(pin.view());
    postContinue(Continue::kConfirmSetPin);
  } else {
    m_message = Text::Of(165);
    m_field.clear();
    requestFocus(Control::Field);
  }
}

void PinOperationModel::continueWithConfirmedPin(std::wstring_view text, AppLog& log) {
  SharedValues& shared = Shared();
  if (!OpenTokenInfo().ok()) return;
  SecretText pin;
  pin.assign(text);
  if (!(shared.g_szNewPin == pin.view())) {
    postCancel(Cancel::kPinMismatch);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  const int32_t result = OV_SetPinW(pin.c_str());
  log.Number("result", result);
  if (result == OV_ERR_INVALID_PARAM) {
    postCancel(Cancel::kSetPinRefused);
    postTitleIndicator(Indicator::kShowA);
  } else if (result != OV_OK) {
    handleGenericErrorCodes(result);
    requestFocus(Control::Field);
  } else {
    shared.g_szNewPin.clear();
    shared.forgetActivationCode();  // the token is activated: its code has served
    continueAfterPin();
  }
}

void PinOperationModel::continueWithName(std::wstring_view text, AppLog& log) {
  SharedValues& shared = Shared();
  if (text.empty()) {
    m_message = Text::Of(202);
    requestFocus(Control::Field);
    resetTimer(0);
    return;
  }
  const std::wstring name(text);
  const int32_t result = OV_ChangeTokenNameW(name.c_str());
  log.Number("result", result);
  if (result == OV_OK) {
    // The same token under its new name: its passcode stays its own.
    const bool passcodeOfThisToken = shared.passcodeToken == shared.g_szTokenName.view();
    shared.g_szTokenName.assign(name);
    if (passcodeOfThisToken) shared.passcodeToken = name;
    postContinue(Continue::kRenamed);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  if (result == OV_ERR_INVALID_PARAM) {
    m_field.clear();
    m_message = Text::Of(192);
  } else {
    handleGenericErrorCodes(result);
  }
  requestFocus(Control::Field);
  resetTimer(0);
}

void PinOperationModel::continueWithChangedPin(std::wstring_view text) {
  SharedValues& shared = Shared();
  std::size_t pinLength = 0;
  {
    OpenTokenInfo info;
    if (!info.ok()) return;
    pinLength = static_cast<std::size_t>(info->m_nPinLength);
  }
  SecretText pin;
  pin.assign(text);
  if (text.size() != pinLength) {
    m_message = Text::Of(165);
  } else if (shared.g_szCurrentPin == pin.view()) {
    m_message = Text::Of(172);
  } else if (OV_SetPinValidationW(pin.c_str()) != OV_OK) {
    m_message = Text::Of(165);
    resetTimer(0);
  } else {
    shared.g_szChangedPin.assign(pin.view());
    postContinue(Continue::kChangePinConfirm);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  m_field.clear();
  requestFocus(Control::Field);
}

void PinOperationModel::continueWithRepeatedPin(std::wstring_view text, AppLog& log) {
  SharedValues& shared = Shared();
  std::size_t pinLength = 0;
  {
    OpenTokenInfo info;
    if (!info.ok()) return;
    pinLength = static_cast<std::size_t>(info->m_nPinLength);
  }
  if (text.size() != pinLength) {
    m_message = Text::Of(165);
    m_field.clear();
    requestFocus(Control::Field);
    return;
  }
  if (!(shared.g_szChangedPin == text)) {
    postCancel(Cancel::kChangePinMismatch);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  const int32_t result =
      OV_ChangePinW(shared.g_szCurrentPin.c_str(), shared.g_szChangedPin.c_str());
  log.Number("result", result);
  if (result == OV_ERR_INVALID_PARAM || result == OV_ERR_INVALID_PIN) {
    m_field.clear();
    resetTimer(0);
    postCancel(Cancel::kChangePinRefused);
    postTitleIndicator(Indicator::kShowA);
  } else if (result != OV_OK) {
    resetTimer(0);
    postCancel(Cancel::kAbort);
  } else {
    shared.g_szCurrentPin.clear();
    shared.g_szChangedPin.clear();
    postContinue(Continue::kPinChanged);
    postTitleIndicator(Indicator::kShowA);
  }
}

void PinOperationModel::continueWithChallenge(std::wstring_view text) {
  SharedValues& shared = Shared();
  Text message;
  if (!validateChallenge(text, message)) {
    m_message = std::move(message);
    m_field.clear();
    requestFocus(Control::Field);
    resetTimer(0);
    return;
  }
  shared.g_szChallenge.assign(text);
  Generated generated = GenerateOTP(shared.g_szChallenge.c_str(), false);
  if (!generated.refusal.empty()) m_message = std::move(generated.refusal);
  if (generated.result == 0) {
    postContinue(Continue::kPasscode);
    postTitleIndicator(Indicator::kHideA);
  } else {
    m_field.clear();
    requestFocus(Control::Field);
  }
}

void PinOperationModel::continueEnrollmentString(std::wstring_view text) {
  SharedValues& shared = Shared();
  std::string narrow = ToUtf8(Trimmed(text));
  std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(narrow);
  if (!padded) {
    Wipe(narrow);
    if (text.substr(0, kHttps.size()) == kHttps && text.size() > kHttps.size()) {
      const std::wstring url = NormalisePortalUrl(text);
      m_field.assign(url);
      shared.g_szEnrollmentUrl.assign(url);
      postContinue(Continue::kCredentials);
      postTitleIndicator(Indicator::kShowA);
    } else {
      m_message = Text::Of(169);
      resetToHttps();
    }
    return;
  }
  Wipe(*padded);
  std::optional<frontend::EnrollmentString> parsed = frontend::ParseEnrollmentString(narrow);
  Wipe(narrow);
  if (!parsed || parsed->url.rfind("https://", 0) != 0) {
    m_message = Text::Of(169);
    resetToHttps();
  } else {
    AssignUtf8(shared.g_szEnrollmentUrl, parsed->url);
    if (parsed->userId) AssignUtf8(shared.g_szPrefilledUserId, *parsed->userId);
    if (parsed->passphrase) AssignUtf8(shared.g_szPrefilledPassword, *parsed->passphrase);
    postContinue(Continue::kCredentials);
    postTitleIndicator(Indicator::kShowA);
  }
  if (parsed && parsed->passphrase) Wipe(*parsed->passphrase);
}

bool PinOperationModel::validateChallenge(std::wstring_view text, Text& message) {
  if (text.empty()) {
    message = Text::Of(176);
    return false;
  }
  int32_t length = 0;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      postCancel(Cancel::kAbort);
      return false;
    }
    length = info->m_nChallengeLength;
  }
  if (text.size() != static_cast<std::size_t>(length)) {
    message = Text::Of(196, length);
    return false;
  }
  return true;
}

void PinOperationModel::handleValidatePin(int32_t result) {
  AppLog log("CPinOperationDialog::handleValidatePin");
  log.Number("result", result);
  SharedValues& shared = Shared();
  m_field.clear();
  requestFocus(Control::Field);
  switch (result) {
    case OV_ERR_CHANGE_PIN_REQUIRED:
      shared.g_bChangePinRequired = true;
      postContinue(Continue::kChangePinNew);
      postTitleIndicator(Indicator::kShowA);
      break;
    case OV_ERR_INVALID_PIN:
    case OV_ERR_TOKEN_LOCKED:
      m_message = HandleVerifyFail(result);
      shared.g_bPinFailureShown = true;
      break;
    case OV_ERR_TOKEN_DEACTIVATED:
      m_continueEnabled = false;
      m_message = Text::Of(162);
      shared.g_bDeactivationShown = true;
      break;
    case OV_ERR_INVALID_PARAM:
      m_message = Text::Of(160);
      break;
    case OV_ERR_OPERATION_FAILED:
      postCancel(Cancel::kAbort);
      break;
    default:
      m_message = {};
      break;
  }
}

void PinOperationModel::handleGenericErrorCodes(int32_t result) {
  if (result == OV_OK) return;
  m_field.clear();
  if (result == OV_ERR_OPERATION_FAILED) {
    postCancel(Cancel::kAbort);
  } else if (result == OV_ERR_DUPLICATE_TOKEN_NAME) {
    m_message = Text::Of(191);
  } else if (result == OV_ERR_SOFT_PIN_REQUIRED) {
    m_message = Text::Of(195);
  } else {
    m_message = {};
  }
}

void PinOperationModel::startLockRecheck() {
  m_continueEnabled = false;
  // Keys typed during the lock-out would be sent as the first try after it, and fail: the field
  // takes none until the lock has ended.
  m_field.clear();
  // The focus leaves the field before it closes; a toolkit would otherwise hand it to the next
  // button.
  if (isShown()) requestFocus(Control::Screen);
  m_fieldEnabled = false;
  startTimer(TimerId::kLockRecheck, 30000);
}

void PinOperationModel::endLockOut() {
  if (m_fieldEnabled) return;
  m_fieldEnabled = true;
  m_field.clear();
  requestFocus(Control::Field);
}

Text PinOperationModel::HandleVerifyFail(int32_t result) {
  const AttemptFacts facts = ReadAttemptFacts();
  if (facts.locked || result == OV_ERR_TOKEN_LOCKED) {
    startLockRecheck();
    return LockOutText(facts);
  }
  if (facts.maxAttacks > 0 && facts.badPins > 0) {
    return Joined({Text::Of(209, facts.badPins + 1, facts.maxAttacks).str(), "\n",
                   Text::Of(160).str(), "\n", Text::Of(210, facts.maxAttacks).str()});
  }
  return Text::Of(160);
}

void PinOperationModel::addInstructionOnEnterPinDialog() {
  const AttemptFacts facts = ReadAttemptFacts();
  Text text;
  if (facts.locked) {
    startLockRecheck();
    text = LockOutText(facts);
  } else {
    endLockOut();
    m_continueEnabled = !Shared().g_bDeactivationShown;
    if (facts.maxAttacks > 0 && facts.badPins > 0) {
      text = Joined({Text::Of(209, facts.badPins + 1, facts.maxAttacks).str(), "\n",
                     Text::Of(210, facts.maxAttacks).str()});
    }
  }
  m_message = std::move(text);
}

void PinOperationModel::OnBnClickedCancelbtn() {
  AppLog log("CPinOperationDialog::OnBnClickedCancelbtn");
  SharedValues& shared = Shared();
  switch (m_DialogType) {
    case D::CHANGE_TOKEN_PIN_DIALOG1:
      postCancel(shared.g_bDeactivationShown || shared.g_bPinFailureShown ? Cancel::kToTokenList
                                                                          : Cancel::kBack);
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::GET_TOKEN_POLICY:
    case D::ENTER_PORTAL_URL:
      postCancel(Cancel::kToEnrollmentMethod);
      postTitleIndicator(Indicator::kShowA);
      break;
    case D::SET_TOKEN_PIN:
    case D::CONFIRM_SET_TOKEN_PIN:
      // The token goes back to its installed state; an activation code shown for it would
      // become invalid, so the user is asked first.
      if (!ResetTokenAfterAsking()) return;
      postCancel(Cancel::kToTokenList);
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::CHANGE_TOKEN_NAME_DIALOG:
      postCancel(Cancel::kBack);
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::CHANGE_TOKEN_PIN_DIALOG2:
    case D::CHANGE_TOKEN_PIN_DIALOG3:
      if (shared.g_bChangePinRequired) {
        shared.g_bChangePinRequired = false;
        postCancel(Cancel::kToTokenList);
      } else {
        postCancel(m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG2 ? Cancel::kBackTwo
                                                               : Cancel::kBackThree);
      }
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::ENTER_TOKEN_PIN_DIALOG:
      postCancel(Cancel::kToTokenList);
      postTitleIndicator(Indicator::kHideA);
      break;
    default:
      break;
  }
  if (m_masked) m_field.clear();
}

void PinOperationModel::showErrorMessage() {
  m_message = Text::Of(167);
  m_field.clear();
  requestFocus(Control::Field);
}

void PinOperationModel::showInvalidPINError() {
  m_message = Text::Of(165);
  m_field.clear();
  requestFocus(Control::Field);
}

void PinOperationModel::ClearMessageLine() {
  m_message = {};
  requestFocus(Control::Field);
}

void PinOperationModel::ResetForReentry() {
  ClearMessageLine();
  m_field.clear();
}

}  // namespace ov::app
