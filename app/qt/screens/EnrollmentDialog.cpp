#include "app/qt/screens/EnrollmentDialog.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "app/core/AppLog.h"
#include "app/core/EnrollmentWorker.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"
#include "frontend/EnrollmentFailure.h"

namespace ov::app {

EnrollmentDialog::EnrollmentDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(12), theme::DluY(12), theme::DluX(12), theme::DluY(10));
  layout->setSpacing(theme::DluY(8));
  m_headline = new QLabel(Str(146), this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("text"));
  theme::StyleText(m_text);
  layout->addWidget(m_headline);
  layout->addWidget(m_text);
  layout->addStretch(1);
  m_auto = new ButtonST(QStringLiteral("autoButton"), ButtonST::Look::Primary, this);
  m_auto->setText(Str(148));
  m_manual = new ButtonST(QStringLiteral("manualButton"), ButtonST::Look::Primary, this);
  m_manual->setText(Str(149));
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  m_cancel->setText(Str(109));
  for (ButtonST* button : {m_auto, m_manual, m_cancel}) {
    layout->addWidget(button);
    addToCycle(button);
  }
  m_libraryWait = new QTimer(this);
  m_libraryWait->setObjectName(QStringLiteral("libraryWaitTimer"));
  m_libraryWait->setInterval(200);
  connect(m_libraryWait, &QTimer::timeout, this, &EnrollmentDialog::followAbandonedExchange);
  connect(m_auto, &QPushButton::clicked, this, &EnrollmentDialog::OnBnClickedAuto);
  connect(m_manual, &QPushButton::clicked, this, &EnrollmentDialog::OnBnClickedManual);
  connect(m_cancel, &QPushButton::clicked, this, &EnrollmentDialog::OnBnClickedCancel);
}

void EnrollmentDialog::showDescription() {
  SharedValues& shared = Shared();
  QString text = Str(shared.g_bShowEnrollmentChoiceText ? 147 : 189);
  // A failure the library could tell the kind of says so first.
  const int reason = frontend::EnrollmentFailureStringId(shared.g_nEnrollmentFailure);
  if (!shared.g_bShowEnrollmentChoiceText && reason != 0) text = Str(reason) + ' ' + text;
  m_text->setText(text);
  m_text->setAccessibleName(m_text->text());
  // The failure text is shown once.
  shared.g_bShowEnrollmentChoiceText = true;
  shared.g_nEnrollmentFailure = 0;
}

void EnrollmentDialog::ShowChildDialog(bool show) {
  if (show) showDescription();
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    followAbandonedExchange();
  } else {
    m_libraryWait->stop();
  }
}

void EnrollmentDialog::followAbandonedExchange() {
  // An exchange the user stopped waiting for still holds the library for a while, which refuses
  // every other call: the ways that need it come back when it is over.
  const bool libraryBusy = EnrollmentWorker::AbandonedRunning() > 0;
  m_auto->setEnabled(!libraryBusy);
  m_manual->setEnabled(!libraryBusy);
  if (libraryBusy) {
    m_libraryWait->start();
  } else {
    m_libraryWait->stop();
    if (isVisible() && QApplication::focusWidget() == nullptr) m_auto->setFocus();
  }
}

QWidget* EnrollmentDialog::initialFocus() const { return m_auto; }

bool EnrollmentDialog::onEscape() {
  OnBnClickedCancel();
  return true;
}

void EnrollmentDialog::OnBnClickedAuto() {
  AppLog log("CEnrollmentDialog::OnBnClickedAuto");
  if (!m_auto->isEnabled()) return;
  Shared().g_bShowEnrollmentChoiceText = true;
  postContinue(Continue::kPortalUrl);
  postTitleIndicator(Indicator::kShowA);
}

void EnrollmentDialog::OnBnClickedManual() {
  AppLog log("CEnrollmentDialog::OnBnClickedManual");
  if (!m_manual->isEnabled()) return;
  Shared().g_bShowEnrollmentChoiceText = true;
  postContinue(Continue::kPolicyString);
  postTitleIndicator(Indicator::kShowA);
}

void EnrollmentDialog::OnBnClickedCancel() {
  AppLog log("CEnrollmentDialog::OnBnClickedCancel");
  Shared().g_bShowEnrollmentChoiceText = true;
  postCancel(Cancel::kToTokenList);
  postTitleIndicator(Indicator::kHideA);
}

}  // namespace ov::app
