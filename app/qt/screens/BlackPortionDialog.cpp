#include "app/qt/screens/BlackPortionDialog.h"

#include <QVBoxLayout>

#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/ButtonST.h"

namespace ov::app {

BlackPortionDialog::BlackPortionDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<BlackPortionModel>()) {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, theme::kBlack);
  setPalette(colours);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(3), theme::DluY(6), theme::DluX(3), theme::DluY(6));
  layout->setSpacing(theme::DluY(4));
  auto make = [&](const char* name, const char* icon, int tooltip) {
    auto* button = new ButtonST(QString::fromLatin1(name), ButtonST::Look::Icon, this);
    button->setSvgIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon)), Str(tooltip));
    layout->addWidget(button, 0, Qt::AlignHCenter);
    addToCycle(button);
    return button;
  };
  m_info = make("infoButton", "info", 180);
  m_addOrRename = make("addRenameButton", "add", 104);
  m_changePin = make("changePinButton", "change-pin", 152);
  m_deactivate = make("deactivateButton", "deactivate", 179);
  m_delete = make("deleteButton", "delete", 105);
  m_shownIcon = BlackPortionModel::Icon::Add;
  layout->addStretch(1);
  connect(m_info, &QPushButton::clicked, this, &BlackPortionDialog::OnBnClickedBlackDlgInfoBtn);
  connect(m_addOrRename, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgChangeTokenNameBtn);
  connect(m_changePin, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgChangeTokenPin);
  connect(m_deactivate, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgResetTokenBtnz);
  connect(m_delete, &QPushButton::clicked, this,
          &BlackPortionDialog::OnBnClickedBlackDlgDeleteTokenBtn);
}

ButtonST* BlackPortionDialog::buttonOf(BlackPortionModel::Control control) const {
  using Control = BlackPortionModel::Control;
  switch (control) {
    case Control::Info:
      return m_info;
    case Control::AddOrRename:
      return m_addOrRename;
    case Control::ChangePin:
      return m_changePin;
    case Control::Deactivate:
      return m_deactivate;
    case Control::Delete:
      return m_delete;
    case Control::None:
      break;
  }
  return nullptr;
}

void BlackPortionDialog::refresh() {
  using Control = BlackPortionModel::Control;
  const BlackPortionModel& state = model();
  for (Control control : {Control::Info, Control::AddOrRename, Control::ChangePin,
                          Control::Deactivate, Control::Delete}) {
    ButtonST* button = buttonOf(control);
    button->setEnabled(state.button(control).enabled);
    button->setVisible(state.button(control).shown);
  }
  if (m_shownIcon != state.addOrRenameIcon()) {
    m_shownIcon = state.addOrRenameIcon();
    const bool add = *m_shownIcon == BlackPortionModel::Icon::Add;
    m_addOrRename->setSvgIcon(
        add ? QStringLiteral(":/icons/add.svg") : QStringLiteral(":/icons/rename.svg"),
        Str(state.addOrRenameTooltip()));
  }
  if (ButtonST* focus = buttonOf(model().takeFocusRequest())) focus->setFocus();
}

void BlackPortionDialog::click(void (BlackPortionModel::*handler)()) {
  (model().*handler)();
  refresh();
}

QWidget* BlackPortionDialog::initialFocus() const { return buttonOf(model().initialFocus()); }

void BlackPortionDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show && initialFocus() != nullptr) m_info->setFocus();
}

std::vector<QWidget*> BlackPortionDialog::focusCycle() const {
  std::vector<QWidget*> cycle = RHGenericChildDialog::focusCycle();
  if (!model().addOrRenameInCycle()) std::erase(cycle, static_cast<QWidget*>(m_addOrRename));
  return cycle;
}

void BlackPortionDialog::OnBnClickedBlackDlgInfoBtn() {
  click(&BlackPortionModel::OnBnClickedBlackDlgInfoBtn);
}

void BlackPortionDialog::OnBnClickedBlackDlgChangeTokenNameBtn() {
  click(&BlackPortionModel::OnBnClickedBlackDlgChangeTokenNameBtn);
}

void BlackPortionDialog::OnBnClickedBlackDlgChangeTokenPin() {
  click(&BlackPortionModel::OnBnClickedBlackDlgChangeTokenPin);
}

void BlackPortionDialog::OnBnClickedBlackDlgResetTokenBtnz() {
  click(&BlackPortionModel::OnBnClickedBlackDlgResetTokenBtnz);
}

void BlackPortionDialog::OnBnClickedBlackDlgDeleteTokenBtn() {
  click(&BlackPortionModel::OnBnClickedBlackDlgDeleteTokenBtn);
}

}  // namespace ov::app
