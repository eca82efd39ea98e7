// The view of the enrollment choice (EnrollmentModel): the description and the three ways.
#pragma once

#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;

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

 protected:
  void refresh() override;

 private:
  QLabel* m_headline;
  QLabel* m_text;
  ButtonST* m_auto;
  ButtonST* m_manual;
  ButtonST* m_cancel;
};

}  // namespace ov::app
