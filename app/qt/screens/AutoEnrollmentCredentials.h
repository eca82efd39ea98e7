// The automatic enrollment's questions: user ID and password (37), and when the server asks for
// one, a soft PIN (38) and its confirmation (53). Before the first connection the screen names
// the server's host and the user ID and goes on only when the user confirms: the address may have
// come from a link or the clipboard. The exchange runs on a worker thread; meanwhile a progress
// bar shows, and Cancel (or Escape, or closing the window) ends the wait at once: the exchange
// is abandoned and its outcome dropped.
#pragma once

#include "app/core/EnrollmentWorker.h"
#include "app/core/SharedValues.h"
#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;

namespace ov::app {

class ButtonST;

// The soft-PIN rule as the server gave it, for the rule text.
QString SoftPinRuleText(int32_t minLength, int32_t maxLength, int32_t complexity);

class AutoEnrollmentCredentials : public RHGenericChildDialog {
  Q_OBJECT

 public:
  AutoEnrollmentCredentials(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;
  bool onEscape() override;
  bool isBusy() const override { return m_waiting; }
  void ShowChildDialog(bool show) override;

  void OnBnClickedContinue();
  void OnBnClickedCancel();
  void showErrorMessage() override;
  void ClearMessageLine() override;
  void ResetForReentry() override;

 protected:
  void OnInitDialog() override;
  void OnDestroy() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StartAutoEnrollmentThread(const SecretText* softPin);
  void onEnrollmentFinished(const EnrollmentOutcome& outcome);
  void enrollmentFinished(const EnrollmentOutcome& outcome);
  void handleAutoEnrollmentError(int32_t result);
  void ShowSoftPinRule();
  void setError(const QString& text);
  void setWorking(bool working);
  void askToConnect();
  void abandonExchange();
  void wipeEdits();

  QLabel* m_headline;
  QLabel* m_firstLabel;
  QLineEdit* m_first;
  QLabel* m_secondLabel;
  QLineEdit* m_second;
  QLabel* m_error;
  QLabel* m_rule;
  ButtonST* m_continue;
  ButtonST* m_cancel;
  QLabel* m_question;
  QLabel* m_status;
  QProgressBar* m_progress;
  EnrollmentWorker m_worker;
  bool m_confirming = false;  // the server question is on screen
  bool m_waiting = false;     // the exchange is under way and awaited
};

}  // namespace ov::app
