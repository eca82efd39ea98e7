#include "app/core/screens/WelcomeMessageModel.h"

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/core/TokenRecords.h"

namespace ov::app {
namespace {

struct ModeTexts {
  int mode, headline, text, button;
  bool cancelShown;
};

constexpr ModeTexts kModes[] = {
    {DialogType::MESSAGE_RENAMED, 132, 136, 106, false},
    {DialogType::MESSAGE_WELCOME, 102, 107, 106, true},
    {DialogType::MESSAGE_DEACTIVATE, 141, 142, 143, true},
    {DialogType::MESSAGE_DELETE, 144, 145, 137, true},
    {DialogType::MESSAGE_PIN_CHANGED, 110, 138, 106, false},
    {DialogType::MESSAGE_INACTIVE, 187, 168, 108, true},
};

// The focus moves to the main button this long after the inactive token's notice is shown.
constexpr int kFocusDelayMs = 200;

int OpenTokenStateOrZero() {
  OpenTokenInfo info;
  return info.ok() ? info->m_nTokenState : 0;
}

}  // namespace

void WelcomeMessageModel::OnInitDialog() {
  AppLog log("CWelcomeMessageDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  m_error = {};
  for (const ModeTexts& mode : kModes) {
    if (mode.mode != m_DialogType) continue;
    m_headline = Text::Of(mode.headline);
    m_text = Text::Of(mode.text);
    m_mainButton = Text::Of(mode.button);
    m_cancelShown = mode.cancelShown;
  }
  if (m_DialogType == DialogType::MESSAGE_INACTIVE) {
    m_text = Text::Of(OpenTokenStateOrZero() == PENDING_PIN_STATE ? 188 : 168);
    startTimer(TimerId::kFocus, kFocusDelayMs, true);
  }
}

WelcomeMessageModel::Control WelcomeMessageModel::initialFocus() const {
  const bool destroys =
      m_DialogType == DialogType::MESSAGE_DEACTIVATE || m_DialogType == DialogType::MESSAGE_DELETE;
  return destroys ? Control::Cancel : Control::Main;
}

void WelcomeMessageModel::OnShown() { postTitleIndicator(Indicator::kShowA); }

void WelcomeMessageModel::OnTimer(int id) {
  if (id == TimerId::kFocus) {
    stopTimer(id);
    m_focus = Control::Main;
    ++m_focusRequest;
  }
  ScreenModel::OnTimer(id);
}

bool WelcomeMessageModel::onEscape() {
  if (m_cancelShown) OnBnClickedCancelBtn();
  return true;
}

void WelcomeMessageModel::failWith(int textId) {
  // The screen stays with the reason, so the user can try again or go back.
  m_error = Text::Of(textId);
}

void WelcomeMessageModel::OnBnClickedMainBtn() {
  AppLog log("CWelcomeMessageDialog::OnBnClickedMainBtn");
  log.Number("m_DialogType", m_DialogType);
  switch (m_DialogType) {
    case DialogType::MESSAGE_RENAMED:
      postCancel(Cancel::kRenamedBack);
      postTitleIndicator(Indicator::kHideA);
      break;
    case DialogType::MESSAGE_WELCOME:
      postContinue(Continue::kTokenName);
      postTitleIndicator(Indicator::kShowA);
      break;
    case DialogType::MESSAGE_DEACTIVATE: {
      const int32_t result = OV_ResetToken();
      log.Number("result", result);
      if (result != OV_OK) return failWith(kStrDeactivateFailed);
      Shared().forgetActivationCode();
      postCancel(Cancel::kDeactivated);
      postTitleIndicator(Indicator::kShowA);
      break;
    }
    case DialogType::MESSAGE_DELETE: {
      const int32_t result = OV_DeleteToken();
      log.Number("result", result);
      if (result != OV_OK) return failWith(kStrDeleteFailed);
      Shared().forgetActivationCode();
      if (CountTokens() > 0) {
        postCancel(Cancel::kToTokenList);
        postTitleIndicator(Indicator::kHideA);
      } else {
        postCancel(Cancel::kToWelcome);
        postTitleIndicator(Indicator::kShowA);
      }
      break;
    }
    case DialogType::MESSAGE_PIN_CHANGED: {
      if (!Shared().g_bChangePinRequired) {
        postCancel(Cancel::kBackFour);
        postTitleIndicator(Indicator::kHideA);
        break;
      }
      Shared().g_bChangePinRequired = false;
      Text refusal;
      ContinueToPasscode(false, WithoutInfo::DoNothing, &refusal);
      if (!refusal.empty()) m_error = refusal;
      break;
    }
    case DialogType::MESSAGE_INACTIVE: {
      const int state = OpenTokenStateOrZero();
      if (state == PENDING_PIN_STATE) {
        postContinue(Continue::kSetPin);
        postTitleIndicator(Indicator::kShowA);
      } else if (state == INSTALLED_STATE) {
        postContinue(Continue::kEnrollmentMethod);
        postTitleIndicator(Indicator::kShowA);
      }
      break;
    }
    default:
      break;
  }
}

void WelcomeMessageModel::OnBnClickedCancelBtn() {
  AppLog log("CWelcomeMessageDialog::OnBnClickedCancelBtn");
  switch (m_DialogType) {
    case DialogType::MESSAGE_WELCOME:
      postCancel(Cancel::kExit);
      break;
    case DialogType::MESSAGE_INACTIVE:
      postCancel(Cancel::kToTokenList);
      postTitleIndicator(Indicator::kHideA);
      break;
    default:
      postCancel(Cancel::kBack);
      postTitleIndicator(Indicator::kHideA);
      break;
  }
}

}  // namespace ov::app
