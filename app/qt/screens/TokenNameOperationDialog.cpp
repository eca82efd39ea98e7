#include "app/qt/screens/TokenNameOperationDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/core/screens/TokenNameOperationModel.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

TokenNameOperationDialog::TokenNameOperationDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<TokenNameOperationModel>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(12), theme::DluY(12), theme::DluX(12), theme::DluY(10));
  layout->setSpacing(theme::DluY(5));
  m_headline = new QLabel(Str(113), this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_label = new QLabel(Str(114), this);
  m_label->setObjectName(QStringLiteral("fieldLabel"));
  theme::StyleFieldLabel(m_label);
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("edit"));
  m_edit->setFont(theme::Helvetica(12));
  m_edit->setMaxLength(TokenNameOperationModel::kNameMaxLength);
  m_edit->setAccessibleName(m_label->text());
  m_label->setBuddy(m_edit);
  m_error = new QLabel(this);
  m_error->setObjectName(QStringLiteral("errorText"));
  theme::StyleError(m_error);
  layout->addWidget(m_headline);
  layout->addSpacing(theme::DluY(4));
  layout->addWidget(m_label);
  layout->addWidget(m_edit);
  layout->addWidget(m_error);
  layout->addStretch(1);
  m_activate = new ButtonST(QStringLiteral("activateButton"), ButtonST::Look::Primary, this);
  m_activate->setText(Str(108));
  m_later = new ButtonST(QStringLiteral("activateLaterButton"), ButtonST::Look::Secondary, this);
  m_later->setText(Str(112));
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  m_cancel->setText(Str(109));
  auto* buttons = new QHBoxLayout();
  for (ButtonST* button : {m_activate, m_later, m_cancel}) buttons->addWidget(button);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  for (QWidget* widget : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_activate),
                          static_cast<QWidget*>(m_later), static_cast<QWidget*>(m_cancel)}) {
    addToCycle(widget);
  }
  m_edit->installEventFilter(this);
  connect(m_edit, &QLineEdit::textEdited, this, [this](const QString& text) {
    ModelOf<TokenNameOperationModel>(*this).OnEnChangeEdit(text.toStdWString());
  });
  connect(m_activate, &QPushButton::clicked, this, &TokenNameOperationDialog::OnBnClickedActivate);
  connect(m_later, &QPushButton::clicked, this,
          &TokenNameOperationDialog::OnBnClickedActivateLater);
  connect(m_cancel, &QPushButton::clicked, this, &TokenNameOperationDialog::OnBnClickedCancel);
}

void TokenNameOperationDialog::OnInitDialog() {
  // The proposal is drawn selected, so typing replaces it.
  refresh();
  m_edit->selectAll();
}

void TokenNameOperationDialog::refresh() {
  const TokenNameOperationModel& model = ModelOf<TokenNameOperationModel>(*this);
  const QString name = QString::fromStdWString(model.name());
  if (m_edit->text() != name) m_edit->setText(name);
  m_error->setText(Str(model.error()));
  m_error->setAccessibleName(m_error->text());
  if (model.focusRequest() != m_focusRequestDrawn) {
    m_focusRequestDrawn = model.focusRequest();
    m_edit->setFocus();
  }
}

std::wstring TokenNameOperationDialog::fieldText() const { return m_edit->text().toStdWString(); }

void TokenNameOperationDialog::setAutoEnrollmentByURLMode(bool byUrl) {
  ModelOf<TokenNameOperationModel>(*this).setAutoEnrollmentByURLMode(byUrl);
}

bool TokenNameOperationDialog::isAutoEnrollmentByURLMode() const {
  return ModelOf<TokenNameOperationModel>(*this).isAutoEnrollmentByURLMode();
}

QWidget* TokenNameOperationDialog::initialFocus() const { return m_edit; }

bool TokenNameOperationDialog::onEscape() {
  OnBnClickedCancel();
  return true;
}

bool TokenNameOperationDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_edit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OnBnClickedActivate();
      return true;
    }
  }
  return RHGenericChildDialog::eventFilter(watched, event);
}

bool TokenNameOperationDialog::createNewToken() {
  const bool created = ModelOf<TokenNameOperationModel>(*this).createNewToken(fieldText());
  refresh();
  return created;
}

void TokenNameOperationDialog::OnBnClickedActivate() {
  ModelOf<TokenNameOperationModel>(*this).OnBnClickedActivate(fieldText());
  refresh();
}

void TokenNameOperationDialog::OnBnClickedActivateLater() {
  ModelOf<TokenNameOperationModel>(*this).OnBnClickedActivateLater(fieldText());
  refresh();
}

void TokenNameOperationDialog::OnBnClickedCancel() {
  ModelOf<TokenNameOperationModel>(*this).OnBnClickedCancel();
  refresh();
}

}  // namespace ov::app
