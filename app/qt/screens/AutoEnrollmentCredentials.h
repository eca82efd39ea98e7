// The view of the automatic enrollment's questions (AutoEnrollmentModel): user ID and password,
// or the soft PIN and its confirmation; the server question; and while the exchange runs a
// progress bar, with Cancel (or Escape, or closing the window) to end the wait at once.
#pragma once

#include "app/core/screens/AutoEnrollmentModel.h"
#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;

namespace ov::app {

class ButtonST;

class AutoEnrollmentCredentials : public RHGenericChildDialog {
  Q_OBJECT

 public:
  AutoEnrollmentCredentials(QObject* receiver, const QString& objectName);
  ~AutoEnrollmentCredentials() override;

  QWidget* initialFocus() const override;
  bool onEscape() override;
  void ShowChildDialog(bool show) override;

  void OnBnClickedContinue();
  void OnBnClickedCancel();

  // The worker's outcome arrives here; the screen is drawn again after it.
  void deliver(std::function<void()> task) override;

 protected:
  void OnDestroy() override;
  void refresh() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  AutoEnrollmentModel& enrollment() const { return ModelOf<AutoEnrollmentModel>(*this); }
  QWidget* widgetOf(AutoEnrollmentModel::Control control) const;
  void setBusyLook(bool busy);

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
  bool m_drawnBusy = false;    // the busy look is on (with the override cursor)
  int m_drawnFocusRequest = 0;  // the model's last focus request carried out
};

}  // namespace ov::app
