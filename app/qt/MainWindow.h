// The application's only window and its only router. It owns every screen, shows one screen (or
// one side-by-side pair) at a time over its placeholder area, keeps the stack of screens the user
// came through, and draws the title bar: the current token's name, two title indicators, the
// Back/List button and the window menu with About. Screens reach it only through posted
// navigation events; the continue and cancel codes are dispatched from the tables below, which
// the tests walk too.
#pragma once

#include <QWidget>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "app/core/Routes.h"
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

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // An enrollment string handed over on the command line, before start().
  void setEnrollmentString(const QString& text) { m_strEnrollmentString = text; }
  // Shows the first screen: the enrollment start, the welcome screen, the one token's screen or
  // the token list.
  void start();
  // A second start reached this copy: the window comes to the front, and a valid enrollment
  // string starts as it would on the command line (unless an enrollment is under way).
  void handOver(const QString& enrollment);

  RHGenericChildDialog* getActiveChildDlg() const { return m_pActiveChildDlg; }
  // The screen object of a continue code (made on first use); null for an unknown code.
  RHGenericChildDialog* screenFor(int code);
  // The code whose screen object is active, or 0.
  int activeScreenCode() const;
  int stackDepth() const { return static_cast<int>(childObjs.size()); }
  bool isBackListMode() const { return m_bBackListMode; }
  bool IsPasscodeDlgActive() const;
  bool IsInactiveTokenDlgActive() const;

  void OnBnClickedBackBtn();
  void SingleTokenFlow(const OVTokenInfoW& record);
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
  void OnContinueMsg(int code);
  void OnTitleIndicatorMsg(int code);
  void OnCancelMsg(int code);
  void CallChildDialog(int code);
  void popAndShowActivewindow(int nCount, bool showWindow, bool destroyLastPopped);
  void returnToTokenList();
  void destroyWholeStack();
  void AbortApplication();
  void ExitOnSingleToken();
  void finish(int exitCode, bool showError);
  void CleanMessagesPostBackClick();
  void setActiveChildDlg(RHGenericChildDialog* screen);
  void setBackVisible(bool visible);
  void setBackListMode(bool listMode);
  void setTitle(const QString& title);
  void showTokenTitle();
  void moveFocus(bool forward);
  std::vector<QWidget*> keyboardCycle() const;
  void buildScreens();
  bool isScreen(int code) const;

  QWidget* m_titleBar;
  QLabel* m_title;
  QLabel* m_indicatorA;
  QLabel* m_indicatorB;
  ButtonST* m_btnBack;
  ButtonST* m_menuButton;
  QWidget* m_placeholder;
  QAction* m_quit;

  // The object of a screen by the code that owns it, made on first use.
  RHGenericChildDialog* screenObject(int owner);

  // The second token-list pair, for a return to the list while the first is showing.
  static constexpr int kSecondListPair = -40;
  std::map<int, std::function<RHGenericChildDialog*()>> m_factories;
  std::map<int, RHGenericChildDialog*> m_screens;  // one object per owning code
  RHGenericChildDialog* m_pActiveChildDlg = nullptr;
  std::deque<RHGenericChildDialog*> childObjs;
  bool m_bBackListMode = false;
  bool m_finished = false;
  QString m_strDefaultTitle;
  QString m_strEnrollmentString;
};

}  // namespace ov::app
