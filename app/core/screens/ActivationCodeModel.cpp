#include "app/core/screens/ActivationCodeModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/core/AppLog.h"
#include "app/core/TokenRecords.h"
#include "frontend/WipeBytes.h"

namespace ov::app {

std::string ActivationCodeModel::counterText() const {
  char text[16] = {};
  std::snprintf(text, sizeof text, "%02d", std::max(m_nCounter, 0));
  return text;
}

int32_t ActivationCodeModel::RemainingSeconds() {
  int32_t seconds = 0;
  OV_GetRemainingTickCount(&seconds);
  return seconds;
}

int64_t ActivationCodeModel::nowMs() const {
  if (m_now) return m_now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t ActivationCodeModel::sinceLastPasscode() const {
  const int64_t now = nowMs();
  return now - m_passcodeAt.value_or(now);
}

void ActivationCodeModel::setCode(std::wstring_view code) {
  m_code.assign(code);
  ++m_codeVersion;
}

void ActivationCodeModel::clearClipboard() {
  effects().clearSecret();
  clipboardNoteShown = false;
}

void ActivationCodeModel::copyCode() {
  if (m_code.empty()) return;
  std::string text = ToUtf8(m_code.view());
  effects().copySecret(text);
  frontend::WipeBytes(text.data(), text.size());
  clipboardNote = Text::Of(isPasscode() ? kStrCopied : kStrActivationCodeCopied);
  clipboardNoteShown = true;
}

void ActivationCodeModel::forgetCode() {
  clearClipboard();
  m_code.clear();
  ++m_codeVersion;
}

void ActivationCodeModel::OnInitDialog() {
  AppLog log("CActivationCodeDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  m_timeBased = false;
  m_timeStep = 0;
  m_passcodeAt.reset();
  m_focusRequest = Control::None;
  continueEnabled = true;
  clipboardNoteShown = false;
  if (!isPasscode()) {
    headline = Text::Of(126);
    headlineShown = true;
    title = Text::Of(131);
    hint = Text::Of(183);
    hintShown = true;
    continueText = Text::Of(106);
    continueShown = true;
    cancelShown = true;
    counterShown = false;
    setCode(Shared().g_szActivationCode.view());
    return;
  }
  title = Text::Of(134);
  headlineShown = false;
  cancelShown = false;
  hintShown = false;
  hint = {};
  takePasscode();
  continueEnabled = false;
  continueShown = true;
  OpenTokenInfo info;
  const bool challengeResponse = info.ok() && ModeIs(*info, OV_MODE_TEXT_CHALLENGE_RESPONSE);
  continueText = Text::Of(challengeResponse ? 133 : 156);
  if (info.ok() && ModeIs(*info, OV_MODE_TEXT_TIME_SYNCHRONOUS)) {
    m_timeBased = true;
    m_timeStep = info->m_nTimeStep;
    continueShown = false;
    m_nCounter = RemainingSeconds();
    m_remainingAtPasscode = m_nCounter;
  }
  counterShown = m_timeBased;
  m_passcodeAt = nowMs();
}

void ActivationCodeModel::OnShowing(bool shown) {
  // A code copied from this screen does not stay on the clipboard once the screen is left.
  if (!shown) {
    clearClipboard();
    return;
  }
  if (isPasscode()) startButtonStateTimer();
}

void ActivationCodeModel::OnDestroy() {
  // The code leaves with its screen, from the clipboard too.
  forgetCode();
}

void ActivationCodeModel::takePasscode() {
  // The shared copy served to hand the passcode over; from here the screen keeps the only one.
  SharedValues& shared = Shared();
  setCode(shared.currentPasscode());
  shared.g_szPasscode.clear();
}

bool ActivationCodeModel::confirmBack() {
  if (isPasscode()) return true;
  // Leaving the activation code unused sends the token back to its installed state, and the code
  // becomes invalid.
  return ResetTokenAfterAsking(!m_code.empty()).has_value();
}

void ActivationCodeModel::OnBnClickedContinuebtn() {
  AppLog log("CActivationCodeDialog::OnBnClickedContinuebtn");
  if (isPasscode()) {
    ShowOTP();
    return;
  }
  Text refusal;
  ContinueToPasscode(true, WithoutInfo::Abort, &refusal);
  if (!refusal.empty()) hint = std::move(refusal);
}

void ActivationCodeModel::OnBnClickedCancelbtn() {
  AppLog log("CActivationCodeDialog::OnBnClickedCancelbtn");
  if (isPasscode()) return;
  const std::optional<int32_t> result = ResetTokenAfterAsking(!m_code.empty());
  if (result == OV_OK) {
    postCancel(Cancel::kActivationCodeCancelled);
    postTitleIndicator(Indicator::kShowA);
  }
}

void ActivationCodeModel::ShowOTP() {
  AppLog log("CActivationCodeDialog::ShowOTP");
  bool challengeResponse = false;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      postCancel(Cancel::kAbort);
      return;
    }
    challengeResponse = ModeIs(*info, OV_MODE_TEXT_CHALLENGE_RESPONSE);
  }
  if (challengeResponse) {
    postContinue(Continue::kNextChallenge);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  // The passcode on screen is replaced: a copy of it on the clipboard has expired with it.
  clearClipboard();
  hintShown = false;
  Generated generated = GenerateOTP(nullptr, false);
  if (generated.result == 0) {
    takePasscode();
  } else {
    if (!generated.refusal.empty()) hint = std::move(generated.refusal);
    hintShown = true;
  }
  m_passcodeAt = nowMs();
  if (m_timeBased) {
    m_remainingAtPasscode = RemainingSeconds();
  } else {
    resetTimer(0);
    startButtonStateTimer();
  }
}

void ActivationCodeModel::startButtonStateTimer() {
  continueEnabled = false;
  if (!m_timeBased) {
    const int64_t elapsed = m_passcodeAt ? sinceLastPasscode() : kButtonLockMs;
    if (elapsed >= kButtonLockMs) {
      stopButtonStateTimer();
    } else {
      startTimer(TimerId::kButtonState, static_cast<int>(kButtonLockMs - elapsed), true);
    }
    counterShown = false;
    return;
  }
  m_nCounter = RemainingSeconds();
  if (m_timeStep > 0 && m_passcodeAt &&
      sinceLastPasscode() > static_cast<int64_t>(m_timeStep) * 1000) {
    ShowOTP();  // the passcode on screen belongs to a step that has passed
  }
  counterShown = true;
  startTimer(TimerId::kButtonState, 1000);
}

void ActivationCodeModel::stopButtonStateTimer() {
  stopTimer(TimerId::kButtonState);
  continueEnabled = true;
  if (continueShown) m_focusRequest = Control::Continue;
}

void ActivationCodeModel::OnTimer(int id) {
  if (id == TimerId::kButtonState) {
    if (!m_timeBased) {
      stopButtonStateTimer();
    } else {
      int32_t seconds = RemainingSeconds();
      // A new step began when the seconds left grew, or when more time passed since the passcode
      // than its step had left (a clock jump or a suspend can skip whole steps).
      const bool newStep =
          seconds > m_nCounter ||
          sinceLastPasscode() >= static_cast<int64_t>(m_remainingAtPasscode) * 1000;
      if (newStep) {
        ShowOTP();
        seconds = RemainingSeconds();
      }
      m_nCounter = seconds;
    }
  }
  ScreenModel::OnTimer(id);
}

}  // namespace ov::app
