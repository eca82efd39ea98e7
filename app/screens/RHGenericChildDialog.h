// The base of every screen. A screen is a widget that the main window creates over its placeholder
// area, shows, hides and destroys; the object itself lives as long as the main window, and its
// contents are set up again (OnInitDialog) each time it is created. A screen moves the application
// on only by posting navigation events to the main window (Navigation.h).
//
// Timers keep the IDs and periods of the application: 221 inactivity (60 s, only on screens that
// ask for it, restarted by typing), 222 to 225 as each screen uses them. Every timer a screen
// starts is stopped when the screen is hidden or destroyed, so a hidden screen never acts.
#pragma once

#include <QWidget>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class QLabel;
class QTimer;

namespace ov::app {

class RHGenericChildDialog : public QWidget {
  Q_OBJECT

 public:
  // `receiver` gets the navigation events (the main window).
  RHGenericChildDialog(QObject* receiver, const QString& objectName, QWidget* parent = nullptr);
  ~RHGenericChildDialog() override;

  int m_DialogType = 0;

  // Creates the screen over `placeholder` (its contents are set up for m_DialogType) and shows it
  // when asked to.
  virtual void CRHCreateGenericChildDialog(QWidget* placeholder, bool show);
  // Shows (adding the timers) or hides (removing them).
  virtual void ShowChildDialog(bool show);
  // Hides the screen, stops its timers and forgets its contents until the next creation.
  virtual void DestroyChildDialog();
  bool isCreated() const { return m_created; }

  virtual bool isTimer1Added() const { return false; }
  void addTimers();
  void removeTimers();
  // 0 or 221: restart the inactivity count (only where the screen runs it); 222: restart the
  // 5-second timer.
  void resetTimer(int id);
  // The timer of that ID (created on first use, named "timer<ID>").
  QTimer* timer(int id);
  void startTimer(int id, int milliseconds, bool singleShot = false);
  void stopTimer(int id);
  bool isTimerRunning(int id) const;

  // Posts a navigation message with its code to the main window.
  void CRHPostMessageToParent(int message, int code);
  void postContinue(int code);
  void postCancel(int code);
  void postTitleIndicator(int code);

  // Passcode of the open token into the shared values. Returns 0 (ready), 164 (the challenge was
  // refused; the error label says so), 200 (a multi-host token: refused, the label or a box says
  // so), 1 or -1 (failure: the application is aborted through cancel 72).
  int GenerateOTP(const wchar_t* challenge, QLabel* errorLabel);

  // From an open, activated token on to what its passcode needs: the PIN to set (when asked to
  // and the token wants one), the challenge entry, or the passcode itself. Without the token's
  // information it aborts or does nothing, as the caller says. True when it moved on.
  enum class WithoutInfo { DoNothing, Abort };
  bool ContinueToPasscode(bool setPinFirst, WithoutInfo withoutInfo, QLabel* errorLabel);

  // Before the open token is reset: when an activation code shown for it may still be in use
  // (or `codeOnScreen`, it is shown right now), asks whether it may become invalid. False when
  // the user keeps it.
  bool MayVoidActivationCode(bool codeOnScreen = false);
  // Resets the open token after MayVoidActivationCode agreed: the library's result, or nothing
  // when the user kept the token as it is.
  std::optional<int32_t> ResetTokenAfterAsking(bool codeOnScreen = false);

  // Calls of the main window after it went back to this screen.
  virtual void showErrorMessage() {}
  virtual void showInvalidPINError() {}
  virtual void ClearMessageLine() {}
  virtual void ResetForReentry() {}

  // The screen's controls in keyboard order, visible ones only (the main window cycles through
  // them with Back).
  virtual std::vector<QWidget*> focusCycle() const;
  // Escape pressed on this screen; true when the screen used it.
  virtual bool onEscape() { return false; }
  // Back pressed on this screen: whatever leaving it undoes is done here; false keeps the user
  // on the screen.
  virtual bool confirmBack() { return true; }
  // The widget to focus when the screen is shown.
  virtual QWidget* initialFocus() const { return nullptr; }
  // True while the screen waits for work on another thread: the window is not left meanwhile.
  virtual bool isBusy() const { return false; }

 signals:
  // The work isBusy() waited for has ended.
  void busyEnded();

 public:
 protected:
  virtual void OnInitDialog() {}
  virtual void OnDestroy() {}
  // A timer fired. The base handles the inactivity timer: back to the token list.
  virtual void OnTimer(int id);
  // Registers a control for the keyboard cycle, in order.
  void addToCycle(QWidget* widget) { m_cycle.push_back(widget); }
  void paintEvent(QPaintEvent* event) override;

 private:
  QObject* m_receiver;
  bool m_created = false;
  std::map<int, QTimer*> m_timers;
  std::vector<QWidget*> m_cycle;
};

}  // namespace ov::app
