// The view of the code screen (ActivationCodeModel decides): the activation code of a manual
// enrollment or the passcode, with Copy and Ctrl+C. The code cannot be selected with the mouse,
// which would put it on the primary selection where nothing ever clears it; the label shares the
// characters of the view's one copy, which is wiped whenever the model's code changes.
#pragma once

#include "app/core/screens/ActivationCodeModel.h"
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

  void OnBnClickedContinuebtn();
  void OnBnClickedCancelbtn();
  // Puts the code on screen on the clipboard (Copy, or Ctrl+C on the screen).
  void copyCode();

  // Seconds shown by the count-down of a time-based passcode.
  int counter() const { return model().counter(); }

 protected:
  void OnDestroy() override;
  void refresh() override;

 private:
  ActivationCodeModel& model() const { return ModelOf<ActivationCodeModel>(*this); }
  // Puts the model's code on screen and wipes the copy it replaces.
  void showCode();

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
  unsigned m_shownVersion = 0;
  int m_codeSize = 0;  // points of the code's font, set for the variant
};

}  // namespace ov::app
