// The side bar of icon buttons: information, add token or rename, change PIN, deactivate and
// delete. Beside the token list (type 33) it offers information and a new token; beside the
// passcode screen (34) everything for the open token; beside the inactive-token notice (51)
// information, deactivate and delete.
#pragma once

#include "app/qt/screens/RHGenericChildDialog.h"

namespace ov::app {

class ButtonST;

class BlackPortionDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  BlackPortionDialog(QObject* receiver, const QString& objectName);

  std::vector<QWidget*> focusCycle() const override;
  // Beside a token, the information button (the list keeps the focus beside the list).
  QWidget* initialFocus() const override;
  void ShowChildDialog(bool show) override;

  void OnBnClickedBlackDlgInfoBtn();
  void OnBnClickedBlackDlgChangeTokenNameBtn();
  void OnBnClickedBlackDlgChangeTokenPin();
  void OnBnClickedBlackDlgResetTokenBtnz();
  void OnBnClickedBlackDlgDeleteTokenBtn();

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;

 private:
  ButtonST* m_info;
  ButtonST* m_addOrRename;
  ButtonST* m_changePin;
  ButtonST* m_deactivate;
  ButtonST* m_delete;
  bool m_hasSerial = false;
};

}  // namespace ov::app
