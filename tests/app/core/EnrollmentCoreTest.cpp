// The automatic enrollment's screens and the enrollment choice without a window, against the real
// library and the project's HTTPS enrollment server: the exchange on its worker thread and its
// outcome delivered back, the soft PIN, each kind of failure as the choice tells it, and an
// exchange the user stops waiting for.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "app/core/EnrollmentWorker.h"
#include "app/core/ServerHost.h"
#include "app/core/screens/AutoEnrollmentModel.h"
#include "app/core/screens/EnrollmentModel.h"
#include "frontend/StringTable.h"
#include "support/Base64Reference.h"
#include "support/EnrollmentServer.h"
#include "tests/app/core/CoreTestSupport.h"

using namespace ov::app;
using namespace ov::test;

namespace {

namespace D = DialogType;
using Control = AutoEnrollmentModel::Control;

std::string UsersJson() {
  auto user = [](const char* name, const std::string& policy, const char* extra = "") {
    return std::string("{\"user\": \"") + name + "\", \"password\": \"pw-" + name +
           "\", \"policy\": \"" + policy + "\", \"serial\": \"SN-" + name + "\"" + extra + "}";
  };
  return "[" + user("dave", kEventPolicy) + ", " +
         user("bob", kEventPolicy,
              ", \"minlen\": \"4\", \"maxlen\": \"8\", \"alphanum\": \"true\"") +
         "]";
}

std::string Str(int id) { return ov::frontend::OVString(id); }

// Recorded effects with a count of the outcomes handed over but not yet run.
class EnrollmentEffects : public RecordedEffects {
 public:
  void deliver(std::function<void()> task) override {
    ++handedOver;
    RecordedEffects::deliver(std::move(task));
  }
  std::atomic<int> handedOver{0};
};

// A model wired to those effects, created and shown for a variant as the router would.
template <typename Model>
struct Screen {
  explicit Screen(int dialogType) {
    model.setEffects(&effects);
    model.m_DialogType = dialogType;
    model.create();
    model.show(true);
    model.OnShowWindow(true);
    effects.take();
  }
  ~Screen() {
    model.destroy();
    model.setEffects(nullptr);
  }
  EnrollmentEffects effects;
  Model model;
};

bool WaitFor(const std::function<bool()>& done, int seconds = 30) {
  for (int i = 0; i < seconds * 100 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

class EnrollmentCoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetEnv("no_proxy", "127.0.0.1");
    SetEnv("NO_PROXY", "127.0.0.1");
    const auto path = PrivateHome::Root() / "enrollment-users.json";
    std::ofstream(path) << UsersJson();
    s_users = path.string();
  }
  void SetUp() override {
    ASSERT_EQ(env.initialized, OV_OK);
    ASSERT_EQ(OV_CreateInstanceA("Kelsa Orvanti", 0), OV_OK);
    Shared().setTokenName(L"Kelsa Orvanti");
  }
  void TearDown() override {
    // Nothing of one test runs on into the next.
    EXPECT_TRUE(WaitFor([] { return EnrollmentWorker::AbandonedRunning() == 0; }));
    UnsetEnv("OV_ENROLL_CA_FILE");
  }

  std::unique_ptr<EnrollmentServer> startServer(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), {"--users", s_users});
    auto server = std::make_unique<EnrollmentServer>(arguments);
    if (server->Ok()) {
      SetEnv("OV_ENROLL_CA_FILE", server->CaFile().string());
      Shared().g_szEnrollmentUrl.assign(FromUtf8(server->Url()));
    }
    return server;
  }

  // Types the user ID and password, continues, and agrees to the server question.
  static void EnterCredentials(Screen<AutoEnrollmentModel>& screen, const std::string& user,
                               const std::string& password) {
    AutoEnrollmentModel& model = screen.model;
    model.OnEnChange(Control::First, FromUtf8(user), true);
    model.OnEnChange(Control::Second, FromUtf8(password), true);
    model.OnBnClickedContinue();
    ASSERT_FALSE(model.question.empty());
    ASSERT_FALSE(model.isBusy());
    model.OnBnClickedContinue();
    EXPECT_TRUE(model.isBusy());
    EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Indicated(Indicator::kHideBack)});
  }

  // Enters the soft PIN and its confirmation on their screens; the exchange is under way when
  // it returns, on the confirmation screen given.
  static void EnterSoftPin(Screen<AutoEnrollmentModel>& confirm, const std::string& pin) {
    {
      Screen<AutoEnrollmentModel> softPin(D::AUTO_ENROLL_SOFT_PIN);
      softPin.model.OnEnChange(Control::First, FromUtf8(pin), true);
      softPin.model.OnBnClickedContinue();
      ASSERT_EQ(softPin.effects.take(), std::vector<Posted>{Continued(Continue::kSoftPinConfirm)});
    }
    confirm.model.OnEnChange(Control::First, FromUtf8(pin), true);
    confirm.model.OnBnClickedContinue();
    EXPECT_TRUE(confirm.model.isBusy());
  }

  // The choice as the router shows it after a failure: its text, then the text of the next
  // showing.
  static std::pair<std::string, std::string> ChoiceTexts() {
    Screen<EnrollmentModel> choice(D::ENROLLMENT_METHOD);
    const std::string first = choice.model.text.str();
    choice.model.show(false);
    choice.model.show(true);
    choice.model.OnShowWindow(true);
    return {first, choice.model.text.str()};
  }

  CoreEnvironment env;
  static inline std::string s_users;
};

TEST(ServerHostTest, HostsAreShownInLowerCaseAndTheirAsciiForm) {
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"https://127.0.0.1:8443/dskpp", "127.0.0.1"},
      {L"https://Enroll.Example.COM/Path", "enroll.example.com"},
      {L"https://user:pw@host.example:1/p?q#f", "host.example"},
      {L"https://[::1]:8443/", "::1"},
      {L"https://b\u00fccher.example/dskpp", "xn--bcher-kva.example"},
      {L"https://M\u00dcNCHEN.de", "xn--mnchen-3ya.de"},
      {L"https://\u043f\u0440\u0438\u043c\u0435\u0440.\u0440\u0444", "xn--e1afmkfd.xn--p1ai"},
      {L"https://\u0420\u0424\u3002example", "xn--p1ai.example"},
  };
  for (const auto& [url, host] : cases) {
    EXPECT_EQ(ServerHostForDisplay(url), host) << ToUtf8(url);
  }
}

TEST(SoftPinRuleTest, TheRuleNamesLengthAndComplexity) {
  EXPECT_EQ(SoftPinRuleText(4, 8, 1), Text::Of(216, 4, 8));
  EXPECT_EQ(SoftPinRuleText(6, 6, 1), Text::Of(232, 6));
  EXPECT_EQ(SoftPinRuleText(4, 8, 0), Text::Of(190, 4, 8));
  EXPECT_EQ(SoftPinRuleText(6, 6, 0), Text::Of(218, 6));
}

// With and without a soft PIN, the outcome comes back through the delivery and the flow goes on
// to the passcode; nothing of the secrets stays behind.
TEST_F(EnrollmentCoreTest, AnAutomaticEnrollmentReachesThePasscode) {
  struct Case {
    const char* user;
    const char* softPin;
  };
  for (const Case& c : {Case{"dave", ""}, Case{"bob", "Abc1"}}) {
    SCOPED_TRACE(c.user);
    ASSERT_EQ(OV_ResetToken(), OV_OK);
    const auto server = startServer();
    ASSERT_TRUE(server->Ok()) << server->Error();
    Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
    EnterCredentials(credentials, c.user, std::string("pw-") + c.user);
    ASSERT_TRUE(credentials.effects.waitForDelivery());
    EXPECT_FALSE(credentials.model.isBusy());
    std::vector<Posted> posted = credentials.effects.take();
    if (*c.softPin != '\0') {
      EXPECT_EQ(posted,
                (std::vector<Posted>{Continued(Continue::kSoftPin), Indicated(Indicator::kShowA)}));
      EXPECT_EQ(Shared().g_nSoftPinMaxLength, 8);
      Screen<AutoEnrollmentModel> confirm(D::AUTO_ENROLL_SOFT_PIN_CONFIRM);
      EnterSoftPin(confirm, c.softPin);
      ASSERT_TRUE(confirm.effects.waitForDelivery());
      posted = confirm.effects.take();
      EXPECT_EQ(posted.front(), Indicated(Indicator::kHideBack));
      posted.erase(posted.begin());
      const auto provisioned = server->Events("provisioned");
      ASSERT_EQ(provisioned.size(), 1u);
      EXPECT_EQ(EnrollmentServer::JsonValue(provisioned[0], "soft_pin"), c.softPin);
    }
    EXPECT_EQ(posted,
              (std::vector<Posted>{Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}));
    EXPECT_EQ(OpenTokenState(), ACTIVATED_STATE);
    EXPECT_FALSE(Shared().currentPasscode().empty());
    EXPECT_TRUE(Shared().g_szPassword.empty());
    EXPECT_TRUE(Shared().g_szSoftPin.empty());
  }
}

TEST_F(EnrollmentCoreTest, TheSoftPinFollowsTheServersRuleAndIsTypedTwice) {
  SharedValues& shared = Shared();
  shared.g_nSoftPinMinLength = 4;
  shared.g_nSoftPinMaxLength = 8;
  shared.g_nSoftPinComplexity = 1;
  struct Case {
    const char* pin;
    Text error;
    std::vector<Posted> posted;
  };
  const Case cases[] = {
      {"", {}, {}},
      {"abcd", Text::Of(171), {}},  // no digit, no capital
      {"Abc1", {}, {Continued(Continue::kSoftPinConfirm)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pin);
    Screen<AutoEnrollmentModel> softPin(D::AUTO_ENROLL_SOFT_PIN);
    AutoEnrollmentModel& model = softPin.model;
    EXPECT_EQ(model.rule, Text::Of(216, 4, 8));
    EXPECT_TRUE(model.firstMasked);
    EXPECT_EQ(model.firstMaxLength, 8);
    EXPECT_FALSE(model.secondVisible);
    model.OnEnChange(Control::First, FromUtf8(c.pin), true);
    const int requests = model.focusRequests;
    model.OnBnClickedContinue();
    EXPECT_EQ(model.error, c.error);
    EXPECT_EQ(softPin.effects.take(), c.posted);
    EXPECT_TRUE(model.first.empty());
    if (c.posted.empty()) {
      EXPECT_GT(model.focusRequests, requests);
      EXPECT_EQ(model.focus, Control::First);
    }
  }
  // A full box hands the focus on to Continue.
  {
    Screen<AutoEnrollmentModel> softPin(D::AUTO_ENROLL_SOFT_PIN);
    softPin.model.OnEnChange(Control::First, L"Abcdefg1", true);
    EXPECT_EQ(softPin.model.focus, Control::Continue);
  }
  // The confirmation: another PIN goes back to the first box, which says so; Cancel too.
  shared.g_szSoftPin.assign(L"Abc1");
  {
    Screen<AutoEnrollmentModel> confirm(D::AUTO_ENROLL_SOFT_PIN_CONFIRM);
    EXPECT_EQ(confirm.model.firstLabel, Text::Of(227));
    confirm.model.OnEnChange(Control::First, L"Abc2", true);
    confirm.model.OnBnClickedContinue();
    EXPECT_FALSE(confirm.model.isBusy());
    EXPECT_EQ(confirm.effects.take(), (std::vector<Posted>{Cancelled(Cancel::kSoftPinMismatch),
                                                           Indicated(Indicator::kShowA)}));
    EXPECT_TRUE(confirm.model.first.empty());
    confirm.model.OnBnClickedCancel();
    EXPECT_EQ(confirm.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kSoftPinConfirmCancelled),
                                   Indicated(Indicator::kShowA)}));
  }
  Screen<AutoEnrollmentModel> softPin(D::AUTO_ENROLL_SOFT_PIN);
  softPin.model.OnEnChange(Control::First, L"Abc", true);
  softPin.model.showErrorMessage();
  EXPECT_EQ(softPin.model.error, Text::Of(215));
  EXPECT_TRUE(softPin.model.first.empty());
  EXPECT_EQ(softPin.model.focus, Control::First);
}

// Nothing reaches the server before the user agrees to the question that names it.
TEST_F(EnrollmentCoreTest, TheServerIsNamedBeforeAnyConnection) {
  const auto server = startServer();
  ASSERT_TRUE(server->Ok()) << server->Error();
  {
    Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
    AutoEnrollmentModel& model = credentials.model;
    EXPECT_EQ(model.initialFocus(), Control::First);
    // Both are needed; blanks alone are nothing.
    model.OnEnChange(Control::First, L"dave", true);
    model.OnEnChange(Control::Second, L"  ", true);
    model.OnBnClickedContinue();
    EXPECT_EQ(model.error, Text::Of(170));
    EXPECT_TRUE(model.first.empty() && model.second.empty());
    EXPECT_EQ(model.focus, Control::First);
    EXPECT_TRUE(model.question.empty());
    // A full user ID hands the focus on to the password.
    model.OnEnChange(Control::First, std::wstring(256, L'u'), true);
    EXPECT_EQ(model.focus, Control::Second);
    model.OnEnChange(Control::First, L" dave ", true);
    model.OnEnChange(Control::Second, L"pw-dave", true);
    model.OnBnClickedContinue();
    const std::string host = EnrollmentServer::Host();
    std::string expected = Str(kStrEnrollmentServerQuestion);
    expected.replace(expected.find("%1"), 2, host);
    expected.replace(expected.find("%2"), 2, "dave");
    EXPECT_EQ(model.question.str(), expected);
    EXPECT_FALSE(model.firstVisible || model.secondVisible);
    EXPECT_EQ(model.focus, Control::Cancel);  // a single Enter does not connect
    EXPECT_FALSE(model.isBusy());
    model.OnBnClickedCancel();
    EXPECT_EQ(credentials.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kActivationCodeCancelled),
                                   Indicated(Indicator::kShowA)}));
  }
  // An enrollment string that gave both asks at once, once the screen shows.
  Shared().g_szPrefilledUserId.assign(L"dave");
  Shared().g_szPrefilledPassword.assign(L"pw-dave");
  Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
  EXPECT_FALSE(credentials.model.firstVisible || credentials.model.secondVisible);
  ASSERT_TRUE(credentials.effects.running(AutoEnrollmentModel::kAskAtOnceTimer));
  credentials.model.fireTimer(AutoEnrollmentModel::kAskAtOnceTimer);
  EXPECT_FALSE(credentials.model.question.empty());
  EXPECT_FALSE(credentials.model.isBusy());
  EXPECT_TRUE(server->Events().empty());
}

// Each failure ends on the choice, which names its kind once; the token stays as it was.
TEST_F(EnrollmentCoreTest, EachKindOfFailureIsToldOnceOnTheChoice) {
  struct Case {
    const char* name;
    bool serverRuns;
    std::vector<std::string> arguments;
    const char* user;
    const char* password;
    const char* softPin;
    int reason;
    int cancel;
  };
  const Case cases[] = {
      {"wrong password", true, {}, "dave", "wrong", "", 602, Cancel::kEnrollmentFailed},
      {"untrusted certificate", true, {"--certificate", "untrusted"}, "dave", "pw-dave", "", 601,
       Cancel::kEnrollmentFailed},
      {"server fault", true, {"--misbehave", "wrong-mac"}, "dave", "pw-dave", "", 603,
       Cancel::kEnrollmentFailed},
      {"server fault after the soft PIN", true, {"--misbehave", "wrong-mac"}, "bob", "pw-bob",
       "Abc1", 603, Cancel::kSoftPinCancelled},
#ifndef _WIN32
      // Under Wine this flow sees no kind for an address that cannot be reached (the library's
      // own enrollment tests check that kind on Windows); not yet understood, so Linux only.
      {"no server", false, {}, "dave", "pw-dave", "", 600, Cancel::kEnrollmentFailed},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<EnrollmentServer> server;
    if (!c.serverRuns) {
      Shared().g_szEnrollmentUrl.assign(L"https://127.0.0.1:1/dskpp");
    } else {
      server = startServer(c.arguments);
      ASSERT_TRUE(server->Ok()) << server->Error();
    }
    Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
    EnterCredentials(credentials, c.user, c.password);
    ASSERT_TRUE(credentials.effects.waitForDelivery());
    std::vector<Posted> posted = credentials.effects.take();
    if (*c.softPin != '\0') {
      ASSERT_EQ(posted.front(), Continued(Continue::kSoftPin));
      Screen<AutoEnrollmentModel> confirm(D::AUTO_ENROLL_SOFT_PIN_CONFIRM);
      EnterSoftPin(confirm, c.softPin);
      ASSERT_TRUE(confirm.effects.waitForDelivery());
      posted = confirm.effects.take();
      posted.erase(posted.begin());  // Back hidden while it ran
    }
    EXPECT_EQ(posted, (std::vector<Posted>{Cancelled(c.cancel), Indicated(Indicator::kShowA)}));
    EXPECT_EQ(ChoiceTexts(), std::make_pair(Str(c.reason) + ' ' + Str(189), Str(147)));
    EXPECT_EQ(OpenTokenState(), INSTALLED_STATE);
    if (c.cancel == Cancel::kEnrollmentFailed) {
      EXPECT_TRUE(Shared().g_szPassword.empty());
    }
  }
}

// A failure takes an enrollment string (it may carry a passphrase) off the clipboard, and leaves
// anything else there alone.
TEST_F(EnrollmentCoreTest, AFailureTakesOnlyAnEnrollmentStringOffTheClipboard) {
  const auto server = startServer();
  ASSERT_TRUE(server->Ok()) << server->Error();
  const std::string enrollmentString =
      Base64("EnrollmentURL=https://enroll.example/dskpp\r\nUserID=dave\r\nPassphrase=pw-dave");
  const std::pair<std::string, std::string> cases[] = {
      {" " + enrollmentString + "\n", ""},
      {"shopping list", "shopping list"},
  };
  for (const auto& [before, after] : cases) {
    SCOPED_TRACE(before);
    Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
    credentials.effects.userClipboard = before;
    EnterCredentials(credentials, "dave", "wrong");
    ASSERT_TRUE(credentials.effects.waitForDelivery());
    EXPECT_EQ(credentials.effects.userClipboard, after);
  }
}

// While the server is asked the screen is busy: Back is hidden and refused, Continue does
// nothing. Cancel or leaving the screen ends the wait at once; the exchange ends behind it, its
// outcome dropped and the token it enrolled reset, and the choice waits for the library.
TEST_F(EnrollmentCoreTest, TheWaitForTheServerEndsAtOnce) {
  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "Cancel" : "leaving the screen");
    ASSERT_EQ(OV_ResetToken(), OV_OK);
    const auto server = startServer({"--misbehave", "slow-hello", "--delay", "1.5"});
    ASSERT_TRUE(server->Ok()) << server->Error();
    Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
    EnterCredentials(credentials, "dave", "pw-dave");
    AutoEnrollmentModel& model = credentials.model;
    EXPECT_TRUE(model.isBusy());
    model.OnBnClickedContinue();
    EXPECT_TRUE(credentials.effects.take().empty());
    const auto started = std::chrono::steady_clock::now();
    if (cancel) {
      model.OnBnClickedCancel();
      EXPECT_EQ(credentials.effects.take(),
                (std::vector<Posted>{Cancelled(Cancel::kActivationCodeCancelled),
                                     Indicated(Indicator::kShowA)}));
    } else {
      model.destroy();
      EXPECT_TRUE(credentials.effects.take().empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_FALSE(model.isBusy());
    EXPECT_TRUE(Shared().g_szPassword.empty());
    ASSERT_EQ(EnrollmentWorker::AbandonedRunning(), 1);

    Screen<EnrollmentModel> choice(D::ENROLLMENT_METHOD);
    EXPECT_FALSE(choice.model.waysEnabled);
    EXPECT_EQ(choice.effects.timers[EnrollmentModel::kLibraryWaitTimer].milliseconds,
              EnrollmentModel::kLibraryWaitMs);
    choice.model.OnBnClickedManual();
    choice.model.OnBnClickedAuto();
    EXPECT_TRUE(choice.effects.take().empty());
    ASSERT_TRUE(WaitFor([] { return EnrollmentWorker::AbandonedRunning() == 0; }));
    choice.model.fireTimer(EnrollmentModel::kLibraryWaitTimer);
    EXPECT_TRUE(choice.model.waysEnabled);
    EXPECT_FALSE(choice.effects.running(EnrollmentModel::kLibraryWaitTimer));

    EXPECT_EQ(server->Events("provisioned").size(), 1u);
    EXPECT_EQ(credentials.effects.handedOver, 0);
    EXPECT_EQ(OpenTokenState(), INSTALLED_STATE);
  }
}

// Cancel just after the outcome was handed over, before it arrived: it is dropped, and the
// token it enrolled goes back to where a failed enrollment leaves it.
TEST_F(EnrollmentCoreTest, ALateSuccessResetsTheToken) {
  const auto server = startServer();
  ASSERT_TRUE(server->Ok()) << server->Error();
  Screen<AutoEnrollmentModel> credentials(D::AUTO_ENROLL_UID_PWD);
  EnterCredentials(credentials, "dave", "pw-dave");
  ASSERT_TRUE(WaitFor([&] { return credentials.effects.handedOver == 1; }));
  EXPECT_EQ(OpenTokenState(), ACTIVATED_STATE);
  credentials.model.OnBnClickedCancel();
  EXPECT_EQ(EnrollmentWorker::AbandonedRunning(), 0);
  credentials.effects.take();
  EXPECT_EQ(credentials.effects.runDelivered(), 1);
  EXPECT_TRUE(credentials.effects.take().empty());
  EXPECT_EQ(OpenTokenState(), INSTALLED_STATE);
  EXPECT_TRUE(Shared().currentPasscode().empty());
}

}  // namespace
