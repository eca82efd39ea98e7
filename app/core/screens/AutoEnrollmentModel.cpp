#include "app/core/screens/AutoEnrollmentModel.h"

#include <optional>
#include <utility>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/ServerHost.h"
#include "frontend/EnrollmentString.h"
#include "frontend/StringTable.h"
#include "frontend/WipeBytes.h"
#include "ov/ov_api.h"

namespace ov::app {
namespace {

namespace D = DialogType;

// Whitespace as the edit boxes' texts are trimmed of it.
bool IsSpace(wchar_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The enrollment's question: string 510 with the host and the user for its %1 and %2.
std::string ServerQuestion(const std::string& host, const std::string& user) {
  std::string text = frontend::OVString(kStrEnrollmentServerQuestion);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
      out += text[i + 1] == '1' ? host : user;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

Text SoftPinRuleText(int32_t minLength, int32_t maxLength, int32_t complexity) {
  if (complexity != 0) {
    return minLength == maxLength ? Text::Of(232, minLength) : Text::Of(216, minLength, maxLength);
  }
  return minLength == maxLength ? Text::Of(218, minLength) : Text::Of(190, minLength, maxLength);
}

AutoEnrollmentModel::~AutoEnrollmentModel() {
  // Whatever still runs reports nowhere any more.
  m_worker.abandon();
}

AutoEnrollmentModel::Control AutoEnrollmentModel::initialFocus() const {
  if (firstVisible) return Control::First;
  if (secondVisible) return Control::Second;
  return m_waiting ? Control::None : Control::Continue;
}

void AutoEnrollmentModel::requestFocus(Control control) {
  focus = control;
  ++focusRequests;
}

void AutoEnrollmentModel::OnInitDialog() {
  AppLog log("CAutoEnrollmentCredentials::OnInitDialog");
  log.Text("mode", m_DialogType == D::AUTO_ENROLL_UID_PWD    ? "AUTO_ENROLL_UID_PWD"
                   : m_DialogType == D::AUTO_ENROLL_SOFT_PIN ? "AUTO_ENROLL_SOFT_PIN"
                                                             : "AUTO_ENROLL_SOFT_PIN_CONFIRM");
  wipeFields();
  error = {};
  m_waiting = false;
  m_confirming = false;
  question = {};
  SharedValues& shared = Shared();
  if (m_DialogType == D::AUTO_ENROLL_UID_PWD) {
    firstLabel = Text::Of(116);
    firstMasked = false;
    firstMaxLength = 256;
    secondMaxLength = 256;
    rule = {};
    const bool userGiven = !shared.g_szPrefilledUserId.empty();
    const bool passwordGiven = !shared.g_szPrefilledPassword.empty();
    first.assign(shared.g_szPrefilledUserId.view());
    second.assign(shared.g_szPrefilledPassword.view());
    firstVisible = !userGiven;
    secondVisible = !passwordGiven;
    // Nothing to ask but whether to connect: that question comes as soon as the screen shows.
    if (userGiven && passwordGiven) startTimer(kAskAtOnceTimer, 0, true);
  } else {
    firstLabel = Text::Of(m_DialogType == D::AUTO_ENROLL_SOFT_PIN ? 151 : 227);
    firstMasked = true;
    firstMaxLength = shared.g_nSoftPinMaxLength > 0 ? shared.g_nSoftPinMaxLength : 32767;
    firstVisible = true;
    secondVisible = false;
    rule = SoftPinRuleText(shared.g_nSoftPinMinLength, shared.g_nSoftPinMaxLength,
                           shared.g_nSoftPinComplexity);
  }
}

void AutoEnrollmentModel::OnShowWindow(bool show) {
  if (!show) return;
  requestFocus(initialFocus());
  postTitleIndicator(Indicator::kShowA);
}

void AutoEnrollmentModel::OnTimer(int id) {
  if (id == kAskAtOnceTimer) {
    if (isShown() && !isBusy()) OnBnClickedContinue();
    return;
  }
  ScreenModel::OnTimer(id);
}

void AutoEnrollmentModel::OnEnChange(Control box, std::wstring_view text, bool typed) {
  SecretText& field = box == Control::First ? first : second;
  if (field == text) return;
  field.assign(text);
  // A box that is full hands the focus on, as a form that knows its lengths does.
  const int limit = box == Control::First ? firstMaxLength : secondMaxLength;
  if (!typed || static_cast<int>(text.size()) < limit) return;
  requestFocus(box == Control::First && secondVisible ? Control::Second : Control::Continue);
}

void AutoEnrollmentModel::askToConnect() {
  const SharedValues& shared = Shared();
  question = Text::Literal(ServerQuestion(ServerHostForDisplay(shared.g_szEnrollmentUrl.view()),
                                          DisplayName(shared.g_szUserId.view())));
  firstVisible = false;
  secondVisible = false;
  m_confirming = true;
  // A single Enter does not connect to a server the user has not looked at.
  requestFocus(Control::Cancel);
}

void AutoEnrollmentModel::abandonExchange() {
  AppLog log("CAutoEnrollmentCredentials::abandonExchange");
  m_worker.abandon();
  m_waiting = false;
  Shared().g_szPassword.clear();
  Shared().g_szSoftPin.clear();
}

void AutoEnrollmentModel::wipeFields() {
  first.clear();
  second.clear();
}

void AutoEnrollmentModel::OnDestroy() {
  // Leaving the screen (the window closed, say) does not wait for the server either.
  if (m_waiting) abandonExchange();
  m_confirming = false;
  wipeFields();
  error = {};
}

void AutoEnrollmentModel::OnBnClickedContinue() {
  AppLog log("CAutoEnrollmentCredentials::OnBnClickedContinue");
  if (isBusy()) return;
  SharedValues& shared = Shared();
  if (m_confirming) {
    m_confirming = false;
    StartAutoEnrollmentThread(nullptr);
    return;
  }
  if (m_DialogType == D::AUTO_ENROLL_UID_PWD) {
    const std::wstring_view user = Trimmed(first.view());
    const std::wstring_view password = Trimmed(second.view());
    if (user.empty() || password.empty()) {
      wipeFields();
      error = Text::Of(170);
      requestFocus(initialFocus());
    } else {
      shared.g_szUserId.assign(user);
      shared.g_szPassword.assign(password);
      askToConnect();
    }
    return;
  }
  if (m_DialogType == D::AUTO_ENROLL_SOFT_PIN) {
    shared.g_szSoftPin.assign(first.view());
    if (first.empty()) {
      requestFocus(Control::First);
    } else if (OV_SetOTPValidationW(shared.g_szSoftPin.c_str(), shared.g_nSoftPinMinLength,
                                    shared.g_nSoftPinMaxLength,
                                    shared.g_nSoftPinComplexity) != OV_OK) {
      error = Text::Of(171);
      requestFocus(Control::First);
    } else {
      postContinue(Continue::kSoftPinConfirm);
    }
  } else if (!(shared.g_szSoftPin == first.view())) {
    postCancel(Cancel::kSoftPinMismatch);
    postTitleIndicator(Indicator::kShowA);
  } else {
    StartAutoEnrollmentThread(&shared.g_szSoftPin);
  }
  wipeFields();
}

void AutoEnrollmentModel::StartAutoEnrollmentThread(const SecretText* softPin) {
  SharedValues& shared = Shared();
  EnrollmentRequest request;
  request.url.assign(shared.g_szEnrollmentUrl.view());
  request.userId.assign(shared.g_szUserId.view());
  request.password.assign(shared.g_szPassword.view());
  if (softPin != nullptr) {
    request.softPin.assign(softPin->view());
    request.softPinMinLength = shared.g_nSoftPinMinLength;
    request.softPinMaxLength = shared.g_nSoftPinMaxLength;
    request.softPinComplexity = shared.g_nSoftPinComplexity;
  }
  m_waiting = true;
  question = {};
  requestFocus(Control::Cancel);
  postTitleIndicator(Indicator::kHideBack);
  // The outcome comes on the worker's thread and is handed to the user interface's; the view
  // drops it if it is gone by then.
  Effects* view = &effects();
  m_worker.start(
      [this, view](const EnrollmentOutcome& outcome) {
        view->deliver([this, outcome] { onEnrollmentFinished(outcome); });
      },
      std::move(request));
}

void AutoEnrollmentModel::onEnrollmentFinished(const EnrollmentOutcome& outcome) {
  m_worker.join();
  if (!m_waiting) {
    // The user stopped waiting just as the outcome came: it is dropped, and a token it
    // enrolled goes back to where a failed enrollment leaves it.
    if (outcome.result == OV_OK) OV_ResetToken();
    return;
  }
  m_waiting = false;
  enrollmentFinished(outcome);
}

void AutoEnrollmentModel::enrollmentFinished(const EnrollmentOutcome& outcome) {
  AppLog log("CAutoEnrollmentCredentials::enrollmentFinished");
  log.Number("result", outcome.result);
  SharedValues& shared = Shared();
  shared.g_nEnrollmentFailure = outcome.failure;
  if (outcome.result == OV_OK) {
    shared.g_szPassword.clear();
    shared.g_szSoftPin.clear();
    ContinueToPasscode(true, WithoutInfo::Abort, nullptr);
    return;
  }
  if (m_DialogType == D::AUTO_ENROLL_SOFT_PIN_CONFIRM) {
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

void AutoEnrollmentModel::removeEnrollmentStringFromClipboard() {
  // An enrollment string may still be on the clipboard, with its passphrase: it goes. Anything
  // else there is the user's.
  std::string text = effects().clipboardText();
  std::wstring wide = FromUtf8(text);
  std::string trimmed = ToUtf8(Trimmed(wide));
  std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(trimmed);
  if (padded && frontend::CheckIfBase64ConnectionString(*padded)) effects().clearClipboard();
  if (padded) frontend::WipeBytes(padded->data(), padded->size());
  frontend::WipeBytes(trimmed.data(), trimmed.size());
  frontend::WipeBytes(text.data(), text.size());
  SecretText::Wipe(wide);
}

void AutoEnrollmentModel::handleAutoEnrollmentError(int32_t result) {
  AppLog log("CAutoEnrollmentCredentials::handleAutoEnrollmentError");
  log.Number("result", result);
  SharedValues& shared = Shared();
  removeEnrollmentStringFromClipboard();
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

void AutoEnrollmentModel::OnBnClickedCancel() {
  AppLog log("CAutoEnrollmentCredentials::OnBnClickedCancel");
  if (m_waiting) {
    // The token stays as it was before the exchange: back to the enrollment choice.
    abandonExchange();
    wipeFields();
    postCancel(m_DialogType == D::AUTO_ENROLL_UID_PWD ? Cancel::kActivationCodeCancelled
                                                      : Cancel::kSoftPinCancelled);
    postTitleIndicator(Indicator::kShowA);
    return;
  }
  m_confirming = false;
  const int code = m_DialogType == D::AUTO_ENROLL_UID_PWD    ? Cancel::kActivationCodeCancelled
                   : m_DialogType == D::AUTO_ENROLL_SOFT_PIN ? Cancel::kSoftPinCancelled
                                                             : Cancel::kSoftPinConfirmCancelled;
  wipeFields();
  postCancel(code);
  postTitleIndicator(Indicator::kShowA);
}

void AutoEnrollmentModel::showErrorMessage() {
  error = Text::Of(215);
  wipeFields();
  requestFocus(Control::First);
}

void AutoEnrollmentModel::ClearMessageLine() {
  error = {};
  requestFocus(initialFocus());
}

void AutoEnrollmentModel::ResetForReentry() {
  ClearMessageLine();
  wipeFields();
}

}  // namespace ov::app
