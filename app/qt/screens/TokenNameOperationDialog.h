// The name of a new token: a proposed name ("Kelsa Orvanti", then "Kelsa Orvanti 2" ...), which the
// user may change; a name that another token has in any letter case is refused. Activate goes on
// to the enrollment (straight to the enrollment string when the program was started with one);
// Activate Later keeps the new token for later.
#pragma once

#include <string>

#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;
class QLineEdit;

namespace ov::app {

class ButtonST;

class TokenNameOperationDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  TokenNameOperationDialog(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;
  bool onEscape() override;

  void setAutoEnrollmentByURLMode(bool byUrl);
  bool isAutoEnrollmentByURLMode() const;

  bool createNewToken();
  void OnBnClickedActivate();
  void OnBnClickedActivateLater();
  void OnBnClickedCancel();

 protected:
  void OnInitDialog() override;
  void refresh() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The field's text for a handler of the model.
  std::wstring fieldText() const;

  QLabel* m_headline;
  QLabel* m_label;
  QLineEdit* m_edit;
  QLabel* m_error;
  ButtonST* m_activate;
  ButtonST* m_later;
  ButtonST* m_cancel;
  unsigned m_focusRequestDrawn = 0;
};

}  // namespace ov::app
