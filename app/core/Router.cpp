#include "app/core/Router.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/ScreenModel.h"
#include "app/core/SharedValues.h"
#include "app/core/TokenRecords.h"
#include "frontend/WipeBytes.h"

namespace ov::app {

namespace C = Continue;
namespace D = DialogType;

namespace {

template <typename T>
const T* Find(const std::vector<T>& table, int code) {
  auto found =
      std::find_if(table.begin(), table.end(), [code](const T& r) { return r.code == code; });
  return found == table.end() ? nullptr : &*found;
}

void Wipe(std::string& text) {
  frontend::WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace

Router::Router(RouterView& view, SlotFactory factory)
    : m_view(view), m_factory(std::move(factory)) {}

Router::~Router() { wipeEnrollmentString(); }

void Router::setEnrollmentString(std::string text) {
  wipeEnrollmentString();
  m_enrollment = std::move(text);
}

void Router::wipeEnrollmentString() { Wipe(m_enrollment); }

ScreenSlot* Router::screenObject(int owner) {
  auto found = m_screens.find(owner);
  if (found != m_screens.end()) return found->second;
  ScreenSlot* slot = m_factory ? m_factory(owner) : nullptr;
  if (slot != nullptr) m_screens.emplace(owner, slot);
  return slot;
}

ScreenSlot* Router::screenFor(int code) {
  const ContinueRoute* route = Find(ContinueRoutes(), code);
  return route == nullptr ? nullptr : screenObject(route->screen);
}

int Router::activeScreenCode() const {
  if (m_active == nullptr) return 0;
  for (const auto& [code, screen] : m_screens) {
    if (screen == m_active) return code == kSecondListPair ? C::kTokenList : code;
  }
  return 0;
}

bool Router::IsPasscodeDlgActive() const { return activeScreenCode() == C::kPasscode; }
bool Router::IsInactiveTokenDlgActive() const { return activeScreenCode() == C::kInactiveToken; }

bool Router::onInformationScreen() const {
  const int active = activeScreenCode();
  return active == C::kApplicationInfo || active == C::kTokenInfo ||
         active == C::kInactiveTokenInfo;
}

void Router::start() {
  AppLog log("COrvantiDlg::start");
  const int32_t count = CountTokens();
  log.Number("count", count);
  if (!m_enrollment.empty() && screenFor(C::kTokenName) != nullptr &&
      screenFor(C::kPortalUrl) != nullptr) {
    m_view.handEnrollmentString(m_enrollment);
    wipeEnrollmentString();
    CallChildDialog(C::kTokenName);
    return;
  }
  wipeEnrollmentString();
  if (count <= 0) {
    CallChildDialog(C::kWelcome);
  } else if (count == 1) {
    TokenList tokens;
    if (tokens.ok() && tokens.size() == 1) {
      SingleTokenFlow(tokens[0]);
    } else {
      CallChildDialog(C::kTokenList);
    }
  } else {
    CallChildDialog(C::kTokenList);
  }
}

void Router::handOver(std::string enrollment) {
  AppLog log("COrvantiDlg::HandOver");
  if (enrollment.empty() || m_finished) {
    Wipe(enrollment);
    return;
  }
  if (m_active != nullptr && m_active->isBusy()) {
    log.Message("Enrollment under way: the string is not taken");
    Wipe(enrollment);
    return;
  }
  // An activation code on the screen is given up only as Back gives it up: after asking.
  if (m_active != nullptr && !m_active->confirmBack()) {
    log.Message("The activation code shown is kept: the string is not taken");
    Wipe(enrollment);
    return;
  }
  destroyWholeStack();
  OV_ReleaseInstance();
  Shared().setTokenName(std::wstring());
  setIndicatorA(false);
  setIndicatorB(false);
  setEnrollmentString(std::move(enrollment));
  start();
}

void Router::SingleTokenFlow(const OVTokenInfoW& record) {
  AppLog log("COrvantiDlg::SingleTokenFlow");
  const std::wstring name = record.m_szTokenName != nullptr ? record.m_szTokenName : L"";
  Shared().setTokenName(name);
  showTokenTitle();
  const int32_t opened = OV_CreateInstanceW(name.c_str(), 0);
  if (opened != OV_OK) {
    log.Message("OV_CreateInstanceW failed");
    log.Number("result", opened);
    m_view.showError(Text::Of(213));
    returnToTokenList();
    return;
  }
  // Where the view has no screen for the next step, the list stays the way in.
  auto showOrList = [this](int code) {
    if (screenFor(code) != nullptr) {
      CallChildDialog(code);
    } else {
      returnToTokenList();
    }
  };
  if (record.m_nTokenState == ACTIVATED_STATE) {
    if (record.m_bPinRequired) {
      showOrList(C::kTokenPin);
      OnTitleIndicatorMsg(Indicator::kShowA);
    } else if (!ModeIs(record, OV_MODE_TEXT_CHALLENGE_RESPONSE)) {
      ScreenSlot* passcode = screenFor(C::kPasscode);
      if (passcode == nullptr) {
        returnToTokenList();
        return;
      }
      const int generated = passcode->model().GenerateOTP(nullptr, true).result;
      if (generated == 0) {
        CallChildDialog(C::kPasscode);
        OnTitleIndicatorMsg(Indicator::kHideA);
      } else if (generated == kStrMultiHost) {
        returnToTokenList();
      }
    } else {
      showOrList(C::kChallenge);
      OnTitleIndicatorMsg(Indicator::kShowA);
    }
  } else {
    showOrList(C::kInactiveToken);
    OnTitleIndicatorMsg(Indicator::kShowA);
  }
}

void Router::onNavigation(int message, int code) {
  if (m_finished) return;
  switch (message) {
    case WM_CONTINUE_MSG:
      OnContinueMsg(code);
      break;
    case WM_TITLE_INDICATOR_MSG:
      OnTitleIndicatorMsg(code);
      break;
    case WM_CANCEL_MSG:
      OnCancelMsg(code);
      break;
    default:
      break;
  }
}

void Router::OnContinueMsg(int code) {
  AppLog log("COrvantiDlg::OnContinueMsg");
  log.Number("code", code);
  if (screenFor(code) == nullptr) {
    log.Message("No screen for the code");
    return;
  }
  if (m_active != nullptr) {
    m_active->ShowChildDialog(false);
    m_stack.push_back(m_active);
  }
  CallChildDialog(code);
}

void Router::CallChildDialog(int code) {
  AppLog log("COrvantiDlg::CallChildDialog");
  log.Number("code", code);
  const ContinueRoute* route = Find(ContinueRoutes(), code);
  ScreenSlot* screen = screenFor(code);
  if (route == nullptr || screen == nullptr) return;
  setBackListMode(false);
  setBackVisible(true);
  showTokenTitle();
  if (route->effects & kStackCleared) {
    popAndShowActivewindow(static_cast<int>(m_stack.size()), false, true);
  }
  screen->createScreen(route->dialogType, route->sideBar);
  m_active = screen;
  if (route->effects & kBackHidden) setBackVisible(false);
  if (route->effects & kDefaultTitle) setDefaultTitle();
  if (route->effects & kBackListMode) {
    setBackVisible(true);
    setBackListMode(true);
  }
  if (route->effects & kHideIndicatorA) setIndicatorA(false);
  if (route->effects & (kFocusList | kFocusPin)) screen->focusInitial();
  if (route->effects & kFocusBack) m_view.focusBack();
}

void Router::popAndShowActivewindow(int nCount, bool showWindow, bool destroyLastPopped) {
  AppLog log("COrvantiDlg::popAndShowActivewindow");
  log.Number("nCount", nCount);
  ScreenSlot* current = m_active;
  bool remains = false;
  for (int i = 0; i < nCount; ++i) {
    if (current != nullptr) current->DestroyChildDialog();
    remains = false;
    if (!m_stack.empty()) {
      current = m_stack.back();
      m_stack.pop_back();
      remains = current != nullptr;
      if (current == nullptr) log.Message("childDialog is NULL");
    }
  }
  if (nCount == 0) remains = current != nullptr;
  if (m_stack.empty()) setBackVisible(false);
  if (showWindow) {
    if (remains) {
      current->ShowChildDialog(true);
      m_active = current;
    } else {
      // Gone past the bottom of the stack: the application's first screen for what it holds.
      m_active = nullptr;
      CallChildDialog(CountTokens() > 0 ? C::kTokenList : C::kWelcome);
    }
    const int active = activeScreenCode();
    if (active == C::kEnrollmentMethod || active == C::kPasscode || active == C::kInactiveToken) {
      setBackVisible(true);
      setBackListMode(true);
      setIndicatorA(false);
    } else if (active == C::kTokenList) {
      setDefaultTitle();
      setIndicatorA(false);
    }
  } else if (destroyLastPopped) {
    if (current != nullptr) current->DestroyChildDialog();
    m_active = nullptr;
  } else {
    m_active = remains ? current : nullptr;
  }
}

void Router::destroyWholeStack() {
  for (ScreenSlot* screen : m_stack) {
    if (screen != nullptr) screen->DestroyChildDialog();
  }
  m_stack.clear();
  if (m_active != nullptr) m_active->DestroyChildDialog();
  m_active = nullptr;
}

void Router::returnToTokenList() {
  AppLog log("COrvantiDlg::ReturnToTokenList");
  ScreenSlot* first = screenObject(C::kTokenList);
  if (first == nullptr) return;
  // The list may be the screen being left (its own inactivity, say): the other pair takes over,
  // so the one being destroyed is never the one being made.
  ScreenSlot* pair = first->isCreated() ? screenObject(kSecondListPair) : first;
  if (pair == nullptr) pair = first;
  destroyWholeStack();
  setDefaultTitle();
  pair->createScreen(0, D::SIDEBAR_LIST);
  m_active = pair;
  setBackListMode(false);
  setBackVisible(false);
  setIndicatorA(false);
  setIndicatorB(false);
  pair->focusInitial();
}

void Router::OnCancelMsg(int code) {
  AppLog log("COrvantiDlg::OnCancelMsg");
  log.Number("code", code);
  const CancelRoute* route = Find(CancelRoutes(), code);
  if (route == nullptr) return;
  switch (route->action) {
    case CancelAction::PopAndShow:
      popAndShowActivewindow(route->count, true, false);
      break;
    case CancelAction::EnrollmentMethod:
      OnContinueMsg(C::kEnrollmentMethod);
      break;
    case CancelAction::PopShowPinMismatch:
    case CancelAction::PopShowPinRefused:
    case CancelAction::PopShowSoftPinReset:
    case CancelAction::PopShowReset:
      popAndShowActivewindow(route->count, false, false);
      if (m_active != nullptr) {
        m_active->ShowChildDialog(true);
        if (route->action == CancelAction::PopShowPinRefused) {
          m_active->showInvalidPINError();
        } else if (route->action == CancelAction::PopShowReset) {
          m_active->ResetForReentry();
        } else {
          m_active->showErrorMessage();
        }
      }
      break;
    case CancelAction::Exit:
    case CancelAction::ExitOnSingleToken:
      finish(0, false);
      return;
    case CancelAction::ReturnToList:
      returnToTokenList();
      break;
    case CancelAction::ClearToWelcome:
      destroyWholeStack();
      setDefaultTitle();
      CallChildDialog(C::kWelcome);
      break;
    case CancelAction::Abort:
      finish(1, true);
      return;
  }
  if (route->back == 1) setBackVisible(true);
  if (route->back == 0) setBackVisible(false);
}

void Router::OnTitleIndicatorMsg(int code) {
  switch (code) {
    case Indicator::kHideBack:
      setBackVisible(false);
      break;
    case Indicator::kHideA:
      setIndicatorA(false);
      break;
    case Indicator::kShowA:
      setIndicatorA(true);
      break;
    case Indicator::kShowAB:
      setIndicatorA(true);
      setIndicatorB(true);
      break;
    case Indicator::kHideB:
      setIndicatorB(false);
      break;
    case Indicator::kShowB:
      setIndicatorB(true);
      break;
    default:
      break;
  }
}

void Router::OnBnClickedBackBtn() {
  AppLog log("COrvantiDlg::OnBnClickedBackBtn");
  if (m_finished || m_active == nullptr || !m_state.backVisible) return;
  // Nothing is left while work on another thread still reads what this screen handed it.
  if (m_active->isBusy()) return;
  // The screen undoes what leaving it undoes, or keeps the user (an activation code in use).
  if (!m_active->confirmBack()) return;
  // Indicator B marks information on screen; it goes with whichever information screen is left.
  if (onInformationScreen()) setIndicatorB(false);
  const SharedValues& shared = Shared();
  BackSituation situation;
  situation.listMode = m_state.backListMode;
  situation.activeScreen = activeScreenCode();
  situation.pinFailureShown = shared.g_bPinFailureShown;
  situation.deactivationShown = shared.g_bDeactivationShown;
  situation.changePinRequired = shared.g_bChangePinRequired;
  switch (DecideBack(situation)) {
    case BackStep::PopTwo:
      OnCancelMsg(Cancel::kBackTwo);
      break;
    case BackStep::ToList:
      OnCancelMsg(Cancel::kToTokenList);
      setIndicatorA(false);
      break;
    case BackStep::PopOne:
      popAndShowActivewindow(1, true, false);
      CleanMessagesPostBackClick();
      break;
  }
}

void Router::CleanMessagesPostBackClick() {
  static constexpr int kScreensWithMessages[] = {C::kPolicyString,  C::kSetPin,      C::kPortalUrl,
                                                 C::kChangePinNew,  C::kCredentials, C::kSoftPin,
                                                 C::kSoftPinConfirm};
  const int active = activeScreenCode();
  if (std::find(std::begin(kScreensWithMessages), std::end(kScreensWithMessages), active) !=
      std::end(kScreensWithMessages)) {
    m_active->ClearMessageLine();
  }
}

bool Router::onKey(Key key, bool onMenuButton) {
  const bool onInformation = onInformationScreen();
  switch (key) {
    case Key::Escape:
      // Escape never closes the window: it is Back where Back is the way out, else the screen's
      // own Cancel, else nothing.
      if (onInformation || activeScreenCode() == C::kPasscode) {
        OnBnClickedBackBtn();
      } else if (m_active != nullptr) {
        m_active->onEscape();
      }
      return true;
    case Key::Backspace:
    case Key::Enter:
      if (onInformation && !onMenuButton) {
        OnBnClickedBackBtn();
        return true;
      }
      return false;
    case Key::F1:
      return true;  // no help pages
  }
  return false;
}

void Router::close() {
  AppLog log("COrvantiDlg::OnClose");
  // An enrollment under way is not waited for: leaving its screen abandons it.
  finish(0, false);
}

void Router::finish(int exitCode, bool showError) {
  if (m_finished) return;
  AppLog log("COrvantiDlg::Exit");
  m_finished = true;
  Shared().destroyInternalData();
  destroyWholeStack();
  if (showError) m_view.showError(Text::Of(213));
  log.Message("EXITING_CLIENT_APPLICATION");
  log.Number("exitCode", exitCode);
  m_view.exitApplication(exitCode);
}

void Router::setBackVisible(bool visible) {
  m_state.backVisible = visible;
  publish();
}

void Router::setBackListMode(bool listMode) {
  m_state.backListMode = listMode;
  publish();
}

void Router::setIndicatorA(bool shown) {
  m_state.indicatorA = shown;
  publish();
}

void Router::setIndicatorB(bool shown) {
  m_state.indicatorB = shown;
  publish();
}

void Router::setDefaultTitle() {
  m_state.title = Text::Of(WindowState::kStrDefaultTitle);
  publish();
}

void Router::showTokenTitle() {
  const std::wstring_view name = Shared().g_szTokenName.view();
  if (name.empty()) {
    setDefaultTitle();
    return;
  }
  m_state.title = Text::Literal(DisplayName(name));
  publish();
}

// Each change is drawn at once, so that a focus asked for next finds Back as the state says.
void Router::publish() { m_view.draw(m_state); }

}  // namespace ov::app
