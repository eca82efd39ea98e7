#include "app/core/screens/AutoEnrollmentModel.h"

#include <optional>
#include <utility>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "frontend/EnrollmentString.h"
#include "frontend/StringTable.h"
#include "frontend/WipeBytes.h"
#include "ov/ov_api.h"

namespace ov::app {
namespace {

namespace D = DialogType;

// The characters of a wide text as code points (UTF-16 pairs joined where wchar_t is 16 bits).
std::u32string CodePoints(std::wstring_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        const auto low = static_cast<char32_t>(text[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    out += c;
  }
  return out;
}

std::string Utf8(const std::u32string& text) {
  std::wstring wide;
  for (char32_t c : text) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<wchar_t>(c);
    }
  }
  return ToUtf8(wide);
}

// Lower case for the letters host names use: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t ToLower(char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17E && c != 0x130) {
    // Capital and small letters in pairs, the capital even except in two runs.
    const bool oddRun = (c >= 0x139 && c <= 0x148) || c >= 0x179;
    if (c != 0x138 && c != 0x149 && (c % 2 == 1) == oddRun) return c + 1;
  }
  if ((c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool IsLabelDot(char32_t c) { return c == U'.' || c == 0x3002 || c == 0xFF0E || c == 0xFF61; }

// RFC 3492's encoding of one label; nothing when its numbers overflow.
std::optional<std::string> Punycode(const std::u32string& label) {
  constexpr uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
  auto digit = [](uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26)); };
  auto adapt = [](uint32_t delta, uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
      delta /= kBase - kTMin;
      k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
  };
  std::string out;
  for (char32_t c : label) {
    if (c < 0x80) out += static_cast<char>(c);
  }
  const auto basic = static_cast<uint32_t>(out.size());
  uint32_t handled = basic;
  if (basic > 0) out += '-';
  uint32_t n = 0x80, delta = 0, bias = 72;
  while (handled < label.size()) {
    uint32_t m = UINT32_MAX;
    for (char32_t c : label) {
      if (c >= n && c < m) m = c;
    }
    if (m - n > (UINT32_MAX - delta) / (handled + 1)) return std::nullopt;
    delta += (m - n) * (handled + 1);
    n = m;
    for (char32_t c : label) {
      if (c < n && ++delta == 0) return std::nullopt;
      if (c != n) continue;
      uint32_t q = delta;
      for (uint32_t k = kBase;; k += kBase) {
        const uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
        if (q < t) break;
        out += digit(t + (q - t) % (kBase - t));
        q = (q - t) / (kBase - t);
      }
      out += digit(q);
      bias = adapt(delta, handled + 1, handled == basic);
      delta = 0;
      ++handled;
    }
    ++delta;
    ++n;
  }
  return out;
}

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

std::string ServerHostForDisplay(std::wstring_view url) {
  const std::size_t scheme = url.find(L"://");
  std::wstring_view authority = scheme == std::wstring_view::npos ? url : url.substr(scheme + 3);
  authority = authority.substr(0, authority.find_first_of(L"/?#"));
  if (const std::size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::wstring_view host = authority;
  if (!host.empty() && host.front() == L'[') {
    const std::size_t close = host.find(L']');
    host = host.substr(1, close == std::wstring_view::npos ? host.npos : close - 1);
  } else if (const std::size_t colon = host.rfind(L':'); colon != std::wstring_view::npos) {
    host = host.substr(0, colon);
  }
  std::u32string lower = CodePoints(host);
  for (char32_t& c : lower) c = ToLower(c);
  std::string shown;
  std::u32string label;
  for (std::size_t i = 0; i <= lower.size(); ++i) {
    if (i < lower.size() && !IsLabelDot(lower[i])) {
      label += lower[i];
      continue;
    }
    bool ascii = true;
    for (char32_t c : label) ascii = ascii && c < 0x80;
    if (ascii) {
      shown += Utf8(label);
    } else if (const std::optional<std::string> encoded = Punycode(label)) {
      shown += "xn--" + *encoded;
    } else {
      return Utf8(lower);  // not a name that has an ASCII form: shown as it stands
    }
    if (i < lower.size()) shown += '.';
    label.clear();
  }
  return shown;
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
