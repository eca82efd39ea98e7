// What every screen shares, without a window: its timers live and die with its showing, inactivity
// sends the user back to the list, and the way from an open token to its passcode.
#include <gtest/gtest.h>

#include "app/core/Routes.h"
#include "app/core/Text.h"
#include "engine/PasscodeTime.h"
#include "frontend/StringTable.h"
#include "support/TokenFixtures.h"
#include "tests/app/core/CoreTestSupport.h"

using namespace ov::app;
using namespace ov::test;

namespace {

// A screen that counts inactivity.
class CountingModel : public ScreenModel {
 public:
  bool isTimer1Added() const override { return true; }
};

class ScreenModelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(env.initialized, OV_OK); }
  CoreEnvironment env;
};

TEST_F(ScreenModelTest, TimersLiveOnlyWhileTheScreenIsShown) {
  Shown<CountingModel> screen;
  EXPECT_TRUE(screen.effects.running(TimerId::kInactivity));
  EXPECT_EQ(screen.effects.timers[TimerId::kInactivity].milliseconds, kInactivityMs);
  screen.model.startTimer(TimerId::kFocus, 200, true);
  screen.model.show(false);
  EXPECT_TRUE(screen.effects.timers.empty());
  EXPECT_FALSE(screen.model.isTimerRunning(TimerId::kFocus));
  // Hidden, typing does not restart the count that would later send the user to the list.
  screen.model.resetTimer(0);
  EXPECT_FALSE(screen.effects.running(TimerId::kInactivity));
  screen.model.show(true);
  screen.model.startTimer(TimerId::kButtonState, kButtonLockMs);
  screen.model.destroy();
  EXPECT_TRUE(screen.effects.timers.empty());
}

TEST_F(ScreenModelTest, ASingleShotTimerEndsWhenItFires) {
  Shown<ScreenModel> screen;
  screen.model.startTimer(TimerId::kFocus, 200, true);
  screen.model.startTimer(TimerId::kButtonState, kButtonLockMs);
  screen.model.fireTimer(TimerId::kFocus);
  screen.model.fireTimer(TimerId::kButtonState);
  EXPECT_FALSE(screen.model.isTimerRunning(TimerId::kFocus));
  EXPECT_TRUE(screen.model.isTimerRunning(TimerId::kButtonState));
}

TEST_F(ScreenModelTest, InactivityReturnsToTheListAndStopsEveryTimer) {
  Shown<CountingModel> screen;
  screen.model.startTimer(TimerId::kButtonState, kButtonLockMs);
  screen.model.fireTimer(TimerId::kInactivity);
  EXPECT_EQ(screen.effects.take(),
            (std::vector<Posted>{Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}));
  EXPECT_TRUE(screen.effects.timers.empty());
}

TEST_F(ScreenModelTest, ScreensThatDoNotCountInactivityNeverStartIt) {
  Shown<ScreenModel> screen;
  screen.model.resetTimer(TimerId::kInactivity);
  EXPECT_FALSE(screen.effects.running(TimerId::kInactivity));
}

// Where an open, activated token leads, and what GenerateOTP leaves behind.
TEST_F(ScreenModelTest, ContinueToPasscodeFollowsTheTokensPolicy) {
  struct Case {
    const char* name;
    std::string policy;
    bool setPinFirst;
    std::vector<Posted> posted;
  };
  const Case cases[] = {
      {"event", kEventPolicy, true,
       {Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}},
      {"time", kTimePolicy, false,
       {Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}},
      {"challenge", kChallengePolicy, true,
       {Continued(Continue::kChallenge), Indicated(Indicator::kShowA)}},
      {"pin to set", kPinPolicy, true,
       {Continued(Continue::kSetPin), Indicated(Indicator::kShowA)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> key = MakeActivatedToken(c.name, c.policy);
    ASSERT_FALSE(key.empty());
    ASSERT_EQ(OV_CreateInstanceA(c.name, 0), OV_OK);
    Shared().setTokenName(FromUtf8(c.name));
    Shown<ScreenModel> screen;
    Text refusal;
    const bool moved = screen.model.ContinueToPasscode(c.setPinFirst,
                                                       ScreenModel::WithoutInfo::Abort, &refusal);
    EXPECT_TRUE(moved);
    EXPECT_EQ(screen.effects.take(), c.posted);
    if (c.posted.front() == Continued(Continue::kPasscode)) {
      // The passcode waiting for its screen is the token's next one.
      const bool timeBased = c.policy == kTimePolicy;
      const int64_t step = (env.clock.now - ov::kTimeStepBaseUnixSeconds) / 30;
      const std::string expected = Hotp(key, timeBased ? step : 0, timeBased ? 6 : 8);
      EXPECT_EQ(ToUtf8(Shared().currentPasscode()), expected);
    }
    OV_ReleaseInstance();
  }
}

// Such tokens come only from older files; asking for a passcode must not end the application.
TEST_F(ScreenModelTest, AMultiHostTokenIsRefusedOnTheLineOrInABox) {
  ASSERT_TRUE(MakeLegacyToken("Hosts", ACTIVATED_STATE, "1234", Formulate({{"mode", 3}})));
  ASSERT_EQ(OV_CreateInstanceA("Hosts", 0), OV_OK);
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  Shown<ScreenModel> screen;
  Text refusal;
  EXPECT_FALSE(screen.model.ContinueToPasscode(false, ScreenModel::WithoutInfo::Abort, &refusal));
  EXPECT_EQ(refusal, Text::Of(kStrMultiHostRefused));
  EXPECT_TRUE(screen.effects.boxes.empty());
  EXPECT_FALSE(screen.model.ContinueToPasscode(false, ScreenModel::WithoutInfo::Abort));
  ASSERT_EQ(screen.effects.boxes.size(), 1u);
  EXPECT_EQ(screen.effects.boxes[0].text, Text::Of(kStrMultiHostRefused).str());
  EXPECT_TRUE(screen.effects.take().empty());
  EXPECT_TRUE(Shared().currentPasscode().empty());
}

TEST_F(ScreenModelTest, WithoutAnOpenTokenTheApplicationIsAbortedOnlyWhenAsked) {
  Shown<ScreenModel> screen;
  EXPECT_FALSE(screen.model.ContinueToPasscode(false, ScreenModel::WithoutInfo::DoNothing));
  EXPECT_TRUE(screen.effects.take().empty());
  EXPECT_FALSE(screen.model.ContinueToPasscode(false, ScreenModel::WithoutInfo::Abort));
  EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Cancelled(Cancel::kAbort)});
  EXPECT_EQ(screen.model.GenerateOTP(nullptr, false).result, 1);
  EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Cancelled(Cancel::kAbort)});
}

TEST_F(ScreenModelTest, ResettingATokenWhoseActivationCodeWaitsAsksFirst) {
  MakeInstalledToken("Fresh");
  ASSERT_EQ(OV_CreateInstanceA("Fresh", 0), OV_OK);
  Shared().setTokenName(L"Fresh");
  Shown<ScreenModel> screen;
  // Nothing handed out: no question.
  EXPECT_EQ(screen.model.ResetTokenAfterAsking(), std::optional<int32_t>(OV_OK));
  EXPECT_TRUE(screen.effects.boxes.empty());
  Shared().setActivationCode(L"1234-5678");
  screen.effects.answers = {false};
  EXPECT_EQ(screen.model.ResetTokenAfterAsking(), std::nullopt);
  EXPECT_TRUE(Shared().activationCodePending());
  EXPECT_EQ(screen.model.ResetTokenAfterAsking(), std::optional<int32_t>(OV_OK));
  EXPECT_EQ(screen.effects.boxes.size(), 2u);
  EXPECT_EQ(screen.effects.boxes[1].text, Text::Of(kStrActivationCodeVoided).str());
  EXPECT_FALSE(Shared().activationCodePending());
}

TEST(TextTest, WideTextsRoundTripThroughUtf8) {
  const std::wstring samples[] = {L"", L"Kelsa Orvanti 2", L"Gr\u00fc\u00dfe \u20ac",
                                  L"emoji \U0001F511 key"};
  for (const std::wstring& sample : samples) EXPECT_EQ(FromUtf8(ToUtf8(sample)), sample);
  EXPECT_EQ(ToUtf8(L"\u00e9\u20ac\U0001F511"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91");
  // Broken UTF-8 becomes U+FFFD, never a read past the end.
  EXPECT_EQ(FromUtf8("a\xC3"), L"a\uFFFD");
  EXPECT_EQ(FromUtf8("\x80z"), L"\uFFFDz");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
}

TEST(TextTest, TextsOfTheTableFillTheirNumbers) {
  EXPECT_EQ(Text::Of(178).str(), std::string(ov::frontend::OVString(178)));
  EXPECT_EQ(Text::Literal("Name").str(), "Name");
  EXPECT_TRUE(Text{}.empty());
  EXPECT_EQ(Text::Of(152, 3).str(), ov::frontend::LoadOVString(152, 3));
}

}  // namespace
