#include "app/screens/RHGenericChildDialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QTimer>
#include <cstring>

#include "app/AppLog.h"
#include "app/MessageBoxes.h"
#include "app/Navigation.h"
#include "app/SharedValues.h"
#include "app/Strings.h"
#include "app/Theme.h"
#include "app/TokenRecords.h"
#include "frontend/WipeBytes.h"

namespace ov::app {

RHGenericChildDialog::RHGenericChildDialog(QObject* receiver, const QString& objectName,
                                           QWidget* parent)
    : QWidget(parent), m_receiver(receiver) {
  setObjectName(objectName);
  setAttribute(Qt::WA_StyledBackground, false);
  hide();
}

RHGenericChildDialog::~RHGenericChildDialog() = default;

void RHGenericChildDialog::CRHCreateGenericChildDialog(QWidget* placeholder, bool show) {
  AppLog log("CRHGenericChildDialog::CRHCreateGenericChildDialog");
  log.Number("m_DialogType", m_DialogType);
  if (placeholder != nullptr && parentWidget() != placeholder) {
    setParent(placeholder);
    if (placeholder->layout() != nullptr) placeholder->layout()->addWidget(this);
  }
  m_created = true;
  OnInitDialog();
  ShowChildDialog(show);
}

void RHGenericChildDialog::ShowChildDialog(bool show) {
  if (show) {
    setVisible(true);
    addTimers();
    if (QWidget* focus = initialFocus(); focus != nullptr && focus->isVisible()) focus->setFocus();
  } else {
    removeTimers();
    setVisible(false);
  }
}

void RHGenericChildDialog::DestroyChildDialog() {
  removeTimers();
  setVisible(false);
  if (m_created) OnDestroy();
  m_created = false;
}

void RHGenericChildDialog::addTimers() {
  if (isTimer1Added()) startTimer(TimerId::kInactivity, kInactivityMs);
}

void RHGenericChildDialog::removeTimers() {
  for (auto& [id, timer] : m_timers) timer->stop();
}

void RHGenericChildDialog::resetTimer(int id) {
  if (id == 0) id = TimerId::kInactivity;
  if (id == TimerId::kInactivity) {
    // Only a screen that counts inactivity restarts it; elsewhere it would later send a hidden
    // screen's user back to the list.
    if (isTimer1Added() && isVisible()) startTimer(id, kInactivityMs);
  } else if (id == TimerId::kButtonState) {
    startTimer(id, kButtonLockMs);
  }
}

QTimer* RHGenericChildDialog::timer(int id) {
  auto found = m_timers.find(id);
  if (found != m_timers.end()) return found->second;
  auto* created = new QTimer(this);
  created->setObjectName(QStringLiteral("timer%1").arg(id));
  connect(created, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  m_timers.emplace(id, created);
  return created;
}

void RHGenericChildDialog::startTimer(int id, int milliseconds, bool singleShot) {
  QTimer* t = timer(id);
  t->setSingleShot(singleShot);
  t->start(milliseconds);
}

void RHGenericChildDialog::stopTimer(int id) {
  auto found = m_timers.find(id);
  if (found != m_timers.end()) found->second->stop();
}

bool RHGenericChildDialog::isTimerRunning(int id) const {
  auto found = m_timers.find(id);
  return found != m_timers.end() && found->second->isActive();
}

void RHGenericChildDialog::OnTimer(int id) {
  if (id == TimerId::kInactivity) {
    AppLog log("CRHGenericChildDialog::OnTimer");
    log.Message("Inactivity: back to the token list");
    postCancel(Cancel::kToTokenList);
    postTitleIndicator(Indicator::kHideA);
    removeTimers();
  }
}

void RHGenericChildDialog::CRHPostMessageToParent(int message, int code) {
  if (m_receiver != nullptr) {
    QCoreApplication::postEvent(m_receiver, new NavigationEvent(message, code));
  }
}

void RHGenericChildDialog::postContinue(int code) { CRHPostMessageToParent(WM_CONTINUE_MSG, code); }
void RHGenericChildDialog::postCancel(int code) { CRHPostMessageToParent(WM_CANCEL_MSG, code); }
void RHGenericChildDialog::postTitleIndicator(int code) {
  CRHPostMessageToParent(WM_TITLE_INDICATOR_MSG, code);
}

int RHGenericChildDialog::GenerateOTP(const wchar_t* challenge, QLabel* errorLabel) {
  AppLog log("CRHGenericChildDialog::GenerateOTP");
  {
    // A multi-host token needs a host index that this application has no screen for; refuse it
    // plainly rather than letting the library's refusal end the application.
    OpenTokenInfo info;
    if (info.ok() && ModeIs(*info, OV_MODE_TEXT_MULTI_HOST)) {
      log.Message("Multi-host token: passcodes refused");
      const QString text = Str(kStrMultiHostRefused);
      if (errorLabel != nullptr) {
        errorLabel->setText(text);
      } else {
        MessageBoxes::Show(window(), MessageBoxes::Kind::Information, text, Str(205));
      }
      return log.Return(kStrMultiHost);
    }
  }
  int32_t length = 0;
  int32_t result = OV_GenerateOtpW(challenge, 0, nullptr, &length);
  if (result != OV_OK || length <= 0) {
    log.Message("OV_GenerateOtp call failed");
    log.Number("result", result);
    postCancel(Cancel::kAbort);
    return log.Return(1);
  }
  // Room for the terminating character the wide form writes after the passcode.
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  result = OV_GenerateOtpW(challenge, 0, buffer.data(), &length);
  if (result == OV_OK) {
    Shared().setPasscode(std::wstring_view(buffer.data(), std::wcslen(buffer.data())));
    ov::frontend::WipeBytes(buffer.data(), buffer.size() * sizeof(wchar_t));
    return log.Return(0);
  }
  ov::frontend::WipeBytes(buffer.data(), buffer.size() * sizeof(wchar_t));
  log.Number("result", result);
  if (challenge != nullptr && result == OV_ERR_INVALID_PARAM) {
    if (errorLabel != nullptr) errorLabel->setText(Str(164));
    return log.Return(164);
  }
  // Any other failure, a time-based token's included, leaves no passcode to show.
  log.Message("OV_GenerateOtp call failed");
  postCancel(Cancel::kAbort);
  return log.Return(-1);
}

bool RHGenericChildDialog::ContinueToPasscode(bool setPinFirst, WithoutInfo withoutInfo,
                                              QLabel* errorLabel) {
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
  } else if (challengeResponse) {
    postContinue(Continue::kChallenge);
    postTitleIndicator(Indicator::kShowA);
  } else if (GenerateOTP(nullptr, errorLabel) == 0) {
    postContinue(Continue::kPasscode);
    postTitleIndicator(Indicator::kHideA);
  } else {
    return false;
  }
  return true;
}

bool RHGenericChildDialog::MayVoidActivationCode(bool codeOnScreen) {
  if (!codeOnScreen && !Shared().activationCodePending()) return true;
  return MessageBoxes::Ask(window(), Str(kStrActivationCodeVoided), Str(205));
}

std::optional<int32_t> RHGenericChildDialog::ResetTokenAfterAsking(bool codeOnScreen) {
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

std::vector<QWidget*> RHGenericChildDialog::focusCycle() const {
  std::vector<QWidget*> visible;
  for (QWidget* widget : m_cycle) {
    if (widget->isVisibleTo(const_cast<RHGenericChildDialog*>(this)) && widget->isEnabled()) {
      visible.push_back(widget);
    }
  }
  return visible;
}

void RHGenericChildDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
}

}  // namespace ov::app
