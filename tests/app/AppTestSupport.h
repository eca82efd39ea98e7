// What the desktop application's tests share: the token library initialised in the test process's
// private store with a clock the test sets, message boxes answered and recorded, tokens made
// through the public API, and a way to let posted navigation events arrive.
#pragma once

#include <openssl/hmac.h>

#include <QApplication>
#include <QStringList>
#include <filesystem>
#include <string>
#include <vector>

#include "app/qt/MainWindow.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/NavigationEvent.h"
#include "app/core/SharedValues.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/widgets/CustomListCtrl.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "ov/ov_api.h"
#include "support/PasscodeReference.h"
#include "tests/app/core/CoreTestSupport.h"
#include "support/StorageEnvironment.h"
#include "support/TestEnvironment.h"

namespace ov::test {

class AppEnvironment {
 public:
  AppEnvironment() {
    std::error_code ignored;
    std::filesystem::remove_all(PrivateHome::DataHome() / "Kelsa", ignored);
    initialized = OV_InitializeW(L"KLSA_GA_8_2", 0);
    app::MessageBoxes::SetHandler(
        [this](app::MessageBoxes::Kind, const QString& text, const QString&) { boxes << text; });
  }
  ~AppEnvironment() {
    OV_ReleaseInstance();
    if (initialized == OV_OK) OV_Finalize();
    app::MessageBoxes::SetHandler({});
    app::MessageBoxes::SetAnswer(true);
    app::Shared().destroyInternalData();
    app::Shared().g_bPinFailureShown = false;
    app::Shared().g_bDeactivationShown = false;
    app::Shared().g_bChangePinRequired = false;
  }
  AppEnvironment(const AppEnvironment&) = delete;
  AppEnvironment& operator=(const AppEnvironment&) = delete;

  StorageEnvironment storage;
  FakeClock& clock = storage.clock;
  int32_t initialized;
  QStringList boxes;  // texts of the message boxes shown (questions too), in order
};

// RFC 6287 with HMAC-SHA-256 for the suites the policies build: "OCRA-1:HOTP-SHA256-<d>:QN0<n>",
// the numeric question as hexadecimal digits, left-aligned in 128 bytes.
inline std::string Ocra(const std::vector<uint8_t>& key, int digits, int challengeLength,
                        const std::string& question) {
  const std::string suite =
      "OCRA-1:HOTP-SHA256-" + std::to_string(digits) + ":QN0" + std::to_string(challengeLength);
  std::vector<uint8_t> message(suite.begin(), suite.end());
  message.push_back(0);
  char hex[32] = {};
  const unsigned long long value = std::stoull(question);
  std::string digitsHex = value == 0 ? "" : (std::snprintf(hex, sizeof hex, "%llX", value), hex);
  digitsHex.resize(256, '0');
  for (std::size_t i = 0; i < digitsHex.size(); i += 2) {
    message.push_back(static_cast<uint8_t>(std::stoi(digitsHex.substr(i, 2), nullptr, 16)));
  }
  uint8_t mac[32];
  unsigned length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(), mac,
       &length);
  const int offset = mac[31] & 0x0F;
  const uint32_t binary =
      (mac[offset] & 0x7Fu) << 24 | mac[offset + 1] << 16 | mac[offset + 2] << 8 | mac[offset + 3];
  uint32_t modulus = 1;
  for (int i = 0; i < digits; ++i) modulus *= 10;
  std::string code = std::to_string(binary % modulus);
  return std::string(static_cast<std::size_t>(digits) - code.size(), '0') + code;
}

// Lets every posted event (the screens' navigation messages) arrive.
inline void Drain() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// What a test of the whole window needs: the library in a fresh store, the main window, the exit
// codes it asked for, and ways to post navigation, find the visible control of a name and choose
// a token in the list. init() and cleanup() of a test class call begin() and end().
class WindowDriver {
 protected:
  void begin() {
    env = std::make_unique<AppEnvironment>();
    exits.clear();
  }
  void end() {
    window.reset();
    env.reset();
  }
  void openWindow(const QString& enrollment = {}) {
    window = std::make_unique<app::MainWindow>();
    QObject::connect(window.get(), &app::MainWindow::exitRequested, window.get(),
                     [this](int code) { exits << code; });
    window->setEnrollmentString(enrollment);
    window->start();
    window->show();
    Drain();
  }
  void post(int message, int code) {
    QCoreApplication::postEvent(window.get(), new app::NavigationEvent(message, code));
    Drain();
  }
  // The visible control of that object name (screens not shown keep theirs hidden).
  template <typename T>
  T* visible(const char* name) const {
    for (T* widget : window->findChildren<T*>(name)) {
      if (widget->isVisible()) return widget;
    }
    return nullptr;
  }
  // The token list on screen.
  app::TokenListDialog* list() const {
    return static_cast<app::TokenListDialog*>(
        static_cast<app::DualDialogWrapper*>(window->getActiveChildDlg())->first());
  }
  // Chooses the list's row that shows `name`, as a click does.
  void choose(const QString& name) {
    app::CustomListCtrl* control = list()->list();
    for (int row = 0; row < control->topLevelItemCount(); ++row) {
      if (control->topLevelItem(row)->text(0) == name) list()->OnLvnItemchangedList1(row);
    }
    Drain();
  }

  std::unique_ptr<AppEnvironment> env;
  std::unique_ptr<app::MainWindow> window;
  QList<int> exits;
};

}  // namespace ov::test

// main() of an application test: a private home, the offscreen platform, one test class.
#define OV_APP_TEST_MAIN(TestClass)          \
  int main(int argc, char** argv) {          \
    qputenv("QT_QPA_PLATFORM", "offscreen"); \
    ov::test::PrivateHome home;              \
    QApplication application(argc, argv);    \
    TestClass test;                          \
    return QTest::qExec(&test, argc, argv);  \
  }
