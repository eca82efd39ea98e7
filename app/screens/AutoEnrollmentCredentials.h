// The automatic enrollment's questions: user ID and password (37), and when the server asks for
// one, a soft PIN (38) and its confirmation (53). The exchange with the server runs on a worker
// thread; meanwhile Continue and Cancel are hidden, the window stays responsive, and the screen
// counts as busy, so the window is neither left nor closed under the worker.
#pragma once

#include "app/EnrollmentWorker.h"
#include "app/SharedValues.h"
#include "app/screens/RHGenericChildDialog.h"

class QLabel;
class QLineEdit;

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
  bool isBusy() const override { return m_worker.running(); }
  void ShowChildDialog(bool show) override;

  void OnBnClickedContinue();
  void OnBnClickedCancel();
  void showErrorMessage() override;
  void ClearMessageLine() override;
  void ResetForReentry() override;

 protected:
  void OnInitDialog() override;
  void OnDestroy() override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void StartAutoEnrollmentThread(const SecretText* softPin);
  void enrollmentFinished(const EnrollmentOutcome& outcome);
  void handleAutoEnrollmentError(int32_t result);
  void ShowSoftPinRule();
  void setError(const QString& text);
  void setWorking(bool working);
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
  EnrollmentWorker m_worker;
};

}  // namespace ov::app
