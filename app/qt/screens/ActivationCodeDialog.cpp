#include "app/qt/screens/ActivationCodeDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>
#include <utility>

#include "app/qt/SecretClipboard.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

ActivationCodeDialog::ActivationCodeDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<ActivationCodeModel>()) {
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
  connect(&SecretClipboard::Instance(), &SecretClipboard::secretGone, this, [this] {
    model().OnSecretGone();
    refresh();
  });
  connect(m_continue, &QPushButton::clicked, this, &ActivationCodeDialog::OnBnClickedContinuebtn);
  connect(m_cancel, &QPushButton::clicked, this, &ActivationCodeDialog::OnBnClickedCancelbtn);
}

void ActivationCodeDialog::copyCode() {
  model().copyCode();
  refresh();
}

void ActivationCodeDialog::OnBnClickedContinuebtn() {
  model().OnBnClickedContinuebtn();
  refresh();
}

void ActivationCodeDialog::OnBnClickedCancelbtn() {
  model().OnBnClickedCancelbtn();
  refresh();
}

void ActivationCodeDialog::ShowChildDialog(bool show) {
  if (!show) model().OnShowing(false);
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) model().OnShowing(true);
  refresh();
  if (show && model().initialFocus() == ActivationCodeModel::Control::Continue &&
      m_continue->isVisible()) {
    m_continue->setFocus();
  }
}

void ActivationCodeDialog::OnDestroy() {
  // The model let go of the code: the label lets go of it, and the wipe reaches the last copy.
  refresh();
}

QWidget* ActivationCodeDialog::initialFocus() const {
  return model().initialFocus() == ActivationCodeModel::Control::Continue ? m_continue : nullptr;
}

void ActivationCodeDialog::showCode() {
  QString previous = std::exchange(m_shownCode, ToQString(model().code()));
  m_shownVersion = model().codeVersion();
  m_code->setText(m_shownCode);
  // A screen reader reads the code itself.
  m_code->setAccessibleName(m_shownCode);
  // The label let go of the previous code, so the wipe reaches its last copy.
  WipeQString(previous);
}

void ActivationCodeDialog::refresh() {
  const ActivationCodeModel& state = model();
  const int codeSize = state.isPasscode() ? 24 : 12;
  if (codeSize != m_codeSize) {
    m_codeSize = codeSize;
    m_code->setFont(theme::Helvetica(codeSize, true));
  }
  if (m_shownVersion != state.codeVersion()) showCode();
  m_headline->setText(Str(state.headline));
  m_headline->setVisible(state.headlineShown);
  m_title->setText(Str(state.title));
  m_hint->setText(Str(state.hint));
  m_hint->setVisible(state.hintShown);
  const QString note = Str(state.clipboardNote);
  m_clipboardNote->setText(note);
  m_clipboardNote->setAccessibleName(note);
  m_clipboardNote->setVisible(state.clipboardNoteShown);
  m_continue->setText(Str(state.continueText));
  m_continue->setEnabled(state.continueEnabled);
  m_continue->setVisible(state.continueShown);
  m_cancel->setVisible(state.cancelShown);
  for (QLabel* label : {m_nextLabel, m_seconds, m_secondsLabel}) {
    label->setVisible(state.counterShown);
  }
  const QString seconds = QString::fromStdString(state.counterText());
  m_seconds->setText(seconds);
  m_seconds->setAccessibleName(seconds);
  if (model().takeFocusRequest() == ActivationCodeModel::Control::Continue &&
      m_continue->isVisible()) {
    m_continue->setFocus();
  }
}

}  // namespace ov::app
