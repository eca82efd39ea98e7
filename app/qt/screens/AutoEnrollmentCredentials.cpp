#include "app/qt/screens/AutoEnrollmentCredentials.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/widgets/ButtonST.h"
#include "frontend/EnrollmentString.h"
#include "frontend/WipeBytes.h"

namespace ov::app {
namespace {

namespace D = DialogType;

void Wipe(QLineEdit* edit) {
  if (!edit->text().isEmpty()) edit->setText(QString(edit->text().size(), QChar(u'\0')));
  edit->clear();
}

}  // namespace

QString SoftPinRuleText(int32_t minLength, int32_t maxLength, int32_t complexity) {
  if (complexity != 0) {
    return minLength == maxLength ? Str(232, minLength) : Str(216, minLength, maxLength);
  }
  return minLength == maxLength ? Str(218, minLength) : Str(190, minLength, maxLength);
}

AutoEnrollmentCredentials::AutoEnrollmentCredentials(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName) {
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
  // A box that is full hands the focus on, as a form that knows its lengths does.
  for (QLineEdit* edit : {m_first, m_second}) {
    connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
      if (text.size() < edit->maxLength()) return;
      if (edit == m_first && m_second->isVisible()) {
        m_second->setFocus();
      } else {
        m_continue->setFocus();
      }
    });
  }
}

void AutoEnrollmentCredentials::OnInitDialog() {
  AppLog log("CAutoEnrollmentCredentials::OnInitDialog");
  log.Text("mode", m_DialogType == D::AUTO_ENROLL_UID_PWD    ? "AUTO_ENROLL_UID_PWD"
                   : m_DialogType == D::AUTO_ENROLL_SOFT_PIN ? "AUTO_ENROLL_SOFT_PIN"
                                                             : "AUTO_ENROLL_SOFT_PIN_CONFIRM");
  wipeEdits();
  setError(QString());
  setWorking(false);
  m_confirming = false;
  m_question->hide();
  SharedValues& shared = Shared();
  if (m_DialogType == D::AUTO_ENROLL_UID_PWD) {
    m_firstLabel->setText(Str(116));
    m_first->setEchoMode(QLineEdit::Normal);
    m_first->setMaxLength(256);
    m_second->setMaxLength(256);
    m_rule->hide();
    const bool userGiven = !shared.g_szPrefilledUserId.empty();
    const bool passwordGiven = !shared.g_szPrefilledPassword.empty();
    m_first->setText(ToQString(shared.g_szPrefilledUserId));
    m_second->setText(ToQString(shared.g_szPrefilledPassword));
    m_firstLabel->setVisible(!userGiven);
    m_first->setVisible(!userGiven);
    m_secondLabel->setVisible(!passwordGiven);
    m_second->setVisible(!passwordGiven);
    if (userGiven && passwordGiven) {
      // Nothing to ask but whether to connect: that question comes as soon as the screen shows.
      QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isBusy()) OnBnClickedContinue();
      });
    }
  } else {
    m_firstLabel->setText(Str(m_DialogType == D::AUTO_ENROLL_SOFT_PIN ? 151 : 227));
    m_first->setEchoMode(QLineEdit::Password);
    m_first->setMaxLength(shared.g_nSoftPinMaxLength > 0 ? shared.g_nSoftPinMaxLength : 32767);
    m_firstLabel->show();
    m_first->show();
    m_secondLabel->hide();
    m_second->hide();
    ShowSoftPinRule();
  }
  m_first->setAccessibleName(m_firstLabel->text());
  m_second->setAccessibleName(m_secondLabel->text());
}

void AutoEnrollmentCredentials::ShowSoftPinRule() {
  const SharedValues& shared = Shared();
  m_rule->setText(SoftPinRuleText(shared.g_nSoftPinMinLength, shared.g_nSoftPinMaxLength,
                                  shared.g_nSoftPinComplexity));
  m_rule->setAccessibleName(m_rule->text());
  m_rule->show();
}

void AutoEnrollmentCredentials::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    if (QWidget* focus = initialFocus()) focus->setFocus();
    postTitleIndicator(Indicator::kShowA);
  }
}

QWidget* AutoEnrollmentCredentials::initialFocus() const {
  if (m_first->isVisible()) return m_first;
  if (m_second->isVisible()) return m_second;
  return m_continue->isVisible() ? m_continue : nullptr;
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

void AutoEnrollmentCredentials::setError(const QString& text) {
  m_error->setText(text);
  m_error->setAccessibleName(text);
}

void AutoEnrollmentCredentials::setWorking(bool working) {
  if (working == m_waiting) return;
  m_waiting = working;
  m_continue->setVisible(!working);
  m_cancel->setVisible(true);
  m_first->setEnabled(!working);
  m_second->setEnabled(!working);
  m_status->setVisible(working);
  m_progress->setVisible(working);
  if (working) {
    m_question->hide();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_cancel->setFocus();
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void AutoEnrollmentCredentials::askToConnect() {
  const QUrl url(ToQString(Shared().g_szEnrollmentUrl));
  // A host name beyond ASCII is shown in its ASCII form, so a look-alike letter cannot pass for
  // the host the user knows.
  QString host = QString::fromLatin1(QUrl::toAce(url.host()));
  if (host.isEmpty()) host = url.host();
  const QString user = DisplayName(ToQString(Shared().g_szUserId));
  m_question->setText(Str(kStrEnrollmentServerQuestion).arg(host, user));
  m_question->setAccessibleName(m_question->text());
  for (QWidget* widget : {static_cast<QWidget*>(m_firstLabel), static_cast<QWidget*>(m_first),
                          static_cast<QWidget*>(m_secondLabel), static_cast<QWidget*>(m_second)}) {
    widget->hide();
  }
  m_question->show();
  m_confirming = true;
  // A single Enter does not connect to a server the user has not looked at.
  m_cancel->setFocus();
}

void AutoEnrollmentCredentials::abandonExchange() {
  AppLog log("CAutoEnrollmentCredentials::abandonExchange");
  m_worker.abandon();
  setWorking(false);
  Shared().g_szPassword.clear();
  Shared().g_szSoftPin.clear();
  emit busyEnded();
}

void AutoEnrollmentCredentials::wipeEdits() {
  Wipe(m_first);
  Wipe(m_second);
}

void AutoEnrollmentCredentials::OnDestroy() {
  // Leaving the screen (the window closed, say) does not wait for the server either.
  if (m_waiting) abandonExchange();
  m_confirming = false;
  wipeEdits();
  setError(QString());
}

void AutoEnrollmentCredentials::OnBnClickedContinue() {
  AppLog log("CAutoEnrollmentCredentials::OnBnClickedContinue");
  if (isBusy()) return;
  SharedValues& shared = Shared();
  if (m_confirming) {
    m_confirming = false;
    StartAutoEnrollmentThread(nullptr);
    return;
  }
  if (m_DialogType == D::AUTO_ENROLL_UID_PWD) {
    QString user = m_first->text().trimmed();
    QString password = m_second->text().trimmed();
    if (user.isEmpty() || password.isEmpty()) {
      wipeEdits();
      setError(Str(170));
      if (QWidget* focus = initialFocus()) focus->setFocus();
    } else {
      Assign(shared.g_szUserId, user);
      Assign(shared.g_szPassword, password);
      askToConnect();
    }
    WipeQString(user);
    WipeQString(password);
    return;
  }
  QString pin = m_first->text();
  if (m_DialogType == D::AUTO_ENROLL_SOFT_PIN) {
    Assign(shared.g_szSoftPin, pin);
    if (pin.isEmpty()) {
      m_first->setFocus();
    } else if (OV_SetOTPValidationW(shared.g_szSoftPin.c_str(), shared.g_nSoftPinMinLength,
                                    shared.g_nSoftPinMaxLength,
                                    shared.g_nSoftPinComplexity) != OV_OK) {
      setError(Str(171));
      wipeEdits();
      m_first->setFocus();
    } else {
      postContinue(Continue::kSoftPinConfirm);
    }
  } else if (!(shared.g_szSoftPin == pin.toStdWString())) {
    postCancel(Cancel::kSoftPinMismatch);
    postTitleIndicator(Indicator::kShowA);
  } else {
    StartAutoEnrollmentThread(&shared.g_szSoftPin);
  }
  WipeQString(pin);
  wipeEdits();
}

void AutoEnrollmentCredentials::StartAutoEnrollmentThread(const SecretText* softPin) {
  SharedValues& shared = Shared();
  EnrollmentRequest request;
  request.url.assign(shared.g_szEnrollmentUrl.view());
  request.userId.assign(shared.g_szUserId.view());
  request.password.assign(shared.g_szPassword.view());
  if (softPin != nullptr) request.softPin.assign(softPin->view());
  request.softPinMinLength = shared.g_nSoftPinMinLength;
  request.softPinMaxLength = shared.g_nSoftPinMaxLength;
  request.softPinComplexity = shared.g_nSoftPinComplexity;
  if (softPin == nullptr) {
    request.softPinMinLength = request.softPinMaxLength = request.softPinComplexity = 0;
  }
  setWorking(true);
  postTitleIndicator(Indicator::kHideBack);
  m_worker.start(
      [this](const EnrollmentOutcome& outcome) {
        QMetaObject::invokeMethod(this, [this, outcome] { onEnrollmentFinished(outcome); },
                                  Qt::QueuedConnection);
      },
      std::move(request));
}

void AutoEnrollmentCredentials::onEnrollmentFinished(const EnrollmentOutcome& outcome) {
  m_worker.join();
  if (!m_waiting) {
    // The user stopped waiting just as the outcome came: it is dropped, and a token it
    // enrolled goes back to where a failed enrollment leaves it.
    if (outcome.result == OV_OK) OV_ResetToken();
    return;
  }
  setWorking(false);
  enrollmentFinished(outcome);
  emit busyEnded();
}

void AutoEnrollmentCredentials::enrollmentFinished(const EnrollmentOutcome& outcome) {
  AppLog log("CAutoEnrollmentCredentials::enrollmentFinished");
  log.Number("result", outcome.result);
  SharedValues& shared = Shared();
  const bool withSoftPin = m_DialogType == D::AUTO_ENROLL_SOFT_PIN_CONFIRM;
  shared.g_nEnrollmentFailure = outcome.failure;
  if (outcome.result == OV_OK) {
    shared.g_szPassword.clear();
    shared.g_szSoftPin.clear();
    ContinueToPasscode(true, WithoutInfo::Abort, nullptr);
    return;
  }
  if (withSoftPin) {
    // With the soft PIN only success counts; everything else is a failed enrollment.
    shared.g_bShowEnrollmentChoiceText = false;
    postCancel(Cancel::kSoftPinCancelled);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  shared.g_nSoftPinMinLength = outcome.softPinMinLength;
  shared.g_nSoftPinMaxLength = outcome.softPinMaxLength;
  shared.g_nSoftPinComplexity = outcome.softPinComplexity;
  handleAutoEnrollmentError(outcome.result);
}

void AutoEnrollmentCredentials::handleAutoEnrollmentError(int32_t result) {
  AppLog log("CAutoEnrollmentCredentials::handleAutoEnrollmentError");
  log.Number("result", result);
  SharedValues& shared = Shared();
  // An enrollment string may still be on the clipboard, with its passphrase: it goes. Anything
  // else there is the user's.
  QClipboard* clipboard = QApplication::clipboard();
  std::string text = clipboard->text().trimmed().toStdString();
  const std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(text);
  if (padded && frontend::CheckIfBase64ConnectionString(*padded)) clipboard->clear();
  ov::frontend::WipeBytes(text.data(), text.size());
  if (result == OV_ERR_SOFT_PIN_REQUIRED) {
    shared.g_bShowEnrollmentChoiceText = true;
    postContinue(Continue::kSoftPin);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  shared.g_bShowEnrollmentChoiceText = false;
  shared.g_szPassword.clear();
  postCancel(Cancel::kEnrollmentFailed);
  postTitleIndicator(Indicator::kShowA);
}

void AutoEnrollmentCredentials::OnBnClickedCancel() {
  AppLog log("CAutoEnrollmentCredentials::OnBnClickedCancel");
  if (m_waiting) {
    // The token stays as it was before the exchange: back to the enrollment choice.
    abandonExchange();
    wipeEdits();
    postCancel(m_DialogType == D::AUTO_ENROLL_UID_PWD ? Cancel::kActivationCodeCancelled
                                                      : Cancel::kSoftPinCancelled);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  m_confirming = false;
  const int code = m_DialogType == D::AUTO_ENROLL_UID_PWD    ? Cancel::kActivationCodeCancelled
                   : m_DialogType == D::AUTO_ENROLL_SOFT_PIN ? Cancel::kSoftPinCancelled
                                                             : Cancel::kSoftPinConfirmCancelled;
  wipeEdits();
  postCancel(code);
  postTitleIndicator(Indicator::kShowA);
}

void AutoEnrollmentCredentials::showErrorMessage() {
  setError(Str(215));
  wipeEdits();
  m_first->setFocus();
}

void AutoEnrollmentCredentials::ClearMessageLine() {
  setError(QString());
  if (QWidget* focus = initialFocus()) focus->setFocus();
}

void AutoEnrollmentCredentials::ResetForReentry() {
  ClearMessageLine();
  wipeEdits();
}

}  // namespace ov::app
