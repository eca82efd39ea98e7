// The choice between automatic and manual enrollment of a new or deactivated token. After a failed
// automatic enrollment it says so once; the next showing gives the usual text again.
#pragma once

#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;
class QTimer;

namespace ov::app {

class ButtonST;

class EnrollmentDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  EnrollmentDialog(QObject* receiver, const QString& objectName);

  void ShowChildDialog(bool show) override;
  QWidget* initialFocus() const override;
  bool onEscape() override;

  void OnBnClickedAuto();
  void OnBnClickedManual();
  void OnBnClickedCancel();

 private:
  void showDescription();
  void followAbandonedExchange();

  QLabel* m_headline;
  QLabel* m_text;
  ButtonST* m_auto;
  ButtonST* m_manual;
  ButtonST* m_cancel;
  QTimer* m_libraryWait;
};

}  // namespace ov::app
