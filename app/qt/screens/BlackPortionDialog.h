// The view of the side bar of icon buttons (BlackPortionModel decides which it offers and what
// each does): information, add token or rename, change PIN, deactivate and delete.
#pragma once

#include <optional>

#include "app/core/screens/BlackPortionModel.h"
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
  void refresh() override;

 private:
  BlackPortionModel& model() const { return ModelOf<BlackPortionModel>(*this); }
  ButtonST* buttonOf(BlackPortionModel::Control control) const;
  // Runs a click through the model and draws its state.
  void click(void (BlackPortionModel::*handler)());

  ButtonST* m_info;
  ButtonST* m_addOrRename;
  ButtonST* m_changePin;
  ButtonST* m_deactivate;
  ButtonST* m_delete;
  std::optional<BlackPortionModel::Icon> m_shownIcon;
};

}  // namespace ov::app
