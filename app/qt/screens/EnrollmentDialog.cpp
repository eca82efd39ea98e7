#include "app/qt/screens/EnrollmentDialog.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "app/core/screens/EnrollmentModel.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

EnrollmentDialog::EnrollmentDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<EnrollmentModel>()) {
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
  connect(m_auto, &QPushButton::clicked, this, &EnrollmentDialog::OnBnClickedAuto);
  connect(m_manual, &QPushButton::clicked, this, &EnrollmentDialog::OnBnClickedManual);
  connect(m_cancel, &QPushButton::clicked, this, &EnrollmentDialog::OnBnClickedCancel);
}

void EnrollmentDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  ModelOf<EnrollmentModel>(*this).OnShowWindow(show);
  if (show) refresh();
}

void EnrollmentDialog::refresh() {
  const EnrollmentModel& model = ModelOf<EnrollmentModel>(*this);
  m_text->setText(Str(model.text));
  m_text->setAccessibleName(m_text->text());
  m_auto->setEnabled(model.waysEnabled);
  m_manual->setEnabled(model.waysEnabled);
  // Disabled buttons let the focus go; it comes back to the first way when they return.
  if (model.waysEnabled && isVisible() && QApplication::focusWidget() == nullptr) {
    m_auto->setFocus();
  }
}

QWidget* EnrollmentDialog::initialFocus() const { return m_auto; }

bool EnrollmentDialog::onEscape() {
  OnBnClickedCancel();
  return true;
}

void EnrollmentDialog::OnBnClickedAuto() { ModelOf<EnrollmentModel>(*this).OnBnClickedAuto(); }

void EnrollmentDialog::OnBnClickedManual() { ModelOf<EnrollmentModel>(*this).OnBnClickedManual(); }

void EnrollmentDialog::OnBnClickedCancel() { ModelOf<EnrollmentModel>(*this).OnBnClickedCancel(); }

}  // namespace ov::app
