// From Enter on the token PIN screen to the passcode painted on the passcode screen, through the
// real window and library (offscreen platform), beside the PBKDF2 work that the PIN check and the
// passcode cannot avoid: two derivations of 10,000 iterations of HMAC-SHA-256, done here as one
// derivation of 20,000 with OpenSSL. The ratio of the two is the desktop's own cost.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/qt/MainWindow.h"
#include "app/core/Navigation.h"
#include "app/qt/screens/TokenListDialog.h"
#include "app/qt/widgets/CustomListCtrl.h"
#include "app/qt/widgets/DualDialogWrapper.h"
#include "tests/app/AppTestSupport.h"

namespace {

using namespace ov::app;

class PaintWatch : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("code")) {
      painted = true;
    }
    return false;
  }
};

void OpenPinScreen(MainWindow& window) {
  QCoreApplication::postEvent(&window, new NavigationEvent(WM_CANCEL_MSG, Cancel::kToTokenList));
  ov::test::Drain();
  auto* pair = static_cast<DualDialogWrapper*>(window.getActiveChildDlg());
  auto* list = static_cast<TokenListDialog*>(pair->first());
  for (int row = 0; row < list->list()->topLevelItemCount(); ++row) {
    if (list->list()->topLevelItem(row)->text(0) == QLatin1String("Guarded")) {
      list->OnLvnItemchangedList1(row);
    }
  }
  ov::test::Drain();
}

QLineEdit* VisibleEdit(MainWindow& window) {
  for (QLineEdit* edit : window.findChildren<QLineEdit*>("edit")) {
    if (edit->isVisible()) return edit;
  }
  return nullptr;
}

void BM_EnterToPaintedPasscode(benchmark::State& state) {
  ov::test::AppEnvironment env;
  ov::test::MakeActivatedToken("Guarded", ov::test::Formulate({{"mode", 0}, {"pinlen", 4}}), "2468");
  ov::test::MakeActivatedToken("Other", ov::test::kEventPolicy);
  MainWindow window;
  window.start();
  window.show();
  PaintWatch watch;
  qApp->installEventFilter(&watch);
  for (auto _ : state) {
    state.PauseTiming();
    OpenPinScreen(window);
    QLineEdit* edit = VisibleEdit(window);
    if (edit == nullptr) {
      state.SkipWithError("no PIN screen");
      break;
    }
    edit->setText(QStringLiteral("2468"));
    watch.painted = false;
    state.ResumeTiming();
    QTest::keyClick(edit, Qt::Key_Return);
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  qApp->removeEventFilter(&watch);
  if (window.activeScreenCode() != Continue::kPasscode) state.SkipWithError("no passcode shown");
}
BENCHMARK(BM_EnterToPaintedPasscode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same library calls without the window: what of the time above is the library's.
void BM_LibraryPinCheckAndPasscode(benchmark::State& state) {
  ov::test::AppEnvironment env;
  ov::test::MakeActivatedToken("Guarded", ov::test::Formulate({{"mode", 0}, {"pinlen", 4}}), "2468");
  for (auto _ : state) {
    OV_CreateInstanceW(L"Guarded", 0);
    OV_ValidatePinW(L"2468");
    benchmark::DoNotOptimize(ov::test::NextPasscode());
    OV_ReleaseInstance();
  }
}
BENCHMARK(BM_LibraryPinCheckAndPasscode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Pbkdf2OfThePinCheck(benchmark::State& state) {
  const unsigned char salt[32] = {1};
  unsigned char key[32];
  for (auto _ : state) {
    PKCS5_PBKDF2_HMAC("2468", 4, salt, sizeof salt, 20000, EVP_sha256(), sizeof key, key);
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_Pbkdf2OfThePinCheck)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ov::test::PrivateHome home;
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
