// orvanti: Orvanti's desktop application.
#include <sys/prctl.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/qt/Strings.h"
#include "app/core/EnrollmentWorker.h"
#include "app/qt/OrvantiApp.h"
#include "frontend/LoggerLibrary.h"

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // The diagnostic logger, when it lies beside the token library: the application and the library
  // write through it.
  ov::frontend::LoadLoggerLibrary();
  // A core dump would hold the PINs and passcodes this process handles.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("orvanti %s\n", OV_APP_VERSION);
    return 0;
  }
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "Usage: orvanti [orvanti:enrollment=STRING | -]\n\n"
        "Orvanti shows the one-time passcodes of your tokens.\n\n"
        "  orvanti:enrollment=STRING  start the enrollment your administrator's string describes\n"
        "  -                          read that enrollment string from standard input\n"
        "  --version                  show the version\n"
        "  --help                     show this help\n\n"
        "orvanti-cli does the same on the command line. BRISEL_LOG names a file for diagnostic\n"
        "lines when libbrisel.so can be loaded.\n");
    return 0;
  }
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "orvanti: no display to open a window on; orvanti-cli is the command-line "
                 "program.\n");
    return 1;
  }
  ov::app::OrvantiApp::InstallConsoleHandler();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("orvanti"));
  QApplication::setApplicationDisplayName(QStringLiteral("Orvanti"));
  QApplication::setDesktopFileName(QStringLiteral("orvanti"));
  ov::app::OrvantiApp app;
  const int code = app.InitInstance(QApplication::arguments().mid(1));
  // An abandoned enrollment may still be inside the library: the process ends without waiting
  // for it (and without the destructors that would run under it); the store survives an end at
  // any moment.
  if (ov::app::EnrollmentWorker::AbandonedRunning() > 0) {
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
