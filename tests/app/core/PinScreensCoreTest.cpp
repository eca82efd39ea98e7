// The one-field screen without a window, in each variant, with the real library and the stepped
// clock: what Continue does with each kind of input, lock-outs and their re-check, deactivation,
// the forced PIN change, the challenge, the enrollment string and portal URL, the wiping of PINs,
// and inactivity.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/screens/PinOperationModel.h"
#include "tests/app/core/CoreTestSupport.h"

using namespace ov::app;
using namespace ov::test;

namespace {

namespace D = DialogType;
using Control = PinOperationModel::Control;

std::string S(int id) { return Text::Of(id).str(); }
std::string S(int id, int a) { return Text::Of(id, a).str(); }
std::string S(int id, int a, int b) { return Text::Of(id, a, b).str(); }

// A token opened for the screen, as the list leaves it when it shows the screen.
struct OpenedToken {
  explicit OpenedToken(const char* name) {
    ok = OV_CreateInstanceA(name, 0) == OV_OK;
    Shared().setTokenName(FromUtf8(name));
  }
  ~OpenedToken() { OV_ReleaseInstance(); }
  bool ok;
};

std::string Policy(int pinLength, int maxAttacks, int attackDelay) {
  return Formulate({{"mode", 0},
                    {"pinlen", pinLength},
                    {"pwdlen", 8},
                    {"maxattacks", maxAttacks},
                    {"attackdelay", attackDelay}});
}

std::string Base64(const std::string& text) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < text.size(); i += 3) {
    const unsigned n = static_cast<unsigned char>(text[i]) << 16 |
                       static_cast<unsigned char>(text[i + 1]) << 8 |
                       static_cast<unsigned char>(text[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kDigits[(n >> shift) & 63];
  }
  if (i < text.size()) {
    unsigned n = static_cast<unsigned char>(text[i]) << 16;
    if (i + 1 < text.size()) n |= static_cast<unsigned char>(text[i + 1]) << 8;
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < text.size() ? kDigits[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

class PinScreensCoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(env.initialized, OV_OK); }
  CoreEnvironment env;
};

// Each answer of the PIN check, on the token PIN before a passcode and on the current PIN of a
// change: the posted messages, the message line, Continue and the field, the flags Back reads,
// and the PIN handed on (only a right current PIN of a change is kept).
TEST_F(PinScreensCoreTest, ContinueWithTheTokenPin) {
  const std::string attempts =
      S(209, 2, 10) + "\n" + S(160) + "\n" + S(210, 10);  // after one wrong PIN of ten
  struct Case {
    const char* name;
    std::string policy;
    std::vector<std::wstring> pins;
    std::vector<Posted> passcode;  // for the token PIN
    std::vector<Posted> change;    // for the current PIN of a change
    std::string message;
    bool continueEnabled;
    bool fieldEnabled;
    bool failureShown;
    bool deactivationShown;
  };
  const std::vector<Posted> toPasscode = {Continued(Continue::kPasscode),
                                          Indicated(Indicator::kHideA)};
  const std::vector<Posted> toNewPin = {Continued(Continue::kChangePinNew),
                                        Indicated(Indicator::kShowA)};
  const Case cases[] = {
      {"right", Policy(4, 10, 0), {L"1234"}, toPasscode, toNewPin, "", true, true, false, false},
      {"empty", Policy(4, 10, 0), {L""}, {}, {}, S(165), true, true, false, false},
      {"wrong", Policy(4, 10, 0), {L"9999"}, {}, {}, attempts, true, true, true, false},
      {"too long", Policy(4, 10, 0), {L"12345"}, {}, {}, attempts, true, true, true, false},
      {"wrong without a limit",
       Policy(4, 0, 0),
       {L"9999"},
       {},
       {},
       S(160),
       true,
       true,
       true,
       false},
      {"the wrong PIN that starts a lock-out",
       Policy(4, 10, 2),
       {L"9999", L"9998"},
       {},
       {},
       S(209, 3, 10) + " \n" + S(203) + " " + S(206, 1) + "\n" + S(210, 10),
       false,
       false,
       true,
       false},
      {"deactivated",
       Policy(4, 3, 0),
       {L"9999", L"9998", L"9997"},
       {},
       {},
       S(162),
       false,
       true,
       true,
       true},
  };
  for (const int variant : {D::ENTER_TOKEN_PIN_DIALOG, D::CHANGE_TOKEN_PIN_DIALOG1}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " in variant " + std::to_string(variant));
      const std::string name = c.name + std::to_string(variant);
      MakeActivatedToken(name, c.policy, "1234");
      OpenedToken token(name.c_str());
      ASSERT_TRUE(token.ok);
      Shown<PinOperationModel> screen(variant);
      screen.effects.take();
      for (const std::wstring& pin : c.pins) {
        screen.model.OnEditChange(pin, true);
        screen.model.OnFieldKey(PinOperationModel::FieldKey::Enter);
      }
      const bool change = variant == D::CHANGE_TOKEN_PIN_DIALOG1;
      EXPECT_EQ(screen.effects.take(), change ? c.change : c.passcode);
      EXPECT_EQ(screen.model.message().str(), c.message);
      EXPECT_EQ(screen.model.continueEnabled(), c.continueEnabled);
      EXPECT_EQ(screen.model.fieldEnabled(), c.fieldEnabled);
      EXPECT_EQ(screen.effects.running(TimerId::kLockRecheck), !c.fieldEnabled);
      EXPECT_TRUE(screen.model.field().empty());
      // The change's first step forgets an earlier failure with each try.
      const bool failureShown = c.failureShown && !(change && c.deactivationShown);
      EXPECT_EQ(Shared().g_bPinFailureShown, failureShown);
      EXPECT_EQ(Shared().g_bDeactivationShown, c.deactivationShown);
      const bool kept = change && !c.change.empty();
      EXPECT_EQ(Shared().g_szCurrentPin.view(), kept ? L"1234" : L"");
      if (!change && !c.passcode.empty()) {
        EXPECT_FALSE(Shared().currentPasscode().empty());
      }
      // Back from the change's first step: to the list once a failure was shown.
      if (change) {
        screen.model.OnBnClickedCancelbtn();
        EXPECT_EQ(screen.effects.take(),
                  (std::vector<Posted>{
                      Cancelled(failureShown || c.deactivationShown ? Cancel::kToTokenList
                                                                    : Cancel::kBack),
                      Indicated(Indicator::kHideA)}));
      }
      screen.model.destroy();
      EXPECT_TRUE(Shared().g_szCurrentPin.empty());
    }
  }
}

// The lock-out counts its minutes down every 30 s; while it lasts the field and Continue are
// closed and the focus is on no control; when it ends the field is back, empty and focused.
TEST_F(PinScreensCoreTest, ALockOutIsCheckedAgainUntilItEnds) {
  for (const bool lockedBeforeOpening : {true, false}) {
    SCOPED_TRACE(lockedBeforeOpening ? "locked when the screen opens" : "locked here");
    const std::string name = lockedBeforeOpening ? "Before" : "Here";
    MakeActivatedToken(name, Policy(4, 0, 2), "1234");
    OpenedToken token(name.c_str());
    if (lockedBeforeOpening) {
      OV_ValidatePinA("9999");
      OV_ValidatePinA("9998");  // locked for 60 s
      env.clock.now += 60;
      OV_ValidatePinA("9997");  // locked for 120 s
      env.clock.now += 30;      // 90 s left
    }
    Shown<PinOperationModel> screen(D::ENTER_TOKEN_PIN_DIALOG);
    if (!lockedBeforeOpening) {
      for (const wchar_t* pin : {L"9999", L"9998"}) screen.model.OnBnClickedContinuebtn(pin);
      EXPECT_EQ(screen.model.focus(), Control::Screen);
      env.clock.now += 30;  // 30 s left
    }
    const int minutes = lockedBeforeOpening ? 2 : 1;
    EXPECT_EQ(screen.model.message().str(), S(203) + " " + S(206, minutes));
    EXPECT_EQ(screen.model.initialFocus(), Control::Screen);
    EXPECT_FALSE(screen.model.continueEnabled());
    ASSERT_TRUE(screen.effects.running(TimerId::kLockRecheck));
    EXPECT_EQ(screen.effects.timers[TimerId::kLockRecheck].milliseconds, 30000);
    // The focus timer of the showing leaves the closed field alone.
    const unsigned requests = screen.model.focusRequest();
    screen.model.fireTimer(TimerId::kFocus);
    EXPECT_EQ(screen.model.focusRequest(), requests);
    // Enter during the lock-out presses nothing.
    screen.effects.take();
    screen.model.OnEditChange(L"1234", true);
    EXPECT_TRUE(screen.model.OnFieldKey(PinOperationModel::FieldKey::Enter));
    EXPECT_TRUE(screen.effects.take().empty());
    if (lockedBeforeOpening) {
      env.clock.now += 60;  // 30 s left
      screen.model.fireTimer(TimerId::kLockRecheck);
      EXPECT_EQ(screen.model.message().str(), S(203) + " " + S(206, 1));
      EXPECT_FALSE(screen.model.fieldEnabled());
    }
    env.clock.now += 31;  // the lock is over
    screen.model.fireTimer(TimerId::kLockRecheck);
    EXPECT_TRUE(screen.model.fieldEnabled());
    EXPECT_TRUE(screen.model.continueEnabled());
    EXPECT_TRUE(screen.model.field().empty());
    EXPECT_EQ(screen.model.focus(), Control::Field);
    EXPECT_EQ(screen.model.message().str(), "");
    EXPECT_FALSE(screen.effects.running(TimerId::kLockRecheck));
    screen.model.OnBnClickedContinuebtn(L"1234");
    EXPECT_EQ(screen.effects.take(),
              (std::vector<Posted>{Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}));
  }
}

// The screen serves one token after another: a deactivation shown for one does not close
// Continue for the next.
TEST_F(PinScreensCoreTest, ADeactivationIsForgottenForTheNextToken) {
  MakeActivatedToken("Doomed", Policy(4, 3, 0), "1234");
  MakeActivatedToken("Guarded", kPinPolicy, "1234");
  Shown<PinOperationModel> screen(D::ENTER_TOKEN_PIN_DIALOG);
  {
    OpenedToken token("Doomed");
    screen.model.destroy();
    screen.model.create();
    for (const wchar_t* pin : {L"9999", L"9998", L"9997"}) screen.model.OnBnClickedContinuebtn(pin);
    ASSERT_EQ(screen.model.message().str(), S(162));
    ASSERT_FALSE(screen.model.continueEnabled());
  }
  screen.model.destroy();
  OpenedToken token("Guarded");
  screen.model.create();
  EXPECT_TRUE(screen.model.continueEnabled());
  EXPECT_EQ(screen.model.message().str(), "");
  EXPECT_FALSE(Shared().g_bDeactivationShown);
}

// A PIN used too often must be changed: the right PIN leads to the new PIN with the current one
// kept, and leaving the change then goes to the list.
TEST_F(PinScreensCoreTest, TheForcedPinChange) {
  MakeActivatedToken("Counted", Formulate({{"mode", 0}, {"pinlen", 4}, {"pinusechanges", 128}}),
                     "1234");
  OpenedToken token("Counted");
  int32_t result = OV_OK;
  for (int guard = 0; guard < 300 && (result = OV_ValidatePinA("1234")) == OV_OK; ++guard) {
  }
  ASSERT_EQ(result, OV_ERR_CHANGE_PIN_REQUIRED);
  {
    Shown<PinOperationModel> screen(D::ENTER_TOKEN_PIN_DIALOG);
    screen.effects.take();
    screen.model.OnBnClickedContinuebtn(L"1234");
    EXPECT_EQ(screen.effects.take(), (std::vector<Posted>{Continued(Continue::kChangePinNew),
                                                          Indicated(Indicator::kShowA)}));
    EXPECT_TRUE(Shared().g_bChangePinRequired);
    EXPECT_EQ(Shared().g_szCurrentPin.view(), L"1234");
  }
  for (const int variant : {D::CHANGE_TOKEN_PIN_DIALOG2, D::CHANGE_TOKEN_PIN_DIALOG3}) {
    Shared().g_bChangePinRequired = true;
    Shown<PinOperationModel> screen(variant);
    screen.effects.take();
    screen.model.OnBnClickedCancelbtn();
    EXPECT_EQ(screen.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}));
    EXPECT_FALSE(Shared().g_bChangePinRequired);
  }
}

// Setting the PIN of a new token: its rule, the refused PINs, the confirmation and its mismatch.
TEST_F(PinScreensCoreTest, SettingThePinOfANewToken) {
  MakeInstalledToken("Fresh");
  OpenedToken token("Fresh");
  char code[OV_ACTIVATION_CODE_SIZE] = {};
  ASSERT_EQ(OV_GenerateActivationCodeA(kPinPolicy.c_str(), code), OV_OK);
  Shared().setActivationCode(L"1234-5678");
  Shown<PinOperationModel> screen(D::SET_TOKEN_PIN);
  EXPECT_EQ(screen.effects.take(),
            (std::vector<Posted>{Indicated(Indicator::kHideBack), Indicated(Indicator::kShowA)}));
  EXPECT_TRUE(screen.model.masked());
  EXPECT_EQ(screen.model.maxLength(), 4);
  EXPECT_TRUE(screen.model.hintVisible());
  EXPECT_EQ(screen.model.hint().numbers, std::vector<int>{4});  // the rule with its length
  for (const wchar_t* refused : {L"", L"12", L"12345"}) {
    SCOPED_TRACE(ToUtf8(refused));
    screen.model.OnEditChange(refused, true);
    screen.model.OnBnClickedContinuebtn(refused);
    EXPECT_EQ(screen.model.message().str(), S(165));
    EXPECT_TRUE(screen.model.field().empty());
    EXPECT_TRUE(screen.effects.take().empty());
    EXPECT_TRUE(Shared().g_szNewPin.empty());
  }
  screen.model.OnBnClickedContinuebtn(L"2580");
  EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Continued(Continue::kConfirmSetPin)});
  EXPECT_EQ(Shared().g_szNewPin.view(), L"2580");

  Shown<PinOperationModel> confirm(D::CONFIRM_SET_TOKEN_PIN);
  confirm.effects.take();
  confirm.model.OnBnClickedContinuebtn(L"2581");
  EXPECT_EQ(confirm.effects.take(),
            (std::vector<Posted>{Cancelled(Cancel::kPinMismatch), Indicated(Indicator::kShowA)}));
  EXPECT_EQ(OpenTokenState(), PENDING_PIN_STATE);
  // The router goes back to the first step, which says why.
  screen.model.showErrorMessage();
  EXPECT_EQ(screen.model.message().str(), S(167));
  confirm.model.OnBnClickedContinuebtn(L"2580");
  EXPECT_EQ(confirm.effects.take(),
            (std::vector<Posted>{Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}));
  EXPECT_EQ(OpenTokenState(), ACTIVATED_STATE);
  EXPECT_TRUE(Shared().g_szNewPin.empty());
  EXPECT_FALSE(Shared().activationCodePending());
  EXPECT_FALSE(Shared().currentPasscode().empty());
}

// Cancel while setting a new token's PIN resets the token, after asking when an activation code
// handed out for it may be in use.
TEST_F(PinScreensCoreTest, CancellingThePinToSetResetsTheTokenAfterAsking) {
  for (const int variant : {D::SET_TOKEN_PIN, D::CONFIRM_SET_TOKEN_PIN}) {
    SCOPED_TRACE(variant);
    const std::string name = "Fresh" + std::to_string(variant);
    MakeInstalledToken(name);
    OpenedToken token(name.c_str());
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    ASSERT_EQ(OV_GenerateActivationCodeA(kPinPolicy.c_str(), code), OV_OK);
    Shared().setActivationCode(FromUtf8(code));
    Shown<PinOperationModel> screen(variant);
    screen.effects.take();
    screen.effects.answers = {false};
    screen.model.OnBnClickedCancelbtn();
    EXPECT_TRUE(screen.effects.take().empty());
    EXPECT_EQ(OpenTokenState(), PENDING_PIN_STATE);
    screen.model.OnBnClickedCancelbtn();  // Yes
    EXPECT_EQ(screen.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}));
    EXPECT_EQ(OpenTokenState(), INSTALLED_STATE);
    EXPECT_EQ(screen.effects.boxes.size(), 2u);
  }
}

// The new and repeated PIN of a change: what each input does, and that the token's PIN really
// changes.
TEST_F(PinScreensCoreTest, ChangingThePin) {
  MakeActivatedToken("Guarded", kPinPolicy, "1234");
  OpenedToken token("Guarded");
  ASSERT_EQ(OV_ValidatePinA("1234"), OV_OK);
  Shared().g_szCurrentPin.assign(L"1234");
  Shown<PinOperationModel> fresh(D::CHANGE_TOKEN_PIN_DIALOG2);
  fresh.effects.take();
  EXPECT_EQ(fresh.model.maxLength(), 4);
  EXPECT_TRUE(fresh.model.hintVisible());
  struct Case {
    const wchar_t* pin;
    std::string message;
  };
  const Case refused[] = {{L"", S(165)}, {L"567", S(165)}, {L"56789", S(165)}, {L"1234", S(172)}};
  for (const Case& c : refused) {
    SCOPED_TRACE(ToUtf8(c.pin));
    fresh.model.OnBnClickedContinuebtn(c.pin);
    EXPECT_EQ(fresh.model.message().str(), c.message);
    EXPECT_TRUE(fresh.model.field().empty());
    EXPECT_TRUE(fresh.effects.take().empty());
  }
  fresh.model.OnBnClickedContinuebtn(L"5678");
  EXPECT_EQ(fresh.effects.take(), (std::vector<Posted>{Continued(Continue::kChangePinConfirm),
                                                       Indicated(Indicator::kShowA)}));
  EXPECT_EQ(Shared().g_szChangedPin.view(), L"5678");

  Shown<PinOperationModel> repeated(D::CHANGE_TOKEN_PIN_DIALOG3);
  repeated.effects.take();
  repeated.model.OnBnClickedContinuebtn(L"56");
  EXPECT_EQ(repeated.model.message().str(), S(165));
  EXPECT_TRUE(repeated.effects.take().empty());
  repeated.model.OnBnClickedContinuebtn(L"5679");
  EXPECT_EQ(repeated.effects.take(), (std::vector<Posted>{Cancelled(Cancel::kChangePinMismatch),
                                                          Indicated(Indicator::kShowA)}));
  // Back one step, as the router does on a mismatch.
  fresh.model.showErrorMessage();
  EXPECT_EQ(fresh.model.message().str(), S(167));
  repeated.model.OnBnClickedContinuebtn(L"5678");
  EXPECT_EQ(repeated.effects.take(),
            (std::vector<Posted>{Continued(Continue::kPinChanged), Indicated(Indicator::kShowA)}));
  EXPECT_TRUE(Shared().g_szCurrentPin.empty());
  EXPECT_TRUE(Shared().g_szChangedPin.empty());
  EXPECT_EQ(OV_ValidatePinA("5678"), OV_OK);

  // Cancel goes back over the steps the change took.
  fresh.model.OnBnClickedCancelbtn();
  repeated.model.OnBnClickedCancelbtn();
  EXPECT_EQ(fresh.effects.take(),
            (std::vector<Posted>{Cancelled(Cancel::kBackTwo), Indicated(Indicator::kHideA)}));
  EXPECT_EQ(repeated.effects.take(),
            (std::vector<Posted>{Cancelled(Cancel::kBackThree), Indicated(Indicator::kHideA)}));
}

TEST_F(PinScreensCoreTest, TheChallenge) {
  MakeActivatedToken("Questions",
                     Formulate({{"mode", 2}, {"pinlen", 0}, {"pwdlen", 8}, {"challlen", 8}}));
  OpenedToken token("Questions");
  Shown<PinOperationModel> screen(D::ENTER_CHALLENGE_DIALOG);
  screen.effects.take();
  EXPECT_FALSE(screen.model.cancelVisible());
  EXPECT_FALSE(screen.model.masked());
  EXPECT_EQ(screen.model.continueText(), Text::Of(155));
  EXPECT_EQ(screen.model.maxLength(), 8);
  EXPECT_TRUE(screen.effects.running(TimerId::kFocus));
  struct Case {
    const wchar_t* challenge;
    std::string message;
  };
  const Case refused[] = {{L"", S(176)}, {L"1234", S(196, 8)}, {L"123456789", S(196, 8)}};
  for (const Case& c : refused) {
    SCOPED_TRACE(ToUtf8(c.challenge));
    screen.model.OnEditChange(c.challenge, true);
    screen.model.OnBnClickedContinuebtn(c.challenge);
    EXPECT_EQ(screen.model.message().str(), c.message);
    EXPECT_TRUE(screen.model.field().empty());
    EXPECT_TRUE(screen.effects.take().empty());
  }
  screen.model.OnBnClickedContinuebtn(L"12345678");
  EXPECT_EQ(screen.effects.take(),
            (std::vector<Posted>{Continued(Continue::kPasscode), Indicated(Indicator::kHideA)}));
  const std::wstring passcode(Shared().currentPasscode());
  EXPECT_EQ(passcode.size(), 8u);
  // The passcode answers this challenge.
  int32_t length = 0;
  ASSERT_EQ(OV_GenerateOtpA("12345678", 0, nullptr, &length), OV_OK);
  std::vector<char> expected(static_cast<std::size_t>(length) + 1, '\0');
  ASSERT_EQ(OV_GenerateOtpA("12345678", 0, expected.data(), &length), OV_OK);
  EXPECT_EQ(ToUtf8(passcode), std::string(expected.data()));
}

TEST_F(PinScreensCoreTest, RenamingTheToken) {
  MakeActivatedToken("Work", kEventPolicy);
  MakeActivatedToken("Home", kEventPolicy);
  OpenedToken token("Work");
  Shared().setPasscode(L"12345678");
  Shown<PinOperationModel> screen(D::CHANGE_TOKEN_NAME_DIALOG);
  screen.effects.take();
  EXPECT_EQ(screen.model.maxLength(), 256);
  struct Case {
    const wchar_t* name;
    std::string message;
    bool fieldKept;
  };
  const Case refused[] = {{L"", S(202), true}, {L"HOME", S(191), false}};
  for (const Case& c : refused) {
    SCOPED_TRACE(ToUtf8(c.name));
    screen.model.OnEditChange(c.name, true);
    screen.model.OnBnClickedContinuebtn(c.name);
    EXPECT_EQ(screen.model.message().str(), c.message);
    EXPECT_EQ(screen.model.field().view(), c.fieldKept ? std::wstring_view(c.name) : L"");
    EXPECT_TRUE(screen.effects.take().empty());
  }
  screen.model.OnBnClickedContinuebtn(L"Office");
  EXPECT_EQ(screen.effects.take(),
            (std::vector<Posted>{Continued(Continue::kRenamed), Indicated(Indicator::kShowA)}));
  EXPECT_EQ(Shared().g_szTokenName.view(), L"Office");
  // The passcode shown for the token stays its own under the new name.
  EXPECT_EQ(Shared().currentPasscode(), L"12345678");
  EXPECT_EQ(screen.model.field().view(), L"Office");  // a name is no secret
}

TEST_F(PinScreensCoreTest, ThePolicyStringGivesTheActivationCode) {
  MakeInstalledToken("Fresh");
  OpenedToken token("Fresh");
  Shown<PinOperationModel> screen(D::GET_TOKEN_POLICY);
  EXPECT_EQ(screen.model.hint(), Text::Of(184));
  screen.model.OnEditChange(L"12345", true);
  screen.model.OnBnClickedContinuebtn(L"12345");
  EXPECT_EQ(screen.model.message().str(), S(194));
  EXPECT_TRUE(screen.model.field().empty());
  screen.effects.take();
  const std::wstring policy = L"  " + FromUtf8(kEventPolicy) + L"\n";  // spaces around it
  screen.model.OnBnClickedContinuebtn(policy);
  EXPECT_EQ(screen.effects.take(), std::vector<Posted>{Continued(Continue::kActivationCode)});
  EXPECT_EQ(Shared().g_szActivationCode.view().size(), 23u);
  EXPECT_TRUE(Shared().activationCodePending());
}

// The enrollment-string screen: what it takes from the clipboard, and what Continue makes of a
// portal URL or an enrollment string.
TEST_F(PinScreensCoreTest, TheEnrollmentStringAndThePortalUrl) {
  MakeInstalledToken("Fresh");
  OpenedToken token("Fresh");
  const std::wstring enrollment = FromUtf8(
      Base64("EnrollmentURL=https://enroll.example/dskpp\r\nUserID=kelsa\r\nPassphrase=s3cret"));
  struct Offer {
    const char* name;
    std::wstring clipboard;
    bool taken;
  };
  const Offer offers[] = {{"an enrollment string", L" " + enrollment + L"\n", true},
                          {"unrelated text", L"my notes", false},
                          {"empty", L"", false}};
  for (const Offer& o : offers) {
    SCOPED_TRACE(o.name);
    Shared().g_szPrefilledPassword.assign(L"left over");
    RecordedEffects effects;
    effects.userClipboard = ToUtf8(o.clipboard);
    PinOperationModel model;
    model.setEffects(&effects);
    model.m_DialogType = D::ENTER_PORTAL_URL;
    model.create();
    EXPECT_TRUE(Shared().g_szPrefilledPassword.empty());
    EXPECT_EQ(model.field().view(), o.taken ? enrollment : L"https://");
    // Only an enrollment string leaves the clipboard; the user's own text stays.
    EXPECT_EQ(effects.userClipboard.empty(), o.taken || o.clipboard.empty());
    EXPECT_EQ(model.hintVisible(), o.taken);
    if (o.taken) {
      EXPECT_EQ(model.hint(), Text::Of(226));
    }
    model.setEffects(nullptr);
  }

  struct Input {
    const char* name;
    std::wstring text;
    std::wstring url;  // empty: refused with 169
  };
  const Input inputs[] = {
      {"the scheme alone", L"https://", L""},
      {"no https", L"http://enroll.example", L""},
      {"a URL", L"https://Enroll.Example:8443/DSKPP/Token?Id=A",
       L"https://enroll.example:8443/DSKPP/Token?Id=A"},
      {"an enrollment string", enrollment, L"https://enroll.example/dskpp"},
      {"an enrollment string for http",
       FromUtf8(Base64("EnrollmentURL=http://enroll.example/dskpp")), L""},
  };
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name);
    Shown<PinOperationModel> screen(D::ENTER_PORTAL_URL);
    screen.effects.take();
    screen.model.OnBnClickedContinuebtn(in.text);
    if (in.url.empty()) {
      EXPECT_EQ(screen.model.message().str(), S(169));
      EXPECT_EQ(screen.model.field().view(), L"https://");
      EXPECT_EQ(screen.model.focus(), Control::Field);
      EXPECT_TRUE(screen.effects.take().empty());
      continue;
    }
    EXPECT_EQ(screen.effects.take(), (std::vector<Posted>{Continued(Continue::kCredentials),
                                                          Indicated(Indicator::kShowA)}));
    EXPECT_EQ(Shared().g_szEnrollmentUrl.view(), in.url);
    const bool fromString = in.text == enrollment;
    EXPECT_EQ(Shared().g_szPrefilledUserId.view(), fromString ? L"kelsa" : L"");
    EXPECT_EQ(Shared().g_szPrefilledPassword.view(), fromString ? L"s3cret" : L"");
    Shared().g_szPrefilledUserId.clear();
    Shared().g_szPrefilledPassword.clear();
  }
}

// An enrollment string handed over at start-up is taken by the next showing and continued once
// the screen is shown; a hidden screen does not act on it.
TEST_F(PinScreensCoreTest, AHandedOverEnrollmentStringContinuesOnceShown) {
  MakeInstalledToken("Fresh");
  OpenedToken token("Fresh");
  const std::wstring enrollment = FromUtf8(Base64("EnrollmentURL=https://enroll.example/x"));
  const std::wstring copied = FromUtf8(Base64("EnrollmentURL=https://copied.example/y"));
  for (const bool hiddenFirst : {false, true}) {
    SCOPED_TRACE(hiddenFirst ? "hidden" : "shown");
    RecordedEffects effects;
    PinOperationModel model;
    model.setEffects(&effects);
    model.m_DialogType = D::ENTER_PORTAL_URL;
    model.setURLEnrollmentString(enrollment);
    effects.userClipboard = ToUtf8(copied);
    model.create();
    EXPECT_EQ(model.field().view(), enrollment);
    ASSERT_TRUE(effects.running(PinOperationModel::kContinueNowTimer));
    EXPECT_EQ(effects.timers[PinOperationModel::kContinueNowTimer].milliseconds, 0);
    effects.take();
    model.show(!hiddenFirst);
    if (hiddenFirst) {
      EXPECT_FALSE(effects.running(PinOperationModel::kContinueNowTimer));
    } else {
      model.fireTimer(PinOperationModel::kContinueNowTimer);
      EXPECT_EQ(effects.take(), (std::vector<Posted>{Continued(Continue::kCredentials),
                                                     Indicated(Indicator::kShowA)}));
      EXPECT_EQ(Shared().g_szEnrollmentUrl.view(), L"https://enroll.example/x");
    }
    // Taken once: the next showing takes what the clipboard holds.
    model.destroy();
    model.create();
    EXPECT_EQ(model.field().view(), copied);
    model.setEffects(nullptr);
  }
}

// A PIN leaves the field once Continue or Cancel used it, refused or not, and the PINs a screen
// handed on end when the screen goes.
TEST_F(PinScreensCoreTest, PinsAreWipedWhenUsedAndWhenTheScreenGoes) {
  MakeActivatedToken("Guarded", kPinPolicy, "1234");
  OpenedToken token("Guarded");
  struct Case {
    int variant;
    SecretText SharedValues::*handedOn;
  };
  const Case cases[] = {{D::ENTER_TOKEN_PIN_DIALOG, &SharedValues::g_szCurrentPin},
                        {D::CHANGE_TOKEN_PIN_DIALOG1, &SharedValues::g_szCurrentPin},
                        {D::SET_TOKEN_PIN, &SharedValues::g_szNewPin},
                        {D::CHANGE_TOKEN_PIN_DIALOG2, &SharedValues::g_szChangedPin}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    Shown<PinOperationModel> screen(c.variant);
    EXPECT_TRUE(screen.model.masked());
    screen.model.OnEditChange(L"56", true);
    screen.model.OnBnClickedCancelbtn();
    EXPECT_TRUE(screen.model.field().empty());
    screen.model.OnEditChange(L"12", true);
    (Shared().*c.handedOn).assign(L"4321");
    screen.model.destroy();
    EXPECT_TRUE(screen.model.field().empty());
    EXPECT_TRUE((Shared().*c.handedOn).empty());
  }
  // A masked field is emptied after every Continue, whatever became of the PIN.
  Shown<PinOperationModel> confirm(D::CHANGE_TOKEN_PIN_DIALOG3);
  Shared().g_szChangedPin.assign(L"5678");
  confirm.model.OnEditChange(L"5679", true);
  confirm.model.OnBnClickedContinuebtn(L"5679");
  EXPECT_TRUE(confirm.model.field().empty());
  // After a return to the screen the field starts empty.
  confirm.model.OnEditChange(L"56", true);
  confirm.model.ResetForReentry();
  EXPECT_TRUE(confirm.model.field().empty());
  EXPECT_TRUE(confirm.model.message().empty());
}

// Only the variants a user may walk away from count inactivity; typing and the arrows restart the
// count, and its end goes back to the list.
TEST_F(PinScreensCoreTest, Inactivity) {
  MakeActivatedToken("Guarded", kPinPolicy, "1234");
  OpenedToken token("Guarded");
  struct Case {
    int variant;
    bool counts;
  };
  const Case cases[] = {
      {D::CHANGE_TOKEN_PIN_DIALOG1, true}, {D::CHANGE_TOKEN_PIN_DIALOG2, true},
      {D::CHANGE_TOKEN_PIN_DIALOG3, true}, {D::CHANGE_TOKEN_NAME_DIALOG, true},
      {D::ENTER_CHALLENGE_DIALOG, true},   {D::ENTER_TOKEN_PIN_DIALOG, false},
      {D::SET_TOKEN_PIN, false},           {D::CONFIRM_SET_TOKEN_PIN, false},
      {D::GET_TOKEN_POLICY, false},        {D::ENTER_PORTAL_URL, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    Shown<PinOperationModel> screen(c.variant);
    EXPECT_EQ(screen.effects.running(TimerId::kInactivity), c.counts);
    if (!c.counts) continue;
    screen.effects.cancelTimer(TimerId::kInactivity);
    screen.model.OnEditChange(L"1", true);
    EXPECT_TRUE(screen.effects.running(TimerId::kInactivity));
    screen.effects.cancelTimer(TimerId::kInactivity);
    screen.model.OnEditChange(L"12", false);  // not typed: no activity
    EXPECT_FALSE(screen.effects.running(TimerId::kInactivity));
    EXPECT_FALSE(screen.model.OnFieldKey(PinOperationModel::FieldKey::Arrow));
    EXPECT_TRUE(screen.effects.running(TimerId::kInactivity));
    screen.effects.take();
    screen.model.fireTimer(TimerId::kInactivity);
    EXPECT_EQ(screen.effects.take(),
              (std::vector<Posted>{Cancelled(Cancel::kToTokenList), Indicated(Indicator::kHideA)}));
    EXPECT_TRUE(screen.effects.timers.empty());
  }
}

// Escape is Cancel where the screen has one; the challenge has none, and Escape does nothing.
TEST_F(PinScreensCoreTest, EscapeIsCancelWhereThereIsOne) {
  MakeActivatedToken("Guarded", kPinPolicy, "1234");
  OpenedToken token("Guarded");
  Shown<PinOperationModel> name(D::CHANGE_TOKEN_NAME_DIALOG);
  name.effects.take();
  EXPECT_TRUE(name.model.OnEscape());
  EXPECT_EQ(name.effects.take(),
            (std::vector<Posted>{Cancelled(Cancel::kBack), Indicated(Indicator::kHideA)}));
  Shown<PinOperationModel> challenge(D::ENTER_CHALLENGE_DIALOG);
  challenge.effects.take();
  EXPECT_TRUE(challenge.model.OnEscape());
  EXPECT_TRUE(challenge.effects.take().empty());
}

}  // namespace
