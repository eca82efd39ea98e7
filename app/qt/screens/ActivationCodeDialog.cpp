#include "app/qt/screens/ActivationCodeDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>
#include <utility>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/qt/SecretClipboard.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

ActivationCodeDialog::ActivationCodeDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<InactivityModel>([](int type) { return type == kPasscodeVariant; })) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(10), theme::DluY(10), theme::DluX(10), theme::DluY(10));
  layout->setSpacing(theme::DluY(6));
  m_headline = new QLabel(this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_title = new QLabel(this);
  m_title->setObjectName(QStringLiteral("codeTitle"));
  theme::StyleFieldLabel(m_title);
  m_title->setFont(theme::Helvetica(11, true));
  m_code = new QLabel(this);
  m_code->setObjectName(QStringLiteral("code"));
  m_code->setTextFormat(Qt::PlainText);
  m_code->setAlignment(Qt::AlignCenter);
  m_code->setAutoFillBackground(true);
  m_code->setTextInteractionFlags(Qt::NoTextInteraction);
  {
    QPalette colours = m_code->palette();
    colours.setColor(QPalette::Window, theme::kBlack);
    colours.setColor(QPalette::WindowText, theme::kWhite);
    m_code->setPalette(colours);
  }
  m_code->setMinimumHeight(theme::DluY(26));
  auto* counterRow = new QHBoxLayout();
  m_nextLabel = new QLabel(Str(177), this);
  m_nextLabel->setObjectName(QStringLiteral("nextPasscodeLabel"));
  m_seconds = new QLabel(this);
  m_seconds->setObjectName(QStringLiteral("secondsValue"));
  m_secondsLabel = new QLabel(Str(214), this);
  m_secondsLabel->setObjectName(QStringLiteral("secondsLabel"));
  for (QLabel* label : {m_nextLabel, m_seconds, m_secondsLabel}) {
    theme::StyleValue(label);
    counterRow->addWidget(label);
  }
  m_seconds->setFont(theme::Helvetica(9, true));
  counterRow->addStretch(1);
  m_hint = new QLabel(this);
  m_hint->setObjectName(QStringLiteral("hint"));
  theme::StyleHint(m_hint);
  m_clipboardNote = new QLabel(this);
  m_clipboardNote->setObjectName(QStringLiteral("clipboardNote"));
  theme::StyleHint(m_clipboardNote);
  m_clipboardNote->hide();
  auto* buttons = new QHBoxLayout();
  m_continue = new ButtonST(QStringLiteral("continueButton"), ButtonST::Look::Primary, this);
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  m_cancel->setText(Str(109));
  m_copy = new ButtonST(QStringLiteral("copyButton"), ButtonST::Look::Secondary, this);
  m_copy->setText(Str(kStrCopy));
  buttons->addWidget(m_continue);
  buttons->addWidget(m_cancel);
  buttons->addWidget(m_copy);
  buttons->addStretch(1);
  layout->addWidget(m_headline);
  layout->addWidget(m_title);
  layout->addWidget(m_code);
  layout->addLayout(counterRow);
  layout->addWidget(m_hint);
  layout->addWidget(m_clipboardNote);
  layout->addStretch(1);
  layout->addLayout(buttons);
  addToCycle(m_continue);
  addToCycle(m_cancel);
  addToCycle(m_copy);
  connect(m_copy, &QPushButton::clicked, this, &ActivationCodeDialog::copyCode);
  auto* copyKey = new QShortcut(QKeySequence::Copy, this);
  copyKey->setContext(Qt::WindowShortcut);  // while the code is shown, wherever the focus is
  connect(copyKey, &QShortcut::activated, this, &ActivationCodeDialog::copyCode);
  // The note that the code is on the clipboard lasts as long as the code does there.
  connect(&SecretClipboard::Instance(), &SecretClipboard::secretGone, m_clipboardNote,
          &QLabel::hide);
  connect(m_continue, &QPushButton::clicked, this, &ActivationCodeDialog::OnBnClickedContinuebtn);
  connect(m_cancel, &QPushButton::clicked, this, &ActivationCodeDialog::OnBnClickedCancelbtn);
}

void ActivationCodeDialog::copyCode() {
  if (m_shownCode.isEmpty()) return;
  SecretClipboard::Instance().copySecret(m_shownCode);
  const QString note =
      Str(m_DialogType == kPasscodeVariant ? kStrCopied : kStrActivationCodeCopied);
  m_clipboardNote->setText(note);
  m_clipboardNote->setAccessibleName(note);
  m_clipboardNote->show();
}

void ActivationCodeDialog::showCode(QString code) {
  QString previous = std::exchange(m_shownCode, std::move(code));
  m_code->setText(m_shownCode);
  // A screen reader reads the code itself.
  m_code->setAccessibleName(m_shownCode);
  // The label let go of the previous code, so the wipe reaches its last copy.
  WipeQString(previous);
}

void ActivationCodeDialog::forgetCode() {
  SecretClipboard::Instance().clearIfOurs();
  m_clipboardNote->hide();
  m_code->clear();
  m_code->setAccessibleName(QString());
  // The label and its accessible name let go of the characters: the wipe reaches the only copy.
  WipeQString(m_shownCode);
}

void ActivationCodeDialog::OnInitDialog() {
  AppLog log("CActivationCodeDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  m_timeBased = false;
  m_timeStep = 0;
  m_continue->setEnabled(true);
  m_clipboardNote->hide();
  m_copy->show();
  if (m_DialogType != kPasscodeVariant) {
    m_headline->setText(Str(126));
    m_headline->show();
    m_title->setText(Str(131));
    m_hint->setText(Str(183));
    m_hint->show();
    m_continue->setText(Str(106));
    m_continue->show();
    m_cancel->show();
    m_code->setFont(theme::Helvetica(12, true));
    showCode(ToQString(Shared().g_szActivationCode));
    ShowCounter(false);
    return;
  }
  m_title->setText(Str(134));
  m_headline->hide();
  m_cancel->hide();
  m_hint->hide();
  m_hint->clear();
  m_code->setFont(theme::Helvetica(24, true));
  takePasscode();
  m_continue->setEnabled(false);
  m_continue->show();
  OpenTokenInfo info;
  const bool challengeResponse = info.ok() && ModeIs(*info, OV_MODE_TEXT_CHALLENGE_RESPONSE);
  m_continue->setText(Str(challengeResponse ? 133 : 156));
  if (info.ok() && ModeIs(*info, OV_MODE_TEXT_TIME_SYNCHRONOUS)) {
    m_timeBased = true;
    m_timeStep = info->m_nTimeStep;
    m_continue->hide();
    int32_t seconds = 0;
    OV_GetRemainingTickCount(&seconds);
    m_nCounter = seconds;
    m_remainingAtPasscode = seconds;
    showCounterValue();
  }
  ShowCounter(m_timeBased);
  m_sinceLastPasscode.start();
}

void ActivationCodeDialog::ShowChildDialog(bool show) {
  // A code copied from this screen does not stay on the clipboard once the screen is left.
  if (!show) {
    SecretClipboard::Instance().clearIfOurs();
    m_clipboardNote->hide();
  }
  RHGenericChildDialog::ShowChildDialog(show);
  if (show && m_DialogType == kPasscodeVariant) startButtonStateTimer();
  if (show && m_continue->isVisible() && m_continue->isEnabled()) m_continue->setFocus();
}

void ActivationCodeDialog::OnDestroy() {
  // The code leaves with its screen, from the clipboard too.
  forgetCode();
}

void ActivationCodeDialog::takePasscode() {
  // The shared copy served to hand the passcode over; from here the screen keeps the only one.
  SharedValues& shared = Shared();
  showCode(QString::fromWCharArray(shared.currentPasscode().data(),
                                   static_cast<int>(shared.currentPasscode().size())));
  shared.g_szPasscode.clear();
}

bool ActivationCodeDialog::confirmBack() {
  if (m_DialogType == kPasscodeVariant) return true;
  // Leaving the activation code unused sends the token back to its installed state, and the code
  // becomes invalid.
  return ResetTokenAfterAsking(!m_shownCode.isEmpty()).has_value();
}

QWidget* ActivationCodeDialog::initialFocus() const {
  return m_continue->isVisible() && m_continue->isEnabled() ? m_continue : nullptr;
}

void ActivationCodeDialog::ShowCounter(bool show) {
  m_nextLabel->setVisible(show);
  m_seconds->setVisible(show);
  m_secondsLabel->setVisible(show);
}

void ActivationCodeDialog::showCounterValue() {
  const QString text = QStringLiteral("%1").arg(std::max(m_nCounter, 0), 2, 10, QChar(u'0'));
  m_seconds->setText(text);
  m_seconds->setAccessibleName(text);
}

void ActivationCodeDialog::OnBnClickedContinuebtn() {
  AppLog log("CActivationCodeDialog::OnBnClickedContinuebtn");
  if (m_DialogType == kPasscodeVariant) {
    ShowOTP();
    return;
  }
  ContinueToPasscode(true, WithoutInfo::Abort, m_hint);
}

void ActivationCodeDialog::OnBnClickedCancelbtn() {
  AppLog log("CActivationCodeDialog::OnBnClickedCancelbtn");
  if (m_DialogType == kPasscodeVariant) return;
  const std::optional<int32_t> result = ResetTokenAfterAsking(!m_shownCode.isEmpty());
  if (result == OV_OK) {
    postCancel(Cancel::kActivationCodeCancelled);
    postTitleIndicator(Indicator::kShowA);
  }
}

void ActivationCodeDialog::ShowOTP() {
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
  SecretClipboard::Instance().clearIfOurs();
  m_hint->hide();
  if (GenerateOTP(nullptr, m_hint) == 0) {
    takePasscode();
  } else {
    m_hint->show();
  }
  m_sinceLastPasscode.start();
  if (m_timeBased) {
    int32_t seconds = 0;
    OV_GetRemainingTickCount(&seconds);
    m_remainingAtPasscode = seconds;
  } else {
    resetTimer(0);
    startButtonStateTimer();
  }
}

void ActivationCodeDialog::startButtonStateTimer() {
  m_continue->setEnabled(false);
  if (!m_timeBased) {
    const qint64 elapsed =
        m_sinceLastPasscode.isValid() ? m_sinceLastPasscode.elapsed() : kButtonLockMs;
    if (elapsed >= kButtonLockMs) {
      stopButtonStateTimer();
    } else {
      startTimer(TimerId::kButtonState, static_cast<int>(kButtonLockMs - elapsed), true);
    }
    ShowCounter(false);
    return;
  }
  int32_t seconds = 0;
  OV_GetRemainingTickCount(&seconds);
  m_nCounter = seconds;
  if (m_timeStep > 0 && m_sinceLastPasscode.isValid() &&
      m_sinceLastPasscode.elapsed() > static_cast<qint64>(m_timeStep) * 1000) {
    ShowOTP();  // the passcode on screen belongs to a step that has passed
  }
  ShowCounter(true);
  showCounterValue();
  startTimer(TimerId::kButtonState, 1000);
}

void ActivationCodeDialog::stopButtonStateTimer() {
  stopTimer(TimerId::kButtonState);
  m_continue->setEnabled(true);
  if (m_continue->isVisible()) m_continue->setFocus();
}

void ActivationCodeDialog::OnTimer(int id) {
  if (id == TimerId::kButtonState) {
    if (!m_timeBased) {
      stopButtonStateTimer();
    } else {
      int32_t seconds = 0;
      OV_GetRemainingTickCount(&seconds);
      // A new step began when the seconds left grew, or when more time passed since the passcode
      // than its step had left (a clock jump or a suspend can skip whole steps).
      const bool newStep =
          seconds > m_nCounter ||
          m_sinceLastPasscode.elapsed() >= static_cast<qint64>(m_remainingAtPasscode) * 1000;
      if (newStep) {
        ShowOTP();
        OV_GetRemainingTickCount(&seconds);
      }
      m_nCounter = seconds;
      showCounterValue();
    }
  }
  RHGenericChildDialog::OnTimer(id);
}

}  // namespace ov::app
