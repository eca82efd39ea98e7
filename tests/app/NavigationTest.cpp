// The main window as router: every continue and cancel code from the window's own tables, Back's
// rules, the first screen for each kind of token store, and the keyboard.
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/qt/MainWindow.h"
#include "app/core/Navigation.h"
#include "app/qt/Strings.h"
#include "app/qt/screens/RHGenericChildDialog.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "support/TokenFixtures.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;
using ov::test::Drain;

class NavigationTest : public QObject, protected ov::test::WindowDriver {
  Q_OBJECT

  QAbstractButton* back() const { return window->findChild<QAbstractButton*>("backButton"); }
  QString title() const { return window->findChild<QLabel*>("titleLabel")->text(); }
  bool indicatorShown(const char* name) const {
    return window->findChild<QLabel*>(name)->isVisible();
  }
  // Two event tokens, the window on the list, "Alpha" open with a passcode.
  void openAlphaOverTheList() {
    ov::test::MakeActivatedToken("Alpha", ov::test::kEventPolicy);
    ov::test::MakeActivatedToken("Beta", ov::test::kEventPolicy);
    openWindow();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QCOMPARE(OV_CreateInstanceW(L"Alpha", 0), OV_OK);
    Shared().setTokenName(L"Alpha");
    QCOMPARE(window->screenFor(Continue::kPasscode)->GenerateOTP(nullptr, nullptr), 0);
  }

 private slots:
  void init() {
    begin();
    QCOMPARE(env->initialized, OV_OK);
  }
  void cleanup() { end(); }

  void continueCodes_data() {
    QTest::addColumn<int>("code");
    for (const ContinueRoute& route : ContinueRoutes()) {
      QTest::newRow(QByteArray::number(route.code).constData()) << route.code;
    }
  }
  void continueCodes() {
    QFETCH(int, code);
    openAlphaOverTheList();
    RHGenericChildDialog* list = window->getActiveChildDlg();
    post(WM_CONTINUE_MSG, code);
    const ContinueRoute& route =
        *std::find_if(ContinueRoutes().begin(), ContinueRoutes().end(),
                      [code](const ContinueRoute& r) { return r.code == code; });
    RHGenericChildDialog* screen = window->screenFor(code);
    if (screen == nullptr) {
      // A screen this build does not have shows nothing new.
      QCOMPARE(window->getActiveChildDlg(), list);
      QCOMPARE(window->stackDepth(), 0);
      return;
    }
    QCOMPARE(window->getActiveChildDlg(), screen);
    QVERIFY(screen->isVisible());
    if (auto* pair = dynamic_cast<DualDialogWrapper*>(screen)) {
      QCOMPARE(pair->first()->m_DialogType, route.dialogType);
      QCOMPARE(pair->second()->m_DialogType, route.sideBar);
      QVERIFY(pair->first()->isVisible() && pair->second()->isVisible());
    } else {
      QCOMPARE(screen->m_DialogType, route.dialogType);
    }
    const bool listMode = route.effects & kBackListMode;
    // A new token's PIN is set or cancelled, never left with Back: those screens hide it.
    const bool hidesBack = code == Continue::kSetPin || code == Continue::kConfirmSetPin;
    QCOMPARE(back()->isVisible(), !hidesBack && (listMode || !(route.effects & kBackHidden)));
    QCOMPARE(window->isBackListMode(), listMode);
    QCOMPARE(back()->text(), Str(listMode ? 182 : 181));
    QCOMPARE(title(),
             route.effects & kDefaultTitle ? QStringLiteral("Orvanti") : QStringLiteral("Alpha"));
    QCOMPARE(window->stackDepth(), route.effects & kStackCleared ? 0 : 1);
    QVERIFY(exits.isEmpty());
  }

  void cancelCodes_data() {
    QTest::addColumn<int>("code");
    for (const CancelRoute& route : CancelRoutes()) {
      QTest::newRow(QByteArray::number(route.code).constData()) << route.code;
    }
    QTest::newRow("99, no action") << 99;
  }
  void cancelCodes() {
    QFETCH(int, code);
    openAlphaOverTheList();
    const int path[] = {Continue::kApplicationInfo, Continue::kRenamed,
                        Continue::kDeactivateConfirm, Continue::kDeleteConfirm};
    std::vector<RHGenericChildDialog*> screens = {window->getActiveChildDlg()};
    for (int step : path) {
      post(WM_CONTINUE_MSG, step);
      screens.push_back(window->getActiveChildDlg());
    }
    QCOMPARE(window->stackDepth(), 4);
    post(WM_CANCEL_MSG, code);

    const auto found = std::find_if(CancelRoutes().begin(), CancelRoutes().end(),
                                    [code](const CancelRoute& r) { return r.code == code; });
    if (found == CancelRoutes().end()) {
      QCOMPARE(window->getActiveChildDlg(), screens.back());
      QCOMPARE(window->stackDepth(), 4);
      return;
    }
    const CancelRoute& route = *found;
    switch (route.action) {
      case CancelAction::PopAndShow:
        QCOMPARE(window->stackDepth(), 4 - route.count);
        QCOMPARE(window->getActiveChildDlg(), screens[static_cast<std::size_t>(4 - route.count)]);
        QVERIFY(window->getActiveChildDlg()->isVisible());
        QVERIFY(!screens.back()->isVisible());
        break;
      case CancelAction::EnrollmentMethod:
        QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
        QCOMPARE(window->stackDepth(), 0);
        QVERIFY(window->isBackListMode());
        for (std::size_t i = 1; i < screens.size(); ++i) QVERIFY(!screens[i]->isCreated());
        break;
      case CancelAction::PopShowPinMismatch:
      case CancelAction::PopShowPinRefused:
      case CancelAction::PopShowSoftPinReset:
      case CancelAction::PopShowReset:
        QCOMPARE(window->stackDepth(), 3);
        QCOMPARE(window->getActiveChildDlg(), screens[3]);
        QVERIFY(screens[3]->isVisible());
        break;
      case CancelAction::Exit:
      case CancelAction::ExitOnSingleToken:
        QCOMPARE(exits, QList<int>{0});
        QVERIFY(env->boxes.isEmpty());
        QCOMPARE(window->getActiveChildDlg(), nullptr);
        break;
      case CancelAction::Abort:
        QCOMPARE(exits, QList<int>{1});
        QCOMPARE(env->boxes, QStringList{Str(213)});
        QVERIFY(Shared().g_szTokenName.empty());
        break;
      case CancelAction::ReturnToList:
        QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
        QVERIFY(window->getActiveChildDlg()->isVisible());
        QCOMPARE(window->stackDepth(), 0);
        QCOMPARE(title(), QStringLiteral("Orvanti"));
        QCOMPARE(OV_ReleaseInstance(), OV_ERR_NO_INSTANCE);  // the list closed the token
        break;
      case CancelAction::ClearToWelcome:
        QCOMPARE(window->activeScreenCode(), Continue::kWelcome);
        QCOMPARE(window->stackDepth(), 0);
        break;
    }
    if (route.back == 1) QVERIFY(back()->isVisible());
    if (route.back == 0) QVERIFY(!back()->isVisible());
    if (route.action != CancelAction::Exit && route.action != CancelAction::ExitOnSingleToken &&
        route.action != CancelAction::Abort) {
      QVERIFY(exits.isEmpty());
    }
  }

  void backDecision_data() {
    QTest::addColumn<bool>("listMode");
    QTest::addColumn<int>("active");
    QTest::addColumn<bool>("pinFailure");
    QTest::addColumn<bool>("deactivation");
    QTest::addColumn<bool>("changeRequired");
    QTest::addColumn<int>("step");
    const int two = static_cast<int>(BackStep::PopTwo);
    const int list = static_cast<int>(BackStep::ToList);
    const int one = static_cast<int>(BackStep::PopOne);
    QTest::newRow("new PIN of a change")
        << false << Continue::kChangePinNew << false << false << false << two;
    QTest::newRow("new PIN of a forced change")
        << false << Continue::kChangePinNew << false << false << true << list;
    QTest::newRow("list mode") << true << Continue::kPasscode << false << false << false << list;
    QTest::newRow("current PIN after a wrong PIN")
        << false << Continue::kChangePinCurrent << true << false << false << list;
    QTest::newRow("current PIN after deactivation")
        << false << Continue::kChangePinCurrent << false << true << false << list;
    QTest::newRow("current PIN, nothing shown")
        << false << Continue::kChangePinCurrent << false << false << false << one;
    QTest::newRow("token PIN entry")
        << false << Continue::kTokenPin << false << false << false << list;
    QTest::newRow("information") << false << Continue::kApplicationInfo << true << true << true
                                 << one;
  }
  void backDecision() {
    QFETCH(bool, listMode);
    QFETCH(int, active);
    QFETCH(bool, pinFailure);
    QFETCH(bool, deactivation);
    QFETCH(bool, changeRequired);
    QFETCH(int, step);
    const BackSituation situation{listMode, active, pinFailure, deactivation, changeRequired};
    QCOMPARE(static_cast<int>(DecideBack(situation)), step);
  }

  void backOnApplicationInfoHidesIndicatorBAndGoesBack() {
    openAlphaOverTheList();
    post(WM_CONTINUE_MSG, Continue::kApplicationInfo);
    post(WM_TITLE_INDICATOR_MSG, Indicator::kShowB);
    QVERIFY(indicatorShown("indicatorB"));
    back()->click();
    Drain();
    QVERIFY(!indicatorShown("indicatorB"));
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QCOMPARE(window->stackDepth(), 0);
    QVERIFY(!back()->isVisible());
  }

  void backOnActivationCodeResetsTheToken() {
    ov::test::MakeActivatedToken("Alpha", ov::test::kEventPolicy);
    ov::test::MakeInstalledToken("Fresh");
    openWindow();
    QCOMPARE(OV_CreateInstanceW(L"Fresh", 0), OV_OK);
    Shared().setTokenName(L"Fresh");
    std::wstring code(OV_ACTIVATION_CODE_SIZE, L'\0');
    QCOMPARE(OV_GenerateActivationCodeW(nullptr, code.data()), OV_OK);
    Shared().g_szActivationCode.assign(std::wstring_view(code.c_str()));
    QCOMPARE(ov::test::OpenTokenState(), int32_t{PENDING_PIN_STATE});
    post(WM_CONTINUE_MSG, Continue::kActivationCode);
    QCOMPARE(window->findChild<QLabel*>("code")->text(), QString::fromWCharArray(code.c_str()));
    back()->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QCOMPARE(OV_CreateInstanceW(L"Fresh", 0), OV_OK);
    QCOMPARE(ov::test::OpenTokenState(), int32_t{INSTALLED_STATE});
  }

  void backInListModeReturnsToTheList() {
    openAlphaOverTheList();
    post(WM_CONTINUE_MSG, Continue::kPasscode);
    post(WM_CONTINUE_MSG, Continue::kTokenInfo);
    QCOMPARE(window->stackDepth(), 1);
    QVERIFY(indicatorShown("indicatorB"));
    back()->click();  // token information → the passcode pair, whose Back is "List"
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QVERIFY(!indicatorShown("indicatorB"));
    QVERIFY(window->isBackListMode());
    back()->click();
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QVERIFY(!indicatorShown("indicatorA"));
  }

  void startScreen_data() {
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("backShown");
    QTest::newRow("no token: welcome") << QStringList{} << Continue::kWelcome << false;
    QTest::newRow("two tokens: the list")
        << QStringList{"event", "time"} << Continue::kTokenList << false;
    QTest::newRow("one not activated")
        << QStringList{"installed"} << Continue::kInactiveToken << true;
    QTest::newRow("one time token: its passcode")
        << QStringList{"time"} << Continue::kPasscode << true;
    QTest::newRow("one locked token: its PIN entry")
        << QStringList{"locked"} << Continue::kTokenPin << true;
  }
  void startScreen() {
    QFETCH(QStringList, tokens);
    QFETCH(int, screen);
    QFETCH(bool, backShown);
    for (const QString& kind : tokens) {
      if (kind == "event") ov::test::MakeActivatedToken("Event", ov::test::kEventPolicy);
      if (kind == "time") ov::test::MakeActivatedToken("Time", ov::test::kTimePolicy);
      if (kind == "installed") ov::test::MakeInstalledToken("Waiting");
      if (kind == "locked") {
        ov::test::MakeActivatedToken("Locked", ov::test::kPinPolicy, "1234");
        QCOMPARE(OV_CreateInstanceA("Locked", 0), OV_OK);
        QCOMPARE(OV_ValidatePinA("0000"), OV_ERR_INVALID_PIN);
        QCOMPARE(OV_ValidatePinA("0000"), OV_ERR_INVALID_PIN);
        QCOMPARE(OV_ValidatePinA("1234"), OV_ERR_TOKEN_LOCKED);
        OV_ReleaseInstance();
      }
    }
    openWindow();
    QCOMPARE(window->activeScreenCode(), screen);
    QVERIFY(window->getActiveChildDlg()->isVisible());
    QCOMPARE(back()->isVisible(), backShown);
    QVERIFY(exits.isEmpty());
    QVERIFY(env->boxes.isEmpty());
  }

  void startWithOneEventTokenShowsItsPasscode() {
    const auto key = ov::test::MakeActivatedToken("Solo", ov::test::kEventPolicy);
    openWindow();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(title(), QStringLiteral("Solo"));
    auto* code = window->getActiveChildDlg()->findChild<QLabel*>("code");
    QCOMPARE(code->text(), QString::fromStdString(ov::test::Hotp(key, 0, 8)));
    QCOMPARE(code->accessibleName(), code->text());
  }

  void multiHostTokenShowsItsModeAndIsRefusedPasscodes() {
    // Such tokens come only from older files; asking for a passcode must not end the application.
    QVERIFY(ov::test::MakeLegacyToken("Hosts", ACTIVATED_STATE, "1234",
                                      ov::test::Formulate({{"mode", 3}})));
    ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
    openWindow();
    QCOMPARE(OV_CreateInstanceW(L"Hosts", 0), OV_OK);
    QCOMPARE(OV_ValidatePinW(L"1234"), OV_OK);
    Shared().setTokenName(L"Hosts");
    QLabel label;
    QCOMPARE(window->screenFor(Continue::kPasscode)->GenerateOTP(nullptr, &label), kStrMultiHost);
    QCOMPARE(label.text(), Str(kStrMultiHostRefused));
    post(WM_CONTINUE_MSG, Continue::kTokenInfo);
    QCOMPARE(
        static_cast<QLabel*>(window->getActiveChildDlg()->findChild<QLabel*>("modeValue"))->text(),
        Str(200));
    QVERIFY(exits.isEmpty());
  }

  void tabCyclesThroughBackAndTheScreen() {
    openAlphaOverTheList();
    post(WM_CONTINUE_MSG, Continue::kDeleteConfirm);
    window->activateWindow();
    QWidget* backButton = back();
    QWidget* main = window->getActiveChildDlg()->findChild<QWidget*>("mainButton");
    QWidget* cancel = window->getActiveChildDlg()->findChild<QWidget*>("cancelButton");
    QWidget* menu = window->findChild<QWidget*>("menuButton");
    backButton->setFocus();
    const QList<QWidget*> forward = {main, cancel, menu, backButton, main};
    for (QWidget* expected : forward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), expected);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), backButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), main);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), backButton);
  }

  void escapeIsBackOnInformationAndPasscodeAndNeverCloses() {
    openAlphaOverTheList();
    post(WM_CONTINUE_MSG, Continue::kPasscode);
    post(WM_CONTINUE_MSG, Continue::kTokenInfo);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QVERIFY(window->isVisible());
    QVERIFY(exits.isEmpty());
  }

  void closingTheWindowEndsWithZeroAndWipesTheSharedValues() {
    openAlphaOverTheList();
    Shared().g_szCurrentPin.assign(std::wstring_view(L"1234"));
    window->close();
    Drain();
    QCOMPARE(exits, QList<int>{0});
    QVERIFY(Shared().g_szCurrentPin.empty());
    QVERIFY(Shared().g_szPasscode.empty());
  }

  // Quit is in the window menu and on Ctrl+Q, on any screen, and ends as closing does.
  void ctrlQQuitsAsClosingDoes() {
    openAlphaOverTheList();
    post(WM_CONTINUE_MSG, Continue::kTokenInfo);
    auto* quit = window->findChild<QAction*>("quitAction");
    QVERIFY(quit != nullptr);
    QCOMPARE(quit->text(), Str(kStrQuit));
    QCOMPARE(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    Shared().g_szCurrentPin.assign(std::wstring_view(L"1234"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
    Drain();
    QCOMPARE(exits, QList<int>{0});
    QVERIFY(Shared().g_szCurrentPin.empty());
  }

  void everyWidgetIsNamedAndEveryControlHasAnAccessibleName() {
    openAlphaOverTheList();
    for (const ContinueRoute& route : ContinueRoutes()) {
      if (window->screenFor(route.code) == nullptr) continue;
      post(WM_CONTINUE_MSG, route.code);
      for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        if (widget->objectName().startsWith("qt_")) continue;  // Qt's own parts of a control
        QVERIFY2(!widget->objectName().isEmpty(),
                 qPrintable(QString("unnamed %1 on screen %2")
                                .arg(widget->metaObject()->className())
                                .arg(route.code)));
        if (widget->focusPolicy() & Qt::TabFocus) {
          auto* button = qobject_cast<QAbstractButton*>(widget);
          const QString name = widget->accessibleName().isEmpty() && button != nullptr
                                   ? button->text()
                                   : widget->accessibleName();
          QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
        }
      }
      post(WM_CANCEL_MSG, Cancel::kToTokenList);
      QCOMPARE(OV_CreateInstanceW(L"Alpha", 0), OV_OK);
    }
  }
};

OV_APP_TEST_MAIN(NavigationTest)
#include "NavigationTest.moc"
