#include "app/core/ScreenModel.h"

#include <cwchar>
#include <vector>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/core/TokenRecords.h"
#include "frontend/WipeBytes.h"

namespace ov::app {

void ScreenModel::create() {
  m_created = true;
  OnInitDialog();
}

void ScreenModel::show(bool shown) {
  m_shown = shown;
  if (shown) {
    addTimers();
  } else {
    removeTimers();
  }
}

void ScreenModel::destroy() {
  removeTimers();
  m_shown = false;
  if (m_created) OnDestroy();
  m_created = false;
}

void ScreenModel::fireTimer(int id) {
  if (m_singleShot.count(id) != 0) {
    m_running.erase(id);
    m_singleShot.erase(id);
  }
  OnTimer(id);
}

void ScreenModel::startTimer(int id, int milliseconds, bool singleShot) {
  m_running.insert(id);
  if (singleShot) {
    m_singleShot.insert(id);
  } else {
    m_singleShot.erase(id);
  }
  if (m_effects != nullptr) m_effects->runTimer(id, milliseconds, singleShot);
}

void ScreenModel::stopTimer(int id) {
  m_running.erase(id);
  m_singleShot.erase(id);
  if (m_effects != nullptr) m_effects->cancelTimer(id);
}

void ScreenModel::addTimers() {
  if (isTimer1Added()) startTimer(TimerId::kInactivity, kInactivityMs);
}

void ScreenModel::removeTimers() {
  const std::set<int> running = m_running;
  for (int id : running) stopTimer(id);
}

void ScreenModel::resetTimer(int id) {
  if (id == 0) id = TimerId::kInactivity;
  if (id == TimerId::kInactivity) {
    // Only a screen that counts inactivity restarts it; elsewhere it would later send a hidden
    // screen's user back to the list.
    if (isTimer1Added() && m_shown) startTimer(id, kInactivityMs);
  } else if (id == TimerId::kButtonState) {
    startTimer(id, kButtonLockMs);
  }
}

void ScreenModel::OnTimer(int id) {
  if (id == TimerId::kInactivity) {
    AppLog log("CRHGenericChildDialog::OnTimer");
    log.Message("Inactivity: back to the token list");
    postCancel(Cancel::kToTokenList);
    postTitleIndicator(Indicator::kHideA);
    removeTimers();
  }
}

void ScreenModel::CRHPostMessageToParent(int message, int code) {
  if (m_effects != nullptr) m_effects->post(message, code);
}

void ScreenModel::postContinue(int code) { CRHPostMessageToParent(WM_CONTINUE_MSG, code); }
void ScreenModel::postCancel(int code) { CRHPostMessageToParent(WM_CANCEL_MSG, code); }
void ScreenModel::postTitleIndicator(int code) {
  CRHPostMessageToParent(WM_TITLE_INDICATOR_MSG, code);
}

void ScreenModel::showMessage(MessageKind kind, const Text& text, int captionId) {
  if (m_effects != nullptr) m_effects->showMessage(kind, text.str(), Text::Of(captionId).str());
}

bool ScreenModel::ask(const Text& text, int captionId) {
  return m_effects != nullptr && m_effects->ask(text.str(), Text::Of(captionId).str());
}

ScreenModel::Generated ScreenModel::GenerateOTP(const wchar_t* challenge, bool boxForRefusal) {
  AppLog log("CRHGenericChildDialog::GenerateOTP");
  {
    // A multi-host token needs a host index that this application has no screen for; refuse it
    // plainly rather than letting the library's refusal end the application.
    OpenTokenInfo info;
    if (info.ok() && ModeIs(*info, OV_MODE_TEXT_MULTI_HOST)) {
      log.Message("Multi-host token: passcodes refused");
      const Text text = Text::Of(kStrMultiHostRefused);
      if (boxForRefusal) showMessage(MessageKind::Information, text);
      return {log.Return(kStrMultiHost), boxForRefusal ? Text{} : text};
    }
  }
  int32_t length = 0;
  int32_t result = OV_GenerateOtpW(challenge, 0, nullptr, &length);
  if (result != OV_OK || length <= 0) {
    log.Message("OV_GenerateOtp call failed");
    log.Number("result", result);
    postCancel(Cancel::kAbort);
    return {log.Return(1), {}};
  }
  // Room for the terminating character the wide form writes after the passcode.
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  result = OV_GenerateOtpW(challenge, 0, buffer.data(), &length);
  if (result == OV_OK) {
    Shared().setPasscode(std::wstring_view(buffer.data(), std::wcslen(buffer.data())));
    frontend::WipeBytes(buffer.data(), buffer.size() * sizeof(wchar_t));
    return {log.Return(0), {}};
  }
  frontend::WipeBytes(buffer.data(), buffer.size() * sizeof(wchar_t));
  log.Number("result", result);
  if (challenge != nullptr && result == OV_ERR_INVALID_PARAM) {
    return {log.Return(164), Text::Of(164)};
  }
  // Any other failure, a time-based token's included, leaves no passcode to show.
  log.Message("OV_GenerateOtp call failed");
  postCancel(Cancel::kAbort);
  return {log.Return(-1), {}};
}

bool ScreenModel::ContinueToPasscode(bool setPinFirst, WithoutInfo withoutInfo, Text* refusal) {
  bool pinRequired = false;
  bool challengeResponse = false;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      AppLog log("CRHGenericChildDialog::ContinueToPasscode");
      log.Message("OV_GetTokenInfo call failed");
      if (withoutInfo == WithoutInfo::Abort) postCancel(Cancel::kAbort);
      return false;
    }
    pinRequired = info->m_bPinRequired;
    challengeResponse = ModeIs(*info, OV_MODE_TEXT_CHALLENGE_RESPONSE);
  }
  if (setPinFirst && pinRequired) {
    postContinue(Continue::kSetPin);
    postTitleIndicator(Indicator::kShowA);
    return true;
  }
  if (challengeResponse) {
    postContinue(Continue::kChallenge);
    postTitleIndicator(Indicator::kShowA);
    return true;
  }
  Generated generated = GenerateOTP(nullptr, refusal == nullptr);
  if (generated.result == 0) {
    postContinue(Continue::kPasscode);
    postTitleIndicator(Indicator::kHideA);
    return true;
  }
  if (refusal != nullptr && !generated.refusal.empty()) *refusal = std::move(generated.refusal);
  return false;
}

bool ScreenModel::MayVoidActivationCode(bool codeOnScreen) {
  if (!codeOnScreen && !Shared().activationCodePending()) return true;
  return ask(Text::Of(kStrActivationCodeVoided));
}

std::optional<int32_t> ScreenModel::ResetTokenAfterAsking(bool codeOnScreen) {
  AppLog log("CRHGenericChildDialog::ResetTokenAfterAsking");
  if (!MayVoidActivationCode(codeOnScreen)) {
    log.Message("The activation code is kept");
    return std::nullopt;
  }
  const int32_t result = OV_ResetToken();
  log.Number("OV_ResetToken", result);
  if (result == OV_OK) Shared().forgetActivationCode();
  return result;
}

}  // namespace ov::app
