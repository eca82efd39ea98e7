#include "app/qt/screens/BlackPortionDialog.h"

#include <QVBoxLayout>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

BlackPortionDialog::BlackPortionDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName) {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, theme::kBlack);
  setPalette(colours);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(3), theme::DluY(6), theme::DluX(3), theme::DluY(6));
  layout->setSpacing(theme::DluY(4));
  auto make = [&](const char* name, const char* icon, int tooltip) {
    auto* button = new ButtonST(QString::fromLatin1(name), ButtonST::Look::Icon, this);
    button->setSvgIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon)), Str(tooltip));
    layout->addWidget(button, 0, Qt::AlignHCenter);
    addToCycle(button);
    return button;
  };
  m_info = make("infoButton", "info", 180);
  m_addOrRename = make("addRenameButton", "add", 104);
  m_changePin = make("changePinButton", "change-pin", 152);
  m_deactivate = make("deactivateButton", "deactivate", 179);
  m_delete = make("deleteButton", "delete", 105);
  layout->addStretch(1);
  connect(m_info, &QPushButton::clicked, this, &BlackPortionDialog::OnBnClickedBlackDlgInfoBtn);
  connect(m_addOrRename, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgChangeTokenNameBtn);
  connect(m_changePin, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgChangeTokenPin);
  connect(m_deactivate, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgResetTokenBtnz);
  connect(m_delete, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgDeleteTokenBtn);
}

void BlackPortionDialog::OnInitDialog() {
  AppLog log("CBlackPortionDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  for (ButtonST* button : {m_info, m_addOrRename, m_changePin, m_deactivate, m_delete}) {
    button->setEnabled(true);
    button->show();
  }
  m_hasSerial = false;
  if (m_DialogType == DialogType::SIDEBAR_LIST) {
    m_addOrRename->setSvgIcon(QStringLiteral(":/icons/add.svg"), Str(104));
    m_changePin->hide();
    m_deactivate->hide();
    m_delete->hide();
    // At the limit, or beyond it with files added from outside, no token can be added.
    const int32_t count = CountListedTokens();
    m_addOrRename->setEnabled(count >= 0 && count < kMaxTokens);
  } else if (m_DialogType == DialogType::SIDEBAR_PASSCODE) {
    m_addOrRename->setSvgIcon(QStringLiteral(":/icons/rename.svg"), Str(193));
    OpenTokenInfo info;
    if (!info.ok()) {
      log.Message("OV_GetTokenInfo call failed");
      postCancel(Cancel::kAbort);
      return;
    }
    m_changePin->setEnabled(info->m_bPinRequired);
    m_deactivate->setEnabled(info->m_nTokenState != INSTALLED_STATE);
    m_hasSerial = info->m_szTokenSerialNo != nullptr && info->m_szTokenSerialNo[0] != L'\0';
    if (ModeIs(*info, OV_MODE_TEXT_TIME_SYNCHRONOUS)) startTimer(TimerId::kFocus, 200, true);
  } else if (m_DialogType == DialogType::SIDEBAR_INACTIVE) {
    m_addOrRename->hide();
    m_changePin->hide();
    OpenTokenInfo info;
    if (info.ok()) m_deactivate->setEnabled(info->m_nTokenState == PENDING_PIN_STATE);
  }
}

void BlackPortionDialog::OnTimer(int id) {
  if (id == TimerId::kFocus) {
    stopTimer(id);
    m_info->setFocus();
  }
  RHGenericChildDialog::OnTimer(id);
}

QWidget* BlackPortionDialog::initialFocus() const {
  return m_DialogType == DialogType::SIDEBAR_LIST ? nullptr : m_info;
}

void BlackPortionDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show && initialFocus() != nullptr) m_info->setFocus();
}

std::vector<QWidget*> BlackPortionDialog::focusCycle() const {
  std::vector<QWidget*> cycle = RHGenericChildDialog::focusCycle();
  if (m_hasSerial) std::erase(cycle, static_cast<QWidget*>(m_addOrRename));
  return cycle;
}

void BlackPortionDialog::OnBnClickedBlackDlgInfoBtn() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgInfoBtn");
  if (m_DialogType == DialogType::SIDEBAR_LIST) {
    postContinue(Continue::kApplicationInfo);
  } else if (m_DialogType == DialogType::SIDEBAR_PASSCODE) {
    postContinue(Continue::kTokenInfo);
    postTitleIndicator(Indicator::kShowA);
  } else {
    postContinue(Continue::kInactiveTokenInfo);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionDialog::OnBnClickedBlackDlgChangeTokenNameBtn() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgChangeTokenNameBtn");
  if (!m_addOrRename->isEnabled()) return;
  if (m_DialogType == DialogType::SIDEBAR_LIST) {
    const int32_t count = CountListedTokens();
    if (count < 0 || count >= kMaxTokens) return;
    postContinue(Continue::kTokenName);
    postTitleIndicator(Indicator::kShowA);
  } else if (m_DialogType == DialogType::SIDEBAR_PASSCODE) {
    if (!OpenTokenInfo().ok()) return;
    postContinue(Continue::kRenamePin);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionDialog::OnBnClickedBlackDlgChangeTokenPin() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgChangeTokenPin");
  if (m_DialogType != DialogType::SIDEBAR_PASSCODE || !m_changePin->isEnabled()) return;
  OpenTokenInfo info;
  if (info.ok() && info->m_bPinRequired) {
    postContinue(Continue::kChangePinCurrent);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionDialog::OnBnClickedBlackDlgResetTokenBtnz() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgResetTokenBtnz");
  if (m_DialogType == DialogType::SIDEBAR_LIST || !m_deactivate->isEnabled()) return;
  OpenTokenInfo info;
  if (info.ok() && info->m_nTokenState != INSTALLED_STATE) {
    postContinue(Continue::kDeactivateConfirm);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionDialog::OnBnClickedBlackDlgDeleteTokenBtn() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgDeleteTokenBtn");
  if (m_DialogType == DialogType::SIDEBAR_LIST) return;
  postContinue(Continue::kDeleteConfirm);
  postTitleIndicator(Indicator::kShowA);
}

}  // namespace ov::app
