// The PIN screen in its variants, through the real library with the test's clock: the answers of
// the PIN check, lock-outs and their minutes, the PIN rules, setting and changing a PIN, renaming,
// challenges, and the enrollment-string screen with the clipboard.
#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/core/Navigation.h"
#include "app/qt/MainWindow.h"
#include "app/qt/Strings.h"
#include "app/qt/screens/PinOperationDialog.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/widgets/CustomListCtrl.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;
using ov::test::Drain;

namespace {

OVTokenInfoW HintRecord(const wchar_t* level, int length, bool trivial, bool trivialEx) {
  OVTokenInfoW info{};
  info.m_szTokenPolicyLevel = const_cast<wchar_t*>(level);
  info.m_nPinLength = length;
  info.m_bTrivialPinAllowed = trivial;
  info.m_bTrivialPinAllowedEx = trivialEx;
  return info;
}

}  // namespace

class PinScreensTest : public QObject, protected ov::test::WindowDriver {
  Q_OBJECT

  QString message() const { return visible<QLabel>("message")->text(); }
  QAbstractButton* continueButton() const { return visible<QAbstractButton>("continueButton"); }
  // Types into the screen's edit box and presses Enter.
  void type(const QString& text) {
    QLineEdit* edit = visible<QLineEdit>("edit");
    QVERIFY(edit != nullptr);
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    Drain();
  }
  std::string shownCode() const { return visible<QLabel>("code")->text().toStdString(); }

 private slots:
  void init() {
    begin();
    QCOMPARE(env->initialized, OV_OK);
  }
  void cleanup() { end(); }

  void pinHint_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("trivial");
    QTest::addColumn<bool>("trivialEx");
    QTest::addColumn<int>("string");
    QTest::newRow("level 4, trivial allowed") << "Level 4" << true << true << 185;
    QTest::newRow("level 4, not trivial") << "Level 4" << true << false << 225;
    QTest::newRow("level 5, no trivial PIN") << "Level 5" << false << true << 231;
    QTest::newRow("level 5, trivial, alphanumeric") << "Level 5" << true << true << 228;
    QTest::newRow("level 5, trivial, not alphanumeric") << "Level 5" << true << false << 229;
  }
  void pinHint() {
    QFETCH(QString, level);
    QFETCH(bool, trivial);
    QFETCH(bool, trivialEx);
    QFETCH(int, string);
    const std::wstring wide = level.toStdWString();
    QCOMPARE(Str(PinRuleHint(HintRecord(wide.c_str(), 6, trivial, trivialEx))), Str(string, 6));
  }

  void portalUrlKeepsTheCaseOfItsPath_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("host") << "https://Enroll.Example.COM"
                          << "https://enroll.example.com";
    QTest::newRow("path") << "https://Enroll.Example/DSKPP/Token?Id=A"
                          << "https://enroll.example/DSKPP/Token?Id=A";
    QTest::newRow("port") << "https://HOST:8443/Path"
                          << "https://host:8443/Path";
  }
  void portalUrlKeepsTheCaseOfItsPath() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(QString::fromStdWString(NormalisePortalUrl(typed.toStdWString())), stored);
  }

  // Each answer of the PIN check: the message shown, whether Continue still works, the flags the
  // Back button reads, and where the screen goes.
  void tokenPinAnswers_data() {
    QTest::addColumn<QString>("policy");
    QTest::addColumn<QStringList>("pins");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("continueEnabled");
    QTest::addColumn<bool>("failureFlag");
    QTest::addColumn<int>("screen");
    const QString tenAttempts = QString::fromStdString(
        ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 10}, {"attackdelay", 0}}));
    const QString lockOut = QString::fromStdString(
        ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 10}, {"attackdelay", 2}}));
    const QString threeAttempts = QString::fromStdString(
        ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 3}, {"attackdelay", 0}}));
    const QString unlimited = QString::fromStdString(
        ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 0}, {"attackdelay", 0}}));
    const QString attemptsWarning = Str(210, 10);
    QTest::newRow("right") << tenAttempts << QStringList{"1234"} << "" << true << false
                           << Continue::kPasscode;
    QTest::newRow("wrong, attempts left")
        << tenAttempts << QStringList{"9999"}
        << Str(209, 2, 10) + "\n" + Str(160) + "\n" + attemptsWarning << true << true
        << Continue::kTokenPin;
    QTest::newRow("third wrong") << tenAttempts << QStringList{"9999", "9998", "9997"}
                                 << Str(209, 4, 10) + "\n" + Str(160) + "\n" + attemptsWarning
                                 << true << true << Continue::kTokenPin;
    QTest::newRow("wrong without a limit")
        << unlimited << QStringList{"9999"} << Str(160) << true << true << Continue::kTokenPin;
    QTest::newRow("the wrong PIN that starts a lock-out")
        << lockOut << QStringList{"9999", "9998"}
        << Str(209, 3, 10) + " \n" + Str(203) + " " + Str(206, 1) + "\n" + attemptsWarning << false
        << true << Continue::kTokenPin;
    QTest::newRow("deactivated") << threeAttempts << QStringList{"9999", "9998", "9997"} << Str(162)
                                 << false << true << Continue::kTokenPin;
  }
  void tokenPinAnswers() {
    QFETCH(QString, policy);
    QFETCH(QStringList, pins);
    QFETCH(QString, expected);
    QFETCH(bool, continueEnabled);
    QFETCH(bool, failureFlag);
    QFETCH(int, screen);
    ov::test::MakeActivatedToken("Guarded", policy.toStdString(), "1234");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Guarded");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenPin);
    for (const QString& pin : pins) type(pin);
    QCOMPARE(window->activeScreenCode(), screen);
    if (screen == Continue::kTokenPin) {
      QCOMPARE(message(), expected);
      QCOMPARE(visible<QLabel>("message")->accessibleName(), expected);
      QCOMPARE(continueButton()->isEnabled(), continueEnabled);
      QVERIFY(visible<QLineEdit>("edit")->text().isEmpty());
    }
    QCOMPARE(Shared().g_bPinFailureShown, failureFlag);
    QCOMPARE(Shared().g_bDeactivationShown, expected == Str(162));
    QVERIFY(exits.isEmpty());
  }

  void pinChangeRequiredGoesToTheNewPin() {
    ov::test::MakeActivatedToken(
        "Counted", ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"pinusechanges", 128}}),
        "1234");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    int guard = 0;
    int32_t result = OV_OK;
    QCOMPARE(OV_CreateInstanceA("Counted", 0), OV_OK);
    while ((result = OV_ValidatePinA("1234")) == OV_OK && ++guard < 300) {
    }
    OV_ReleaseInstance();
    QCOMPARE(result, OV_ERR_CHANGE_PIN_REQUIRED);
    choose("Counted");
    type("1234");
    QCOMPARE(window->activeScreenCode(), Continue::kChangePinNew);
    QVERIFY(Shared().g_bChangePinRequired);
    type("5678");
    type("5678");
    QCOMPARE(window->activeScreenCode(), Continue::kPinChanged);
    visible<QAbstractButton>("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);  // straight on to the passcode
  }

  void lockOutMinutesCountDownAndContinueComesBack() {
    const std::string policy = ov::test::Formulate(
        {{"mode", 0}, {"pinlen", 4}, {"pwdlen", 8}, {"maxattacks", 0}, {"attackdelay", 2}});
    const auto key = ov::test::MakeActivatedToken("Guarded", policy, "1234");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    QCOMPARE(OV_CreateInstanceA("Guarded", 0), OV_OK);
    OV_ValidatePinA("9999");
    OV_ValidatePinA("9998");  // locked for 60 s
    env->clock.now += 60;
    OV_ValidatePinA("9997");  // locked for 120 s
    OV_ReleaseInstance();
    env->clock.now += 30;  // 90 s left
    openWindow();
    choose("Guarded");
    QCOMPARE(message(), Str(203) + " " + Str(206, 2));
    QVERIFY(!continueButton()->isEnabled());
    QTimer* recheck = window->getActiveChildDlg()->findChild<QTimer*>("timer224");
    QVERIFY(recheck != nullptr && recheck->isActive());
    QCOMPARE(recheck->interval(), 30000);
    env->clock.now += 60;  // 30 s left
    recheck->start(1);
    QTRY_COMPARE(message(), Str(203) + " " + Str(206, 1));
    QVERIFY(!continueButton()->isEnabled());
    env->clock.now += 30;  // the lock is over
    recheck->start(1);
    QTRY_VERIFY(continueButton()->isEnabled());
    QCOMPARE(message(), QString());
    type("1234");
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(shownCode(), ov::test::Hotp(key, 0, 8));
  }

  // While a token is locked its PIN field takes no keys: a PIN typed then would be sent as the
  // first try after the lock, fail, and lengthen it. When the lock ends the field is back, empty
  // and focused.
  void lockedFieldTakesNoKeysUntilTheLockEnds_data() {
    QTest::addColumn<bool>("lockedBeforeOpening");
    QTest::newRow("locked by the PINs typed here") << false;
    QTest::newRow("locked when the screen opens") << true;
  }
  void lockedFieldTakesNoKeysUntilTheLockEnds() {
    QFETCH(bool, lockedBeforeOpening);
    const std::string policy = ov::test::Formulate(
        {{"mode", 0}, {"pinlen", 4}, {"pwdlen", 8}, {"maxattacks", 0}, {"attackdelay", 2}});
    const auto key = ov::test::MakeActivatedToken("Guarded", policy, "1234");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    if (lockedBeforeOpening) {
      QCOMPARE(OV_CreateInstanceA("Guarded", 0), OV_OK);
      OV_ValidatePinA("9999");
      OV_ValidatePinA("9998");
      OV_ReleaseInstance();
    }
    openWindow();
    choose("Guarded");
    QLineEdit* edit = visible<QLineEdit>("edit");
    if (!lockedBeforeOpening) {
      type("9999");
      type("9998");  // locked for a minute
    }
    QVERIFY(!edit->isEnabled());
    QVERIFY(edit->text().isEmpty());
    // The keys typed meanwhile go nowhere: not into the field, and Enter presses nothing.
    QWidget* focus = window->focusWidget();
    QVERIFY(focus != nullptr);
    QTest::keyClicks(focus, "1234");
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClicks(edit, "1234");
    Drain();
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(window->activeScreenCode(), Continue::kTokenPin);
    env->clock.now += 61;  // the lock is over
    QTimer* recheck = window->getActiveChildDlg()->findChild<QTimer*>("timer224");
    recheck->start(1);
    QTRY_VERIFY(edit->isEnabled());
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(window->focusWidget(), edit);
    type("1234");
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(shownCode(), ov::test::Hotp(key, 0, 8));
  }

  // The PIN screen serves one token after another: a deactivation shown for one token does not
  // disable Continue for the next.
  void aDeactivatedTokenLeavesTheNextTokensPinWorking() {
    ov::test::MakeActivatedToken(
        "Doomed", ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 3}}), "1234");
    ov::test::MakeActivatedToken("Guarded", ov::test::kPinPolicy, "1234");
    openWindow();
    choose("Doomed");
    for (const char* pin : {"9999", "9998", "9997"}) type(pin);
    QCOMPARE(message(), Str(162));
    window->findChild<QAbstractButton*>("backButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    choose("Guarded");
    QVERIFY(continueButton()->isEnabled());
    QCOMPARE(message(), QString());
    type("1234");
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
  }

  // PINs typed into the PIN screens are wiped once they served, wrong ones and those of a flow
  // the user left, as right ones are.
  void pinsAreWipedWhenTheirScreensAreLeft_data() {
    QTest::addColumn<bool>("changeCancelled");
    QTest::newRow("a wrong token PIN, then the list") << false;
    QTest::newRow("a PIN change cancelled at its last step") << true;
  }
  void pinsAreWipedWhenTheirScreensAreLeft() {
    QFETCH(bool, changeCancelled);
    ov::test::MakeActivatedToken("Guarded", ov::test::kPinPolicy, "1234");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Guarded");
    if (changeCancelled) {
      type("1234");
      visible<QAbstractButton>("changePinButton")->click();
      Drain();
      type("1234");
      type("5678");
      QCOMPARE(window->activeScreenCode(), Continue::kChangePinConfirm);
      QTest::keyClicks(visible<QLineEdit>("edit"), "56");
      visible<QAbstractButton>("cancelButton")->click();
      Drain();
      QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    } else {
      type("9999");
      QCOMPARE(window->activeScreenCode(), Continue::kTokenPin);
      window->findChild<QAbstractButton*>("backButton")->click();
      Drain();
      QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    }
    QVERIFY(Shared().g_szCurrentPin.empty());
    QVERIFY(Shared().g_szChangedPin.empty());
    for (QLineEdit* edit : window->findChildren<QLineEdit*>("edit")) {
      QVERIFY2(edit->text().isEmpty(), qPrintable(edit->parentWidget()->objectName()));
    }
  }

  void settingAPinConfirmsItAndShowsThePasscode() {
    const std::string policy = ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"pwdlen", 6}});
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    ov::test::MakeInstalledToken("Fresh");
    openWindow();
    QCOMPARE(OV_CreateInstanceW(L"Fresh", 0), OV_OK);
    Shared().setTokenName(L"Fresh");
    char code[OV_ACTIVATION_CODE_SIZE] = {};
    QCOMPARE(OV_GenerateActivationCodeA(policy.c_str(), code), OV_OK);
    const auto key = ov::test::ActivationKey(code, policy);
    post(WM_CONTINUE_MSG, Continue::kSetPin);
    QVERIFY(visible<QLabel>("hint")->text().contains("4"));  // the PIN rule with its length
    QCOMPARE(visible<QLineEdit>("edit")->maxLength(), 4);
    QCOMPARE(visible<QLineEdit>("edit")->echoMode(), QLineEdit::Password);
    type("12");  // too short
    QCOMPARE(message(), Str(165));
    type("2580");
    QCOMPARE(window->activeScreenCode(), Continue::kConfirmSetPin);
    type("2581");  // not the same
    QCOMPARE(window->activeScreenCode(), Continue::kSetPin);
    QCOMPARE(message(), Str(167));
    type("2580");
    type("2580");
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(shownCode(), ov::test::Hotp(key, 0, 6));
    QVERIFY(Shared().g_szNewPin.empty());
  }

  void changingThePin() {
    const std::string policy =
        ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"maxattacks", 10}});
    ov::test::MakeActivatedToken("Guarded", policy, "1234");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Guarded");
    type("1234");
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    visible<QAbstractButton>("changePinButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kChangePinCurrent);
    type("4321");  // the wrong current PIN
    QCOMPARE(message(), Str(209, 2, 10) + "\n" + Str(160) + "\n" + Str(210, 10));
    type("1234");
    QCOMPARE(window->activeScreenCode(), Continue::kChangePinNew);
    type("1234");  // the same PIN again
    QCOMPARE(message(), Str(172));
    type("5678");
    QCOMPARE(window->activeScreenCode(), Continue::kChangePinConfirm);
    type("5679");
    QCOMPARE(window->activeScreenCode(), Continue::kChangePinNew);
    QCOMPARE(message(), Str(167));
    type("5678");
    type("5678");
    QCOMPARE(window->activeScreenCode(), Continue::kPinChanged);
    visible<QAbstractButton>("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QVERIFY(Shared().g_szCurrentPin.empty() && Shared().g_szChangedPin.empty());
    QCOMPARE(OV_ReleaseInstance(), OV_OK);
    QCOMPARE(OV_CreateInstanceA("Guarded", 0), OV_OK);
    QCOMPARE(OV_ValidatePinA("5678"), OV_OK);
  }

  void renamingTheToken() {
    const auto key = ov::test::MakeActivatedToken("Work", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Home", ov::test::kEventPolicy);
    openWindow();
    choose("Work");
    const std::string passcode = shownCode();
    visible<QAbstractButton>("addRenameButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kRenamePin);
    type("");
    QCOMPARE(message(), Str(202));
    type("HOME");  // another token's name in other letters
    QCOMPARE(message(), Str(191));
    type("Office");
    QCOMPARE(window->activeScreenCode(), Continue::kRenamed);
    QCOMPARE(window->findChild<QLabel*>("titleLabel")->text(), QStringLiteral("Office"));
    visible<QAbstractButton>("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(shownCode(), passcode);
    window->findChild<QAbstractButton*>("backButton")->click();
    Drain();
    QCOMPARE(OV_CreateInstanceA("Office", 0), OV_OK);
    QCOMPARE(ov::test::NextPasscode(), ov::test::Hotp(key, 1, 8));
  }

  void challengeEntryGivesTheOcraPasscode() {
    const std::string policy =
        ov::test::Formulate({{"mode", 2}, {"pinlen", 0}, {"pwdlen", 8}, {"challlen", 8}});
    const auto key = ov::test::MakeActivatedToken("Questions", policy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Questions");
    QCOMPARE(window->activeScreenCode(), Continue::kChallenge);
    QVERIFY(!visible<QAbstractButton>("cancelButton"));
    QCOMPARE(continueButton()->text(), Str(155));
    type("");
    QCOMPARE(message(), Str(176));
    QLineEdit* edit = visible<QLineEdit>("edit");
    QCOMPARE(edit->maxLength(), 8);
    type("1234");
    QCOMPARE(message(), Str(196, 8));
    type("12345678");
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(shownCode(), ov::test::Ocra(key, 8, 8, "12345678"));
    QCOMPARE(continueButton()->text(), Str(133));
    QTimer* lock = window->getActiveChildDlg()->findChild<QTimer*>("timer222");
    lock->start(1);
    QTRY_VERIFY(continueButton()->isEnabled());
    continueButton()->click();  // Next Challenge
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kChallenge);
    QCOMPARE(window->stackDepth(), 0);
    type("87654321");
    QCOMPARE(shownCode(), ov::test::Ocra(key, 8, 8, "87654321"));
  }

  void enrollmentStringScreenAndTheClipboard_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("clipboardKept");
    const QString enrollment = QString::fromLatin1(
        QByteArray("EnrollmentURL=https://enroll.example/dskpp\r\nPassphrase=s3cret").toBase64());
    QTest::newRow("an enrollment string") << enrollment << enrollment << false;
    QTest::newRow("unrelated text") << "my notes"
                                    << "https://" << true;
    QTest::newRow("empty") << ""
                           << "https://" << true;
  }
  void enrollmentStringScreenAndTheClipboard() {
    QFETCH(QString, clipboard);
    QFETCH(QString, shown);
    QFETCH(bool, clipboardKept);
    ov::test::MakeInstalledToken("Fresh");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    QGuiApplication::clipboard()->setText(clipboard);
    QCOMPARE(OV_CreateInstanceW(L"Fresh", 0), OV_OK);
    post(WM_CONTINUE_MSG, Continue::kPortalUrl);
    QLineEdit* edit = visible<QLineEdit>("edit");
    QCOMPARE(edit->text(), shown);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboardKept ? clipboard : QString());
    if (!clipboardKept) QCOMPARE(visible<QLabel>("hint")->text(), Str(226));
    QTest::keyClick(edit, Qt::Key_Return);
    Drain();
    if (clipboardKept) {
      QCOMPARE(message(), Str(169));  // "https://" alone is no URL
      QCOMPARE(edit->text(), QStringLiteral("https://"));
    } else {
      QCOMPARE(ToQString(Shared().g_szEnrollmentUrl),
               QStringLiteral("https://enroll.example/dskpp"));
      QCOMPARE(ToQString(Shared().g_szPrefilledPassword), QStringLiteral("s3cret"));
    }
  }

  void policyStringScreenGivesTheActivationCode() {
    ov::test::MakeInstalledToken("Fresh");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    QCOMPARE(OV_CreateInstanceW(L"Fresh", 0), OV_OK);
    post(WM_CONTINUE_MSG, Continue::kPolicyString);
    QCOMPARE(visible<QLabel>("hint")->text(), Str(184));
    type("12345");
    QCOMPARE(message(), Str(194));
    type(QString::fromStdString(ov::test::kEventPolicy));
    QCOMPARE(window->activeScreenCode(), Continue::kActivationCode);
    QCOMPARE(visible<QLabel>("code")->text(), ToQString(Shared().g_szActivationCode));
    QCOMPARE(visible<QLabel>("code")->text().size(), 23);
  }
};

OV_APP_TEST_MAIN(PinScreensTest)
#include "PinScreensTest.moc"
