// Start-up and the ways out: the enrollment string of the command line, the single-instance lock
// against a real second process, the library's life, the one-time import of the older token, and
// the exit codes.
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "app/qt/MainWindow.h"
#include "app/core/Navigation.h"
#include "app/qt/OrvantiApp.h"
#include "app/qt/SingleInstance.h"
#include "app/qt/Strings.h"
#include "app/core/TokenRecords.h"
#include "support/TokenFixtures.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;

namespace {

// "EnrollmentURL=...\r\nUserID=..." in base64, with or without its padding.
QString EnrollmentText(bool withPadding = true) {
  QByteArray text =
      QByteArray("EnrollmentURL=https://enroll.example/dskpp\r\nUserID=alice").toBase64();
  if (!withPadding) {
    while (text.endsWith('=')) text.chop(1);
  }
  return QString::fromLatin1(text);
}

// Whether some process holds a flock on the file (read from /proc/locks by inode).
bool IsLocked(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  std::ifstream locks("/proc/locks");
  std::string line;
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  while (std::getline(locks, line)) {
    if (line.find("FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
      return true;
  }
  return false;
}

QStringList TokenNames() {
  QStringList names;
  ov::app::TokenList tokens;
  for (const OVTokenInfoW& info : tokens) names << FromWide(info.m_szTokenName);
  return names;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

  std::unique_ptr<ov::test::StorageEnvironment> storage;
  QStringList boxes;

  // Runs the application in this process until `act` (called once the window is up) ends it.
  int run(const std::function<void(MainWindow*)>& act, const QStringList& arguments = {}) {
    OrvantiApp app;
    QTimer::singleShot(0, [&] {
      if (app.mainWindow() != nullptr) act(app.mainWindow());
    });
    return app.InitInstance(arguments);
  }

 private slots:
  void init() {
    std::error_code ignored;
    std::filesystem::remove_all(ov::test::PrivateHome::DataHome() / "Kelsa", ignored);
    storage = std::make_unique<ov::test::StorageEnvironment>();
    boxes.clear();
    MessageBoxes::SetHandler(
        [this](MessageBoxes::Kind, const QString& text, const QString&) { boxes << text; });
  }
  void cleanup() {
    MessageBoxes::SetHandler({});
    storage.reset();
  }

  void enrollmentArgument_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString text = EnrollmentText();
    QTest::newRow("prefixed string") << QStringList{"orvanti:enrollment=" + text} << "" << text;
    QTest::newRow("padding cut off: kept as given")
        << QStringList{"orvanti:enrollment=" + EnrollmentText(false)} << ""
        << EnrollmentText(false);
    QTest::newRow("prefix not at the start") << QStringList{" orvanti:enrollment=" + text} << ""
                                             << "";
    QTest::newRow("prefix in other case") << QStringList{"Orvanti:enrollment=" + text} << ""
                                          << "";
    QTest::newRow("not base64") << QStringList{"orvanti:enrollment=not base64!"} << ""
                                << "";
    QTest::newRow("no EnrollmentURL")
        << QStringList{"orvanti:enrollment=" +
                       QString::fromLatin1(QByteArray("UserID=bob").toBase64())}
        << ""
        << "";
    QTest::newRow("standard input") << QStringList{"-"} << text + "\n" << text;
    QTest::newRow("standard input, CR LF") << QStringList{"-"} << text + "\r\n" << text;
    QTest::newRow("standard input, not a string") << QStringList{"-"} << "hello\n"
                                                  << "";
    QTest::newRow("no argument") << QStringList{} << text << "";
  }
  void enrollmentArgument() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    std::istringstream stream(input.toStdString());
    const std::optional<QString> found = OrvantiApp::EnrollmentArgument(arguments, stream);
    QCOMPARE(found.value_or(QString()), expected);
  }

  void userCloseEndsWithZeroAndReleasesEverything() {
    const int code = run([](MainWindow* window) { window->close(); });
    QCOMPARE(code, 0);
    QVERIFY(boxes.isEmpty());
    int32_t count = 0;
    QCOMPARE(OV_GetTokenListW(nullptr, &count), OV_ERR_NOT_INITIALIZED);  // finalised
    SingleInstance again;
    QCOMPARE(again.Acquire(), SingleInstance::Outcome::Acquired);  // the lock is free again
  }

  void abortShowsTheErrorAndEndsWithOne() {
    const int code = run([](MainWindow* window) {
      QCoreApplication::postEvent(window, new NavigationEvent(WM_CANCEL_MSG, Cancel::kAbort));
    });
    QCOMPARE(code, 1);
    QCOMPARE(boxes, QStringList{Str(213)});
    QVERIFY(Shared().g_szTokenName.empty());
  }

  // A store the library refuses at start is explained, naming what to mend, not a generic error.
  void refusedStoreSaysWhyAndEndsWithOne() {
    QCOMPARE(OV_InitializeW(L"KLSA_GA_8_2", 0), OV_OK);
    ov::test::MakeInstalledToken("Kept");
    QCOMPARE(OV_Finalize(), OV_OK);
    const auto store = ov::test::PrivateHome::DataHome() / "Kelsa" / "Orvanti";
    QCOMPARE(chmod(store.c_str(), 0707), 0);  // writable by all
    QCOMPARE(OrvantiApp().InitInstance({}), 1);  // refused before any window: no run()
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].contains(QString::fromStdString("chmod go-w '" + store.string() + "'")),
             qPrintable(boxes[0]));
    QCOMPARE(chmod(store.c_str(), 0700), 0);

    // A process that starts after the user secret went: its tokens are not "no tokens".
    storage.reset();
    const auto secret = ov::test::PrivateHome::Root() / "protect-me" / "user.key";
    const auto saved = ov::test::PrivateHome::Root() / "saved.key";
    std::filesystem::rename(secret, saved);
    storage = std::make_unique<ov::test::StorageEnvironment>();
    boxes.clear();
    QCOMPARE(OrvantiApp().InitInstance({}), 1);  // refused before any window: no run()
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].contains(QString::fromStdString(secret.string()) + "\" is missing"),
             qPrintable(boxes[0]));
    std::filesystem::rename(saved, secret);
  }

  void welcomeCancelLeavesWithZero() {
    const int code = run([](MainWindow* window) {
      QCOMPARE(window->activeScreenCode(), Continue::kWelcome);
      QCoreApplication::postEvent(window, new NavigationEvent(WM_CANCEL_MSG, Cancel::kExit));
    });
    QCOMPARE(code, 0);
  }

  // A second real `orvanti` hands its link to this running copy and ends without a word; the
  // string starts here after the usual question. A second start with nothing to hand over only
  // brings the window to the front.
  void aSecondStartHandsItsStringToTheRunningCopy() {
    const QString program = qEnvironmentVariable("OV_ORVANTI_PATH");
    if (program.isEmpty()) QSKIP("OV_ORVANTI_PATH names the built program; ctest sets it");
    int screenAfterEmpty = 0;
    int screenAfterLink = 0;
    mode_t socketMode = 0777;
    const int code = run([&](MainWindow* window) {
      struct stat st {};
      if (stat(SingleInstance::SocketPath().c_str(), &st) == 0) socketMode = st.st_mode;
      auto second = [&](const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForStarted()) return -1;
        QDeadlineTimer deadline(10000);
        while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
          QTest::qWait(20);  // this copy serves its socket meanwhile
        }
        return process.state() == QProcess::NotRunning ? process.exitCode() : -2;
      };
      QCOMPARE(second({}), 0);
      ov::test::Drain();
      screenAfterEmpty = window->activeScreenCode();
      QCOMPARE(second({"orvanti:enrollment=" + EnrollmentText()}), 0);
      ov::test::Drain();
      screenAfterLink = window->activeScreenCode();
      window->close();
    });
    QCOMPARE(code, 0);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(screenAfterEmpty, Continue::kWelcome);
    QCOMPARE(screenAfterLink, Continue::kTokenName);
    QCOMPARE(socketMode & 077, 0u);  // the socket is the user's alone
  }

  // Only when the running copy cannot be reached is the second start refused with the message.
  void aSecondStartThatCannotReachTheRunningCopyIsRefused() {
    const QString program = qEnvironmentVariable("OV_ORVANTI_PATH");
    if (program.isEmpty()) QSKIP("OV_ORVANTI_PATH names the built program; ctest sets it");
    QProcess first;
    first.setProgram(program);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start();
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(IsLocked(SingleInstance::LockPath()), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(SingleInstance::SocketPath()), 10000);
    std::filesystem::remove(SingleInstance::SocketPath());  // the way in is gone

    OrvantiApp second;
    QCOMPARE(second.InitInstance({}), 1);
    QCOMPARE(boxes, QStringList{Str(204)});
    QCOMPARE(first.state(), QProcess::Running);  // the first copy is unaffected
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
  }

  // What arrives on the socket is checked: an over-long message is dropped unread, anything but
  // an enrollment string only raises the window.
  void handedOverTextIsLimitedAndChecked() {
    HandOverServer server;
    QVERIFY(server.listen());
    QStringList received;
    connect(&server, &HandOverServer::handedOver, this,
            [&received](const QString& text) { received << text; });
    QProcess client;  // a separate process, so the two ends do not wait on one thread
    const QByteArray tooLong(HandOverServer::kMaxHandOver + 10, 'A');
    for (const QByteArray& message : {tooLong + "\n", QByteArray("hello\n")}) {
      client.start("python3", {"-c",
                               "import socket,sys; s=socket.socket(socket.AF_UNIX); "
                               "s.connect(sys.argv[1]); s.sendall(sys.argv[2].encode()); "
                               "s.settimeout(5); print(s.recv(10).decode(), end='')",
                               QString::fromStdString(SingleInstance::SocketPath()),
                               QString::fromLatin1(message)});
      QTRY_VERIFY_WITH_TIMEOUT(client.state() == QProcess::NotRunning, 10000);
    }
    QCOMPARE(received, QStringList{"hello"});
    QCOMPARE(client.readAllStandardOutput(), QByteArray("OK\n"));
  }

  // A store already held (by orvanti-cli, or here by this process, which the library answers
  // alike) is the running copy too: the same message as the second window, not an error.
  void aStoreInUseIsTheRunningCopy() {
    QCOMPARE(OV_InitializeW(L"KLSA_GA_8_2", 0), OV_OK);
    OrvantiApp app;
    QCOMPARE(app.InitInstance({}), 1);
    QCOMPARE(boxes, QStringList{Str(204)});
    QCOMPARE(OV_Finalize(), OV_OK);
  }

  // "orvanti -" reads one line of at most 64 KiB: endless input is refused, not kept in memory.
  void standardInputBeyondItsLimitIsRefused() {
    const QString program = qEnvironmentVariable("OV_ORVANTI_PATH");
    if (program.isEmpty()) QSKIP("OV_ORVANTI_PATH names the built program; ctest sets it");
    QProcess orvanti;
    orvanti.start(program, {"-"});
    QVERIFY(orvanti.waitForStarted());
    const QByteArray block(16 * 1024, 'A');
    for (int i = 0; i < 8 && orvanti.state() == QProcess::Running; ++i) {
      orvanti.write(block);
      orvanti.waitForBytesWritten(5000);
    }
    QVERIFY(orvanti.waitForFinished(10000));
    QCOMPARE(orvanti.exitCode(), 1);
    QVERIFY2(orvanti.readAllStandardError().contains(Str(kStrInputTooLong).toUtf8()),
             "the refusal is told");
  }

  void standardInputUpToItsLimitIsRead() {
    // The limit is the line's length: a string right at it is still taken.
    const QString text = EnrollmentText();
    const std::string padded =
        text.toStdString() + std::string(OrvantiApp::kMaxStandardInput - text.size(), ' ');
    bool tooLong = false;
    std::istringstream fits(padded + "\n");
    OrvantiApp::EnrollmentArgument({"-"}, fits, &tooLong);
    QVERIFY(!tooLong);
    std::istringstream over(padded + "x\n");
    QVERIFY(!OrvantiApp::EnrollmentArgument({"-"}, over, &tooLong));
    QVERIFY(tooLong);
  }

  void legacyTokenIsImportedOnceAndOnlyBelowTenTokens_data() {
    QTest::addColumn<int>("existing");
    QTest::addColumn<bool>("imported");
    QTest::newRow("no token") << 0 << true;
    QTest::newRow("one token") << 1 << true;
    QTest::newRow("ten tokens") << 10 << false;
  }
  void legacyTokenIsImportedOnceAndOnlyBelowTenTokens() {
    QFETCH(int, existing);
    QFETCH(bool, imported);
    QCOMPARE(OV_InitializeW(L"KLSA_GA_8_2", 0), OV_OK);
    for (int i = 0; i < existing; ++i) {
      ov::test::MakeInstalledToken(i == 0 ? "Kelsa Orvanti" : "Token " + std::to_string(i));
    }
    QCOMPARE(OV_Finalize(), OV_OK);
    QVERIFY(ov::test::WriteOv80Profile(1));
    QCOMPARE(run([](MainWindow* window) { window->close(); }), 0);
    QVERIFY(boxes.isEmpty());

    QCOMPARE(OV_InitializeW(L"KLSA_GA_8_2", 0), OV_OK);
    const QStringList names = TokenNames();
    QCOMPARE(names.size(), existing + (imported ? 1 : 0));
    if (imported) {
      QVERIFY(names.contains(existing == 0 ? "Kelsa Orvanti" : "Kelsa Orvanti 2"));
    }
    QCOMPARE(OV_Finalize(), OV_OK);
  }

  // Last, since the logger stays loaded: with libbrisel.so in the process the application writes
  // its own lines, and a PIN typed or a passcode shown never reaches them.
  void diagnosticLinesNameTheStepsAndNoSecret() {
    const auto log = ov::test::PrivateHome::Root() / "brisel.log";
    setenv("BRISEL_LOG", log.c_str(), 1);
    QVERIFY(dlopen(OV_BRISEL_PATH, RTLD_NOW | RTLD_GLOBAL) != nullptr);
    QCOMPARE(OV_InitializeW(L"KLSA_GA_8_2", 0), OV_OK);
    ov::test::MakeActivatedToken("Guarded", ov::test::kPinPolicy, "2580");
    QCOMPARE(OV_Finalize(), OV_OK);
    QString passcode;
    OrvantiApp::InstallConsoleHandler();
    const int code = run([&passcode](MainWindow* window) {
      raise(SIGINT);  // Ctrl+C in the terminal: logged, and the program goes on
      QTest::qWait(100);
      QLineEdit* pin = nullptr;
      for (QLineEdit* edit : window->findChildren<QLineEdit*>("edit")) {
        if (edit->isVisible()) pin = edit;
      }
      if (pin == nullptr) return;
      pin->setText(QStringLiteral("2580"));
      QTest::keyClick(pin, Qt::Key_Return);
      ov::test::Drain();
      for (QLabel* label : window->findChildren<QLabel*>("code")) {
        if (label->isVisible()) passcode = label->text();
      }
      window->close();
    });
    QCOMPARE(code, 0);
    QVERIFY(!passcode.isEmpty());
    const std::string lines = ov::test::ReadFile(log);
    for (const char* expected :
         {"COrvantiApp::InitInstance", "SetConsoleCtrlHandler successful", "fdwCtrlType",
          "COrvantiDlg::SingleTokenFlow", "CPinOperationDialog::OnBnClickedContinuebtn",
          "EXITING_CLIENT_APPLICATION"}) {
      QVERIFY2(lines.find(expected) != std::string::npos, expected);
    }
    QVERIFY(lines.find("2580") == std::string::npos);
    QVERIFY(lines.find(passcode.toStdString()) == std::string::npos);
  }
};

OV_APP_TEST_MAIN(StartupTest)
#include "StartupTest.moc"
