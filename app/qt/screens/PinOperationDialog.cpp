#include "app/qt/screens/PinOperationDialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <string>

#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {
namespace {

// A QString's characters as a wide text; the caller wipes it.
std::wstring Wide(const QString& text) {
  std::wstring wide(static_cast<std::size_t>(text.size()), L'\0');
  wide.resize(static_cast<std::size_t>(text.toWCharArray(wide.data())));
  return wide;
}

void SetText(QLabel* label, const Text& text) {
  const QString shown = Str(text);
  if (label->text() != shown) label->setText(shown);
  label->setAccessibleName(shown);
}

}  // namespace

PinOperationDialog::PinOperationDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<PinOperationModel>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(12), theme::DluY(12), theme::DluX(12), theme::DluY(10));
  layout->setSpacing(theme::DluY(5));
  m_headline = new QLabel(this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_fieldLabel = new QLabel(this);
  m_fieldLabel->setObjectName(QStringLiteral("fieldLabel"));
  theme::StyleFieldLabel(m_fieldLabel);
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("edit"));
  m_edit->setFont(theme::Helvetica(12));
  theme::SetTextColour(m_edit, theme::kValue);
  m_edit->setMinimumHeight(theme::DluY(14));
  m_fieldLabel->setBuddy(m_edit);
  m_hint = new QLabel(this);
  m_hint->setObjectName(QStringLiteral("hint"));
  theme::StyleHint(m_hint);
  m_hint->hide();
  m_message = new QLabel(this);
  m_message->setObjectName(QStringLiteral("message"));
  theme::StyleError(m_message);
  layout->addWidget(m_headline);
  layout->addSpacing(theme::DluY(4));
  layout->addWidget(m_fieldLabel);
  layout->addWidget(m_edit);
  layout->addWidget(m_hint);
  layout->addWidget(m_message);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout();
  m_continue = new ButtonST(QStringLiteral("continueButton"), ButtonST::Look::Primary, this);
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  buttons->addWidget(m_continue);
  buttons->addWidget(m_cancel);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  addToCycle(m_edit);
  addToCycle(m_continue);
  addToCycle(m_cancel);
  m_edit->installEventFilter(this);
  connect(m_continue, &QPushButton::clicked, this, &PinOperationDialog::OnBnClickedContinuebtn);
  connect(m_cancel, &QPushButton::clicked, this, &PinOperationDialog::OnBnClickedCancelbtn);
  // The model keeps the field's text, however it changed; only typing counts as activity.
  connect(m_edit, &QLineEdit::textChanged, this, [this] {
    if (!m_drawing) forwardEdit(false);
  });
  connect(m_edit, &QLineEdit::textEdited, this, [this] { forwardEdit(true); });
}

void PinOperationDialog::forwardEdit(bool byUser) {
  QString text = m_edit->text();
  std::wstring wide = Wide(text);
  pinModel().OnEditChange(wide, byUser);
  SecretText::Wipe(wide);
  WipeQString(text);
}

QWidget* PinOperationDialog::widgetFor(PinOperationModel::Control control) const {
  switch (control) {
    case PinOperationModel::Control::Field:
      return m_edit;
    case PinOperationModel::Control::Continue:
      return m_continue;
    case PinOperationModel::Control::Cancel:
      return m_cancel;
    case PinOperationModel::Control::Screen:
      break;
  }
  return const_cast<PinOperationDialog*>(this);
}

QWidget* PinOperationDialog::initialFocus() const { return widgetFor(pinModel().initialFocus()); }

void PinOperationDialog::setURLEnrollmentString(const QString& text) {
  std::wstring wide = Wide(text);
  pinModel().setURLEnrollmentString(wide);
  SecretText::Wipe(wide);
}

void PinOperationDialog::OnDestroy() { refresh(); }

void PinOperationDialog::drawField() {
  const PinOperationModel& model = pinModel();
  QString shown = ToQString(model.field());
  QString current = m_edit->text();
  if (current != shown) {
    m_drawing = true;
    // QLineEdit keeps its text (and undo history) in its own buffers: overwrite, then set.
    if (!current.isEmpty()) m_edit->setText(QString(current.size(), QChar(u'\0')));
    if (shown.isEmpty()) {
      m_edit->clear();
    } else {
      m_edit->setText(shown);
    }
    m_drawing = false;
  }
  WipeQString(shown);
  WipeQString(current);
}

void PinOperationDialog::refresh() {
  const PinOperationModel& model = pinModel();
  const bool newFocus = model.focusRequest() != m_focusRequest;
  m_focusRequest = model.focusRequest();
  const bool moveFocus = newFocus && isVisible();
  // The focus leaves the field before it closes; Qt would otherwise hand it to the next button.
  if (moveFocus && model.focus() == PinOperationModel::Control::Screen) setFocus();
  m_headline->setText(Str(model.headline()));
  m_fieldLabel->setText(Str(model.fieldLabel()));
  m_edit->setAccessibleName(m_fieldLabel->text());
  m_edit->setEchoMode(model.masked() ? QLineEdit::Password : QLineEdit::Normal);
  if (m_edit->maxLength() != model.maxLength()) m_edit->setMaxLength(model.maxLength());
  m_edit->setEnabled(model.fieldEnabled());
  drawField();
  SetText(m_hint, model.hint());
  m_hint->setVisible(model.hintVisible());
  SetText(m_message, model.message());
  m_continue->setText(Str(model.continueText()));
  m_continue->setEnabled(model.continueEnabled());
  m_cancel->setText(Str(model.cancelText()));
  m_cancel->setVisible(model.cancelVisible());
  if (moveFocus && model.focus() != PinOperationModel::Control::Screen) {
    widgetFor(model.focus())->setFocus();
  }
}

void PinOperationDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    initialFocus()->setFocus();
    pinModel().OnShown();
  }
}

bool PinOperationDialog::onEscape() {
  const bool used = pinModel().OnEscape();
  refresh();
  return used;
}

bool PinOperationDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_edit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      const bool used = pinModel().OnFieldKey(PinOperationModel::FieldKey::Enter);
      refresh();
      if (used) return true;
    } else if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
               key == Qt::Key_Down) {
      pinModel().OnFieldKey(PinOperationModel::FieldKey::Arrow);
    }
  }
  return RHGenericChildDialog::eventFilter(watched, event);
}

void PinOperationDialog::OnBnClickedContinuebtn() {
  QString text = m_edit->text();
  std::wstring wide = Wide(text);
  pinModel().OnBnClickedContinuebtn(wide);
  SecretText::Wipe(wide);
  WipeQString(text);
  refresh();
}

void PinOperationDialog::OnBnClickedCancelbtn() {
  pinModel().OnBnClickedCancelbtn();
  refresh();
}

}  // namespace ov::app
