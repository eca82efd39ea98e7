// Start-up and the ways out: the enrollment string of the command line, the single-instance lock
// against a real second process, the library's life, the one-time import of the older token, and
// the exit codes.
#include <dlfcn.h>
#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "app/OrvantiApp.h"
#include "app/SingleInstance.h"
#include "app/Strings.h"
#include "app/TokenRecords.h"
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
    QCOMPARE(chmod(store.c_str(), 0770), 0);
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

  void secondInstanceIsRefusedWhileTheFirstRunsOn() {
    const QString program = qEnvironmentVariable("OV_ORVANTI_PATH");
    if (program.isEmpty()) QSKIP("OV_ORVANTI_PATH names the built program; ctest sets it");
    QProcess first;
    first.setProgram(program);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start();
    QVERIFY(first.waitForStarted());
    const std::string lock = SingleInstance::LockPath();
    QTRY_VERIFY_WITH_TIMEOUT(IsLocked(lock), 10000);

    OrvantiApp second;
    QCOMPARE(second.InitInstance({}), 1);
    QCOMPARE(boxes, QStringList{Str(204)});
    QTest::qWait(200);
    QCOMPARE(first.state(), QProcess::Running);  // the first copy is unaffected
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
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
    const int code = run([&passcode](MainWindow* window) {
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
         {"COrvantiApp::InitInstance", "COrvantiDlg::SingleTokenFlow",
          "CPinOperationDialog::OnBnClickedContinuebtn", "EXITING_CLIENT_APPLICATION"}) {
      QVERIFY2(lines.find(expected) != std::string::npos, expected);
    }
    QVERIFY(lines.find("2580") == std::string::npos);
    QVERIFY(lines.find(passcode.toStdString()) == std::string::npos);
  }
};

OV_APP_TEST_MAIN(StartupTest)
#include "StartupTest.moc"
