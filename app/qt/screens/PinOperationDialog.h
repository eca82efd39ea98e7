// The view of the one-field screen (PinOperationModel): a headline, the field with its label, a
// hint, the message line, Continue and Cancel. It draws the model's state and hands it the field's
// text, the keys and the clicks.
#pragma once

#include "app/core/screens/PinOperationModel.h"
#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;
class QLineEdit;

namespace ov::app {

class ButtonST;

class PinOperationDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  PinOperationDialog(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;
  bool onEscape() override;
  void ShowChildDialog(bool show) override;

  // An enrollment string handed over at start-up, taken by the next showing of variant 36.
  void setURLEnrollmentString(const QString& text);

  void OnBnClickedContinuebtn();
  void OnBnClickedCancelbtn();

 protected:
  void OnDestroy() override;
  void refresh() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PinOperationModel& pinModel() const { return ModelOf<PinOperationModel>(*this); }
  QWidget* widgetFor(PinOperationModel::Control control) const;
  // Hands the field's text to the model, leaving no copy behind.
  void forwardEdit(bool byUser);
  void drawField();

  QLabel* m_headline;
  QLabel* m_fieldLabel;
  QLineEdit* m_edit;
  QLabel* m_hint;
  QLabel* m_message;
  ButtonST* m_continue;
  ButtonST* m_cancel;
  unsigned m_focusRequest = 0;
  // Set while refresh() writes the field, so that its own change is not handed back.
  bool m_drawing = false;
};

}  // namespace ov::app
