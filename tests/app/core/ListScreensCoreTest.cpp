// The token list, the message screen and the new token's name without a window: what each row
// shows, where choosing a token leads, the list's own refresh when a lock-out ends, every message's
// texts and buttons, and the name's proposal and refusals, against the real library.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/core/CaseFold.h"
#include "app/core/TokenRecords.h"
#include "app/core/screens/TokenListModel.h"
#include "app/core/screens/TokenNameOperationModel.h"
#include "app/core/screens/WelcomeMessageModel.h"
#include "support/TokenFixtures.h"
#include "tests/app/core/CoreTestSupport.h"

using namespace ov::app;
using namespace ov::test;

namespace {

using Control = WelcomeMessageModel::Control;
using Row = TokenListModel::Row;

class ListScreensTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(env.initialized, OV_OK); }

  // Locks "Locked" (a PIN token) with two wrong PINs; gives the seconds the lock-out lasts.
  static int32_t LockToken() {
    OV_CreateInstanceA("Locked", 0);
    OV_ValidatePinA("0000");
    OV_ValidatePinA("0000");
    OVTokenInfoA info{};
    OV_GetTokenInfoA(&info);
    const int32_t left = info.m_nLockTimeLeft;
    OV_FreeTokenInfoA(&info);
    OV_ReleaseInstance();
    return left;
  }

  static const Row* RowNamed(const TokenListModel& list, std::wstring_view name) {
    for (const Row& row : list.rows()) {
      if (row.name == name) return &row;
    }
    return nullptr;
  }

  static int RowIndex(const TokenListModel& list, std::wstring_view name) {
    const Row* row = RowNamed(list, name);
    return row == nullptr ? -1 : static_cast<int>(row - list.rows().data());
  }

  static std::vector<std::wstring> TokenNames() {
    std::vector<std::wstring> names;
    TokenList tokens;
    for (const OVTokenInfoW& info : tokens) names.emplace_back(info.m_szTokenName);
    return names;
  }

  CoreEnvironment env;
};

// ---------------------------------------------------------------------------------------------
// The token list

TEST_F(ListScreensTest, RowsShowEachTokensStateAndAnEscapedName) {
  MakeActivatedToken("Plain", kEventPolicy);
  MakeInstalledToken("Waiting");
  MakeActivatedToken("Pin to set", kPinPolicy);
  MakeActivatedToken("Locked", kPinPolicy, "1234");
  const int32_t left = LockToken();
  ASSERT_GT(left, 0);
  ASSERT_TRUE(MakeOv3Token("Line\nBreak\x1b[2J", "", INSTALLED_STATE));

  Shown<TokenListModel> screen;
  struct Case {
    std::wstring name;
    std::string shown;
    int image;
    Text state;
    std::string accessible;
    int32_t lockSecondsLeft;
  };
  const std::string inactive = Text::Of(187).str();
  const Case cases[] = {
      {L"Plain", "Plain", TokenListModel::kNoImage, {}, "Plain", 0},
      {L"Waiting", "Waiting", TokenListModel::kNotActivated, Text::Of(187), "Waiting, " + inactive,
       0},
      {L"Pin to set", "Pin to set", TokenListModel::kNotActivated, Text::Of(187),
       "Pin to set, " + inactive, 0},
      {L"Locked", "Locked", TokenListModel::kLocked, Text::Of(203),
       "Locked, " + Text::Of(203).str(), left},
      // The row cannot be forged by a stored name, which still opens as it is.
      {L"Line\nBreak\x1b[2J", "Line\\x0aBreak\\x1b[2J", TokenListModel::kNotActivated,
       Text::Of(187), "Line\nBreak\x1b[2J, " + inactive, 0},
  };
  ASSERT_EQ(screen.model.rows().size(), std::size(cases));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    const Row* row = RowNamed(screen.model, c.name);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->shownName, c.shown);
    EXPECT_EQ(row->image, c.image);
    EXPECT_EQ(row->state, c.state);
    EXPECT_EQ(row->accessible, c.accessible);
    EXPECT_EQ(row->lockSecondsLeft, c.lockSecondsLeft);
  }
  EXPECT_EQ(screen.model.currentRow(), 0);
}

TEST_F(ListScreensTest, RowsAreOrderedByNameIgnoringCaseInAnyScript) {
  for (const char* name :
       {"delta", "\xC3\xA4pfel", "Charlie", "bravo 2", "\xC3\x84rger", "alpha", "Bravo", "Zulu"}) {
    MakeInstalledToken(name);
  }
  Shown<TokenListModel> screen;
  std::vector<std::wstring> names;
  for (const Row& row : screen.model.rows()) names.push_back(row.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"alpha", L"Bravo", L"bravo 2", L"Charlie", L"delta",
                                              L"Zulu", L"\u00e4pfel", L"\u00c4rger"}));
}

TEST(CaseFoldTest, CaseIsIgnoredLetterByLetterInEveryScript) {
  struct Case {
    std::wstring a, b;
    bool same;
  };
  const Case cases[] = {
      {L"Work", L"WORK", true},
      {L"\u00c4RGER", L"\u00e4rger", true},                    // Latin-1
      {L"\u0141\u00f3d\u017a", L"\u0142\u00d3D\u0179", true},  // Latin Extended-A
      {L"\u03a3\u039f\u03a6\u0399\u0391", L"\u03c3\u03bf\u03c6\u03b9\u03b1", true},  // Greek
      {L"\u041f\u0420\u0418\u0412\u0415\u0422", L"\u043f\u0440\u0438\u0432\u0435\u0442", true},
      {L"\U00010400", L"\U00010428", true},  // Deseret: a surrogate pair where wchar_t is 16 bits
      {L"\uff21", L"\uff41", true},          // full-width
      {L"Stra\u00dfe", L"STRASSE", false},   // no letter-for-letter match
      {L"Work 1", L"Work 2", false},
      {L"Work", L"Work ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.a) + " / " + ToUtf8(c.b));
    EXPECT_EQ(SameIgnoringCase(c.a, c.b), c.same);
    EXPECT_FALSE(ListedBefore(c.a, c.a));
    if (!c.same) {
      EXPECT_NE(ListedBefore(c.a, c.b), ListedBefore(c.b, c.a));
    }
  }
}

TEST_F(ListScreensTest, ChoosingATokenOpensItAndLeadsToItsScreen) {
  struct Case {
    std::string name;
    std::function<void(const std::string&)> make;
    std::vector<Posted> posted;
  };
  const Case cases[] = {
      {"Event",
       [](const std::string& n) { MakeActivatedToken(n, kEventPolicy); },
       {Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}},
      {"Waiting",
       [](const std::string& n) { MakeInstalledToken(n); },
       {Continued(Continue::kInactiveToken), Indicated(Indicator::kShowA)}},
      {"Pin to set",
       [](const std::string& n) { MakeActivatedToken(n, kPinPolicy); },
       {Continued(Continue::kInactiveToken), Indicated(Indicator::kShowA)}},
      {"With PIN",
       [](const std::string& n) { MakeActivatedToken(n, kPinPolicy, "1234"); },
       {Continued(Continue::kTokenPin), Indicated(Indicator::kShowA)}},
      {"Challenge",
       [](const std::string& n) { MakeActivatedToken(n, kChallengePolicy); },
       {Continued(Continue::kChallenge), Indicated(Indicator::kShowA)}},
      {"Line\nBreak",
       [](const std::string& n) { MakeOv3Token(n, "", INSTALLED_STATE); },
       {Continued(Continue::kInactiveToken), Indicated(Indicator::kShowA)}},
  };
  for (const Case& c : cases) c.make(c.name);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OV_CreateInstanceA("Event", 0);  // another token left open does not stand in the way
    Shown<TokenListModel> screen;
    const std::wstring name = FromUtf8(c.name);
    screen.model.OnLvnItemchangedList1(RowIndex(screen.model, name));
    EXPECT_EQ(screen.effects.take(), c.posted);
    EXPECT_TRUE(screen.effects.boxes.empty());
    EXPECT_TRUE(Shared().g_szTokenName == name);
    {
      OpenTokenInfo open;
      ASSERT_TRUE(open.ok());
      EXPECT_EQ(std::wstring(open->m_szTokenName), name);
    }
    if (c.name == "Event") {
      EXPECT_FALSE(Shared().currentPasscode().empty());
    }
    screen.model.OnShown();  // back on the list: the token is closed
    EXPECT_FALSE(OpenTokenInfo().ok());
  }
}

// A token that cannot be opened keeps the user on the list and says so.
TEST_F(ListScreensTest, ATokenThatCannotBeOpenedLeavesTheListWithAnError) {
  ASSERT_TRUE(MakeOv3Token("Line\nBreak", "", INSTALLED_STATE));
  MakeInstalledToken("Other");
  Shown<TokenListModel> screen;
  const int row = RowIndex(screen.model, L"Line\nBreak");
  ASSERT_GE(row, 0);
  // Gone meanwhile (another program deleted it); its name is not one a new token may have.
  ASSERT_EQ(OV_CreateInstanceA("Line\nBreak", 0), OV_OK);
  ASSERT_EQ(OV_DeleteToken(), OV_OK);
  OV_ReleaseInstance();
  screen.model.OnLvnItemchangedList1(row);
  EXPECT_TRUE(screen.effects.take().empty());
  ASSERT_EQ(screen.effects.boxes.size(), 1u);
  EXPECT_EQ(screen.effects.boxes[0].kind, MessageKind::Error);
  EXPECT_EQ(screen.effects.boxes[0].text, Text::Of(213).str());
  EXPECT_EQ(TokenNames(), std::vector<std::wstring>{L"Other"});
  // A row that is not there does nothing.
  screen.model.OnLvnItemchangedList1(7);
  EXPECT_TRUE(screen.effects.take().empty());
  EXPECT_EQ(screen.effects.boxes.size(), 1u);
}

TEST_F(ListScreensTest, TheListReadsItselfAgainWhenTheEarliestLockEnds) {
  MakeActivatedToken("Plain", kEventPolicy);
  MakeActivatedToken("Locked", kPinPolicy, "1234");
  const int32_t left = LockToken();
  ASSERT_GT(left, 0);
  Shown<TokenListModel> screen;
  ASSERT_TRUE(screen.effects.running(TimerId::kListRefresh));
  EXPECT_EQ(screen.effects.timers[TimerId::kListRefresh].milliseconds, left * 1000);
  EXPECT_TRUE(screen.effects.timers[TimerId::kListRefresh].singleShot);
  const int readings = screen.model.readings();

  env.clock.now += left;
  screen.model.fireTimer(TimerId::kListRefresh);
  EXPECT_EQ(RowNamed(screen.model, L"Locked")->image, TokenListModel::kNoImage);
  EXPECT_GT(screen.model.readings(), readings);
  // No lock left: nothing to wait for.
  EXPECT_FALSE(screen.effects.running(TimerId::kListRefresh));
  EXPECT_FALSE(screen.model.isTimerRunning(TimerId::kListRefresh));
  EXPECT_TRUE(screen.effects.take().empty());
}

// Hiding the list stops its refresh; showing it again reads it and arms the refresh anew, so the
// lock's image still goes when the lock ends.
TEST_F(ListScreensTest, ShowingTheListAgainArmsTheRefreshAgain) {
  MakeActivatedToken("Plain", kEventPolicy);
  MakeActivatedToken("Locked", kPinPolicy, "1234");
  const int32_t left = LockToken();
  Shown<TokenListModel> screen;
  screen.model.show(false);
  EXPECT_FALSE(screen.effects.running(TimerId::kListRefresh));
  env.clock.now += 30;
  screen.model.show(true);
  screen.model.OnShown();
  ASSERT_TRUE(screen.effects.running(TimerId::kListRefresh));
  EXPECT_EQ(screen.effects.timers[TimerId::kListRefresh].milliseconds, (left - 30) * 1000);
  // Shown while the refresh still runs, the list is not read again.
  const int readings = screen.model.readings();
  screen.model.OnShown();
  EXPECT_EQ(screen.model.readings(), readings);
  env.clock.now += left;
  screen.model.fireTimer(TimerId::kListRefresh);
  EXPECT_EQ(RowNamed(screen.model, L"Locked")->image, TokenListModel::kNoImage);
}

// ---------------------------------------------------------------------------------------------
// The message screen

TEST_F(ListScreensTest, EachMessageHasItsTextsButtonsAndFocus) {
  MakeInstalledToken("Waiting");
  MakeActivatedToken("Pin to set", kPinPolicy);
  struct Case {
    const char* what;
    int type;
    const char* token;  // opened before the screen is set up
    int headline, text, button;
    bool cancelShown;
    Control focus;
  };
  const Case cases[] = {
      {"renamed", DialogType::MESSAGE_RENAMED, nullptr, 132, 136, 106, false, Control::Main},
      {"welcome", DialogType::MESSAGE_WELCOME, nullptr, 102, 107, 106, true, Control::Main},
      {"deactivate", DialogType::MESSAGE_DEACTIVATE, nullptr, 141, 142, 143, true, Control::Cancel},
      {"delete", DialogType::MESSAGE_DELETE, nullptr, 144, 145, 137, true, Control::Cancel},
      {"PIN changed", DialogType::MESSAGE_PIN_CHANGED, nullptr, 110, 138, 106, false,
       Control::Main},
      {"inactive", DialogType::MESSAGE_INACTIVE, "Waiting", 187, 168, 108, true, Control::Main},
      {"inactive, PIN to set", DialogType::MESSAGE_INACTIVE, "Pin to set", 187, 188, 108, true,
       Control::Main},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OV_ReleaseInstance();
    if (c.token != nullptr) {
      ASSERT_EQ(OV_CreateInstanceA(c.token, 0), OV_OK);
    }
    Shown<WelcomeMessageModel> screen(c.type);
    EXPECT_EQ(screen.model.headline(), Text::Of(c.headline));
    EXPECT_EQ(screen.model.text(), Text::Of(c.text));
    EXPECT_EQ(screen.model.mainButton(), Text::Of(c.button));
    EXPECT_EQ(screen.model.cancelShown(), c.cancelShown);
    EXPECT_EQ(screen.model.initialFocus(), c.focus);
    EXPECT_TRUE(screen.model.error().empty());
    screen.model.OnShown();
    EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Indicated(Indicator::kShowA)});
    // Only the inactive notice moves the focus to its button a moment after it is shown.
    const bool inactive = c.type == DialogType::MESSAGE_INACTIVE;
    EXPECT_EQ(screen.effects.running(TimerId::kFocus), inactive);
    if (inactive) {
      EXPECT_EQ(screen.effects.timers[TimerId::kFocus].milliseconds, 200);
      screen.model.fireTimer(TimerId::kFocus);
      EXPECT_EQ(screen.model.focusRequest(), 1u);
      EXPECT_EQ(screen.model.focus(), Control::Main);
      EXPECT_FALSE(screen.model.isTimerRunning(TimerId::kFocus));
    }
  }
}

TEST_F(ListScreensTest, EachMessagesButtonsLeadOn) {
  MakeInstalledToken("Waiting");
  MakeActivatedToken("Pin to set", kPinPolicy);
  MakeActivatedToken("Event", kEventPolicy);
  MakeActivatedToken("Challenge", kChallengePolicy);
  struct Case {
    const char* what;
    int type;
    const char* token;
    bool changePinRequired;
    std::vector<Posted> main, cancel;
  };
  const std::vector<Posted> back{Cancelled(Cancel::kBack), Indicated(Indicator::kHideA)};
  const Case cases[] = {
      {"renamed",
       DialogType::MESSAGE_RENAMED,
       nullptr,
       false,
       {Cancelled(Cancel::kRenamedBack), Indicated(Indicator::kHideA)},
       back},
      {"welcome",
       DialogType::MESSAGE_WELCOME,
       nullptr,
       false,
       {Continued(Continue::kTokenName), Indicated(Indicator::kShowA)},
       {Cancelled(Cancel::kExit)}},
      {"PIN changed",
       DialogType::MESSAGE_PIN_CHANGED,
       "Event",
       false,
       {Cancelled(Cancel::kBackFour), Indicated(Indicator::kHideA)},
       back},
      {"PIN changed as required: passcode",
       DialogType::MESSAGE_PIN_CHANGED,
       "Event",
       true,
       {Continued(Continue::kPasscode), Indicated(Indicator::kHideA)},
       back},
      {"PIN changed as required: challenge",
       DialogType::MESSAGE_PIN_CHANGED,
       "Challenge",
       true,
       {Continued(Continue::kChallenge), Indicated(Indicator::kShowA)},
       back},
      {"inactive",
       DialogType::MESSAGE_INACTIVE,
       "Waiting",
       false,
       {Continued(Continue::kEnrollmentMethod), Indicated(Indicator::kShowA)},
       {Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}},
      {"inactive, PIN to set",
       DialogType::MESSAGE_INACTIVE,
       "Pin to set",
       false,
       {Continued(Continue::kSetPin), Indicated(Indicator::kShowA)},
       {Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OV_ReleaseInstance();
    if (c.token != nullptr) {
      ASSERT_EQ(OV_CreateInstanceA(c.token, 0), OV_OK);
    }
    Shown<WelcomeMessageModel> screen(c.type);
    Shared().g_bChangePinRequired = c.changePinRequired;
    screen.model.OnBnClickedMainBtn();
    EXPECT_EQ(screen.effects.take(), c.main);
    EXPECT_FALSE(Shared().g_bChangePinRequired);
    EXPECT_TRUE(screen.model.error().empty());
    screen.model.OnBnClickedCancelBtn();
    EXPECT_EQ(screen.effects.take(), c.cancel);
    // Escape is Cancel where Cancel is shown, and is used up where it is not.
    EXPECT_TRUE(screen.model.onEscape());
    EXPECT_EQ(screen.effects.take(), screen.model.cancelShown() ? c.cancel : std::vector<Posted>{});
  }
}

// A passcode that cannot be shown after a required PIN change is said on the screen's line.
TEST_F(ListScreensTest, APinChangedMessageShowsWhyThereIsNoPasscode) {
  ASSERT_TRUE(MakeLegacyToken("Hosts", ACTIVATED_STATE, "1234", Formulate({{"mode", 3}})));
  ASSERT_EQ(OV_CreateInstanceA("Hosts", 0), OV_OK);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  Shown<WelcomeMessageModel> screen(DialogType::MESSAGE_PIN_CHANGED);
  Shared().g_bChangePinRequired = true;
  screen.model.OnBnClickedMainBtn();
  EXPECT_TRUE(screen.effects.take().empty());
  EXPECT_EQ(screen.model.error(), Text::Of(kStrMultiHostRefused));
  EXPECT_TRUE(screen.effects.boxes.empty());
  // Set up again, the line is empty.
  screen.model.create();
  EXPECT_TRUE(screen.model.error().empty());
}

TEST_F(ListScreensTest, DeactivatingResetsTheTokenAndForgetsItsActivationCode) {
  MakeActivatedToken("Event", kEventPolicy);
  ASSERT_EQ(OV_CreateInstanceA("Event", 0), OV_OK);
  Shared().setTokenName(L"Event");
  Shared().setActivationCode(L"1234-5678");
  Shown<WelcomeMessageModel> screen(DialogType::MESSAGE_DEACTIVATE);
  screen.model.OnBnClickedMainBtn();
  EXPECT_EQ(screen.effects.take(),
            (std::vector<Posted>{Cancelled(Cancel::kDeactivated), Indicated(Indicator::kShowA)}));
  EXPECT_EQ(OpenTokenState(), INSTALLED_STATE);
  EXPECT_FALSE(Shared().activationCodePending());
  EXPECT_TRUE(screen.model.error().empty());
}

// After a delete, the list when tokens are left; the welcome when none is.
TEST_F(ListScreensTest, DeletingGoesToTheListOrTheWelcome) {
  MakeActivatedToken("First", kEventPolicy);
  MakeInstalledToken("Second");
  const std::vector<Posted> toList{Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)};
  const std::vector<Posted> toWelcome{Cancelled(Cancel::kToWelcome), Indicated(Indicator::kShowA)};
  for (const auto& [name, posted] : {std::pair{"First", toList}, std::pair{"Second", toWelcome}}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(OV_CreateInstanceA(name, 0), OV_OK);
    Shown<WelcomeMessageModel> screen(DialogType::MESSAGE_DELETE);
    screen.model.OnBnClickedMainBtn();
    EXPECT_EQ(screen.effects.take(), posted);
    OV_ReleaseInstance();
  }
  EXPECT_TRUE(TokenNames().empty());
}

// When the library refuses, the screen stays with the reason and nothing moves on.
TEST_F(ListScreensTest, AFailedDeactivationOrDeletionStaysWithItsReason) {
  MakeActivatedToken("Event", kEventPolicy);
  const std::pair<int, int> cases[] = {{DialogType::MESSAGE_DEACTIVATE, kStrDeactivateFailed},
                                       {DialogType::MESSAGE_DELETE, kStrDeleteFailed}};
  for (const auto& [type, reason] : cases) {
    SCOPED_TRACE(type);
    // No token open: the library has nothing to reset or delete.
    Shown<WelcomeMessageModel> screen(type);
    Shared().setActivationCode(L"1234-5678");
    screen.model.OnBnClickedMainBtn();
    EXPECT_TRUE(screen.effects.take().empty());
    EXPECT_EQ(screen.model.error(), Text::Of(reason));
    EXPECT_TRUE(Shared().activationCodePending());
    EXPECT_TRUE(screen.effects.timers.empty());
    // Cancel still goes back.
    screen.model.OnBnClickedCancelBtn();
    EXPECT_EQ(screen.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kBack), Indicated(Indicator::kHideA)}));
  }
  EXPECT_EQ(TokenNames(), std::vector<std::wstring>{L"Event"});
}

// ---------------------------------------------------------------------------------------------
// The new token's name

TEST_F(ListScreensTest, TheProposedNameIsOneNoTokenHas) {
  {
    Shown<TokenNameOperationModel> screen;
    EXPECT_EQ(screen.model.name(), L"Kelsa Orvanti");
    EXPECT_TRUE(screen.model.error().empty());
  }
  MakeInstalledToken("Kelsa Orvanti");
  MakeInstalledToken("Kelsa Orvanti 4");
  MakeInstalledToken("Other");
  Shown<TokenNameOperationModel> screen;
  EXPECT_EQ(screen.model.name(), L"Kelsa Orvanti 5");
}

TEST_F(ListScreensTest, NamesThatCannotBeTakenAreRefusedOnTheScreen) {
  MakeInstalledToken("Work");
  MakeInstalledToken("\xC3\x84rger");
  struct Case {
    const char* what;
    std::wstring typed;
    int error;
    std::wstring fieldAfter;
  };
  const Case cases[] = {
      {"empty", L"", 166, L""},
      {"only blanks", L" \t\u3000 ", 166, L" \t\u3000 "},
      {"taken in another letter case", L"  WORK ", 191, L""},
      {"taken, not ASCII", L"\u00e4RGER", 191, L""},
      {"too short for the library", L"abc", 166, L""},
      {"a line break", L"Two\nLines", 166, L""},
      {"a direction control", L"abc\u202Edef", 166, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shown<TokenNameOperationModel> screen;
    const unsigned requests = screen.model.focusRequest();
    screen.model.OnEnChangeEdit(c.typed);
    screen.model.setAutoEnrollmentByURLMode(true);
    screen.model.OnBnClickedActivate(c.typed);
    EXPECT_TRUE(screen.effects.take().empty());
    EXPECT_EQ(screen.model.error(), Text::Of(c.error));
    EXPECT_EQ(screen.model.name(), c.fieldAfter);
    EXPECT_EQ(screen.model.focusRequest(), requests + 1);
    EXPECT_EQ(screen.model.focus(), TokenNameOperationModel::Control::Edit);
    EXPECT_FALSE(screen.model.isAutoEnrollmentByURLMode());
  }
  EXPECT_EQ(TokenNames().size(), 2u);
}

// However the screen was reached (a start with an enrollment string comes here whatever the
// number of tokens), no token is created beyond the limit.
TEST_F(ListScreensTest, NoTokenIsCreatedBeyondTheLimit) {
  for (int i = 1; i < kMaxTokens; ++i) MakeInstalledToken("Token " + std::to_string(i));
  {
    Shown<TokenNameOperationModel> screen;
    screen.model.OnBnClickedActivateLater(L"Tenth and last");
    EXPECT_EQ(screen.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}));
  }
  Shown<TokenNameOperationModel> screen;
  for (bool later : {false, true}) {
    if (later) {
      screen.model.OnBnClickedActivateLater(L"Eleventh");
    } else {
      screen.model.OnBnClickedActivate(L"Eleventh");
    }
    EXPECT_TRUE(screen.effects.take().empty());
    EXPECT_EQ(screen.model.error(), Text::Of(kStrTokenLimit, kMaxTokens));
    EXPECT_EQ(screen.model.name(), L"Eleventh");
  }
  EXPECT_EQ(TokenNames().size(), static_cast<std::size_t>(kMaxTokens));
  EXPECT_NE(Text::Of(kStrTokenLimit, kMaxTokens).str().find("10"), std::string::npos);
}

TEST_F(ListScreensTest, ANewTokenIsCreatedUnderTheTrimmedNameAndTheFlowGoesOn) {
  struct Case {
    const char* what;
    bool byUrl;
    bool later;
    std::vector<Posted> posted;
  };
  const Case cases[] = {
      {"Activate",
       false,
       false,
       {Continued(Continue::kEnrollmentMethod), Indicated(Indicator::kShowA)}},
      {"Activate, started with an enrollment string",
       true,
       false,
       {Continued(Continue::kPortalUrl), Indicated(Indicator::kShowA)}},
      {"Activate Later",
       false,
       true,
       {Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeActivatedToken("Open elsewhere", kEventPolicy);
    OV_CreateInstanceA("Open elsewhere", 0);  // a token left open does not block the new one
    Shown<TokenNameOperationModel> screen;
    screen.model.setAutoEnrollmentByURLMode(c.byUrl);
    const std::wstring name = L"New " + std::to_wstring(++made);
    const std::wstring typed = L"  " + name + L"\u00a0";
    if (c.later) {
      screen.model.OnBnClickedActivateLater(typed);
    } else {
      screen.model.OnBnClickedActivate(typed);
    }
    EXPECT_EQ(screen.effects.take(), c.posted);
    EXPECT_FALSE(screen.model.isAutoEnrollmentByURLMode());
    EXPECT_TRUE(Shared().g_szTokenName == name);
    {
      OpenTokenInfo open;
      ASSERT_TRUE(open.ok());
      EXPECT_EQ(std::wstring(open->m_szTokenName), name);
      EXPECT_EQ(open->m_nTokenState, INSTALLED_STATE);
    }
    screen.model.OnBnClickedCancel();
    EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Cancelled(Cancel::kBackHideBack)});
  }
}

// Any other refusal of the library ends the application as every unexpected failure does.
TEST_F(ListScreensTest, ALibraryFailureWhileCreatingAborts) {
  Shown<TokenNameOperationModel> screen;
  ASSERT_EQ(OV_Finalize(), OV_OK);
  screen.model.OnBnClickedActivate(L"Kelsa Orvanti");
  EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Cancelled(Cancel::kAbort)});
  EXPECT_TRUE(screen.model.error().empty());
  ASSERT_EQ(OV_InitializeW(L"KLSA_GA_8_2", 0), OV_OK);
  EXPECT_TRUE(TokenNames().empty());
}

}  // namespace
