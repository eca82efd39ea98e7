// The code screen in two variants: the activation code of a manual enrollment (26), which the user
// types at the server before going on, and the passcode (35, left of the side bar). An event or
// challenge-response passcode locks the button for 5 seconds after each passcode; a time-based
// passcode counts its step's seconds down and is replaced when the next step begins. Time here is
// measured with a monotonic clock, so a changed wall clock or a long uptime cannot confuse it.
// Either code can be copied (Copy, Ctrl+C) but not selected with the mouse, which would put it on
// the primary selection where nothing ever clears it; the screen holds the only copy of the
// passcode and wipes it when it is left.
#pragma once

#include <QElapsedTimer>

#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;

namespace ov::app {

class ButtonST;

class ActivationCodeDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  ActivationCodeDialog(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;
  void ShowChildDialog(bool show) override;
  bool confirmBack() override;

  void OnBnClickedContinuebtn();
  void OnBnClickedCancelbtn();
  void ShowOTP();
  void startButtonStateTimer();
  void stopButtonStateTimer();
  // Puts the code on screen on the clipboard (Copy, or Ctrl+C on the screen).
  void copyCode();

  // Seconds shown by the count-down of a time-based passcode.
  int counter() const { return m_nCounter; }

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;
  void OnDestroy() override;

 private:
  static constexpr int kPasscodeVariant = 35;
  void ShowCounter(bool show);
  void showCode(QString code);
  // Shows the passcode just produced and wipes the shared copy it came in.
  void takePasscode();
  // Takes the code off the screen and the clipboard, wiping the screen's copy.
  void forgetCode();
  void showCounterValue();

  ButtonST* m_continue;
  ButtonST* m_cancel;
  ButtonST* m_copy;
  QLabel* m_title;
  QLabel* m_code;
  QLabel* m_headline;
  QLabel* m_hint;
  QLabel* m_clipboardNote;
  QLabel* m_nextLabel;
  QLabel* m_seconds;
  QLabel* m_secondsLabel;
  QString m_shownCode;  // shares its characters with the label, so wiping it wipes the label's
  int m_nCounter = 0;
  bool m_timeBased = false;
  int m_timeStep = 0;
  int m_remainingAtPasscode = 0;      // seconds its step had left when the passcode was produced
  QElapsedTimer m_sinceLastPasscode;  // when the passcode on screen was produced
};

}  // namespace ov::app
