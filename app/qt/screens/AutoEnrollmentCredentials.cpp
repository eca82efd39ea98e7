#include "app/qt/screens/AutoEnrollmentCredentials.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <string>
#include <utility>

#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {
namespace {

void Forward(AutoEnrollmentModel& model, AutoEnrollmentModel::Control box, const QString& text,
             bool typed) {
  std::wstring wide(static_cast<std::size_t>(text.size()), L'\0');
  wide.resize(static_cast<std::size_t>(text.toWCharArray(wide.data())));
  model.OnEnChange(box, wide, typed);
  SecretText::Wipe(wide);
}

// Shows the model's text in a box, overwriting what the box held before.
void Draw(QLineEdit* edit, const SecretText& text) {
  QString wanted = ToQString(text);
  if (edit->text() != wanted) {
    const QSignalBlocker quiet(edit);
    if (!edit->text().isEmpty()) edit->setText(QString(edit->text().size(), QChar(u'\0')));
    edit->clear();
    edit->setText(wanted);
  }
  WipeQString(wanted);
}

}  // namespace

AutoEnrollmentCredentials::AutoEnrollmentCredentials(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<AutoEnrollmentModel>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(12), theme::DluY(12), theme::DluX(12), theme::DluY(10));
  layout->setSpacing(theme::DluY(5));
  m_headline = new QLabel(Str(115), this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_firstLabel = new QLabel(this);
  m_firstLabel->setObjectName(QStringLiteral("firstLabel"));
  m_first = new QLineEdit(this);
  m_first->setObjectName(QStringLiteral("firstEdit"));
  m_secondLabel = new QLabel(Str(117), this);
  m_secondLabel->setObjectName(QStringLiteral("passwordLabel"));
  m_second = new QLineEdit(this);
  m_second->setObjectName(QStringLiteral("passwordEdit"));
  m_second->setEchoMode(QLineEdit::Password);
  for (QLabel* label : {m_firstLabel, m_secondLabel}) theme::StyleFieldLabel(label);
  for (QLineEdit* edit : {m_first, m_second}) {
    edit->setFont(theme::Helvetica(12));
    edit->installEventFilter(this);
  }
  m_firstLabel->setBuddy(m_first);
  m_secondLabel->setBuddy(m_second);
  m_rule = new QLabel(this);
  m_rule->setObjectName(QStringLiteral("softPinRule"));
  theme::StyleHint(m_rule);
  m_error = new QLabel(this);
  m_error->setObjectName(QStringLiteral("errorText"));
  theme::StyleError(m_error);
  m_question = new QLabel(this);
  m_question->setObjectName(QStringLiteral("serverQuestion"));
  m_question->setTextFormat(Qt::PlainText);  // the host and the user ID are never markup
  m_question->setWordWrap(true);
  theme::StyleText(m_question);
  m_question->hide();
  m_status = new QLabel(Str(kStrEnrolling), this);
  m_status->setObjectName(QStringLiteral("enrollmentStatus"));
  m_status->setAccessibleName(m_status->text());
  m_status->setWordWrap(true);
  theme::StyleText(m_status);
  m_status->hide();
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("enrollmentProgress"));
  m_progress->setRange(0, 0);  // no end to show: the server answers when it answers
  m_progress->setTextVisible(false);
  m_progress->setAccessibleName(Str(kStrEnrolling));
  m_progress->hide();
  layout->addWidget(m_headline);
  layout->addSpacing(theme::DluY(4));
  layout->addWidget(m_firstLabel);
  layout->addWidget(m_first);
  layout->addWidget(m_secondLabel);
  layout->addWidget(m_second);
  layout->addWidget(m_rule);
  layout->addWidget(m_question);
  layout->addWidget(m_status);
  layout->addWidget(m_progress);
  layout->addWidget(m_error);
  layout->addStretch(1);
  m_continue = new ButtonST(QStringLiteral("continueButton"), ButtonST::Look::Primary, this);
  m_continue->setText(Str(106));
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  m_cancel->setText(Str(109));
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(m_continue);
  buttons->addWidget(m_cancel);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  for (QWidget* widget : {static_cast<QWidget*>(m_first), static_cast<QWidget*>(m_second),
                          static_cast<QWidget*>(m_continue), static_cast<QWidget*>(m_cancel)}) {
    addToCycle(widget);
  }
  connect(m_continue, &QPushButton::clicked, this, &AutoEnrollmentCredentials::OnBnClickedContinue);
  connect(m_cancel, &QPushButton::clicked, this, &AutoEnrollmentCredentials::OnBnClickedCancel);
  // The model keeps what the boxes hold; typing may hand the focus on.
  using Control = AutoEnrollmentModel::Control;
  for (auto [edit, box] : {std::pair{m_first, Control::First}, std::pair{m_second, Control::Second}}) {
    connect(edit, &QLineEdit::textChanged, this,
            [this, box = box](const QString& text) { Forward(enrollment(), box, text, false); });
    connect(edit, &QLineEdit::textEdited, this, [this, box = box](const QString& text) {
      Forward(enrollment(), box, text, true);
      refresh();
    });
  }
}

AutoEnrollmentCredentials::~AutoEnrollmentCredentials() {
  // The exchange is given up before this view, which would receive its outcome, goes.
  enrollment().destroy();
  setBusyLook(false);
}

QWidget* AutoEnrollmentCredentials::widgetOf(AutoEnrollmentModel::Control control) const {
  switch (control) {
    case AutoEnrollmentModel::Control::First:
      return m_first;
    case AutoEnrollmentModel::Control::Second:
      return m_second;
    case AutoEnrollmentModel::Control::Continue:
      return m_continue;
    case AutoEnrollmentModel::Control::Cancel:
      return m_cancel;
    case AutoEnrollmentModel::Control::None:
      break;
  }
  return nullptr;
}

void AutoEnrollmentCredentials::setBusyLook(bool busy) {
  if (busy == m_drawnBusy) return;
  m_drawnBusy = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
    emit busyEnded();
  }
}

void AutoEnrollmentCredentials::refresh() {
  const AutoEnrollmentModel& model = enrollment();
  const bool busy = model.isBusy();
  m_firstLabel->setText(Str(model.firstLabel));
  m_first->setEchoMode(model.firstMasked ? QLineEdit::Password : QLineEdit::Normal);
  m_first->setMaxLength(model.firstMaxLength);
  m_second->setMaxLength(model.secondMaxLength);
  Draw(m_first, model.first);
  Draw(m_second, model.second);
  m_firstLabel->setVisible(model.firstVisible);
  m_first->setVisible(model.firstVisible);
  m_secondLabel->setVisible(model.secondVisible);
  m_second->setVisible(model.secondVisible);
  m_first->setEnabled(!busy);
  m_second->setEnabled(!busy);
  m_first->setAccessibleName(m_firstLabel->text());
  m_second->setAccessibleName(m_secondLabel->text());
  m_rule->setText(Str(model.rule));
  m_rule->setAccessibleName(m_rule->text());
  m_rule->setVisible(!model.rule.empty());
  m_error->setText(Str(model.error));
  m_error->setAccessibleName(m_error->text());
  m_question->setText(Str(model.question));
  m_question->setAccessibleName(m_question->text());
  m_question->setVisible(!model.question.empty());
  m_status->setVisible(busy);
  m_progress->setVisible(busy);
  m_continue->setVisible(!busy);
  m_cancel->setVisible(true);
  setBusyLook(busy);
  if (model.focusRequests != m_drawnFocusRequest) {
    m_drawnFocusRequest = model.focusRequests;
    if (QWidget* focus = widgetOf(model.focus)) focus->setFocus();
  }
}

void AutoEnrollmentCredentials::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  enrollment().OnShowWindow(show);
  if (show) refresh();
}

QWidget* AutoEnrollmentCredentials::initialFocus() const {
  return widgetOf(enrollment().initialFocus());
}

bool AutoEnrollmentCredentials::onEscape() {
  if (m_cancel->isVisible()) OnBnClickedCancel();
  return true;
}

bool AutoEnrollmentCredentials::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == m_first || watched == m_second) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_continue->isVisible()) {
      OnBnClickedContinue();
      return true;
    }
  }
  return RHGenericChildDialog::eventFilter(watched, event);
}

void AutoEnrollmentCredentials::OnDestroy() { refresh(); }

void AutoEnrollmentCredentials::OnBnClickedContinue() {
  enrollment().OnBnClickedContinue();
  refresh();
}

void AutoEnrollmentCredentials::OnBnClickedCancel() {
  enrollment().OnBnClickedCancel();
  refresh();
}

void AutoEnrollmentCredentials::deliver(std::function<void()> task) {
  RHGenericChildDialog::deliver([this, task = std::move(task)] {
    task();
    refresh();
  });
}

}  // namespace ov::app
