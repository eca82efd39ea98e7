// ov_bench_qt_floor: the least a Qt Widgets program does to paint a list of 10 rows: a window
// with a tree widget, ended at the list's first painted frame. The floor beside which
// bench/app_start.sh reads orvanti's start-up.
#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(QWidget* viewport) : m_viewport(viewport) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_viewport && event->type() == QEvent::Paint) {
      QTimer::singleShot(0, qApp, &QApplication::quit);
    }
    return false;
  }

 private:
  QWidget* m_viewport;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* list = new QTreeWidget(&window);
  list->setColumnCount(2);
  for (int i = 0; i < 10; ++i) {
    new QTreeWidgetItem(list, {QStringLiteral("Token %1").arg(i), QStringLiteral(">")});
  }
  layout->addWidget(list);
  FirstPaint watcher(list->viewport());
  list->viewport()->installEventFilter(&watcher);
  window.show();
  return QApplication::exec();
}
