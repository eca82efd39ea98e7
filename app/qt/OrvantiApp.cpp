#include "app/qt/OrvantiApp.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/core/AppLog.h"
#include "app/core/Router.h"
#include "app/qt/MainWindow.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/SingleInstance.h"
#include "app/qt/Strings.h"
#include "frontend/StringTable.h"
#include "frontend/WipeBytes.h"
#include "ov/ov_api.h"

namespace ov::app {
namespace {

constexpr const char kEnrollmentPrefix[] = "orvanti:enrollment=";

// The console signals on their way from the handler to the event loop, as the console control
// types they stand for: 0 for Ctrl+C, 2 for a closed console.
int g_consoleSignals[2] = {-1, -1};

extern "C" void ConsoleSignal(int signal) {
  const int saved = errno;
  const unsigned char type = signal == SIGINT ? 0 : 2;
  if (g_consoleSignals[1] >= 0) {
    const ssize_t written = write(g_consoleSignals[1], &type, 1);
    static_cast<void>(written);  // a full pipe already holds enough to log
  }
  errno = saved;
}

void Wipe(std::string& text) {
  ov::frontend::WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace

OrvantiApp::OrvantiApp() = default;

OrvantiApp::~OrvantiApp() {
  try {
    Shutdown();
  } catch (...) {
    AppLog log("COrvantiApp::~COrvantiApp");
    log.Message("Error: Crash");
  }
}

void OrvantiApp::InstallConsoleHandler() {
  AppLog log("CtrlHandler");
  // Ctrl+C and the closing of a terminal the program was started from are handled, and nothing
  // more: only the window ends the program. The handler only passes the signal on through a
  // pipe; the event loop logs it (a signal handler may not).
  if (g_consoleSignals[0] < 0 && pipe2(g_consoleSignals, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_consoleSignals[0] = g_consoleSignals[1] = -1;
  }
  struct sigaction action {};
  action.sa_handler = ConsoleSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGHUP, &action, nullptr) == 0) {
    log.Message("SetConsoleCtrlHandler successful");
  }
}

void OrvantiApp::WatchConsoleSignals(QObject* owner) {
  if (g_consoleSignals[0] < 0) return;
  auto* notifier = new QSocketNotifier(g_consoleSignals[0], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    unsigned char type = 0;
    while (read(g_consoleSignals[0], &type, 1) == 1) {
      AppLog log("CtrlHandler");
      log.Number("fdwCtrlType", type);
    }
  });
}

std::optional<QString> OrvantiApp::EnrollmentArgument(const QStringList& arguments,
                                                      std::istream& input, bool* tooLong) {
  if (arguments.isEmpty()) return std::nullopt;
  std::string text;
  if (arguments.front() == QLatin1String("-")) {
    // Standard input keeps a passphrase out of the process list that every user can read. One
    // line, and no more of it than an enrollment string can need: endless input is refused.
    char c = 0;
    while (input.get(c) && c != '\n') {
      if (text.size() == kMaxStandardInput) {
        if (tooLong != nullptr) *tooLong = true;
        Wipe(text);
        return std::nullopt;
      }
      text.push_back(c);
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
  } else {
    const QByteArray argument = arguments.front().toUtf8();
    if (!argument.startsWith(kEnrollmentPrefix)) return std::nullopt;
    text.assign(argument.constData() + sizeof(kEnrollmentPrefix) - 1);
  }
  std::optional<QString> result;
  if (IsEnrollmentString(text)) result = QString::fromStdString(text);
  Wipe(text);
  return result;
}

int OrvantiApp::InitInstance(const QStringList& arguments) {
  AppLog log("COrvantiApp::InitInstance");
  bool tooLong = false;
  std::optional<QString> enrollment = EnrollmentArgument(arguments, std::cin, &tooLong);
  if (tooLong) {
    log.Message("Enrollment string too long");
    std::fprintf(stderr, "orvanti: %s\n", frontend::OVString(kStrInputTooLong));
    return log.Return(1);
  }
  m_window = std::make_unique<MainWindow>();
  if (enrollment) {
    log.Message("Enrollment String");
    m_window->setEnrollmentString(*enrollment);
  }

  SingleInstance instance;
  const SingleInstance::Outcome lock = instance.Acquire();
  if (lock == SingleInstance::Outcome::AlreadyRunning &&
      HandOverToRunningCopy(enrollment.value_or(QString()))) {
    // The running copy comes to the front with the string: nothing to say here.
    log.Message("Handed over to the running instance");
    if (enrollment) WipeQString(*enrollment);
    m_window.reset();
    return log.Return(0);
  }
  if (enrollment) WipeQString(*enrollment);
  if (lock != SingleInstance::Outcome::Acquired) {
    MessageBoxes::ShowString(nullptr, 204);
    log.Message("Another instance is already running");
    m_window.reset();
    return log.Return(1);
  }
  const int32_t initialized = m_library.initialize();
  if (initialized != OV_OK) {
    log.Number("result", initialized);
    MessageBoxes::Show(nullptr, MessageBoxes::Kind::Error,
                       Str(LibrarySession::FailureText(initialized)), Str(205));
    log.Message("InitializeOVSDK failed");
    m_window.reset();
    return log.Return(1);
  }
  if (m_library.importLegacyToken() != OV_OK) {
    MessageBoxes::ShowString(nullptr, 213);
    log.Message("OV_ImportLegacyTokenDataW failed");
    Shutdown();
    return log.Return(1);
  }

  WatchConsoleSignals(m_window.get());
  HandOverServer handOver;
  if (!handOver.listen()) log.Message("No hand-over socket");
  QObject::connect(&handOver, &HandOverServer::handedOver, m_window.get(),
                   [this](const QString& text) {
                     AppLog handed("COrvantiApp::HandOver");
                     std::string bytes = text.toStdString();
                     const bool valid = IsEnrollmentString(bytes);
                     Wipe(bytes);
                     if (valid) handed.Message("Enrollment String");
                     m_window->handOver(valid ? text : QString());
                   });

  int exitCode = 0;
  QObject::connect(m_window.get(), &MainWindow::exitRequested, m_window.get(),
                   [&exitCode](int code) {
                     exitCode = code;
                     QCoreApplication::exit(code);
                   });
  m_window->start();
  m_window->show();
  const int loop = QApplication::exec();
  log.Number("nResponse", loop);
  log.Message("dlg.DoModal returns");
  Shutdown();
  return log.Return(exitCode);
}

void OrvantiApp::Shutdown() {
  if (m_window) {
    m_window->hide();
    m_window.reset();
  }
  m_library.shutdown();
}

}  // namespace ov::app
