#include "app/qt/screens/PinOperationDialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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

struct Variant {
  int type;
  int headline;
  int label;
  bool masked;
  bool inactivityTimer;
  int maxLength;  // 0: none; -1: the PIN length; -2: the challenge length
};

constexpr int kPinLength = -1;
constexpr int kChallengeLength = -2;

constexpr Variant kVariants[] = {
    {D::CHANGE_TOKEN_PIN_DIALOG1, 110, 111, true, true, 0},
    {D::GET_TOKEN_POLICY, 126, 127, false, false, 0},
    {D::SET_TOKEN_PIN, 128, 129, true, false, kPinLength},
    {D::CONFIRM_SET_TOKEN_PIN, 128, 130, true, false, kPinLength},
    {D::ENTER_PORTAL_URL, 115, 150, false, false, 2048},
    {D::CHANGE_TOKEN_NAME_DIALOG, 132, 135, false, true, 256},
    {D::CHANGE_TOKEN_PIN_DIALOG2, 110, 153, true, true, kPinLength},
    {D::CHANGE_TOKEN_PIN_DIALOG3, 110, 154, true, true, kPinLength},
    {D::ENTER_CHALLENGE_DIALOG, 139, 140, false, true, kChallengeLength},
    {D::ENTER_TOKEN_PIN_DIALOG, 157, 158, true, false, 0},
};

const Variant* FindVariant(int type) {
  for (const Variant& variant : kVariants) {
    if (variant.type == type) return &variant;
  }
  return nullptr;
}

const QString kHttps = QStringLiteral("https://");

bool IsEnrollmentString(const std::string& text) {
  const std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(text);
  return padded && frontend::CheckIfBase64ConnectionString(*padded);
}

}  // namespace

QString PinRuleHint(const OVTokenInfoW& info) {
  const int length = info.m_nPinLength;
  const bool level5 = FromWide(info.m_szTokenPolicyLevel) == QLatin1String("Level 5");
  if (!level5) return Str(info.m_bTrivialPinAllowedEx ? 185 : 225, length);
  if (!info.m_bTrivialPinAllowed) return Str(231, length);
  return Str(info.m_bTrivialPinAllowedEx ? 228 : 229, length);
}

QString NormalisePortalUrl(const QString& url) {
  // Scheme and host are case-insensitive; the rest (path, query) is kept as typed.
  const int hostStart = url.indexOf(QStringLiteral("://"));
  if (hostStart < 0) return url;
  int hostEnd = url.size();
  for (const QChar end : {QChar(u'/'), QChar(u'?'), QChar(u'#')}) {
    const int at = url.indexOf(end, hostStart + 3);
    if (at >= 0) hostEnd = std::min(hostEnd, at);
  }
  return url.left(hostEnd).toLower() + url.mid(hostEnd);
}

PinOperationDialog::PinOperationDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<InactivityModel>([](int type) {
                             const Variant* variant = FindVariant(type);
                             return variant != nullptr && variant->inactivityTimer;
                           })) {
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
  // Typing is activity: the inactivity count starts again.
  connect(m_edit, &QLineEdit::textEdited, this, [this] { resetTimer(0); });
}

bool PinOperationDialog::masked() const {
  const Variant* variant = FindVariant(m_DialogType);
  return variant != nullptr && variant->masked;
}

QWidget* PinOperationDialog::initialFocus() const {
  // While the field is closed (a lock-out) the screen itself holds the focus, so keys typed then
  // reach no button.
  if (!m_edit->isEnabled()) return const_cast<PinOperationDialog*>(this);
  return m_edit;
}

void PinOperationDialog::setURLEnrollmentString(const QString& text) {
  WipeQString(m_pendingEnrollmentString);
  m_pendingEnrollmentString = text;
}

void PinOperationDialog::setMessage(const QString& text) {
  m_message->setText(text);
  m_message->setAccessibleName(text);
}

void PinOperationDialog::clearEdit() {
  // QLineEdit keeps its text (and undo history) in its own buffers: overwrite, then clear.
  if (!m_edit->text().isEmpty()) m_edit->setText(QString(m_edit->text().size(), QChar(u'\0')));
  m_edit->clear();
}

QString PinOperationDialog::editText() const { return m_edit->text(); }

void PinOperationDialog::resetToHttps() {
  m_edit->setText(kHttps);
  m_edit->setCursorPosition(static_cast<int>(kHttps.size()));
  m_edit->setFocus();
}

void PinOperationDialog::OnInitDialog() {
  AppLog log("CPinOperationDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  const Variant* variant = FindVariant(m_DialogType);
  if (variant == nullptr) return;
  // The screen object serves one token after another: what the last one's PIN checks showed
  // (a failure, a deactivation) is not this token's.
  Shared().g_bPinFailureShown = false;
  Shared().g_bDeactivationShown = false;
  m_edit->setEnabled(true);
  clearEdit();
  setMessage(QString());
  m_hint->clear();
  m_hint->hide();
  m_continue->setEnabled(true);
  m_headline->setText(Str(variant->headline));
  m_fieldLabel->setText(Str(variant->label));
  m_edit->setAccessibleName(m_fieldLabel->text());
  m_edit->setEchoMode(variant->masked ? QLineEdit::Password : QLineEdit::Normal);
  m_continue->setText(Str(m_DialogType == D::ENTER_CHALLENGE_DIALOG ? 155 : 106));
  m_cancel->setText(Str(109));
  m_cancel->setVisible(m_DialogType != D::ENTER_CHALLENGE_DIALOG);

  int maxLength = variant->maxLength;
  {
    OpenTokenInfo info;
    if (maxLength < 0) {
      maxLength = 32767;
      if (info.ok() && info->m_nTokenState != INSTALLED_STATE) {
        const int limit =
            variant->maxLength == kPinLength ? info->m_nPinLength : info->m_nChallengeLength;
        if (limit > 0) maxLength = limit;
      }
    }
    if ((m_DialogType == D::SET_TOKEN_PIN || m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG2) &&
        info.ok()) {
      m_hint->setText(PinRuleHint(*info));
      m_hint->setFont(theme::Helvetica(8, true));
      m_hint->show();
    }
  }
  m_edit->setMaxLength(maxLength > 0 ? maxLength : 32767);
  if (m_DialogType == D::SET_TOKEN_PIN || m_DialogType == D::CONFIRM_SET_TOKEN_PIN) {
    postTitleIndicator(Indicator::kHideBack);
  }
  if (m_DialogType == D::GET_TOKEN_POLICY) {
    m_hint->setText(Str(184));
    m_hint->show();
  }
  if (m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG1 || m_DialogType == D::ENTER_TOKEN_PIN_DIALOG) {
    addInstructionOnEnterPinDialog();
  }
  if (m_DialogType == D::ENTER_TOKEN_PIN_DIALOG || m_DialogType == D::ENTER_CHALLENGE_DIALOG) {
    startTimer(TimerId::kFocus, 200, true);
  }
  if (m_DialogType == D::ENTER_PORTAL_URL) {
    Shared().g_szPrefilledUserId.clear();
    Shared().g_szPrefilledPassword.clear();
    if (!m_pendingEnrollmentString.isEmpty()) {
      m_edit->setText(m_pendingEnrollmentString);
      WipeQString(m_pendingEnrollmentString);
      // Continue runs once the screen is shown, as a press of the button would.
      QTimer::singleShot(0, this, [this] {
        if (isVisible()) OnBnClickedContinuebtn();
      });
    } else {
      takeEnrollmentStringFromClipboard();
    }
  }
  m_hint->setAccessibleName(m_hint->text());
  postTitleIndicator(Indicator::kShowA);
}

void PinOperationDialog::takeEnrollmentStringFromClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  QString text = clipboard->text();
  std::string narrow = text.trimmed().toStdString();
  // Only an enrollment string is taken (and removed, since it may carry a passphrase); anything
  // else on the clipboard is the user's and stays where it is.
  if (!narrow.empty() && IsEnrollmentString(narrow)) {
    m_edit->setText(QString::fromStdString(narrow));
    clipboard->clear();
    m_hint->setText(Str(226));
    m_hint->show();
  } else {
    m_edit->setText(kHttps);
  }
  ov::frontend::WipeBytes(narrow.data(), narrow.size());
  WipeQString(text);
  m_edit->setCursorPosition(static_cast<int>(m_edit->text().size()));
}

void PinOperationDialog::OnDestroy() {
  clearEdit();
  setMessage(QString());
  // A PIN this screen took and handed on to the next screens of its flow ends with the flow.
  SharedValues& shared = Shared();
  switch (m_DialogType) {
    case D::CHANGE_TOKEN_PIN_DIALOG1:
    case D::ENTER_TOKEN_PIN_DIALOG:
      shared.g_szCurrentPin.clear();
      break;
    case D::SET_TOKEN_PIN:
      shared.g_szNewPin.clear();
      break;
    case D::CHANGE_TOKEN_PIN_DIALOG2:
      shared.g_szChangedPin.clear();
      break;
    default:
      break;
  }
}

void PinOperationDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    initialFocus()->setFocus();
    postTitleIndicator(Indicator::kShowA);
  }
}

bool PinOperationDialog::onEscape() {
  if (m_cancel->isVisible()) OnBnClickedCancelbtn();
  return true;
}

bool PinOperationDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_edit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (m_continue->isEnabled()) OnBnClickedContinuebtn();
      return true;
    }
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
      resetTimer(0);
    }
  }
  return RHGenericChildDialog::eventFilter(watched, event);
}

void PinOperationDialog::OnTimer(int id) {
  if (id == TimerId::kFocus) {
    stopTimer(id);
    m_edit->setFocus();
  } else if (id == TimerId::kLockRecheck) {
    stopTimer(id);
    addInstructionOnEnterPinDialog();
  }
  RHGenericChildDialog::OnTimer(id);
}

void PinOperationDialog::continueAfterPin() {
  if (!ContinueToPasscode(false, WithoutInfo::DoNothing, m_message)) {
    clearEdit();
    m_edit->setFocus();
  }
}

void PinOperationDialog::OnBnClickedContinuebtn() {
  AppLog log("CPinOperationDialog::OnBnClickedContinuebtn");
  log.Number("m_DialogType", m_DialogType);
  if (!m_continue->isEnabled()) return;
  QString text = editText();
  SharedValues& shared = Shared();
  switch (m_DialogType) {
    case D::CHANGE_TOKEN_PIN_DIALOG1:
    case D::ENTER_TOKEN_PIN_DIALOG: {
      if (text.isEmpty()) {
        setMessage(Str(165));
        m_edit->setFocus();
        break;
      }
      Assign(shared.g_szCurrentPin, text);
      if (m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG1) {
        shared.g_bPinFailureShown = false;
        shared.g_bDeactivationShown = false;
      }
      const int32_t result = OV_ValidatePinW(shared.g_szCurrentPin.c_str());
      log.Number("result", result);
      m_lastResult = result;
      if (result != OV_OK) {
        // A refused PIN serves nothing further; only a forced change goes on with it.
        if (result != OV_ERR_CHANGE_PIN_REQUIRED) shared.g_szCurrentPin.clear();
        handleValidatePin(result);
        break;
      }
      shared.g_bPinFailureShown = false;
      shared.g_bChangePinRequired = false;
      if (m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG1) {
        postContinue(Continue::kChangePinNew);
        postTitleIndicator(Indicator::kShowA);
      } else {
        shared.g_szCurrentPin.clear();  // a passcode needs the PIN no longer
        continueAfterPin();
      }
      break;
    }
    case D::GET_TOKEN_POLICY: {
      std::wstring code(OV_ACTIVATION_CODE_SIZE + 1, L'\0');
      const std::wstring policy = text.trimmed().toStdWString();
      const int32_t result =
          OV_GenerateActivationCodeW(policy.empty() ? nullptr : policy.c_str(), code.data());
      log.Number("result", result);
      if (result == OV_OK) {
        shared.setActivationCode(std::wstring_view(code.c_str()));
        ov::frontend::WipeBytes(code.data(), code.size() * sizeof(wchar_t));
        postContinue(Continue::kActivationCode);
      } else if (result == OV_ERR_INVALID_PARAM) {
        clearEdit();
        setMessage(Str(194));
      } else {
        handleGenericErrorCodes(result);
      }
      m_edit->setFocus();
      break;
    }
    case D::SET_TOKEN_PIN: {
      int32_t pinLength = 0;
      {
        OpenTokenInfo info;
        if (!info.ok()) {
          postCancel(Cancel::kAbort);
          break;
        }
        pinLength = info->m_nPinLength;
      }
      SecretText pin;
      Assign(pin, text);
      if (static_cast<int>(text.size()) == pinLength &&
          OV_SetPinValidationW(pin.c_str()) == OV_OK) {
        shared.g_szNewPin.assign(pin.view());
        postContinue(Continue::kConfirmSetPin);
      } else {
        setMessage(Str(165));
        clearEdit();
        m_edit->setFocus();
      }
      break;
    }
    case D::CONFIRM_SET_TOKEN_PIN: {
      if (!OpenTokenInfo().ok()) break;
      SecretText pin;
      Assign(pin, text);
      if (!(shared.g_szNewPin == pin.view())) {
        postCancel(Cancel::kPinMismatch);
        postTitleIndicator(Indicator::kShowA);
        break;
      }
      const int32_t result = OV_SetPinW(pin.c_str());
      log.Number("result", result);
      if (result == OV_ERR_INVALID_PARAM) {
        postCancel(Cancel::kSetPinRefused);
        postTitleIndicator(Indicator::kShowA);
      } else if (result != OV_OK) {
        handleGenericErrorCodes(result);
        m_edit->setFocus();
      } else {
        shared.g_szNewPin.clear();
        shared.forgetActivationCode();  // the token is activated: its code has served
        continueAfterPin();
      }
      break;
    }
    case D::ENTER_PORTAL_URL:
      continueEnrollmentString(text.left(2048));
      break;
    case D::CHANGE_TOKEN_NAME_DIALOG: {
      const QString name = text;
      if (name.isEmpty()) {
        setMessage(Str(202));
        m_edit->setFocus();
        resetTimer(0);
        break;
      }
      const std::wstring wide = name.toStdWString();
      const int32_t result = OV_ChangeTokenNameW(wide.c_str());
      log.Number("result", result);
      if (result == OV_OK) {
        // The same token under its new name: its passcode stays its own.
        const bool passcodeOfThisToken = shared.passcodeToken == shared.g_szTokenName.view();
        shared.g_szTokenName.assign(wide);
        if (passcodeOfThisToken) shared.passcodeToken = wide;
        postContinue(Continue::kRenamed);
        postTitleIndicator(Indicator::kShowA);
        break;
      }
      if (result == OV_ERR_INVALID_PARAM) {
        clearEdit();
        setMessage(Str(192));
      } else {
        handleGenericErrorCodes(result);
      }
      m_edit->setFocus();
      resetTimer(0);
      break;
    }
    case D::CHANGE_TOKEN_PIN_DIALOG2: {
      int32_t pinLength = 0;
      {
        OpenTokenInfo info;
        if (!info.ok()) break;
        pinLength = info->m_nPinLength;
      }
      SecretText pin;
      Assign(pin, text);
      if (static_cast<int>(text.size()) != pinLength) {
        setMessage(Str(165));
      } else if (shared.g_szCurrentPin == pin.view()) {
        setMessage(Str(172));
      } else if (OV_SetPinValidationW(pin.c_str()) != OV_OK) {
        setMessage(Str(165));
        resetTimer(0);
      } else {
        shared.g_szChangedPin.assign(pin.view());
        postContinue(Continue::kChangePinConfirm);
        postTitleIndicator(Indicator::kShowA);
        break;
      }
      clearEdit();
      m_edit->setFocus();
      break;
    }
    case D::CHANGE_TOKEN_PIN_DIALOG3: {
      int32_t pinLength = 0;
      {
        OpenTokenInfo info;
        if (!info.ok()) break;
        pinLength = info->m_nPinLength;
      }
      SecretText pin;
      Assign(pin, text);
      if (static_cast<int>(text.size()) != pinLength) {
        setMessage(Str(165));
        clearEdit();
        m_edit->setFocus();
        break;
      }
      if (!(shared.g_szChangedPin == pin.view())) {
        postCancel(Cancel::kChangePinMismatch);
        postTitleIndicator(Indicator::kShowA);
        break;
      }
      const int32_t result =
          OV_ChangePinW(shared.g_szCurrentPin.c_str(), shared.g_szChangedPin.c_str());
      log.Number("result", result);
      if (result == OV_ERR_INVALID_PARAM || result == OV_ERR_INVALID_PIN) {
        clearEdit();
        resetTimer(0);
        postCancel(Cancel::kChangePinRefused);
        postTitleIndicator(Indicator::kShowA);
      } else if (result != OV_OK) {
        resetTimer(0);
        postCancel(Cancel::kAbort);
      } else {
        shared.g_szCurrentPin.clear();
        shared.g_szChangedPin.clear();
        postContinue(Continue::kPinChanged);
        postTitleIndicator(Indicator::kShowA);
      }
      break;
    }
    case D::ENTER_CHALLENGE_DIALOG: {
      QString message;
      if (!validateChallenge(text, message)) {
        setMessage(message);
        clearEdit();
        m_edit->setFocus();
        resetTimer(0);
        break;
      }
      Assign(shared.g_szChallenge, text);
      const int generated = GenerateOTP(shared.g_szChallenge.c_str(), m_message);
      if (generated == 0) {
        postContinue(Continue::kPasscode);
        postTitleIndicator(Indicator::kHideA);
      } else {
        clearEdit();
        m_edit->setFocus();
      }
      break;
    }
    default:
      break;
  }
  WipeQString(text);
  if (masked()) clearEdit();
}

void PinOperationDialog::continueEnrollmentString(const QString& text) {
  SharedValues& shared = Shared();
  std::string narrow = text.trimmed().toStdString();
  const std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(narrow);
  if (!padded) {
    if (text.startsWith(kHttps) && text.size() > kHttps.size()) {
      const QString url = NormalisePortalUrl(text);
      m_edit->setText(url);
      Assign(shared.g_szEnrollmentUrl, url);
      postContinue(Continue::kCredentials);
      postTitleIndicator(Indicator::kShowA);
    } else {
      setMessage(Str(169));
      resetToHttps();
    }
    ov::frontend::WipeBytes(narrow.data(), narrow.size());
    return;
  }
  std::optional<frontend::EnrollmentString> parsed = frontend::ParseEnrollmentString(narrow);
  ov::frontend::WipeBytes(narrow.data(), narrow.size());
  if (!parsed || parsed->url.rfind("https://", 0) != 0) {
    setMessage(Str(169));
    resetToHttps();
  } else {
    Assign(shared.g_szEnrollmentUrl, QString::fromStdString(parsed->url));
    if (parsed->userId) Assign(shared.g_szPrefilledUserId, QString::fromStdString(*parsed->userId));
    if (parsed->passphrase) {
      QString passphrase = QString::fromStdString(*parsed->passphrase);
      Assign(shared.g_szPrefilledPassword, passphrase);
      WipeQString(passphrase);
    }
    postContinue(Continue::kCredentials);
    postTitleIndicator(Indicator::kShowA);
  }
  if (parsed && parsed->passphrase)
    ov::frontend::WipeBytes(parsed->passphrase->data(), parsed->passphrase->size());
}

bool PinOperationDialog::validateChallenge(const QString& text, QString& message) {
  if (text.isEmpty()) {
    message = Str(176);
    return false;
  }
  int32_t length = 0;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      postCancel(Cancel::kAbort);
      return false;
    }
    length = info->m_nChallengeLength;
  }
  if (text.size() != length) {
    message = Str(196, length);
    return false;
  }
  return true;
}

void PinOperationDialog::handleValidatePin(int32_t result) {
  AppLog log("CPinOperationDialog::handleValidatePin");
  log.Number("result", result);
  SharedValues& shared = Shared();
  clearEdit();
  m_edit->setFocus();
  switch (result) {
    case OV_ERR_CHANGE_PIN_REQUIRED:
      shared.g_bChangePinRequired = true;
      postContinue(Continue::kChangePinNew);
      postTitleIndicator(Indicator::kShowA);
      break;
    case OV_ERR_INVALID_PIN:
    case OV_ERR_TOKEN_LOCKED:
      setMessage(HandleVerifyFail(result));
      shared.g_bPinFailureShown = true;
      break;
    case OV_ERR_TOKEN_DEACTIVATED:
      m_continue->setEnabled(false);
      setMessage(Str(162));
      shared.g_bDeactivationShown = true;
      break;
    case OV_ERR_INVALID_PARAM:
      setMessage(Str(160));
      break;
    case OV_ERR_OPERATION_FAILED:
      postCancel(Cancel::kAbort);
      break;
    default:
      setMessage(QString());
      break;
  }
}

void PinOperationDialog::handleGenericErrorCodes(int32_t result) {
  if (result == OV_OK) return;
  clearEdit();
  if (result == OV_ERR_OPERATION_FAILED) {
    postCancel(Cancel::kAbort);
  } else if (result == OV_ERR_DUPLICATE_TOKEN_NAME) {
    setMessage(Str(191));
  } else if (result == OV_ERR_SOFT_PIN_REQUIRED) {
    setMessage(Str(195));
  } else {
    setMessage(QString());
  }
}

namespace {

struct AttemptFacts {
  int badPins = 0;
  int maxAttacks = 0;
  bool locked = false;
  int minutesLeft = 0;
};

AttemptFacts ReadAttemptFacts() {
  AttemptFacts facts;
  OpenTokenInfo info;
  if (!info.ok()) return facts;
  facts.badPins = info->m_nBadPinCount;
  facts.maxAttacks = info->m_nMaxAttacks;
  facts.locked = info->m_bTokenLocked;
  facts.minutesLeft = info->m_bTokenLocked ? (info->m_nLockTimeLeft + 59) / 60 : 0;
  return facts;
}

// The lock-out text, with the attempts and the deactivation warning when attempts are limited.
QString LockOutText(const AttemptFacts& facts) {
  const QString lock = Str(203) + QLatin1Char(' ') + Str(206, facts.minutesLeft);
  if (facts.maxAttacks == 0) return lock;
  return Str(209, facts.badPins + 1, facts.maxAttacks) + QStringLiteral(" \n") + lock +
         QLatin1Char('\n') + Str(210, facts.maxAttacks);
}

}  // namespace

void PinOperationDialog::startLockRecheck() {
  m_continue->setEnabled(false);
  // Keys typed during the lock-out would be sent as the first try after it, and fail: the field
  // takes none until the lock has ended.
  clearEdit();
  // The focus leaves the field first; Qt would otherwise hand it to the next button.
  if (isVisible()) setFocus();
  m_edit->setEnabled(false);
  startTimer(TimerId::kLockRecheck, 30000);
}

void PinOperationDialog::endLockOut() {
  if (m_edit->isEnabled()) return;
  m_edit->setEnabled(true);
  clearEdit();
  m_edit->setFocus();
}

QString PinOperationDialog::HandleVerifyFail(int32_t result) {
  const AttemptFacts facts = ReadAttemptFacts();
  if (facts.locked || result == OV_ERR_TOKEN_LOCKED) {
    startLockRecheck();
    return LockOutText(facts);
  }
  if (facts.maxAttacks > 0 && facts.badPins > 0) {
    return Str(209, facts.badPins + 1, facts.maxAttacks) + QLatin1Char('\n') + Str(160) +
           QLatin1Char('\n') + Str(210, facts.maxAttacks);
  }
  return Str(160);
}

void PinOperationDialog::addInstructionOnEnterPinDialog() {
  const AttemptFacts facts = ReadAttemptFacts();
  QString text;
  if (facts.locked) {
    startLockRecheck();
    text = LockOutText(facts);
  } else {
    endLockOut();
    m_continue->setEnabled(!Shared().g_bDeactivationShown);
    if (facts.maxAttacks > 0 && facts.badPins > 0) {
      text = Str(209, facts.badPins + 1, facts.maxAttacks) + QLatin1Char('\n') +
             Str(210, facts.maxAttacks);
    }
  }
  setMessage(text);
}

void PinOperationDialog::OnBnClickedCancelbtn() {
  AppLog log("CPinOperationDialog::OnBnClickedCancelbtn");
  SharedValues& shared = Shared();
  switch (m_DialogType) {
    case D::CHANGE_TOKEN_PIN_DIALOG1:
      postCancel(shared.g_bDeactivationShown || shared.g_bPinFailureShown ? Cancel::kToTokenList
                                                                          : Cancel::kBack);
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::GET_TOKEN_POLICY:
    case D::ENTER_PORTAL_URL:
      postCancel(Cancel::kToEnrollmentMethod);
      postTitleIndicator(Indicator::kShowA);
      break;
    case D::SET_TOKEN_PIN:
    case D::CONFIRM_SET_TOKEN_PIN:
      // The token goes back to its installed state; an activation code shown for it would
      // become invalid, so the user is asked first.
      if (!ResetTokenAfterAsking()) return;
      postCancel(Cancel::kToTokenList);
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::CHANGE_TOKEN_NAME_DIALOG:
      postCancel(Cancel::kBack);
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::CHANGE_TOKEN_PIN_DIALOG2:
    case D::CHANGE_TOKEN_PIN_DIALOG3:
      if (shared.g_bChangePinRequired) {
        shared.g_bChangePinRequired = false;
        postCancel(Cancel::kToTokenList);
      } else {
        postCancel(m_DialogType == D::CHANGE_TOKEN_PIN_DIALOG2 ? Cancel::kBackTwo
                                                               : Cancel::kBackThree);
      }
      postTitleIndicator(Indicator::kHideA);
      break;
    case D::ENTER_TOKEN_PIN_DIALOG:
      postCancel(Cancel::kToTokenList);
      postTitleIndicator(Indicator::kHideA);
      break;
    default:
      break;
  }
  if (masked()) clearEdit();
}

void PinOperationDialog::showErrorMessage() {
  setMessage(Str(167));
  clearEdit();
  m_edit->setFocus();
}

void PinOperationDialog::showInvalidPINError() {
  setMessage(Str(165));
  clearEdit();
  m_edit->setFocus();
}

void PinOperationDialog::ClearMessageLine() {
  setMessage(QString());
  m_edit->setFocus();
}

void PinOperationDialog::ResetForReentry() {
  ClearMessageLine();
  clearEdit();
}

}  // namespace ov::app
