// The window's size at a scale factor of 2 on a small screen (1280×720 device pixels, so 640×360
// at that scale): it opens within the screen's available area, can be made larger, and can be
// made no smaller than that. The process sets the scale and the screen before Qt starts.
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "app/qt/MainWindow.h"
#include "app/qt/Theme.h"
#include "tests/app/AppTestSupport.h"

using namespace ov::app;

class WindowSizeTest : public QObject, protected ov::test::WindowDriver {
  Q_OBJECT

 private slots:
  void init() { begin(); }
  void cleanup() { end(); }

  void theWindowFitsASmallScreenAtScaleTwo() {
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    const QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
    QCOMPARE(available, QSize(640, 360));
    const QSize designed = theme::Dlu(210, 250);
    QVERIFY2(designed.height() > available.height(), "the designed size is too tall here");
    openWindow();
    QVERIFY(window->width() <= available.width() && window->height() <= available.height());
    QCOMPARE(window->height(), available.height());
    QCOMPARE(window->width(), designed.width());
    // The user may make it larger, not smaller than what fits.
    QVERIFY(window->maximumSize().width() > designed.width());
    QCOMPARE(window->minimumSize(), window->size());
  }

  void sizeIsTheDesignedOneBoundedByTheScreen_data() {
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("large screen: designed") << QSize(1920, 1040) << QSize(315, 500);
    QTest::newRow("too low") << QSize(1024, 400) << QSize(315, 400);
    QTest::newRow("too narrow and low") << QSize(300, 200) << QSize(300, 200);
    QTest::newRow("no screen known: designed") << QSize() << QSize(315, 500);
  }
  void sizeIsTheDesignedOneBoundedByTheScreen() {
    QFETCH(QSize, available);
    QFETCH(QSize, expected);
    QCOMPARE(WindowSize(QSize(315, 500), available), expected);
  }
};

int main(int argc, char** argv) {
  ov::test::PrivateHome home;
  const auto config = ov::test::PrivateHome::Root() / "small-screen.json";
  std::ofstream(config) << R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280,
    "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.c_str());
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication application(argc, argv);
  WindowSizeTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "WindowSizeTest.moc"
