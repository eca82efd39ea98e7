#include "app/OrvantiApp.h"

#include <QApplication>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/AppLog.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "app/Navigation.h"
#include "app/SharedValues.h"
#include "app/SingleInstance.h"
#include "app/TokenRecords.h"
#include "frontend/EnrollmentString.h"
#include "frontend/StoreProblem.h"
#include "frontend/StringTable.h"
#include "frontend/TokenNaming.h"
#include "frontend/WipeBytes.h"
#include "ov/ov_api.h"

namespace ov::app {
namespace {

constexpr const char kEnrollmentPrefix[] = "orvanti:enrollment=";
constexpr const wchar_t kUniqueId[] = L"KLSA_GA_8_2";

bool IsEnrollmentString(const std::string& text) {
  const std::optional<std::string> padded = frontend::CheckIfBase64Relaxed(text);
  return padded && frontend::CheckIfBase64ConnectionString(*padded);
}

void Wipe(std::string& text) {
  ov::frontend::WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace

OrvantiApp::OrvantiApp() = default;

OrvantiApp::~OrvantiApp() { Shutdown(); }

void OrvantiApp::InstallConsoleHandler() {
  AppLog log("CtrlHandler");
  // Ctrl+C and the closing of a terminal the program was started from are handled by ignoring
  // them: only the window ends the program.
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGHUP, SIG_IGN);
  log.Message("SetConsoleCtrlHandler successful");
}

std::optional<QString> OrvantiApp::EnrollmentArgument(const QStringList& arguments,
                                                      std::istream& input) {
  if (arguments.isEmpty()) return std::nullopt;
  std::string text;
  if (arguments.front() == QLatin1String("-")) {
    // Standard input keeps a passphrase out of the process list that every user can read.
    std::getline(input, text);
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
  m_window = std::make_unique<MainWindow>();
  if (std::optional<QString> enrollment = EnrollmentArgument(arguments, std::cin)) {
    log.Message("Enrollment String");
    m_window->setEnrollmentString(*enrollment);
    WipeQString(*enrollment);
  }

  SingleInstance instance;
  const SingleInstance::Outcome lock = instance.Acquire();
  if (lock != SingleInstance::Outcome::Acquired) {
    MessageBoxes::ShowString(nullptr, 204);
    log.Message("Another instance is already running");
    m_window.reset();
    return log.Return(1);
  }
  const int32_t initialized = OV_InitializeW(kUniqueId, 0);
  if (initialized != OV_OK) {
    log.Number("result", initialized);
    if (frontend::IsStoreProblem(initialized)) {
      MessageBoxes::Show(nullptr, MessageBoxes::Kind::Error,
                         QString::fromStdString(frontend::StoreProblemMessage(initialized)),
                         QString::fromUtf8(frontend::OVString(205)));
    } else {
      MessageBoxes::ShowString(nullptr, 213);
    }
    log.Message("InitializeOVSDK failed");
    m_window.reset();
    return log.Return(1);
  }
  m_initialized = true;
  if (ImportLegacyToken() != OV_OK) {
    MessageBoxes::ShowString(nullptr, 213);
    log.Message("OV_ImportLegacyTokenDataW failed");
    Shutdown();
    return log.Return(1);
  }

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

int OrvantiApp::ImportLegacyToken() {
  AppLog log("COrvantiApp::ImportLegacyToken");
  const int32_t count = CountListedTokens();
  if (count < 0) {
    log.Message("OV_GetTokenList call failed");
    return OV_ERR_OPERATION_FAILED;
  }
  if (count >= kMaxTokens) return OV_OK;  // no room for one more
  TokenList tokens;
  if (!tokens.ok()) {
    log.Message("OV_GetTokenList call failed");
    return tokens.result();
  }
  std::vector<std::string> names;
  for (const OVTokenInfoW& info : tokens) {
    names.push_back(FromWide(info.m_szTokenName).toStdString());
  }
  const QString name = QString::fromStdString(frontend::GetUniqueTokenName(names));
  const int32_t result = OV_ImportLegacyTokenDataW(name.toStdWString().c_str());
  log.Number("result", result);
  return result;
}

void OrvantiApp::Shutdown() {
  if (m_window) {
    m_window->hide();
    m_window.reset();
  }
  Shared().destroyInternalData();
  if (m_initialized) {
    OV_ReleaseInstance();
    OV_Finalize();
    m_initialized = false;
  }
}

}  // namespace ov::app
