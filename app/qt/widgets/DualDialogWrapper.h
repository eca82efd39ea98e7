// Two screens shown side by side as one: the token list, the passcode screen or the inactive-token
// notice on the left, the side bar of icon buttons on the right. Showing, hiding and destroying the
// wrapper does the same to both halves.
#pragma once

#include "app/qt/screens/RHGenericChildDialog.h"

namespace ov::app {

class DualDialogWrapper : public RHGenericChildDialog {
  Q_OBJECT

 public:
  DualDialogWrapper(QObject* receiver, const QString& objectName, RHGenericChildDialog* first,
                    RHGenericChildDialog* second);

  RHGenericChildDialog* first() const { return m_first; }
  RHGenericChildDialog* second() const { return m_second; }

  // The left half takes the variant, the right half the side bar's type.
  void createScreen(int dialogType, int sideBar) override;
  void CRHCreateGenericChildDialog(QWidget* placeholder, bool show) override;
  void ShowChildDialog(bool show) override;
  void DestroyChildDialog() override;
  std::vector<QWidget*> focusCycle() const override;
  QWidget* initialFocus() const override;
  // Escape is the left half's (the inactive-token notice's Cancel, for one).
  bool onEscape() override;

 private:
  RHGenericChildDialog* m_first;
  RHGenericChildDialog* m_second;
};

}  // namespace ov::app
