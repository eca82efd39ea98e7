// The token list, its side bar, token information and the confirmation screens, through the real
// library: what each shows, and what each does to the tokens.
#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/qt/MainWindow.h"
#include "app/core/Navigation.h"
#include "app/qt/SecretClipboard.h"
#include "app/qt/Strings.h"
#include "app/qt/screens/BlackPortionDialog.h"
#include "app/qt/screens/RHGenericChildDialog.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/widgets/CustomListCtrl.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "engine/PasscodeTime.h"
#include "support/TokenFixtures.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;
using ov::test::Drain;

class ScreensTest : public QObject, protected ov::test::WindowDriver {
  Q_OBJECT

  // The image index of each row, by token name.
  QMap<QString, int> images() const {
    QMap<QString, int> result;
    CustomListCtrl* control = list()->list();
    for (int row = 0; row < control->topLevelItemCount(); ++row) {
      QTreeWidgetItem* item = control->topLevelItem(row);
      result[item->text(0)] = item->data(0, TokenListDialog::kImageRole).toInt();
    }
    return result;
  }
  int rowOf(const QString& name) const {
    CustomListCtrl* control = list()->list();
    for (int row = 0; row < control->topLevelItemCount(); ++row) {
      if (control->topLevelItem(row)->text(0) == name) return row;
    }
    return -1;
  }
  QAbstractButton* button(const char* name) const { return visible<QAbstractButton>(name); }
  QString visibleText(const char* name) const {
    QLabel* label = visible<QLabel>(name);
    return label != nullptr ? label->text() : QString();
  }
  // Locks "Locked" (PIN 1234) with two wrong PINs; gives the seconds the lock-out lasts.
  int32_t lockToken() {
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

 private slots:
  void init() {
    begin();
    QCOMPARE(env->initialized, OV_OK);
  }
  void cleanup() { end(); }

  void listShowsNotActivatedAndLockedImages() {
    ov::test::MakeActivatedToken("Plain", ov::test::kEventPolicy);
    ov::test::MakeInstalledToken("Waiting");
    ov::test::MakeActivatedToken("Locked", ov::test::kPinPolicy, "1234");
    QVERIFY(lockToken() > 0);
    openWindow();
    const QMap<QString, int> expected{{"Plain", -1}, {"Waiting", 0}, {"Locked", 1}};
    QCOMPARE(images(), expected);
    CustomListCtrl* control = list()->list();
    QVERIFY(control->topLevelItem(rowOf("Locked"))
                ->data(0, Qt::AccessibleTextRole)
                .toString()
                .contains(Str(203)));
  }

  void listRefreshesItselfWhenTheLockEnds() {
    ov::test::MakeActivatedToken("Plain", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Locked", ov::test::kPinPolicy, "1234");
    const int32_t left = lockToken();
    QVERIFY(left > 0);
    openWindow();
    QCOMPARE(images()["Locked"], 1);
    QTimer* refresh = list()->findChild<QTimer*>("timer223");
    QVERIFY(refresh != nullptr && refresh->isActive());
    QCOMPARE(refresh->interval(), left * 1000);
    env->clock.now += left;
    refresh->start(1);  // the lock has run out by the test's clock: let the refresh come now
    QTRY_COMPARE(images()["Locked"], -1);
    QVERIFY(!refresh->isActive());
  }

  // Leaving the list stops its refresh; coming back (Back from the information, Cancel on a new
  // token's name) arms it again, so the lock image still goes when the lock ends.
  void listRefreshComesBackWithTheList_data() {
    QTest::addColumn<QString>("away");
    QTest::addColumn<QString>("back");
    QTest::newRow("application information, Back") << "infoButton"
                                                   << "backButton";
    QTest::newRow("Add, then Cancel") << "addRenameButton"
                                      << "cancelButton";
  }
  void listRefreshComesBackWithTheList() {
    QFETCH(QString, away);
    QFETCH(QString, back);
    ov::test::MakeActivatedToken("Plain", ov::test::kEventPolicy);  // two tokens: the list first
    ov::test::MakeActivatedToken("Locked", ov::test::kPinPolicy, "1234");
    const int32_t left = lockToken();
    QVERIFY(left > 0);
    openWindow();
    QVERIFY(button(qPrintable(away)) != nullptr);
    button(qPrintable(away))->click();
    Drain();
    QVERIFY(window->activeScreenCode() != Continue::kTokenList);
    QVERIFY(button(qPrintable(back)) != nullptr);
    button(qPrintable(back))->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QTimer* refresh = list()->findChild<QTimer*>("timer223");
    QVERIFY(refresh != nullptr && refresh->isActive());
    env->clock.now += left;
    refresh->start(1);
    QTRY_COMPARE(images()["Locked"], -1);
  }

  void tokensAreListedByNameIgnoringCase() {
    for (const char* name : {"delta", "Charlie", "bravo 2", "Echo", "alpha", "Bravo"}) {
      ov::test::MakeInstalledToken(name);
    }
    openWindow();
    QStringList names;
    CustomListCtrl* control = list()->list();
    for (int row = 0; row < control->topLevelItemCount(); ++row) {
      names << control->topLevelItem(row)->text(0);
    }
    QCOMPARE(names, (QStringList{"alpha", "Bravo", "bravo 2", "Charlie", "delta", "Echo"}));
  }

  // A stored name with a line break (older files did not check names) is shown escaped, in the
  // list and in the title, and still opens under its real name.
  void aStoredNameWithALineBreakIsShownEscapedAndStillOpens() {
    QVERIFY(ov::test::MakeOv3Token("Line\nBreak", "", INSTALLED_STATE));
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    QVERIFY2(images().contains("Line\\x0aBreak"), qPrintable(images().keys().join("|")));
    choose("Line\\x0aBreak");
    QCOMPARE(window->activeScreenCode(), Continue::kInactiveToken);
    QCOMPARE(ToQString(Shared().g_szTokenName), QStringLiteral("Line\nBreak"));
    QCOMPARE(window->findChild<QLabel*>("titleLabel")->accessibleName(),
             QStringLiteral("Line\\x0aBreak"));
  }

  void choosingATokenOpensItsScreen_data() {
    QTest::addColumn<QString>("token");
    QTest::addColumn<int>("screen");
    QTest::newRow("event token: passcode") << "Event" << Continue::kPasscode;
    QTest::newRow("not activated: inactive notice") << "Waiting" << Continue::kInactiveToken;
  }
  void choosingATokenOpensItsScreen() {
    QFETCH(QString, token);
    QFETCH(int, screen);
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeInstalledToken("Waiting");
    openWindow();
    choose(token);
    QCOMPARE(window->activeScreenCode(), screen);
    QCOMPARE(ToQString(Shared().g_szTokenName), token);
    QCOMPARE(window->findChild<QLabel*>("titleLabel")->text(), token);
  }

  void passcodesFollowTheCounterAndTheButtonWaitsFiveSeconds() {
    const auto key = ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Event");
    QCOMPARE(visibleText("code"), QString::fromStdString(ov::test::Hotp(key, 0, 8)));
    QAbstractButton* next = button("continueButton");
    QVERIFY(!next->isEnabled());
    auto* lock = window->getActiveChildDlg()->findChild<QTimer*>("timer222");
    QVERIFY(lock->isActive());
    QVERIFY(lock->interval() > 4000 && lock->interval() <= 5000);
    lock->start(1);
    QTRY_VERIFY(next->isEnabled());
    next->click();
    QCOMPARE(visibleText("code"), QString::fromStdString(ov::test::Hotp(key, 1, 8)));
    QVERIFY(!next->isEnabled());
    lock->start(1);
    QTRY_VERIFY(next->isEnabled());
    next->click();
    QCOMPARE(visibleText("code"), QString::fromStdString(ov::test::Hotp(key, 2, 8)));
  }

  void timeTokenCountsDownAndShowsTheNextStepsPasscode() {
    const auto key = ov::test::MakeActivatedToken("Time", ov::test::kTimePolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    const int64_t step = 25110506;
    env->clock.now = ov::kTimeStepBaseUnixSeconds + 30 * step + 20;  // 10 seconds left
    openWindow();
    choose("Time");
    QCOMPARE(visibleText("code"), QString::fromStdString(ov::test::Hotp(key, step, 6)));
    QCOMPARE(visibleText("secondsValue"), QStringLiteral("10"));
    env->clock.now += 3;
    QTRY_COMPARE(visibleText("secondsValue"), QStringLiteral("07"));
    env->clock.now += 7;  // the next step
    QTRY_COMPARE(visibleText("code"), QString::fromStdString(ov::test::Hotp(key, step + 1, 6)));
    QTRY_COMPARE(visibleText("secondsValue"), QStringLiteral("30"));
  }

  // The passcode copied with Ctrl+C or Copy: marked as a secret, and taken off the clipboard after
  // the delay, when the screen closes or the passcode expires, unless the user copied something
  // else since.
  void passcodeCopyLeavesTheClipboardInTime_data() {
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("after 30 seconds") << "delay" << true;
    QTest::newRow("something else copied since") << "other" << false;
    QTest::newRow("the screen closes") << "close" << true;
    QTest::newRow("the next time step") << "step" << true;
  }
  void passcodeCopyLeavesTheClipboardInTime() {
    QFETCH(QString, ending);
    QFETCH(bool, cleared);
    ov::test::MakeActivatedToken("Time", ov::test::kTimePolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    env->clock.now = ov::kTimeStepBaseUnixSeconds + 30 * 25110506 + 25;
    openWindow();
    choose("Time");
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QString passcode = visibleText("code");
    if (ending == "delay") {
      button("copyButton")->click();
    } else {
      QApplication::setActiveWindow(window.get());
      QVERIFY(QTest::qWaitForWindowActive(window.get()));
      QTest::keySequence(window.get(), QKeySequence::Copy);
    }
    QCOMPARE(clipboard->text(), passcode);
    QCOMPARE(clipboard->mimeData()->data("x-kde-passwordManagerHint"), QByteArray("secret"));
    QTimer* delay = SecretClipboard::Instance().timer();
    QVERIFY(delay->isActive());
    QCOMPARE(delay->interval(), 30000);
    if (ending == "delay") delay->start(1);
    if (ending == "other") {
      clipboard->setText("my own text");
      delay->start(1);
    }
    if (ending == "close") window->findChild<QAbstractButton*>("backButton")->click();
    if (ending == "step") env->clock.now += 5;
    QTest::qWait(ending == "step" ? 1500 : 50);
    Drain();
    QCOMPARE(clipboard->text(), cleared ? QString() : QStringLiteral("my own text"));
    QVERIFY(!SecretClipboard::Instance().holdsSecret());
  }

  // A passcode belongs to the token it was made for: choosing another token forgets it, so no
  // screen can show one token's passcode under another's name.
  void aPasscodeIsShownOnlyForItsOwnToken() {
    Shared().setTokenName(L"First");
    Shared().setPasscode(L"123456");
    QCOMPARE(QString::fromStdWString(std::wstring(Shared().currentPasscode())),
             QStringLiteral("123456"));
    Shared().setTokenName(L"Second");
    QVERIFY(Shared().currentPasscode().empty());
    Shared().setTokenName(L"First");
    QVERIFY(Shared().currentPasscode().empty());
    QVERIFY(Shared().g_szPasscode.empty());
  }

  void sideBarOffersWhatTheTokenAllows() {
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeInstalledToken("Waiting");
    openWindow();
    QVERIFY(button("infoButton") && button("addRenameButton"));
    QCOMPARE(button("addRenameButton")->accessibleName(), Str(104));
    QVERIFY(!button("deleteButton") && !button("deactivateButton") && !button("changePinButton"));
    choose("Event");
    QCOMPARE(button("addRenameButton")->accessibleName(), Str(193));
    QVERIFY(!button("changePinButton")->isEnabled());  // no PIN to change
    QVERIFY(button("deactivateButton")->isEnabled() && button("deleteButton")->isEnabled());
    window->findChild<QAbstractButton*>("backButton")->click();
    Drain();
    choose("Waiting");
    QVERIFY(!button("addRenameButton") && !button("changePinButton"));
    QVERIFY(!button("deactivateButton")->isEnabled());  // nothing to deactivate yet
    QVERIFY(button("deleteButton")->isEnabled());
  }

  void tokenInformationShowsTheTokensFacts() {
    ov::test::MakeActivatedToken("Time", ov::test::kTimePolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Time");
    button("infoButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenInfo);
    QCOMPARE(visibleText("modeValue"), Str(198));
    QCOMPARE(visibleText("policyValue"), QString::fromStdString(ov::test::kTimePolicy));
    QVERIFY(visibleText("levelValue").startsWith("Level "));
    QCOMPARE(visibleText("pinSetValue"), Str(208));
    QCOMPARE(visibleText("versionValue"), QStringLiteral(OV_APP_VERSION));
    // Captions and values alike are in the information grey.
    for (const char* name : {"modeLabel", "policyLabel", "levelLabel", "pinSetLabel",
                             "versionLabel", "modeValue", "policyValue"}) {
      QLabel* label = visible<QLabel>(name);
      QVERIFY2(label != nullptr, name);
      QVERIFY2(label->palette().color(QPalette::WindowText) == QColor(88, 89, 91), name);
    }
    QVERIFY(window->findChild<QLabel*>("indicatorB")->isVisible());
    auto* inactivity = window->getActiveChildDlg()->findChild<QTimer*>("timer221");
    QVERIFY(inactivity != nullptr && inactivity->isActive());
    QCOMPARE(inactivity->interval(), 60000);
    inactivity->start(1);  // a minute without activity: back to the list
    QTRY_COMPARE(window->activeScreenCode(), Continue::kTokenList);
    QVERIFY(!window->findChild<QLabel*>("indicatorB")->isVisible());
  }

  void thePinFieldTypesInTheValueGrey() {
    ov::test::MakeActivatedToken("Guarded", ov::test::kPinPolicy, "2580");
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Guarded");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenPin);
    QLineEdit* pin = visible<QLineEdit>("edit");
    QVERIFY(pin != nullptr);
    QCOMPARE(pin->palette().color(QPalette::Text), QColor(88, 89, 91));
  }

  void applicationInformationFromTheListShowsNoTokenRows() {
    ov::test::MakeActivatedToken("First", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Second", ov::test::kEventPolicy);
    openWindow();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QVERIFY(button("infoButton") != nullptr);
    button("infoButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kApplicationInfo);
    QVERIFY(visibleText("modeValue").isEmpty());
    QCOMPARE(visibleText("copyright"), Str(123));
    // No inactivity timer here: a hidden screen never sends the user anywhere.
    auto* inactivity = window->getActiveChildDlg()->findChild<QTimer*>("timer221");
    QVERIFY(inactivity == nullptr || !inactivity->isActive());
  }

  void deactivateSendsTheTokenBackToEnrollment() {
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Event");
    button("deactivateButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kDeactivateConfirm);
    QCOMPARE(visibleText("text"), Str(142));
    button("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
    QCOMPARE(ov::test::OpenTokenState(), int32_t{INSTALLED_STATE});
  }

  void deleteLeadsToTheListOrTheWelcome() {
    ov::test::MakeActivatedToken("First", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Second", ov::test::kEventPolicy);
    openWindow();
    choose("First");
    button("deleteButton")->click();
    Drain();
    QCOMPARE(visibleText("text"), Str(145));
    button("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QCOMPARE(images().keys(), QStringList{"Second"});
    choose("Second");
    button("deleteButton")->click();
    Drain();
    button("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kWelcome);
    QVERIFY(!window->findChild<QAbstractButton*>("backButton")->isVisible());
  }

  void failedDeactivationOrDeletionSaysSoAndStays_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("message");
    QTest::newRow("deactivate") << Continue::kDeactivateConfirm << kStrDeactivateFailed;
    QTest::newRow("delete") << Continue::kDeleteConfirm << kStrDeleteFailed;
  }
  void failedDeactivationOrDeletionSaysSoAndStays() {
    QFETCH(int, code);
    QFETCH(int, message);
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    choose("Event");
    QCoreApplication::postEvent(window.get(), new NavigationEvent(WM_CONTINUE_MSG, code));
    Drain();
    OV_ReleaseInstance();  // the library now refuses: no token is open
    button("mainButton")->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), code);
    QCOMPARE(visibleText("errorText"), Str(message));
    for (QTimer* timer : window->getActiveChildDlg()->findChildren<QTimer*>()) {
      QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
    }
    QVERIFY(exits.isEmpty());
  }

  void failingOpenShowsTheErrorAndStaysOnTheList() {
    ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    auto* shown = window->getActiveChildDlg();
    QCOMPARE(OV_Finalize(), OV_OK);  // from here on every open fails
    choose("Event");
    QCOMPARE(env->boxes, QStringList{Str(213)});
    QCOMPARE(window->getActiveChildDlg(), shown);
    QVERIFY(shown->isVisible());
    QVERIFY(exits.isEmpty());
  }

  void addButtonIsInertAtTenTokensOrMore_data() {
    QTest::addColumn<int>("tokens");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("9") << 9 << true;
    QTest::newRow("10") << 10 << false;
    QTest::newRow("11") << 11 << false;
  }
  void addButtonIsInertAtTenTokensOrMore() {
    QFETCH(int, tokens);
    QFETCH(bool, enabled);
    for (int i = 0; i < tokens; ++i) {
      ov::test::MakeInstalledToken("Token " + std::to_string(i));
    }
    // A copy of a token's file under another name is no token and takes no place in the limit.
    const std::filesystem::path folder = ov::GetFilePath(ov::kTokenFolderOv3);
    std::filesystem::copy_file(folder / (ov::OVEngineStore::GetFileName("Token 0") + ".tk3"),
                               folder / "copy-of-a-token.tk3");
    openWindow();
    QCOMPARE(images().size(), tokens);
    QCOMPARE(button("addRenameButton")->isEnabled(), enabled);
    auto* sideBar = static_cast<BlackPortionDialog*>(
        static_cast<DualDialogWrapper*>(window->getActiveChildDlg())->second());
    sideBar->OnBnClickedBlackDlgChangeTokenNameBtn();
    Drain();
    QCOMPARE(window->activeScreenCode(), enabled ? Continue::kTokenName : Continue::kTokenList);
  }
};

OV_APP_TEST_MAIN(ScreensTest)
#include "ScreensTest.moc"
