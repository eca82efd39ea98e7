// The router without a window: test slots wrap plain screen models, a recorded view takes the title
// bar and the one-off requests, and posted messages are delivered when the test pumps them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/core/Router.h"
#include "app/core/TokenRecords.h"
#include "frontend/TokenNaming.h"
#include "support/TokenFixtures.h"
#include "tests/app/core/CoreTestSupport.h"

namespace ov::app {
void PrintTo(const Text& text, std::ostream* out) {
  *out << (text.id != 0 ? "string " + std::to_string(text.id) : '"' + text.literal + '"');
}
}  // namespace ov::app

using namespace ov::app;
using namespace ov::test;

namespace {

namespace C = Continue;
namespace D = DialogType;

class TestModel : public ScreenModel {
 public:
  bool countsInactivity = false;
  bool isTimer1Added() const override { return countsInactivity; }
};

// A screen as the router sees it: what it was created as, and which of the router's calls came.
class TestSlot : public ScreenSlot {
 public:
  TestSlot(int owner, Effects& effects) : owner(owner) { m_model.setEffects(&effects); }
  ~TestSlot() override { m_model.setEffects(nullptr); }

  void createScreen(int type, int bar) override {
    dialogType = type;
    sideBar = bar;
    m_model.m_DialogType = type;
    m_model.create();
    m_model.show(true);
  }
  void ShowChildDialog(bool show) override { m_model.show(show); }
  void DestroyChildDialog() override { m_model.destroy(); }
  bool isCreated() const override { return m_model.isCreated(); }
  ScreenModel& model() const override { return m_model; }
  void focusInitial() override { calls.push_back("focus"); }
  void showErrorMessage() override { calls.push_back("error"); }
  void showInvalidPINError() override { calls.push_back("invalid PIN"); }
  void ClearMessageLine() override { calls.push_back("clear"); }
  void ResetForReentry() override { calls.push_back("reset"); }
  bool confirmBack() override { return leave; }
  bool isBusy() const override { return busy; }
  bool onEscape() override {
    calls.push_back("escape");
    return true;
  }

  bool shown() const { return m_model.isShown(); }
  TestModel& testModel() { return m_model; }

  const int owner;
  int dialogType = -1;
  int sideBar = -1;
  bool busy = false;
  bool leave = true;
  std::vector<std::string> calls;

 private:
  mutable TestModel m_model;
};

class RecordedView : public RouterView {
 public:
  void draw(const WindowState& drawn) override { state = drawn; }
  void focusBack() override { ++backFocused; }
  void showError(const Text& text) override { errors.push_back(text); }
  void exitApplication(int code) override { exits.push_back(code); }
  void handEnrollmentString(std::string_view text) override { enrollment.assign(text); }

  WindowState state;
  int backFocused = 0;
  std::vector<Text> errors;
  std::vector<int> exits;
  std::string enrollment;
};

const Text kDefaultTitle = Text::Of(178);
const Text kWorkTitle = Text::Literal("Work");
const std::string kEnrollment = "RW5yb2xsbWVudFVSTD1odHRwczovL2Vucm9sbC5leGFtcGxlLmNvbS9kc2twcA";

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(env.initialized, OV_OK); }

  ScreenSlot* make(int owner) {
    if (missing.count(owner) != 0) return nullptr;
    auto& slot = slots[owner];
    slot = std::make_unique<TestSlot>(owner, effects);
    return slot.get();
  }
  TestSlot& slot(int code) { return static_cast<TestSlot&>(*router.screenFor(code)); }
  TestSlot* active() const { return static_cast<TestSlot*>(router.activeScreen()); }
  int activeOwner() const { return active() == nullptr ? 0 : active()->owner; }
  const WindowState& state() const { return router.state(); }

  // Delivers what the screens posted, in order, as the window's event loop does.
  void pump() {
    for (auto posted = effects.take(); !posted.empty(); posted = effects.take()) {
      for (const Posted& p : posted) router.onNavigation(p.message, p.code);
    }
  }
  // From the first screen forward through `codes`.
  void walk(std::initializer_list<int> codes) {
    router.start();
    for (int code : codes) router.OnContinueMsg(code);
  }

  CoreEnvironment env;
  RecordedEffects effects;
  RecordedView view;
  std::set<int> missing;
  std::map<int, std::unique_ptr<TestSlot>> slots;
  Router router{view, [this](int owner) { return make(owner); }};
};

// Each continue code from a screen two deep in the stack, with the token "Work" current and
// indicator A on.
struct ContinueCase {
  int code;
  int owner;
  int dialogType;
  int sideBar;
  bool clearsStack;
  bool back;
  bool listMode;
  bool defaultTitle;
  bool indicatorA;
  const char* focus;  // "screen", "back" or ""
};

TEST_F(RouterTest, EveryContinueCodeShowsItsScreenAndSetsTheTitleBar) {
  const ContinueCase cases[] = {
      {C::kWelcome, C::kWelcome, D::MESSAGE_WELCOME, 0, false, false, false, true, true, ""},
      {C::kTokenName, C::kTokenName, D::TOKEN_NAME, 0, false, true, false, true, true, ""},
      {C::kEnrollmentMethod, C::kEnrollmentMethod, D::ENROLLMENT_METHOD, 0, true, true, true, false,
       true, ""},
      {C::kPolicyString, C::kPolicyString, D::GET_TOKEN_POLICY, 0, false, true, false, false, true,
       ""},
      {C::kActivationCode, C::kActivationCode, D::ACTIVATION_CODE, 0, false, true, false, false,
       true, ""},
      {C::kSetPin, C::kSetPin, D::SET_TOKEN_PIN, 0, false, true, true, false, true, ""},
      {C::kConfirmSetPin, C::kConfirmSetPin, D::CONFIRM_SET_TOKEN_PIN, 0, false, true, false, false,
       true, ""},
      {C::kTokenList, C::kTokenList, 0, D::SIDEBAR_LIST, false, false, false, true, false,
       "screen"},
      {C::kPasscode, C::kPasscode, D::PASSCODE, D::SIDEBAR_PASSCODE, true, true, true, false, true,
       ""},
      {C::kPortalUrl, C::kPortalUrl, D::ENTER_PORTAL_URL, 0, false, true, false, false, true, ""},
      {C::kCredentials, C::kCredentials, D::AUTO_ENROLL_UID_PWD, 0, false, true, false, false, true,
       ""},
      {C::kSoftPin, C::kSoftPin, D::AUTO_ENROLL_SOFT_PIN, 0, false, true, false, false, true, ""},
      {C::kApplicationInfo, C::kApplicationInfo, D::APPLICATION_INFO, 0, false, true, false, true,
       true, ""},
      {C::kChangePinCurrent, C::kChangePinCurrent, D::CHANGE_TOKEN_PIN_DIALOG1, 0, false, true,
       false, false, true, ""},
      {C::kRenamePin, C::kRenamePin, D::CHANGE_TOKEN_NAME_DIALOG, 0, false, true, false, false,
       true, ""},
      {C::kRenamed, C::kRenamed, D::MESSAGE_RENAMED, 0, false, false, false, false, true, ""},
      {C::kDeactivateConfirm, C::kDeactivateConfirm, D::MESSAGE_DEACTIVATE, 0, false, true, false,
       false, true, ""},
      {C::kDeleteConfirm, C::kDeleteConfirm, D::MESSAGE_DELETE, 0, false, true, false, false, true,
       ""},
      {C::kChangePinNew, C::kChangePinNew, D::CHANGE_TOKEN_PIN_DIALOG2, 0, false, true, false,
       false, true, ""},
      {C::kChangePinConfirm, C::kChangePinConfirm, D::CHANGE_TOKEN_PIN_DIALOG3, 0, false, true,
       false, false, true, ""},
      {C::kChallenge, C::kChallenge, D::ENTER_CHALLENGE_DIALOG, 0, false, true, true, false, true,
       ""},
      {C::kTokenPin, C::kTokenPin, D::ENTER_TOKEN_PIN_DIALOG, 0, false, true, true, false, true,
       "screen"},
      {C::kPinChanged, C::kPinChanged, D::MESSAGE_PIN_CHANGED, 0, false, false, false, false, true,
       ""},
      {C::kInactiveToken, C::kInactiveToken, D::MESSAGE_INACTIVE, D::SIDEBAR_INACTIVE, false, true,
       true, false, true, ""},
      {C::kTokenInfo, C::kTokenInfo, D::TOKEN_INFO, 0, false, true, false, false, true, "back"},
      {C::kNextChallenge, C::kChallenge, D::ENTER_CHALLENGE_DIALOG, 0, true, true, true, false,
       true, ""},
      {C::kChangePinCurrentAgain, C::kChangePinCurrent, D::CHANGE_TOKEN_PIN_DIALOG1, 0, false, true,
       false, false, true, ""},
      {C::kInactiveTokenInfo, C::kInactiveTokenInfo, D::INACTIVE_TOKEN_INFO, 0, false, true, false,
       false, true, "back"},
      {C::kSoftPinConfirm, C::kSoftPinConfirm, D::AUTO_ENROLL_SOFT_PIN_CONFIRM, 0, false, true,
       false, false, true, ""},
  };
  ASSERT_EQ(std::size(cases), ContinueRoutes().size());
  for (const ContinueCase& c : cases) {
    SCOPED_TRACE(c.code);
    RecordedView caseView;
    RecordedEffects caseEffects;
    std::map<int, std::unique_ptr<TestSlot>> caseSlots;
    Router r(caseView, [&](int owner) {
      auto& made = caseSlots[owner];
      made = std::make_unique<TestSlot>(owner, caseEffects);
      return made.get();
    });
    Shared().setTokenName(L"Work");
    r.start();
    // The screen below is any other than the one under test.
    const int below = c.owner == C::kApplicationInfo ? C::kTokenName : C::kApplicationInfo;
    r.OnContinueMsg(below);
    r.OnTitleIndicatorMsg(Indicator::kShowA);
    auto* previous = static_cast<TestSlot*>(r.activeScreen());

    r.OnContinueMsg(c.code);
    auto* shown = static_cast<TestSlot*>(r.activeScreen());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->owner, c.owner);
    EXPECT_EQ(r.activeScreenCode(), c.owner);
    EXPECT_TRUE(shown->shown());
    EXPECT_EQ(shown->dialogType, c.dialogType);
    EXPECT_EQ(shown->sideBar, c.sideBar);
    EXPECT_EQ(r.stackDepth(), c.clearsStack ? 0 : 2);
    // Stacked screens wait hidden; a cleared stack is destroyed.
    EXPECT_FALSE(previous->shown());
    EXPECT_EQ(previous->isCreated(), !c.clearsStack);
    const WindowState& s = r.state();
    EXPECT_EQ(s.backVisible, c.back);
    EXPECT_EQ(s.backListMode, c.listMode);
    EXPECT_EQ(s.backText(), c.listMode ? 182 : 181);
    EXPECT_EQ(s.title, c.defaultTitle ? kDefaultTitle : kWorkTitle);
    EXPECT_EQ(s.indicatorA, c.indicatorA);
    EXPECT_EQ(caseView.state, s);
    EXPECT_EQ(shown->calls, std::string(c.focus) == "screen" ? std::vector<std::string>{"focus"}
                                                             : std::vector<std::string>{});
    EXPECT_EQ(caseView.backFocused, std::string(c.focus) == "back" ? 1 : 0);
    Shared().setTokenName(std::wstring());
  }
}

TEST_F(RouterTest, ACodeWithoutAScreenChangesNothing) {
  missing = {C::kPortalUrl};
  walk({C::kTokenName});
  for (int code : {99, C::kPortalUrl}) {
    router.OnContinueMsg(code);
    EXPECT_EQ(router.activeScreenCode(), C::kTokenName);
    EXPECT_EQ(router.stackDepth(), 1);
  }
  router.OnCancelMsg(99);
  EXPECT_EQ(router.activeScreenCode(), C::kTokenName);
}

// Each cancel code from the confirm-PIN screen, five deep: welcome, token name, policy, activation
// code, set PIN.
struct CancelCase {
  std::vector<int> codes;
  int active;  // 0: none (the application ended)
  int depth;
  bool back;
  const char* call;  // the router's call on the screen it went back to
  int exit;          // -1: still running
};

TEST_F(RouterTest, EveryCancelCodeGoesBackWhereItSays) {
  const CancelCase cases[] = {
      {{Cancel::kBackHideBack}, C::kSetPin, 4, false, "", -1},
      {{Cancel::kToEnrollmentMethod, Cancel::kActivationCodeCancelled, Cancel::kSoftPinCancelled,
        Cancel::kDeactivated, Cancel::kEnrollmentFailed},
       C::kEnrollmentMethod,
       0,
       true,
       "",
       -1},
      {{Cancel::kPinMismatch, Cancel::kChangePinMismatch, Cancel::kSoftPinMismatch},
       C::kSetPin,
       4,
       true,
       "error",
       -1},
      {{Cancel::kChangePinRefused, Cancel::kSetPinRefused}, C::kSetPin, 4, true, "invalid PIN", -1},
      {{Cancel::kSoftPinConfirmCancelled}, C::kSetPin, 4, true, "reset", -1},
      {{Cancel::kBack}, C::kSetPin, 4, true, "", -1},
      {{Cancel::kBackTwo, Cancel::kRenamedBack}, C::kActivationCode, 3, true, "", -1},
      {{Cancel::kBackThree}, C::kPolicyString, 2, true, "", -1},
      {{Cancel::kBackFour}, C::kTokenName, 1, true, "", -1},
      {{Cancel::kToTokenList}, C::kTokenList, 0, false, "focus", -1},
      {{Cancel::kToWelcome}, C::kWelcome, 0, false, "", -1},
      {{Cancel::kExit, Cancel::kExitOnSingleToken}, 0, 0, false, "", 0},
      {{Cancel::kAbort}, 0, 0, false, "", 1},
  };
  std::size_t covered = 0;
  for (const CancelCase& c : cases) {
    for (int code : c.codes) {
      SCOPED_TRACE(code);
      ++covered;
      RecordedView caseView;
      RecordedEffects caseEffects;
      std::map<int, std::unique_ptr<TestSlot>> caseSlots;
      Router r(caseView, [&](int owner) {
        auto& made = caseSlots[owner];
        made = std::make_unique<TestSlot>(owner, caseEffects);
        return made.get();
      });
      r.start();
      for (int forward :
           {C::kTokenName, C::kPolicyString, C::kActivationCode, C::kSetPin, C::kConfirmSetPin}) {
        r.OnContinueMsg(forward);
      }
      Shared().setPasscode(L"12345678");
      r.OnCancelMsg(code);
      EXPECT_EQ(r.activeScreenCode(), c.active);
      EXPECT_EQ(r.stackDepth(), c.depth);
      EXPECT_FALSE(caseSlots[C::kConfirmSetPin]->isCreated());
      if (c.exit >= 0) {
        EXPECT_EQ(caseView.exits, std::vector<int>{c.exit});
        // An abort says so; leaving does not. Either way nothing stays on screen or in memory.
        EXPECT_EQ(caseView.errors,
                  c.exit == 1 ? std::vector<Text>{Text::Of(213)} : std::vector<Text>{});
        for (const auto& [owner, made] : caseSlots) EXPECT_FALSE(made->isCreated()) << owner;
        EXPECT_TRUE(Shared().currentPasscode().empty());
        // Nothing moves afterwards, and a second exit is not asked for.
        r.onNavigation(WM_CONTINUE_MSG, C::kWelcome);
        r.onNavigation(WM_CANCEL_MSG, Cancel::kAbort);
        EXPECT_EQ(r.activeScreen(), nullptr);
        EXPECT_EQ(caseView.exits.size(), 1u);
        continue;
      }
      EXPECT_TRUE(caseView.exits.empty());
      auto* shown = static_cast<TestSlot*>(r.activeScreen());
      ASSERT_NE(shown, nullptr);
      EXPECT_TRUE(shown->shown());
      EXPECT_EQ(r.state().backVisible, c.back);
      EXPECT_EQ(shown->calls, std::string(c.call).empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{c.call});
      EXPECT_EQ(caseView.state, r.state());
      Shared().destroyInternalData();
    }
  }
  EXPECT_EQ(covered, CancelRoutes().size());
}

TEST_F(RouterTest, GoingBackPastTheFirstScreenShowsTheStartAgain) {
  walk({C::kTokenName});
  router.OnCancelMsg(Cancel::kBackThree);
  EXPECT_EQ(router.activeScreenCode(), C::kWelcome);
  EXPECT_EQ(router.stackDepth(), 0);

  MakeInstalledToken("Only");
  router.OnContinueMsg(C::kTokenName);
  router.OnCancelMsg(Cancel::kBackFour);
  EXPECT_EQ(router.activeScreenCode(), C::kTokenList);
  EXPECT_EQ(router.stackDepth(), 0);
}

TEST_F(RouterTest, GoingBackToAFlowsFirstScreenRestoresItsTitleBar) {
  Shared().setTokenName(L"Work");
  // Back onto the passcode: Back leads to the list, indicator A goes.
  walk({C::kPasscode, C::kTokenInfo});
  router.OnTitleIndicatorMsg(Indicator::kShowA);
  router.OnCancelMsg(Cancel::kBack);
  EXPECT_EQ(router.activeScreenCode(), C::kPasscode);
  EXPECT_TRUE(state().backVisible);
  EXPECT_TRUE(state().backListMode);
  EXPECT_FALSE(state().indicatorA);
  // Back onto the list: the application's title, indicator A gone.
  router.OnCancelMsg(Cancel::kToTokenList);
  router.OnContinueMsg(C::kTokenInfo);
  router.OnTitleIndicatorMsg(Indicator::kShowA);
  EXPECT_EQ(state().title, kWorkTitle);
  router.OnCancelMsg(Cancel::kBack);
  EXPECT_EQ(router.activeScreenCode(), C::kTokenList);
  EXPECT_EQ(state().title, kDefaultTitle);
  EXPECT_FALSE(state().indicatorA);
}

TEST_F(RouterTest, TitleIndicatorCodesSetTheIndicatorsAndBack) {
  walk({C::kTokenName});
  struct Step {
    int code;
    bool a, b, back;
  };
  const Step steps[] = {
      {Indicator::kShowA, true, false, true},
      {Indicator::kShowB, true, true, true},
      {Indicator::kHideA, false, true, true},
      {Indicator::kHideB, false, false, true},
      {Indicator::kShowAB, true, true, true},
      {Indicator::kHideBack, true, true, false},
      {99, true, true, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.code);
    router.onNavigation(WM_TITLE_INDICATOR_MSG, step.code);
    EXPECT_EQ(state().indicatorA, step.a);
    EXPECT_EQ(state().indicatorB, step.b);
    EXPECT_EQ(state().backVisible, step.back);
    EXPECT_EQ(view.state, state());
  }
}

// Back's decisions: where it leads from each situation. A return to the list while the first list
// is stacked shows the second list pair (owner -40); going back one shows the stacked list (40).
struct BackCase {
  const char* name;
  std::vector<int> path;
  bool pinFailureShown;
  bool deactivationShown;
  bool changePinRequired;
  int owner;
  std::vector<std::string> calls;  // on the screen shown afterwards
};

TEST_F(RouterTest, BackDecidesBetweenOneScreenTwoScreensAndTheList) {
  const BackCase cases[] = {
      {"list mode", {C::kTokenList, C::kPasscode}, false, false, false, C::kTokenList, {"focus"}},
      {"token PIN",
       {C::kTokenList, C::kTokenPin},
       false,
       false,
       false,
       Router::kSecondListPair,
       {"focus"}},
      {"current PIN after a failure",
       {C::kTokenList, C::kChangePinCurrent},
       true,
       false,
       false,
       Router::kSecondListPair,
       {"focus"}},
      {"current PIN after a deactivation",
       {C::kTokenList, C::kChangePinCurrent},
       false,
       true,
       false,
       Router::kSecondListPair,
       {"focus"}},
      {"current PIN",
       {C::kTokenList, C::kChangePinCurrent},
       false,
       false,
       false,
       C::kTokenList,
       {}},
      {"new PIN of a change",
       {C::kTokenList, C::kChangePinCurrent, C::kChangePinNew},
       false,
       false,
       false,
       C::kTokenList,
       {}},
      {"new PIN of a required change",
       {C::kTokenList, C::kChangePinCurrent, C::kChangePinNew},
       false,
       false,
       true,
       Router::kSecondListPair,
       {"focus"}},
      {"onto a screen with a message line",
       {C::kPolicyString, C::kActivationCode},
       false,
       false,
       false,
       C::kPolicyString,
       {"clear"}},
      {"onto a screen without one",
       {C::kTokenName, C::kActivationCode},
       false,
       false,
       false,
       C::kTokenName,
       {}},
  };
  for (const BackCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordedView caseView;
    RecordedEffects caseEffects;
    std::map<int, std::unique_ptr<TestSlot>> caseSlots;
    Router r(caseView, [&](int owner) {
      auto& made = caseSlots[owner];
      made = std::make_unique<TestSlot>(owner, caseEffects);
      return made.get();
    });
    r.start();
    for (int code : c.path) r.OnContinueMsg(code);
    r.OnTitleIndicatorMsg(Indicator::kShowA);
    SharedValues& shared = Shared();
    shared.g_bPinFailureShown = c.pinFailureShown;
    shared.g_bDeactivationShown = c.deactivationShown;
    shared.g_bChangePinRequired = c.changePinRequired;
    for (auto& [owner, made] : caseSlots) made->calls.clear();

    r.OnBnClickedBackBtn();
    auto* shown = static_cast<TestSlot*>(r.activeScreen());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->owner, c.owner);
    EXPECT_TRUE(shown->shown());
    EXPECT_EQ(shown->calls, c.calls);
    if (r.activeScreenCode() == C::kTokenList) {
      EXPECT_FALSE(r.state().indicatorA);
    }
    shared.g_bPinFailureShown = shared.g_bDeactivationShown = shared.g_bChangePinRequired = false;
  }
}

TEST_F(RouterTest, BackLeavesAnInformationScreenWithItsIndicator) {
  walk({C::kTokenList, C::kTokenInfo});
  router.OnTitleIndicatorMsg(Indicator::kShowB);
  router.OnBnClickedBackBtn();
  EXPECT_EQ(activeOwner(), C::kTokenList);
  EXPECT_FALSE(state().indicatorB);
}

TEST_F(RouterTest, BackDoesNothingWhereTheScreenHoldsTheUser) {
  walk({C::kTokenName, C::kActivationCode});
  TestSlot& code = slot(C::kActivationCode);
  code.busy = true;
  router.OnBnClickedBackBtn();
  EXPECT_EQ(router.activeScreenCode(), C::kActivationCode);
  code.busy = false;
  code.leave = false;  // the user keeps the activation code
  router.OnBnClickedBackBtn();
  EXPECT_EQ(router.activeScreenCode(), C::kActivationCode);
  code.leave = true;
  router.OnTitleIndicatorMsg(Indicator::kHideBack);
  router.OnBnClickedBackBtn();
  EXPECT_EQ(router.activeScreenCode(), C::kActivationCode);
  EXPECT_EQ(router.stackDepth(), 2);
}

struct KeyCase {
  const char* name;
  std::vector<int> path;
  Router::Key key;
  bool onMenuButton;
  bool used;
  int activeAfter;
  const char* call;  // on the screen the key came to
};

TEST_F(RouterTest, KeysAreBackOnInformationAndPasscodeScreens) {
  using K = Router::Key;
  const KeyCase cases[] = {
      {"Escape on information",
       {C::kTokenList, C::kTokenInfo},
       K::Escape,
       false,
       true,
       C::kTokenList,
       ""},
      {"Escape on the passcode", {C::kPasscode}, K::Escape, false, true, C::kTokenList, ""},
      {"Escape elsewhere", {C::kPolicyString}, K::Escape, false, true, C::kPolicyString, "escape"},
      {"Enter on information",
       {C::kTokenList, C::kApplicationInfo},
       K::Enter,
       false,
       true,
       C::kTokenList,
       ""},
      {"Enter on the menu button",
       {C::kTokenList, C::kApplicationInfo},
       K::Enter,
       true,
       false,
       C::kApplicationInfo,
       ""},
      {"Backspace on information",
       {C::kTokenList, C::kInactiveTokenInfo},
       K::Backspace,
       false,
       true,
       C::kTokenList,
       ""},
      {"Backspace elsewhere", {C::kPolicyString}, K::Backspace, false, false, C::kPolicyString, ""},
      {"Enter elsewhere", {C::kPolicyString}, K::Enter, false, false, C::kPolicyString, ""},
      {"F1", {C::kTokenList, C::kTokenInfo}, K::F1, false, true, C::kTokenInfo, ""},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordedView caseView;
    RecordedEffects caseEffects;
    std::map<int, std::unique_ptr<TestSlot>> caseSlots;
    Router r(caseView, [&](int owner) {
      auto& made = caseSlots[owner];
      made = std::make_unique<TestSlot>(owner, caseEffects);
      return made.get();
    });
    r.start();
    for (int code : c.path) r.OnContinueMsg(code);
    auto* before = static_cast<TestSlot*>(r.activeScreen());
    before->calls.clear();
    EXPECT_EQ(r.onKey(c.key, c.onMenuButton), c.used);
    EXPECT_EQ(r.activeScreenCode(), c.activeAfter);
    EXPECT_EQ(before->calls, std::string(c.call).empty() ? std::vector<std::string>{}
                                                         : std::vector<std::string>{c.call});
    EXPECT_TRUE(caseView.exits.empty());
  }
}

TEST_F(RouterTest, ClosingTheWindowEndsWithoutAMessage) {
  walk({C::kTokenList, C::kPasscode});
  Shared().setTokenName(L"Work");
  Shared().setPasscode(L"12345678");
  router.close();
  EXPECT_EQ(view.exits, std::vector<int>{0});
  EXPECT_TRUE(view.errors.empty());
  EXPECT_TRUE(router.finished());
  EXPECT_TRUE(Shared().currentPasscode().empty());
  EXPECT_TRUE(Shared().g_szTokenName.empty());
  for (const auto& [owner, made] : slots) EXPECT_FALSE(made->isCreated()) << owner;
  router.OnBnClickedBackBtn();
  router.close();
  EXPECT_EQ(view.exits.size(), 1u);
}

// The first screen for what the store holds.
TEST_F(RouterTest, StartWithoutATokenWelcomes) {
  router.start();
  EXPECT_EQ(router.activeScreenCode(), C::kWelcome);
  EXPECT_EQ(slot(C::kWelcome).dialogType, D::MESSAGE_WELCOME);
  EXPECT_FALSE(state().backVisible);
  EXPECT_EQ(state().title, kDefaultTitle);
}

struct StartCase {
  const char* name;
  std::string policy;  // empty: installed, never activated
  const char* pin;
  int active;
  bool indicatorA;
};

void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

class RouterStartTest : public RouterTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(RouterStartTest, StartWithOneTokenShowsWhatThatTokenNeeds) {
  const StartCase& c = GetParam();
  if (c.policy.empty()) {
    MakeInstalledToken("Solo");
  } else {
    ASSERT_FALSE(MakeActivatedToken("Solo", c.policy, c.pin).empty());
  }
  router.start();
  EXPECT_EQ(router.activeScreenCode(), c.active);
  EXPECT_EQ(router.stackDepth(), 0);
  EXPECT_EQ(state().title, Text::Literal("Solo"));
  EXPECT_EQ(state().indicatorA, c.indicatorA);
  EXPECT_TRUE(state().backVisible);
  EXPECT_TRUE(state().backListMode);
  // The token is open, and a passcode is held only for the passcode screen.
  EXPECT_NE(OpenTokenState(), 0);
  EXPECT_EQ(Shared().currentPasscode().empty(), c.active != C::kPasscode);
  EXPECT_TRUE(effects.take().empty());
  EXPECT_TRUE(view.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, RouterStartTest,
    ::testing::Values(StartCase{"event", kEventPolicy, nullptr, C::kPasscode, false},
                      StartCase{"time", kTimePolicy, nullptr, C::kPasscode, false},
                      StartCase{"PIN", kPinPolicy, "1234", C::kTokenPin, true},
                      StartCase{"challenge", kChallengePolicy, nullptr, C::kChallenge, true},
                      StartCase{"inactive", "", nullptr, C::kInactiveToken, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RouterTest, StartWithSeveralTokensShowsTheList) {
  ASSERT_FALSE(MakeActivatedToken("First", kEventPolicy).empty());
  MakeInstalledToken("Second");
  router.start();
  EXPECT_EQ(activeOwner(), C::kTokenList);
  EXPECT_EQ(slot(C::kTokenList).sideBar, D::SIDEBAR_LIST);
  EXPECT_FALSE(state().backVisible);
  EXPECT_EQ(slot(C::kTokenList).calls, std::vector<std::string>{"focus"});
  EXPECT_EQ(OpenTokenState(), 0);
}

// Such tokens come only from older files: the list stays the way in, with the refusal in a box.
TEST_F(RouterTest, AMultiHostTokenAloneIsRefusedOnTheList) {
  ASSERT_TRUE(MakeLegacyToken("Hosts", ACTIVATED_STATE, "1234", Formulate({{"mode", 3}})));
  OVTokenInfoW record{};
  record.m_szTokenName = const_cast<wchar_t*>(L"Hosts");
  record.m_szTokenMode = const_cast<wchar_t*>(L"MULTI_HOST");
  record.m_nTokenState = ACTIVATED_STATE;
  router.SingleTokenFlow(record);
  EXPECT_EQ(router.activeScreenCode(), C::kTokenList);
  ASSERT_EQ(effects.boxes.size(), 1u);
  EXPECT_EQ(effects.boxes[0].text, Text::Of(kStrMultiHostRefused).str());
  EXPECT_TRUE(effects.take().empty());
}

TEST_F(RouterTest, ATokenThatCannotBeOpenedLeadsToTheList) {
  OVTokenInfoW record{};
  record.m_szTokenName = const_cast<wchar_t*>(L"ab");  // a name the library refuses
  record.m_nTokenState = ACTIVATED_STATE;
  router.SingleTokenFlow(record);
  EXPECT_EQ(view.errors, std::vector<Text>{Text::Of(213)});
  EXPECT_EQ(router.activeScreenCode(), C::kTokenList);
  EXPECT_EQ(state().title, kDefaultTitle);
}

TEST_F(RouterTest, ATokenNameIsTitledAsItIsShownInTheList) {
  // A direction control would turn the rest of the title around.
  Shared().setTokenName(L"Work\u202Egnp.exe");
  walk({C::kTokenList, C::kTokenInfo});
  EXPECT_EQ(state().title, Text::Literal("Work\\u202egnp.exe"));
}

TEST_F(RouterTest, AnEnrollmentStringStartsTheEnrollmentOnce) {
  ASSERT_FALSE(MakeActivatedToken("First", kEventPolicy).empty());
  router.setEnrollmentString(kEnrollment);
  router.start();
  EXPECT_EQ(router.activeScreenCode(), C::kTokenName);
  EXPECT_EQ(view.enrollment, kEnrollment);
  EXPECT_EQ(state().title, kDefaultTitle);
  // The string is handed on once: the next start is an ordinary one.
  view.enrollment.clear();
  router.OnCancelMsg(Cancel::kToWelcome);
  router.start();
  EXPECT_TRUE(view.enrollment.empty());
  EXPECT_EQ(router.activeScreenCode(), C::kPasscode);
}

TEST_F(RouterTest, AnEnrollmentStringNeedsItsScreens) {
  missing = {C::kPortalUrl};
  router.setEnrollmentString(kEnrollment);
  router.start();
  EXPECT_EQ(router.activeScreenCode(), C::kWelcome);
  EXPECT_TRUE(view.enrollment.empty());
}

TEST_F(RouterTest, AHandedOverStringReplacesWhatIsShown) {
  ASSERT_FALSE(MakeActivatedToken("First", kEventPolicy).empty());
  router.start();
  ASSERT_EQ(router.activeScreenCode(), C::kPasscode);
  router.OnTitleIndicatorMsg(Indicator::kShowAB);

  router.handOver(std::string());  // only the window came to the front
  EXPECT_EQ(router.activeScreenCode(), C::kPasscode);

  router.handOver(kEnrollment);
  EXPECT_EQ(router.activeScreenCode(), C::kTokenName);
  EXPECT_EQ(router.stackDepth(), 0);
  EXPECT_EQ(view.enrollment, kEnrollment);
  EXPECT_FALSE(slot(C::kPasscode).isCreated());
  EXPECT_EQ(OpenTokenState(), 0);
  EXPECT_TRUE(Shared().g_szTokenName.empty());
  EXPECT_FALSE(state().indicatorA);
  EXPECT_FALSE(state().indicatorB);
  EXPECT_EQ(state().title, kDefaultTitle);
}

TEST_F(RouterTest, AHandedOverStringIsRefusedWhileTheScreenHoldsTheUser) {
  walk({C::kTokenName, C::kActivationCode});
  TestSlot& code = slot(C::kActivationCode);
  for (bool busy : {true, false}) {
    code.busy = busy;
    code.leave = false;
    router.handOver(kEnrollment);
    EXPECT_EQ(router.activeScreenCode(), C::kActivationCode);
    EXPECT_EQ(router.stackDepth(), 2);
    EXPECT_TRUE(view.enrollment.empty());
  }
  router.close();
  code.busy = false;
  code.leave = true;
  router.handOver(kEnrollment);
  EXPECT_TRUE(view.enrollment.empty());
}

TEST_F(RouterTest, InactivityOnAScreenThatCountsItReturnsToTheList) {
  walk({C::kTokenList});
  TestSlot& pin = slot(C::kTokenPin);
  pin.testModel().countsInactivity = true;
  router.OnContinueMsg(C::kTokenPin);
  router.OnTitleIndicatorMsg(Indicator::kShowA);
  ASSERT_TRUE(effects.running(TimerId::kInactivity));

  pin.model().fireTimer(TimerId::kInactivity);
  pump();
  EXPECT_EQ(router.activeScreenCode(), C::kTokenList);
  EXPECT_EQ(router.stackDepth(), 0);
  EXPECT_FALSE(state().indicatorA);
  EXPECT_FALSE(state().backVisible);
  EXPECT_FALSE(pin.isCreated());
  EXPECT_FALSE(effects.running(TimerId::kInactivity));
}

TEST_F(RouterTest, AReturnToTheListFromTheListShowsTheOtherListPair) {
  walk({C::kTokenList});
  TestSlot& first = *active();
  first.model().postCancel(Cancel::kToTokenList);
  pump();
  EXPECT_EQ(activeOwner(), Router::kSecondListPair);
  EXPECT_EQ(router.activeScreenCode(), C::kTokenList);
  EXPECT_FALSE(first.isCreated());
  // And back again to the first on the next return.
  router.OnCancelMsg(Cancel::kToTokenList);
  EXPECT_EQ(activeOwner(), C::kTokenList);
}

// The older token may not take the name of one the user already has.
TEST_F(RouterTest, TheOlderTokenIsImportedUnderAFreeName) {
  const std::string usual = ov::frontend::GetUniqueTokenName({});
  MakeInstalledToken(usual);
  ASSERT_TRUE(WriteOv80Profile(1));
  LibrarySession session;  // the library is the environment's: the session leaves it open
  EXPECT_EQ(session.importLegacyToken(), OV_OK);
  TokenList tokens;
  ASSERT_EQ(tokens.size(), 2);
  EXPECT_NE(ToUtf8(tokens[0].m_szTokenName), ToUtf8(tokens[1].m_szTokenName));
}

TEST(LibrarySessionTest, AStartRefusedByTheLibrarySaysWhy) {
  EXPECT_EQ(LibrarySession::FailureText(OV_ERR_ALREADY_INITIALIZED), Text::Of(204));
  EXPECT_EQ(LibrarySession::FailureText(OV_ERR_OPERATION_FAILED), Text::Of(213));
  const Text store = LibrarySession::FailureText(OV_ERR_STORE_NOT_PRIVATE);
  EXPECT_EQ(store.id, 0);
  EXPECT_FALSE(store.literal.empty());
}

TEST(LibrarySessionTest, EnrollmentStringsAreRecognised) {
  EXPECT_TRUE(IsEnrollmentString(kEnrollment));
  EXPECT_TRUE(IsEnrollmentString(kEnrollment + "="));
  EXPECT_FALSE(IsEnrollmentString(""));
  EXPECT_FALSE(IsEnrollmentString("not an enrollment string"));
  EXPECT_FALSE(IsEnrollmentString("aGVsbG8gd29ybGQ="));  // base64, but no enrollment
}

}  // namespace
