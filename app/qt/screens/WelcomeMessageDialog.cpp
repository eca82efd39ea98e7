#include "app/qt/screens/WelcomeMessageDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/widgets/ButtonST.h"

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

}  // namespace

WelcomeMessageDialog::WelcomeMessageDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(12), theme::DluY(12), theme::DluX(12), theme::DluY(10));
  layout->setSpacing(theme::DluY(8));
  m_headline = new QLabel(this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_headline->setWordWrap(true);
  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("text"));
  theme::StyleText(m_text);
  m_error = new QLabel(this);
  m_error->setObjectName(QStringLiteral("errorText"));
  theme::StyleError(m_error);
  layout->addWidget(m_headline);
  layout->addWidget(m_text);
  layout->addWidget(m_error);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout();
  m_main = new ButtonST(QStringLiteral("mainButton"), ButtonST::Look::Primary, this);
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  m_cancel->setText(Str(109));
  buttons->addWidget(m_main);
  buttons->addWidget(m_cancel);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  addToCycle(m_main);
  addToCycle(m_cancel);
  connect(m_main, &QPushButton::clicked, this, &WelcomeMessageDialog::OnBnClickedMainBtn);
  connect(m_cancel, &QPushButton::clicked, this, &WelcomeMessageDialog::OnBnClickedCancelBtn);
}

void WelcomeMessageDialog::OnInitDialog() {
  AppLog log("CWelcomeMessageDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  m_error->clear();
  m_error->setAccessibleName(QString());
  for (const ModeTexts& mode : kModes) {
    if (mode.mode != m_DialogType) continue;
    m_headline->setText(Str(mode.headline));
    m_text->setText(Str(mode.text));
    m_main->setText(Str(mode.button));
    m_cancel->setVisible(mode.cancelShown);
  }
  if (m_DialogType == DialogType::MESSAGE_INACTIVE) {
    OpenTokenInfo info;
    m_text->setText(Str(info.ok() && info->m_nTokenState == PENDING_PIN_STATE ? 188 : 168));
    startTimer(TimerId::kFocus, 200, true);
  }
  m_text->setAccessibleName(m_text->text());
}

void WelcomeMessageDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    initialFocus()->setFocus();
    postTitleIndicator(Indicator::kShowA);
  }
}

void WelcomeMessageDialog::OnTimer(int id) {
  if (id == TimerId::kFocus) {
    stopTimer(id);
    m_main->setFocus();
  }
  RHGenericChildDialog::OnTimer(id);
}

bool WelcomeMessageDialog::destroys() const {
  return m_DialogType == DialogType::MESSAGE_DEACTIVATE ||
         m_DialogType == DialogType::MESSAGE_DELETE;
}

QWidget* WelcomeMessageDialog::initialFocus() const {
  // Where the main button destroys something, Enter at once must not: the focus starts on Cancel.
  return destroys() ? m_cancel : m_main;
}

bool WelcomeMessageDialog::onEscape() {
  if (m_cancel->isVisible()) OnBnClickedCancelBtn();
  return true;
}

void WelcomeMessageDialog::OnBnClickedMainBtn() {
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
      if (result != OV_OK) {
        // The screen stays with the reason, so the user can try again or go back.
        m_error->setText(Str(kStrDeactivateFailed));
        m_error->setAccessibleName(m_error->text());
        return;
      }
      Shared().forgetActivationCode();
      postCancel(Cancel::kDeactivated);
      postTitleIndicator(Indicator::kShowA);
      break;
    }
    case DialogType::MESSAGE_DELETE: {
      const int32_t result = OV_DeleteToken();
      log.Number("result", result);
      if (result != OV_OK) {
        m_error->setText(Str(kStrDeleteFailed));
        m_error->setAccessibleName(m_error->text());
        return;
      }
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
      ContinueToPasscode(false, WithoutInfo::DoNothing, m_error);
      break;
    }
    case DialogType::MESSAGE_INACTIVE: {
      int state = 0;
      {
        OpenTokenInfo info;
        if (info.ok()) state = info->m_nTokenState;
      }
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

void WelcomeMessageDialog::OnBnClickedCancelBtn() {
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
