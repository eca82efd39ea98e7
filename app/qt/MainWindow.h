// The application's only window: the view of the router (app/core/Router.h). It owns every
// screen's widget and hands the router a slot for each, shows the active screen over its
// placeholder area and draws the title bar the router publishes: the current token's name, two
// title indicators, the Back/List button and the window menu with About. Screens' posted
// navigation events, Back's clicks and the keys the router decides on are passed to the router;
// the keyboard cycle through Back, the screen and the menu stays here.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "app/core/Router.h"
#include "ov/ov_api.h"

class QAction;
class QLabel;

namespace ov::app {

class ButtonST;
class DualDialogWrapper;
class RHGenericChildDialog;

// The window's size, which is also its least: the designed size at the current scale, but never
// more than the screen's available area.
QSize WindowSize(const QSize& designed, const QSize& available);

class MainWindow : public QWidget, private RouterView {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // An enrollment string handed over on the command line, before start().
  void setEnrollmentString(const QString& text);
  // Shows the first screen: the enrollment start, the welcome screen, the one token's screen or
  // the token list.
  void start() { m_router.start(); }
  // A second start reached this copy: the window comes to the front, and a valid enrollment
  // string starts as it would on the command line (unless an enrollment is under way).
  void handOver(const QString& enrollment);

  RHGenericChildDialog* getActiveChildDlg() const;
  // The screen object of a continue code (made on first use); null for an unknown code.
  RHGenericChildDialog* screenFor(int code);
  // The code whose screen object is active, or 0.
  int activeScreenCode() const { return m_router.activeScreenCode(); }
  int stackDepth() const { return m_router.stackDepth(); }
  bool isBackListMode() const { return m_router.isBackListMode(); }
  bool IsPasscodeDlgActive() const { return m_router.IsPasscodeDlgActive(); }
  bool IsInactiveTokenDlgActive() const { return m_router.IsInactiveTokenDlgActive(); }

  void OnBnClickedBackBtn() { m_router.OnBnClickedBackBtn(); }
  void SingleTokenFlow(const OVTokenInfoW& record) { m_router.SingleTokenFlow(record); }
  void showAbout();

 signals:
  // The window is done; the process should end with this exit code.
  void exitRequested(int code);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The router's requests.
  void draw(const WindowState& state) override;
  void focusBack() override;
  void showError(const Text& text) override;
  void exitApplication(int code) override;
  void handEnrollmentString(std::string_view text) override;

  void moveFocus(bool forward);
  std::vector<QWidget*> keyboardCycle() const;
  void buildScreens();
  // The widget of a screen by the code that owns it, made when the router first asks.
  ScreenSlot* makeScreen(int owner);

  QWidget* m_titleBar;
  QLabel* m_title;
  QLabel* m_indicatorA;
  QLabel* m_indicatorB;
  ButtonST* m_btnBack;
  ButtonST* m_menuButton;
  QWidget* m_placeholder;
  QAction* m_quit;

  std::map<int, std::function<RHGenericChildDialog*()>> m_factories;
  Router m_router;
};

}  // namespace ov::app
