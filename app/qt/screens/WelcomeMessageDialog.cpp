#include "app/qt/screens/WelcomeMessageDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/core/screens/WelcomeMessageModel.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

WelcomeMessageDialog::WelcomeMessageDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<WelcomeMessageModel>()) {
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

void WelcomeMessageDialog::refresh() {
  const WelcomeMessageModel& model = ModelOf<WelcomeMessageModel>(*this);
  m_headline->setText(Str(model.headline()));
  m_text->setText(Str(model.text()));
  m_text->setAccessibleName(m_text->text());
  m_main->setText(Str(model.mainButton()));
  m_cancel->setVisible(model.cancelShown());
  m_error->setText(Str(model.error()));
  m_error->setAccessibleName(m_error->text());
  if (model.focusRequest() != m_focusRequestDrawn) {
    m_focusRequestDrawn = model.focusRequest();
    (model.focus() == WelcomeMessageModel::Control::Cancel ? m_cancel : m_main)->setFocus();
  }
}

void WelcomeMessageDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    initialFocus()->setFocus();
    ModelOf<WelcomeMessageModel>(*this).OnShown();
  }
}

QWidget* WelcomeMessageDialog::initialFocus() const {
  const auto focus = ModelOf<WelcomeMessageModel>(*this).initialFocus();
  return focus == WelcomeMessageModel::Control::Cancel ? m_cancel : m_main;
}

bool WelcomeMessageDialog::onEscape() {
  const bool used = ModelOf<WelcomeMessageModel>(*this).onEscape();
  refresh();
  return used;
}

void WelcomeMessageDialog::OnBnClickedMainBtn() {
  ModelOf<WelcomeMessageModel>(*this).OnBnClickedMainBtn();
  refresh();
}

void WelcomeMessageDialog::OnBnClickedCancelBtn() {
  ModelOf<WelcomeMessageModel>(*this).OnBnClickedCancelBtn();
  refresh();
}

}  // namespace ov::app
