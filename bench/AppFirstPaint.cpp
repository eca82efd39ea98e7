// ov_bench_app_first_paint: orvanti's own start-up (the same steps as its main()), ended as soon
// as the token list has painted its first frame. bench/app_start.sh times it as a whole process.
#include <dlfcn.h>

#include <QApplication>
#include <QTimer>

#include "app/qt/MainWindow.h"
#include "app/qt/OrvantiApp.h"

namespace {

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(ov::app::OrvantiApp& app) : m_app(app) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!m_done && event->type() == QEvent::Paint && watched->parent() != nullptr &&
        watched->parent()->objectName() == QLatin1String("tokenList")) {
      m_done = true;
      QTimer::singleShot(0, [this] { m_app.mainWindow()->close(); });
    }
    return false;
  }

 private:
  ov::app::OrvantiApp& m_app;
  bool m_done = false;
};

}  // namespace

int main(int argc, char** argv) {
  dlopen("libbrisel.so", RTLD_NOW | RTLD_GLOBAL);
  ov::app::OrvantiApp::InstallConsoleHandler();
  QApplication application(argc, argv);
  ov::app::OrvantiApp app;
  FirstPaint watcher(app);
  application.installEventFilter(&watcher);
  return app.InitInstance({});
}
