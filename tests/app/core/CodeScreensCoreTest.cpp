// The code screen, the side bar and the information screen without a window: the passcodes a
// token gives (computed here independently), the 5-second button lock and the time-based count-down
// fired by hand on a stepped clock, the clipboard and its note, the question before an activation
// code becomes invalid, the side bar's buttons per token, and the information lines.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/TokenRecords.h"
#include "app/core/screens/ActivationCodeModel.h"
#include "app/core/screens/BlackPortionModel.h"
#include "app/core/screens/TokenInformationModel.h"
#include "engine/PasscodeTime.h"
#include "support/TokenFixtures.h"
#include "tests/app/core/CoreTestSupport.h"

using namespace ov::app;
using namespace ov::test;

namespace {

// A model wired to recorded effects and not yet created, so a test can set it up first.
template <typename Model>
struct Screen {
  Screen() { model.setEffects(&effects); }
  ~Screen() { model.setEffects(nullptr); }
  void open(int dialogType) {
    model.m_DialogType = dialogType;
    model.create();
    model.show(true);
  }
  RecordedEffects effects;
  Model model;
};

// The code screen on a monotonic clock the test steps, shown and hidden as its view does.
struct CodeScreen : Screen<ActivationCodeModel> {
  CodeScreen() {
    model.setMonotonicClock([this] { return ms; });
  }
  void open(int dialogType) {
    model.m_DialogType = dialogType;
    model.create();
    show(true);
  }
  void show(bool shown) {
    if (!shown) model.OnShowing(false);
    model.show(shown);
    if (shown) model.OnShowing(true);
  }
  std::string code() const { return ToUtf8(model.code().view()); }
  int64_t ms = 7'000'000;
};

// Opens `name` as the router does when the user chooses it.
void OpenToken(const std::string& name) {
  ASSERT_EQ(OV_CreateInstanceA(name.c_str(), 0), OV_OK);
  Shared().setTokenName(FromUtf8(name));
}

// The library's passcode for the open token into the shared values, as the screen before the
// passcode screen leaves it.
void GeneratePasscode() {
  Screen<ScreenModel> before;
  ASSERT_EQ(before.model.GenerateOTP(nullptr, false).result, 0);
}

// An activated token from an enrollment server, with its serial number (kept in the legacy
// record the way MakeLegacyToken writes one, PIN "1234").
bool MakeServerToken(const std::string& name, std::string_view serial) {
  FixtureStore store(name);
  store.SetLegacy(true);
  store.SetState(ACTIVATED_STATE);
  ov::TokenData::SetText(store.Record().m_szPolicy, "17840159");
  ov::TokenData::SetText(store.Record().m_szSerialNo, serial);
  ov::SecureString protectedKey(kFixtureOtpKey);
  if (!ov::OrvantiAPI::EncryptKP("1234", &protectedKey, ov::CALG_3DES)) return false;
  ov::TokenData::SetText(store.Record().m_szEncOtpKey, protectedKey.view());
  return store.SaveData();
}

class CodeScreensCoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(env.initialized, OV_OK); }
  CoreEnvironment env;
};

using Control = ActivationCodeModel::Control;

// Each passcode is the token's next one; the button waits 5 seconds after each, counted from
// when the passcode was made, also across hiding and showing the screen.
TEST_F(CodeScreensCoreTest, EventPasscodesFollowTheCounterAndTheButtonWaitsFiveSeconds) {
  const std::vector<uint8_t> key = MakeActivatedToken("Event", kEventPolicy);
  OpenToken("Event");
  GeneratePasscode();
  CodeScreen screen;
  screen.open(DialogType::PASSCODE);
  EXPECT_EQ(screen.code(), Hotp(key, 0, 8));
  EXPECT_TRUE(Shared().g_szPasscode.empty());  // the screen holds the only copy
  EXPECT_EQ(screen.model.continueText, Text::Of(156));
  EXPECT_TRUE(screen.model.continueShown);
  EXPECT_FALSE(screen.model.cancelShown || screen.model.headlineShown || screen.model.hintShown);
  EXPECT_FALSE(screen.model.counterShown);
  EXPECT_FALSE(screen.model.continueEnabled);
  EXPECT_EQ(screen.model.initialFocus(), Control::None);
  ASSERT_TRUE(screen.effects.running(TimerId::kButtonState));
  EXPECT_EQ(screen.effects.timers[TimerId::kButtonState].milliseconds, kButtonLockMs);
  EXPECT_TRUE(screen.effects.timers[TimerId::kButtonState].singleShot);
  EXPECT_TRUE(screen.effects.running(TimerId::kInactivity));

  // Hidden after 3 seconds and shown again: the lock only waits out the rest.
  screen.ms += 3000;
  screen.show(false);
  EXPECT_TRUE(screen.effects.timers.empty());
  screen.show(true);
  EXPECT_EQ(screen.effects.timers[TimerId::kButtonState].milliseconds, 2000);
  EXPECT_FALSE(screen.model.continueEnabled);
  screen.ms += 2000;
  screen.model.fireTimer(TimerId::kButtonState);
  EXPECT_TRUE(screen.model.continueEnabled);
  EXPECT_EQ(screen.model.takeFocusRequest(), Control::Continue);
  EXPECT_EQ(screen.model.takeFocusRequest(), Control::None);
  EXPECT_FALSE(screen.model.isTimerRunning(TimerId::kButtonState));

  for (uint64_t counter : {1u, 2u}) {
    screen.effects.timers.erase(TimerId::kInactivity);
    screen.model.OnBnClickedContinuebtn();
    EXPECT_EQ(screen.code(), Hotp(key, counter, 8));
    EXPECT_FALSE(screen.model.continueEnabled);
    EXPECT_EQ(screen.effects.timers[TimerId::kButtonState].milliseconds, kButtonLockMs);
    EXPECT_TRUE(screen.effects.running(TimerId::kInactivity));  // a click is activity
    screen.ms += kButtonLockMs;
    screen.model.fireTimer(TimerId::kButtonState);
    EXPECT_TRUE(screen.model.continueEnabled);
  }
  // Shown again long after: no lock at all.
  screen.show(false);
  screen.ms += 60'000;
  screen.show(true);
  EXPECT_TRUE(screen.model.continueEnabled);
  EXPECT_FALSE(screen.effects.running(TimerId::kButtonState));
  EXPECT_TRUE(screen.effects.take().empty());
}

// A challenge-response passcode's button asks for the next challenge instead.
TEST_F(CodeScreensCoreTest, AChallengePasscodeLeadsToTheNextChallenge) {
  MakeActivatedToken("Challenge", kChallengePolicy);
  OpenToken("Challenge");
  Shared().setPasscode(L"12345678");
  CodeScreen screen;
  screen.open(DialogType::PASSCODE);
  EXPECT_EQ(screen.code(), "12345678");
  EXPECT_EQ(screen.model.continueText, Text::Of(133));
  screen.ms += kButtonLockMs;
  screen.model.fireTimer(TimerId::kButtonState);
  screen.model.OnBnClickedContinuebtn();
  EXPECT_EQ(screen.effects.take(), (std::vector<Posted>{Continued(Continue::kNextChallenge),
                                                        Indicated(Indicator::kShowA)}));
  EXPECT_EQ(screen.code(), "12345678");
}

// A time-based passcode counts its step's seconds down every second and is replaced when the
// next step begins: when the seconds left grow, or when more time passed than the step had left
// (a suspend over a whole step leaves the seconds smaller than before).
TEST_F(CodeScreensCoreTest, TimePasscodesCountDownAndFollowTheSteps) {
  struct Case {
    const char* name;
    int advance;    // seconds, on both clocks
    int64_t steps;  // steps past the first passcode's
    const char* shown;
  };
  const Case cases[] = {
      {"three seconds", 3, 0, "07"},
      {"to the next step", 10, 1, "30"},
      {"a suspend over a whole step", 31, 1, "09"},
      {"two steps and more", 65, 2, "05"},
  };
  const std::vector<uint8_t> key = MakeActivatedToken("Time", kTimePolicy);
  const int64_t step = 25110506;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    env.clock.now = ov::kTimeStepBaseUnixSeconds + 30 * step + 20;  // 10 seconds left
    OpenToken("Time");
    GeneratePasscode();
    CodeScreen screen;
    screen.open(DialogType::PASSCODE);
    EXPECT_EQ(screen.code(), Hotp(key, step, 6));
    EXPECT_FALSE(screen.model.continueShown);
    EXPECT_EQ(screen.model.initialFocus(), Control::None);
    EXPECT_TRUE(screen.model.counterShown);
    EXPECT_EQ(screen.model.counterText(), "10");
    ASSERT_TRUE(screen.effects.running(TimerId::kButtonState));
    EXPECT_EQ(screen.effects.timers[TimerId::kButtonState].milliseconds, 1000);
    EXPECT_FALSE(screen.effects.timers[TimerId::kButtonState].singleShot);
    env.clock.now += c.advance;
    screen.ms += c.advance * 1000;
    screen.model.fireTimer(TimerId::kButtonState);
    EXPECT_EQ(screen.code(), Hotp(key, step + c.steps, 6));
    EXPECT_EQ(screen.model.counterText(), c.shown);
    EXPECT_TRUE(screen.model.isTimerRunning(TimerId::kButtonState));
    EXPECT_TRUE(screen.effects.take().empty());
    OV_ReleaseInstance();
  }
}

// Shown again after its step has passed (the screen was hidden meanwhile), the passcode on screen
// is replaced at once.
TEST_F(CodeScreensCoreTest, ATimePasscodeShownAgainAfterItsStepIsReplaced) {
  const std::vector<uint8_t> key = MakeActivatedToken("Time", kTimePolicy);
  const int64_t step = 25110506;
  env.clock.now = ov::kTimeStepBaseUnixSeconds + 30 * step + 5;
  OpenToken("Time");
  GeneratePasscode();
  CodeScreen screen;
  screen.open(DialogType::PASSCODE);
  screen.show(false);
  env.clock.now += 40;
  screen.ms += 40'000;
  screen.show(true);
  EXPECT_EQ(screen.code(), Hotp(key, step + 1, 6));
  EXPECT_EQ(screen.model.counterText(), "15");
}

// Copy puts the code on the clipboard with its note; the note goes with the code, whatever took
// it off: someone else's copy, a new passcode, leaving the screen.
TEST_F(CodeScreensCoreTest, CopiedCodesLeaveTheClipboardWithTheirNote) {
  struct Case {
    const char* name;
    int dialogType;
    int note;
  };
  const Case cases[] = {
      {"activation code", DialogType::ACTIVATION_CODE, kStrActivationCodeCopied},
      {"passcode", DialogType::PASSCODE, kStrCopied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeActivatedToken(c.name, kEventPolicy);
    OpenToken(c.name);
    GeneratePasscode();
    Shared().setActivationCode(L"ABCD-EFGH-IJKL-MNOP");
    CodeScreen screen;
    screen.open(c.dialogType);
    const std::string code = screen.code();
    ASSERT_FALSE(code.empty());
    EXPECT_FALSE(screen.model.clipboardNoteShown);

    screen.model.copyCode();
    EXPECT_EQ(screen.effects.clipboard, code);
    EXPECT_TRUE(screen.model.clipboardNoteShown);
    EXPECT_EQ(screen.model.clipboardNote, Text::Of(c.note));
    screen.model.OnSecretGone();  // the user copied something else
    EXPECT_FALSE(screen.model.clipboardNoteShown);

    if (c.dialogType == DialogType::PASSCODE) {
      screen.model.copyCode();
      screen.ms += kButtonLockMs;
      screen.model.fireTimer(TimerId::kButtonState);
      screen.model.OnBnClickedContinuebtn();
      EXPECT_NE(screen.code(), code);
      EXPECT_EQ(screen.effects.clipboard, "");
      EXPECT_FALSE(screen.model.clipboardNoteShown);
    } else {
      EXPECT_EQ(screen.model.hint, Text::Of(183));  // the instructions stay
    }
    screen.model.copyCode();
    screen.show(false);
    EXPECT_EQ(screen.effects.clipboard, "");
    EXPECT_FALSE(screen.model.clipboardNoteShown);
    screen.show(true);
    screen.model.copyCode();
    const unsigned version = screen.model.codeVersion();
    screen.model.destroy();
    EXPECT_EQ(screen.effects.clipboard, "");
    EXPECT_FALSE(screen.model.clipboardNoteShown);
    EXPECT_TRUE(screen.model.code().empty());
    EXPECT_NE(screen.model.codeVersion(), version);  // the view is told to let go of its copy
    OV_ReleaseInstance();
    Shared().destroyInternalData();
  }
}

// A passcode made for another token is never shown, and there is then nothing to copy.
TEST_F(CodeScreensCoreTest, NoPasscodeOfAnotherTokenAndNothingToCopy) {
  MakeActivatedToken("First", kEventPolicy);
  MakeActivatedToken("Second", kEventPolicy);
  OpenToken("First");
  GeneratePasscode();
  OV_ReleaseInstance();
  OpenToken("Second");
  CodeScreen screen;
  screen.open(DialogType::PASSCODE);
  EXPECT_TRUE(screen.model.code().empty());
  screen.effects.clipboard = "mine";
  screen.model.copyCode();
  EXPECT_EQ(screen.effects.clipboard, "mine");
  EXPECT_FALSE(screen.model.clipboardNoteShown);
}

// A multi-host token's refusal is shown on the hint line; without an open token the application
// is aborted.
TEST_F(CodeScreensCoreTest, APasscodeThatCannotBeMadeSaysWhyOrAborts) {
  ASSERT_TRUE(MakeLegacyToken("Hosts", ACTIVATED_STATE, "1234", Formulate({{"mode", 3}})));
  OpenToken("Hosts");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  CodeScreen screen;
  screen.open(DialogType::PASSCODE);
  screen.model.ShowOTP();
  EXPECT_TRUE(screen.model.hintShown);
  EXPECT_EQ(screen.model.hint, Text::Of(kStrMultiHostRefused));
  EXPECT_TRUE(screen.effects.boxes.empty());
  EXPECT_TRUE(screen.effects.take().empty());
  OV_ReleaseInstance();
  screen.model.ShowOTP();
  EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Cancelled(Cancel::kAbort)});
}

// The activation code is shown with its instructions; Back and Cancel ask before it becomes
// invalid, also when the code on screen was handed over without its token, and No keeps both the
// token and the code.
TEST(ActivationCodeCoreTest, LeavingAnActivationCodeAsksBeforeItIsVoided) {
  struct Case {
    const char* name;
    bool cancel;  // Cancel, or Back
    bool yes;
    bool recorded;  // the code was recorded for its token
    std::vector<Posted> posted;
  };
  const std::vector<Posted> cancelled{Cancelled(Cancel::kActivationCodeCancelled),
                                      Indicated(Indicator::kShowA)};
  const Case cases[] = {
      {"Back, Yes", false, true, true, {}},
      {"Back, No", false, false, true, {}},
      {"Cancel, Yes", true, true, true, cancelled},
      {"Cancel, No", true, false, true, {}},
      {"Back, Yes, code without its token", false, true, false, {}},
      {"Cancel, No, code without its token", true, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreEnvironment env;  // an empty store for each case
    ASSERT_EQ(env.initialized, OV_OK);
    MakeInstalledToken("Fresh");
    OpenToken("Fresh");
    wchar_t code[OV_ACTIVATION_CODE_SIZE] = {};
    ASSERT_EQ(OV_GenerateActivationCodeW(FromUtf8(kPinPolicy).c_str(), code), OV_OK);
    if (c.recorded) {
      Shared().setActivationCode(code);
    } else {
      Shared().g_szActivationCode.assign(code);
    }
    CodeScreen screen;
    screen.open(DialogType::ACTIVATION_CODE);
    EXPECT_EQ(screen.model.code().view(), std::wstring_view(code));
    EXPECT_TRUE(screen.model.headlineShown && screen.model.hintShown && screen.model.cancelShown);
    EXPECT_EQ(screen.model.headline, Text::Of(126));
    EXPECT_EQ(screen.model.title, Text::Of(131));
    EXPECT_EQ(screen.model.hint, Text::Of(183));
    EXPECT_EQ(screen.model.continueText, Text::Of(106));
    EXPECT_TRUE(screen.model.continueEnabled);
    EXPECT_EQ(screen.model.initialFocus(), Control::Continue);
    EXPECT_FALSE(screen.model.counterShown);
    EXPECT_FALSE(screen.effects.running(TimerId::kInactivity));
    screen.effects.answers = {c.yes};
    if (c.cancel) {
      screen.model.OnBnClickedCancelbtn();
    } else {
      EXPECT_EQ(screen.model.confirmBack(), c.yes);
    }
    ASSERT_EQ(screen.effects.boxes.size(), 1u);
    EXPECT_EQ(screen.effects.boxes[0].kind, MessageKind::Question);
    EXPECT_EQ(screen.effects.boxes[0].text, Text::Of(kStrActivationCodeVoided).str());
    EXPECT_EQ(screen.effects.take(), c.posted);
    EXPECT_EQ(OpenTokenState(), c.yes ? INSTALLED_STATE : PENDING_PIN_STATE);
    EXPECT_EQ(screen.model.code().view(), std::wstring_view(code));
  }
}

// Continue on the activation code goes on to what the token needs: its PIN first, else the
// passcode. The passcode screen's Back never asks.
TEST(ActivationCodeCoreTest, ContinueOnTheActivationCodeGoesToWhatTheTokenNeeds) {
  struct Case {
    std::string policy;
    std::vector<Posted> posted;
  };
  const Case cases[] = {
      {kPinPolicy, {Continued(Continue::kSetPin), Indicated(Indicator::kShowA)}},
      {kEventPolicy, {Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.policy);
    CoreEnvironment env;
    ASSERT_EQ(env.initialized, OV_OK);
    MakeInstalledToken("Fresh");
    OpenToken("Fresh");
    wchar_t code[OV_ACTIVATION_CODE_SIZE] = {};
    ASSERT_EQ(OV_GenerateActivationCodeW(FromUtf8(c.policy).c_str(), code), OV_OK);
    Shared().setActivationCode(code);
    CodeScreen screen;
    screen.open(DialogType::ACTIVATION_CODE);
    screen.model.OnBnClickedContinuebtn();
    EXPECT_EQ(screen.effects.take(), c.posted);
    EXPECT_TRUE(screen.effects.boxes.empty());
  }
  CoreEnvironment env;
  CodeScreen passcode;
  passcode.open(DialogType::PASSCODE);
  EXPECT_TRUE(passcode.model.confirmBack());
  EXPECT_TRUE(passcode.effects.boxes.empty());
}

// The side bar per variant and token: which buttons it shows and enables ('+' enabled, '-'
// disabled, '.' hidden; info, add/rename, change PIN, deactivate, delete) and what each click
// posts (the continue code, with the indicator A beside a token).
TEST(SideBarCoreTest, TheSideBarOffersWhatTheTokenAllows) {
  using B = BlackPortionModel::Control;
  const B buttons[] = {B::Info, B::AddOrRename, B::ChangePin, B::Deactivate, B::Delete};
  struct Case {
    const char* name;
    int dialogType;
    std::function<void()> setUp;  // leaves the token to open as "Token", if any
    const char* offered;
    std::vector<int> posts;  // per button; 0: nothing
    BlackPortionModel::Icon icon;
    bool renameInCycle;
  };
  const auto tokens = [](int count) {
    return [count] {
      for (int i = 0; i < count; ++i) MakeInstalledToken("Token " + std::to_string(i));
    };
  };
  using Icon = BlackPortionModel::Icon;
  const Case cases[] = {
      {"list, no token",
       DialogType::SIDEBAR_LIST,
       tokens(0),
       "++...",
       {Continue::kApplicationInfo, Continue::kTokenName, 0, 0, 0},
       Icon::Add,
       true},
      {"list, 9 tokens",
       DialogType::SIDEBAR_LIST,
       tokens(9),
       "++...",
       {Continue::kApplicationInfo, Continue::kTokenName, 0, 0, 0},
       Icon::Add,
       true},
      {"list, 10 tokens",
       DialogType::SIDEBAR_LIST,
       tokens(10),
       "+-...",
       {Continue::kApplicationInfo, 0, 0, 0, 0},
       Icon::Add,
       true},
      {"passcode, no PIN",
       DialogType::SIDEBAR_PASSCODE,
       [] { MakeActivatedToken("Token", kEventPolicy); },
       "++-++",
       {Continue::kTokenInfo, Continue::kRenamePin, 0, Continue::kDeactivateConfirm,
        Continue::kDeleteConfirm},
       Icon::Rename,
       true},
      {"passcode, PIN",
       DialogType::SIDEBAR_PASSCODE,
       [] { MakeActivatedToken("Token", kPinPolicy, "2580"); },
       "+++++",
       {Continue::kTokenInfo, Continue::kRenamePin, Continue::kChangePinCurrent,
        Continue::kDeactivateConfirm, Continue::kDeleteConfirm},
       Icon::Rename,
       true},
      {"passcode, from a server",
       DialogType::SIDEBAR_PASSCODE,
       [] { ASSERT_TRUE(MakeServerToken("Token", "SN-42")); },
       "+++++",
       {Continue::kTokenInfo, Continue::kRenamePin, Continue::kChangePinCurrent,
        Continue::kDeactivateConfirm, Continue::kDeleteConfirm},
       Icon::Rename,
       false},
      {"inactive, installed",
       DialogType::SIDEBAR_INACTIVE,
       [] { MakeInstalledToken("Token"); },
       "+..-+",
       {Continue::kInactiveTokenInfo, 0, 0, 0, Continue::kDeleteConfirm},
       Icon::Add,
       true},
      {"inactive, waiting for its PIN",
       DialogType::SIDEBAR_INACTIVE,
       [] { MakeActivatedToken("Token", kPinPolicy); },
       "+..++",
       {Continue::kInactiveTokenInfo, 0, 0, Continue::kDeactivateConfirm, Continue::kDeleteConfirm},
       Icon::Add,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreEnvironment env;  // an empty store for each case
    ASSERT_EQ(env.initialized, OV_OK);
    c.setUp();
    if (c.dialogType != DialogType::SIDEBAR_LIST) OpenToken("Token");
    Screen<BlackPortionModel> bar;
    bar.open(c.dialogType);
    std::string offered;
    for (B b : buttons) {
      const BlackPortionModel::Button& button = bar.model.button(b);
      offered += !button.shown ? '.' : button.enabled ? '+' : '-';
    }
    EXPECT_EQ(offered, c.offered);
    if (c.dialogType != DialogType::SIDEBAR_INACTIVE) {
      EXPECT_EQ(bar.model.addOrRenameIcon(), c.icon);
      EXPECT_EQ(bar.model.addOrRenameTooltip(), Text::Of(c.icon == Icon::Add ? 104 : 193));
    }
    EXPECT_EQ(bar.model.addOrRenameInCycle(), c.renameInCycle);
    EXPECT_EQ(bar.model.initialFocus(),
              c.dialogType == DialogType::SIDEBAR_LIST ? B::None : B::Info);
    EXPECT_TRUE(bar.effects.timers.empty());  // no inactivity, no focus timer
    EXPECT_TRUE(bar.effects.take().empty());
    const std::vector<void (BlackPortionModel::*)()> clicks = {
        &BlackPortionModel::OnBnClickedBlackDlgInfoBtn,
        &BlackPortionModel::OnBnClickedBlackDlgChangeTokenNameBtn,
        &BlackPortionModel::OnBnClickedBlackDlgChangeTokenPin,
        &BlackPortionModel::OnBnClickedBlackDlgResetTokenBtnz,
        &BlackPortionModel::OnBnClickedBlackDlgDeleteTokenBtn};
    for (std::size_t i = 0; i < clicks.size(); ++i) {
      SCOPED_TRACE(i);
      (bar.model.*clicks[i])();
      std::vector<Posted> expected;
      if (c.posts[i] != 0) expected.push_back(Continued(c.posts[i]));
      if (c.posts[i] != 0 && c.posts[i] != Continue::kApplicationInfo) {
        expected.push_back(Indicated(Indicator::kShowA));
      }
      EXPECT_EQ(bar.effects.take(), expected);
    }
  }
}

// Beside a time-based passcode (no button there to take the focus) the information button takes
// it once, 200 ms after showing; without the token's information the application is aborted.
TEST_F(CodeScreensCoreTest, TheSideBarTakesTheFocusBesideATimePasscode) {
  MakeActivatedToken("Time", kTimePolicy);
  OpenToken("Time");
  Screen<BlackPortionModel> bar;
  bar.open(DialogType::SIDEBAR_PASSCODE);
  ASSERT_TRUE(bar.effects.running(TimerId::kFocus));
  EXPECT_EQ(bar.effects.timers[TimerId::kFocus].milliseconds, 200);
  EXPECT_TRUE(bar.effects.timers[TimerId::kFocus].singleShot);
  EXPECT_EQ(bar.model.takeFocusRequest(), BlackPortionModel::Control::None);
  bar.model.fireTimer(TimerId::kFocus);
  EXPECT_EQ(bar.model.takeFocusRequest(), BlackPortionModel::Control::Info);
  EXPECT_FALSE(bar.effects.running(TimerId::kFocus));
  OV_ReleaseInstance();

  Screen<BlackPortionModel> closed;
  closed.open(DialogType::SIDEBAR_PASSCODE);
  EXPECT_EQ(closed.effects.take(), std::vector<Posted>{Cancelled(Cancel::kAbort)});
}

// The information lines per variant and token, the indicators it posts, and inactivity on the
// open token's information only (which also hides the indicator B).
TEST(InformationCoreTest, TheInformationScreenShowsTheFactsOfItsVariant) {
  using Line = TokenInformationModel::Line;
  struct Case {
    const char* name;
    int dialogType;
    std::function<void()> setUp;  // leaves the token to open as "Token", if any
    // The values of mode, policy, PIN and serial number; nullopt: the line is hidden.
    std::optional<Text> mode;
    std::optional<std::string> policy;
    std::optional<Text> pin;
    std::optional<std::string> serial;
    std::vector<Posted> posted;
  };
  const std::vector<Posted> withToken{Indicated(Indicator::kShowAB), Indicated(Indicator::kShowA)};
  const std::vector<Posted> without{Indicated(Indicator::kShowA)};
  const Case cases[] = {
      {"application", DialogType::APPLICATION_INFO, [] {}, {}, {}, {}, {}, without},
      {"time token",
       DialogType::TOKEN_INFO,
       [] { MakeActivatedToken("Token", kTimePolicy); },
       Text::Of(198),
       kTimePolicy,
       Text::Of(208),
       {},
       withToken},
      {"PIN token",
       DialogType::TOKEN_INFO,
       [] { MakeActivatedToken("Token", kPinPolicy, "2580"); },
       Text::Of(197),
       kPinPolicy,
       Text::Of(207),
       {},
       withToken},
      {"challenge token",
       DialogType::TOKEN_INFO,
       [] { MakeActivatedToken("Token", kChallengePolicy); },
       Text::Of(199),
       kChallengePolicy,
       Text::Of(208),
       {},
       withToken},
      // A serial number from a server is shown escaped, like a name.
      {"token from a server", DialogType::TOKEN_INFO,
       [] { ASSERT_TRUE(MakeServerToken("Token", "SN\n42")); }, Text::Of(197),
       std::string("17840159"), Text::Of(207), std::string("SN\\x0a42"), withToken},
      {"inactive, no policy yet",
       DialogType::INACTIVE_TOKEN_INFO,
       [] { MakeInstalledToken("Token"); },
       {},
       {},
       {},
       {},
       without},
      {"inactive, waiting for its PIN",
       DialogType::INACTIVE_TOKEN_INFO,
       [] { MakeActivatedToken("Token", kPinPolicy); },
       Text::Of(197),
       kPinPolicy,
       Text::Of(207),
       {},
       withToken},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CoreEnvironment env;
    ASSERT_EQ(env.initialized, OV_OK);
    c.setUp();
    if (c.dialogType != DialogType::APPLICATION_INFO) OpenToken("Token");
    Screen<TokenInformationModel> info;
    info.open(c.dialogType);
    const TokenInformationModel& m = info.model;
    EXPECT_TRUE(m.fact(Line::Version).shown);
    EXPECT_EQ(m.fact(Line::Version).value.str(), OV_APP_VERSION);
    EXPECT_EQ(m.fact(Line::Version).caption, Text::Of(124));
    EXPECT_EQ(m.tokenTitleShown, c.mode.has_value());
    for (Line line : {Line::Mode, Line::Policy, Line::Level, Line::PinSet}) {
      EXPECT_EQ(m.fact(line).shown, c.mode.has_value());
    }
    if (c.mode) {
      EXPECT_EQ(m.fact(Line::Mode).value, *c.mode);
      EXPECT_EQ(m.fact(Line::Policy).value.str(), *c.policy);
      EXPECT_EQ(m.fact(Line::Level).value.str().rfind("Level ", 0), 0u)
          << m.fact(Line::Level).value.str();
      EXPECT_EQ(m.fact(Line::PinSet).value, *c.pin);
    }
    EXPECT_EQ(m.fact(Line::Serial).shown, c.serial.has_value());
    if (c.serial) {
      EXPECT_EQ(m.fact(Line::Serial).value.str(), *c.serial);
    }
    EXPECT_EQ(info.effects.take(), c.posted);

    const bool counts = c.dialogType == DialogType::TOKEN_INFO;
    EXPECT_EQ(info.effects.running(TimerId::kInactivity), counts);
    if (counts) {
      info.model.fireTimer(TimerId::kInactivity);
      EXPECT_EQ(info.effects.take(),
                (std::vector<Posted>{Indicated(Indicator::kHideB), Cancelled(Cancel::kToTokenList),
                                     Indicated(Indicator::kHideA)}));
    }
  }
}

}  // namespace
