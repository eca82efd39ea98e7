#include "app/qt/widgets/DualDialogWrapper.h"

#include <QHBoxLayout>

namespace ov::app {

DualDialogWrapper::DualDialogWrapper(QObject* receiver, const QString& objectName,
                                     RHGenericChildDialog* first, RHGenericChildDialog* second)
    : RHGenericChildDialog(receiver, objectName), m_first(first), m_second(second) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(first, 1);
  layout->addWidget(second, 0);
}

void DualDialogWrapper::createScreen(int dialogType, int sideBar) {
  m_first->m_DialogType = dialogType;
  m_second->m_DialogType = sideBar;
  RHGenericChildDialog::createScreen(dialogType, sideBar);
}

void DualDialogWrapper::CRHCreateGenericChildDialog(QWidget* placeholder, bool show) {
  // The halves are set up first, shown inside the still hidden wrapper, so the timers their setup
  // starts keep running.
  m_first->CRHCreateGenericChildDialog(this, true);
  m_second->CRHCreateGenericChildDialog(this, true);
  RHGenericChildDialog::CRHCreateGenericChildDialog(placeholder, show);
}

void DualDialogWrapper::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  m_first->ShowChildDialog(show);
  m_second->ShowChildDialog(show);
  if (show) {
    if (QWidget* focus = initialFocus()) focus->setFocus();
  }
}

void DualDialogWrapper::DestroyChildDialog() {
  m_first->DestroyChildDialog();
  m_second->DestroyChildDialog();
  RHGenericChildDialog::DestroyChildDialog();
}

std::vector<QWidget*> DualDialogWrapper::focusCycle() const {
  std::vector<QWidget*> cycle = m_first->focusCycle();
  const std::vector<QWidget*> more = m_second->focusCycle();
  cycle.insert(cycle.end(), more.begin(), more.end());
  return cycle;
}

bool DualDialogWrapper::onEscape() { return m_first->onEscape(); }

QWidget* DualDialogWrapper::initialFocus() const {
  if (QWidget* focus = m_first->initialFocus()) return focus;
  return m_second->initialFocus();
}

}  // namespace ov::app
