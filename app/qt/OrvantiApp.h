// Start-up and shutdown of the desktop application: the console signals, an enrollment string
// handed over on the command line (or on standard input with "-"), the single-instance lock, the
// token library's initialisation, the one-time import of an older token, the main window's run,
// and, on every way out, the release of the token, the library and the shared values.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <istream>
#include <memory>
#include <optional>

#include "app/core/Router.h"

class QObject;

namespace ov::app {

class MainWindow;

class OrvantiApp {
 public:
  OrvantiApp();
  ~OrvantiApp();

  // Runs the application in the existing QApplication and returns the process's exit code: 0 when
  // the user closed it, 1 after an error (already shown in a message box).
  int InitInstance(const QStringList& arguments);

  // The main window while InitInstance runs it (tests drive it from a timer).
  MainWindow* mainWindow() const { return m_window.get(); }

  // The enrollment string of the command line: the text after "orvanti:enrollment=" at the very
  // start of the first argument, or one line of `input` for the argument "-"; only when it is a
  // valid enrollment string (padding may be cut off). A line of standard input longer than
  // kMaxStandardInput bytes is not read further: nothing is returned and `tooLong` is set.
  static constexpr std::size_t kMaxStandardInput = 64 * 1024;
  static std::optional<QString> EnrollmentArgument(const QStringList& arguments,
                                                   std::istream& input, bool* tooLong = nullptr);

  // Handles the console signals (Ctrl+C, a closed terminal) by logging them, and nothing else.
  static void InstallConsoleHandler();
  // Logs the console signals that arrive while the event loop runs; stops with `owner`.
  static void WatchConsoleSignals(QObject* owner);

 private:
  void Shutdown();

  std::unique_ptr<MainWindow> m_window;
  LibrarySession m_library;
};

}  // namespace ov::app
