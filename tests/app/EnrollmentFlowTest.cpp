// Whole flows from the first screen to a passcode, through the real library and the project's
// HTTPS enrollment server: manual enrollment, automatic enrollment for each kind of token, the
// soft PIN, failures, the worker thread, and a start with an enrollment string.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>

#include "app/core/EnrollmentWorker.h"
#include "app/qt/MainWindow.h"
#include "app/core/Navigation.h"
#include "app/qt/Strings.h"
#include "app/core/TokenRecords.h"
#include "app/qt/screens/RHGenericChildDialog.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/widgets/CustomListCtrl.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "engine/PasscodeTime.h"
#include "support/EnrollmentServer.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;
using ov::test::Drain;
using ov::test::EnrollmentServer;

namespace {

const std::string kPinPolicy = ov::test::Formulate({{"mode", 0}, {"pinlen", 4}, {"pwdlen", 6}});
const std::string kEventPolicy = ov::test::Formulate({{"mode", 0}, {"pinlen", 0}, {"pwdlen", 8}});
const std::string kTimePolicy =
    ov::test::Formulate({{"mode", 1}, {"pinlen", 0}, {"pwdlen", 6}, {"tstick", 30}});
const std::string kChallengePolicy =
    ov::test::Formulate({{"mode", 2}, {"pinlen", 0}, {"pwdlen", 8}, {"challlen", 8}});

std::string UsersJson() {
  auto user = [](const char* name, const std::string& policy, const char* extra = "") {
    return std::string("{\"user\": \"") + name + "\", \"password\": \"pw-" + name +
           "\", \"policy\": \"" + policy + "\", \"serial\": \"SN-" + name + "\"" + extra + "}";
  };
  return "[" + user("alice", kPinPolicy) + ", " + user("dave", kEventPolicy) + ", " +
         user("erin", kTimePolicy) + ", " + user("frank", kChallengePolicy) + ", " +
         user("bob", kEventPolicy,
              ", \"minlen\": \"4\", \"maxlen\": \"8\", \"alphanum\": \"true\"") +
         "]";
}

QString Base64Lines(const QString& lines) { return QString::fromLatin1(lines.toUtf8().toBase64()); }

}  // namespace

class EnrollmentFlowTest : public QObject, protected ov::test::WindowDriver {
  Q_OBJECT

  std::string users;

  std::unique_ptr<EnrollmentServer> startServer(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), {"--users", users});
    auto server = std::make_unique<EnrollmentServer>(arguments);
    if (server->Ok()) setenv("OV_ENROLL_CA_FILE", server->CaFile().c_str(), 1);
    return server;
  }
  void click(const char* name) {
    QAbstractButton* button = visible<QAbstractButton>(name);
    QVERIFY2(button != nullptr, name);
    button->click();
    Drain();
  }
  void fill(const char* name, const QString& text) {
    QLineEdit* edit = visible<QLineEdit>(name);
    QVERIFY2(edit != nullptr, name);
    edit->setText(text);
  }
  // Types into the screen's one edit box and presses Enter.
  void enter(const QString& text, const char* name = "edit") {
    QLineEdit* edit = visible<QLineEdit>(name);
    QVERIFY2(edit != nullptr, name);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    Drain();
  }
  // Waits for the enrollment's worker to report back.
  void waitForWorker() {
    QTRY_VERIFY_WITH_TIMEOUT(!window->getActiveChildDlg()->isBusy(), 30000);
    Drain();
  }
  QString text(const char* name) const {
    auto* label = visible<QLabel>(name);
    return label != nullptr ? label->text() : QString();
  }
  std::string shownCode() const { return text("code").toStdString(); }
  void newTokenToTheChoice() {
    QCOMPARE(window->activeScreenCode(), Continue::kWelcome);
    click("mainButton");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenName);
    QCOMPARE(visible<QLineEdit>("edit")->text(), QStringLiteral("Kelsa Orvanti"));
    click("activateButton");
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
  }
  // Token name, choice, URL and credentials of an automatic enrollment.
  void enrollAutomatically(const EnrollmentServer& server, const QString& user) {
    newTokenToTheChoice();
    click("autoButton");
    QCOMPARE(window->activeScreenCode(), Continue::kPortalUrl);
    enter(QString::fromStdString(server.Url()));
    QCOMPARE(window->activeScreenCode(), Continue::kCredentials);
    fill("firstEdit", user);
    fill("passwordEdit", "pw-" + user);
    click("continueButton");
    confirmServer(server, user);
  }
  // The question before the first connection: the host and the user ID, and nothing sent yet.
  void confirmServer(const EnrollmentServer& server, const QString& user) {
    QVERIFY(!window->getActiveChildDlg()->isBusy());
    QVERIFY(text("serverQuestion").contains(EnrollmentServer::Host()));
    QVERIFY(text("serverQuestion").contains(user));
    QVERIFY2(server.Events().empty(), "no request before the user confirms");
    QCOMPARE(QApplication::focusWidget(), visible<QAbstractButton>("cancelButton"));
    click("continueButton");
  }
  std::vector<uint8_t> provisionedKey(const EnrollmentServer& server) const {
    const auto provisioned = server.Events("provisioned");
    if (provisioned.empty()) return {};
    return ov::test::FromHex(EnrollmentServer::JsonValue(provisioned.back(), "k_token"));
  }
  int32_t tokenState(const char* name) {
    OV_ReleaseInstance();
    if (OV_CreateInstanceA(name, 0) != OV_OK) return 0;
    return ov::test::OpenTokenState();
  }

 private slots:
  void initTestCase() {
    setenv("no_proxy", "127.0.0.1", 1);
    setenv("NO_PROXY", "127.0.0.1", 1);
    const auto path = ov::test::PrivateHome::Root() / "enrollment-users.json";
    std::ofstream(path) << UsersJson();
    users = path.string();
  }
  void init() {
    begin();
    QCOMPARE(env->initialized, OV_OK);
    Shared().g_bShowEnrollmentChoiceText = true;
  }
  void cleanup() {
    end();
    unsetenv("OV_ENROLL_CA_FILE");
  }

  void manualEnrollmentFromTheWelcomeToThePasscode_data() {
    QTest::addColumn<QString>("policy");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<int>("digits");
    QTest::newRow("no PIN") << QString::fromStdString(kEventPolicy) << "" << 8;
    QTest::newRow("with a PIN") << QString::fromStdString(kPinPolicy) << "2580" << 6;
  }
  void manualEnrollmentFromTheWelcomeToThePasscode() {
    QFETCH(QString, policy);
    QFETCH(QString, pin);
    QFETCH(int, digits);
    openWindow();
    newTokenToTheChoice();
    QCOMPARE(text("text"), Str(147));
    click("manualButton");
    QCOMPARE(window->activeScreenCode(), Continue::kPolicyString);
    enter(policy);
    QCOMPARE(window->activeScreenCode(), Continue::kActivationCode);
    const std::string code = text("code").toStdString();
    const auto key = ov::test::ActivationKey(code, policy.toStdString());
    click("continueButton");
    if (!pin.isEmpty()) {
      QCOMPARE(window->activeScreenCode(), Continue::kSetPin);
      enter(pin);
      enter(pin);
    }
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    QCOMPARE(shownCode(), ov::test::Hotp(key, 0, digits));
    QCOMPARE(window->findChild<QLabel*>("titleLabel")->text(), QStringLiteral("Kelsa Orva..."));
  }

  void activateLaterThenActivateFromTheInactiveScreen() {
    openWindow();
    click("mainButton");
    enter("Spare");  // Enter on the name is Activate; go back and use Activate Later instead
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
    click("cancelButton");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    click("addRenameButton");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenName);
    QCOMPARE(visible<QLineEdit>("edit")->text(), QStringLiteral("Kelsa Orvanti"));
    fill("edit", "spare");
    click("activateLaterButton");
    QCOMPARE(text("errorText"), Str(191));  // "Spare" exists, in other letters
    fill("edit", "Later");
    click("activateLaterButton");
    QCOMPARE(window->activeScreenCode(), Continue::kTokenList);
    QCOMPARE(tokenState("Later"), int32_t{INSTALLED_STATE});
    OV_ReleaseInstance();
    choose("Later");
    QCOMPARE(window->activeScreenCode(), Continue::kInactiveToken);
    click("mainButton");  // Activate
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
    click("manualButton");
    enter(QString::fromStdString(kEventPolicy));
    const std::string code = text("code").toStdString();
    click("continueButton");
    QCOMPARE(shownCode(), ov::test::Hotp(ov::test::ActivationKey(code, kEventPolicy), 0, 8));
  }

  void automaticEnrollment_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QString>("challenge");
    QTest::addColumn<int>("digits");
    QTest::addColumn<bool>("timeBased");
    QTest::newRow("with a PIN") << "alice"
                                << "2580"
                                << "" << 6 << false;
    QTest::newRow("without a PIN") << "dave"
                                   << ""
                                   << "" << 8 << false;
    QTest::newRow("time-based") << "erin"
                                << ""
                                << "" << 6 << true;
    QTest::newRow("challenge-response") << "frank"
                                        << ""
                                        << "12345678" << 8 << false;
  }
  void automaticEnrollment() {
    QFETCH(QString, user);
    QFETCH(QString, pin);
    QFETCH(QString, challenge);
    QFETCH(int, digits);
    QFETCH(bool, timeBased);
    const auto server = startServer();
    QVERIFY2(server->Ok(), server->Error().c_str());
    const int64_t step = 25110506;
    env->clock.now = ov::kTimeStepBaseUnixSeconds + 30 * step + 5;
    openWindow();
    enrollAutomatically(*server, user);
    QVERIFY(!visible<QAbstractButton>("continueButton"));  // hidden while the worker runs
    waitForWorker();
    const auto key = provisionedKey(*server);
    QVERIFY(!key.empty());
    if (!pin.isEmpty()) {
      QCOMPARE(window->activeScreenCode(), Continue::kSetPin);
      enter(pin);
      enter(pin);
    }
    if (!challenge.isEmpty()) {
      QCOMPARE(window->activeScreenCode(), Continue::kChallenge);
      enter(challenge);
    }
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    const std::string expected = challenge.isEmpty()
                                     ? ov::test::Hotp(key, timeBased ? step : 0, digits)
                                     : ov::test::Ocra(key, digits, 8, challenge.toStdString());
    QCOMPARE(shownCode(), expected);
    QVERIFY(Shared().g_szPassword.empty());
  }

  void softPinRuleConfirmationAndCancel() {
    const auto server = startServer();
    QVERIFY2(server->Ok(), server->Error().c_str());
    openWindow();
    enrollAutomatically(*server, "bob");
    waitForWorker();
    QCOMPARE(window->activeScreenCode(), Continue::kSoftPin);
    QCOMPARE(text("softPinRule"), Str(216, 4, 8));
    QCOMPARE(visible<QLineEdit>("firstEdit")->maxLength(), 8);
    enter("abcd", "firstEdit");  // no digit, no capital
    QCOMPARE(text("errorText"), Str(171));
    enter("Abc1", "firstEdit");
    QCOMPARE(window->activeScreenCode(), Continue::kSoftPinConfirm);
    click("cancelButton");  // back to the soft PIN, emptied
    QCOMPARE(window->activeScreenCode(), Continue::kSoftPin);
    QVERIFY(visible<QLineEdit>("firstEdit")->text().isEmpty());
    enter("Abc1", "firstEdit");
    enter("Abc2", "firstEdit");  // not the same
    QCOMPARE(window->activeScreenCode(), Continue::kSoftPin);
    QCOMPARE(text("errorText"), Str(215));
    enter("Abc1", "firstEdit");
    enter("Abc1", "firstEdit");
    waitForWorker();
    QCOMPARE(window->activeScreenCode(), Continue::kPasscode);
    const auto provisioned = server->Events("provisioned");
    QCOMPARE(provisioned.size(), std::size_t{1});
    QCOMPARE(EnrollmentServer::JsonValue(provisioned[0], "soft_pin"), std::string("Abc1"));
    QCOMPARE(shownCode(), ov::test::Hotp(provisionedKey(*server), 0, 8));
    QVERIFY(Shared().g_szSoftPin.empty());
  }

  // After the soft PIN only success counts: a failing second exchange is a failed enrollment.
  void failureAfterTheSoftPinGoesBackToTheChoice() {
    const auto server = startServer({"--misbehave", "wrong-mac"});
    QVERIFY2(server->Ok(), server->Error().c_str());
    openWindow();
    enrollAutomatically(*server, "bob");
    waitForWorker();
    QCOMPARE(window->activeScreenCode(), Continue::kSoftPin);
    enter("Abc1", "firstEdit");
    enter("Abc1", "firstEdit");
    waitForWorker();
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
    QCOMPARE(text("text"), Str(603) + ' ' + Str(189));
    QCOMPARE(tokenState("Kelsa Orvanti"), int32_t{INSTALLED_STATE});
    QVERIFY(exits.isEmpty());
  }

  void failedEnrollmentShowsItsTextOnceAndChangesNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("reason");  // the string that names the kind of failure
    QTest::newRow("wrong password") << QStringList{} << "wrong" << 602;
    QTest::newRow("untrusted certificate")
        << QStringList{"--certificate", "untrusted"} << "pw-dave" << 601;
    QTest::newRow("server fault") << QStringList{"--misbehave", "wrong-mac"} << "pw-dave" << 603;
  }
  void failedEnrollmentShowsItsTextOnceAndChangesNothing() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(int, reason);
    std::vector<std::string> switches;
    for (const QString& a : arguments) switches.push_back(a.toStdString());
    const auto server = startServer(switches);
    QVERIFY2(server->Ok(), server->Error().c_str());
    openWindow();
    newTokenToTheChoice();
    click("autoButton");
    enter(QString::fromStdString(server->Url()));
    fill("firstEdit", "dave");
    fill("passwordEdit", password);
    click("continueButton");
    confirmServer(*server, "dave");
    waitForWorker();
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
    QCOMPARE(text("text"), Str(reason) + ' ' + Str(189));
    QCOMPARE(tokenState("Kelsa Orvanti"), int32_t{INSTALLED_STATE});
    QCOMPARE(CountTokens(), 1);
    QVERIFY(exits.isEmpty());
    // The failure is told once: the next showing has the usual text.
    OV_ReleaseInstance();
    QCOMPARE(OV_CreateInstanceA("Kelsa Orvanti", 0), OV_OK);
    click("autoButton");
    window->findChild<QAbstractButton*>("backButton")->click();
    Drain();
    QCOMPARE(text("text"), Str(147));
  }

  // While the server is asked the screen shows that it works; Cancel, Escape and closing the
  // window end the wait at once. The exchange finishes behind it, and the token it enrolled is
  // reset to where a failed enrollment leaves it.
  void theWaitForTheServerEndsAtOnce_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("closing the window") << "close";
  }
  void theWaitForTheServerEndsAtOnce() {
    QFETCH(QString, how);
    const auto server = startServer({"--misbehave", "slow-hello", "--delay", "1.5"});
    QVERIFY2(server->Ok(), server->Error().c_str());
    openWindow();
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(50);
    enrollAutomatically(*server, "dave");
    QVERIFY(window->getActiveChildDlg()->isBusy());
    QVERIFY(visible<QProgressBar>("enrollmentProgress") != nullptr);
    QCOMPARE(text("enrollmentStatus"), Str(kStrEnrolling));
    QTRY_VERIFY(ticks >= 5);  // the event loop serves meanwhile
    QElapsedTimer clock;
    clock.start();
    if (how == "cancel") {
      click("cancelButton");
    } else if (how == "escape") {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      Drain();
    } else {
      window->close();
      Drain();
    }
    QVERIFY(clock.elapsed() < 1000);
    if (how == "close") {
      QCOMPARE(exits, QList<int>{0});
    } else {
      QVERIFY(exits.isEmpty());
      QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
      QVERIFY(!visible<QAbstractButton>("manualButton")->isEnabled());  // the library is busy
    }
    QVERIFY(Shared().g_szPassword.empty());
    // The exchange ends behind the window, its result dropped and its token reset.
    QTRY_COMPARE_WITH_TIMEOUT(EnrollmentWorker::AbandonedRunning(), 0, 30000);
    QCOMPARE(server->Events("provisioned").size(), std::size_t{1});
    if (how != "close") {
      QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
      QTRY_VERIFY(visible<QAbstractButton>("manualButton")->isEnabled());
    }
    QCOMPARE(tokenState("Kelsa Orvanti"), int32_t{INSTALLED_STATE});
  }

  // A string from a link, the clipboard or typing names the server; nothing reaches it before
  // the user agrees, and a host beyond ASCII is shown in its ASCII form.
  void aLinkNamesItsServerBeforeAnyConnection() {
    const auto server = startServer();
    QVERIFY2(server->Ok(), server->Error().c_str());
    ov::test::MakeActivatedToken("Existing", kEventPolicy);
    openWindow(Base64Lines(QStringLiteral("EnrollmentURL=%1\r\nUserID=dave\r\nPassphrase=pw-dave")
                               .arg(QString::fromStdString(server->Url()))));
    click("activateButton");
    QCOMPARE(window->activeScreenCode(), Continue::kCredentials);
    QTest::qWait(300);  // time enough for a request, were one sent
    QVERIFY(server->Events().empty());
    QCOMPARE(text("serverQuestion"),
             Str(kStrEnrollmentServerQuestion).arg(EnrollmentServer::Host(), "dave"));
    QVERIFY(!visible<QLineEdit>("firstEdit") && !visible<QLineEdit>("passwordEdit"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Enter on Cancel: no
    Drain();
    QCOMPARE(window->activeScreenCode(), Continue::kEnrollmentMethod);
    QVERIFY(server->Events().empty());
    QCOMPARE(tokenState("Kelsa Orvanti"), int32_t{INSTALLED_STATE});

    OV_ReleaseInstance();
    QCOMPARE(OV_CreateInstanceA("Kelsa Orvanti", 0), OV_OK);
    click("autoButton");
    enter(QStringLiteral("https://b\u00fccher.example/dskpp"));
    fill("firstEdit", "eve");
    fill("passwordEdit", "secret");
    click("continueButton");
    QCOMPARE(text("serverQuestion"),
             Str(kStrEnrollmentServerQuestion).arg("xn--bcher-kva.example", "eve"));
  }

  void startWithAnEnrollmentString_data() {
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("screen");
    QTest::newRow("URL only: the credentials") << "EnrollmentURL=%1" << Continue::kCredentials;
    QTest::newRow("URL, user and passphrase: enrolled at once")
        << "EnrollmentURL=%1\r\nUserID=dave\r\nPassphrase=pw-dave" << Continue::kPasscode;
  }
  void startWithAnEnrollmentString() {
    QFETCH(QString, lines);
    QFETCH(int, screen);
    const auto server = startServer();
    QVERIFY2(server->Ok(), server->Error().c_str());
    ov::test::MakeActivatedToken("Existing", kEventPolicy);
    openWindow(Base64Lines(lines.arg(QString::fromStdString(server->Url()))));
    QCOMPARE(window->activeScreenCode(), Continue::kTokenName);
    click("activateButton");
    Drain();
    if (visible<QLabel>("serverQuestion") != nullptr) confirmServer(*server, "dave");
    if (window->getActiveChildDlg()->isBusy()) waitForWorker();
    QCOMPARE(window->activeScreenCode(), screen);
    if (screen == Continue::kCredentials) {
      QVERIFY(visible<QLineEdit>("firstEdit") && visible<QLineEdit>("passwordEdit"));
    } else {
      QCOMPARE(shownCode(), ov::test::Hotp(provisionedKey(*server), 0, 8));
    }
  }

  // A start with an enrollment string goes to the new token's name whatever the number of
  // tokens; with ten held, the name screen says so and makes no eleventh.
  void aStartWithAnEnrollmentStringMakesNoTokenBeyondTheLimit() {
    for (int i = 1; i <= kMaxTokens; ++i) {
      ov::test::MakeInstalledToken("Token " + std::to_string(i));
    }
    openWindow(Base64Lines(QStringLiteral(
        "EnrollmentURL=https://enroll.example/dskpp\r\nUserID=dave\r\nPassphrase=pw")));
    QCOMPARE(window->activeScreenCode(), Continue::kTokenName);
    for (const char* name : {"activateButton", "activateLaterButton"}) {
      click(name);
      QCOMPARE(window->activeScreenCode(), Continue::kTokenName);
      QCOMPARE(text("errorText"), Str(kStrTokenLimit, kMaxTokens));
      QCOMPARE(visible<QLabel>("errorText")->accessibleName(), text("errorText"));
    }
    QCOMPARE(ov::app::CountTokens(), kMaxTokens);
  }
};

OV_APP_TEST_MAIN(EnrollmentFlowTest)
#include "EnrollmentFlowTest.moc"
