// The message screen: a headline, a text and one or two buttons. It welcomes a first start (42),
// confirms deactivating (43) or deleting (44) a token, says that a token was renamed (41) or its
// PIN changed (49), and tells that a token is not activated yet (50, beside the side bar). The
// confirmations start with the focus on Cancel.
#pragma once

#include "app/qt/screens/RHGenericChildDialog.h"

class QLabel;

namespace ov::app {

class ButtonST;

class WelcomeMessageDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  WelcomeMessageDialog(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;
  bool onEscape() override;
  void ShowChildDialog(bool show) override;

  void OnBnClickedMainBtn();
  void OnBnClickedCancelBtn();

 protected:
  void refresh() override;

 private:
  QLabel* m_headline;
  QLabel* m_text;
  QLabel* m_error;
  ButtonST* m_main;
  ButtonST* m_cancel;
  unsigned m_focusRequestDrawn = 0;
};

}  // namespace ov::app
