#include "app/qt/screens/TokenListDialog.h"

#include <QIcon>
#include <QVBoxLayout>

#include "app/core/screens/TokenListModel.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/qt/widgets/CustomListCtrl.h"

namespace ov::app {
namespace {

QIcon ImageIcon(int image) {
  if (image == TokenListModel::kNotActivated) {
    return QIcon(QStringLiteral(":/icons/not-activated.svg"));
  }
  if (image == TokenListModel::kLocked) return QIcon(QStringLiteral(":/icons/locked.svg"));
  return {};
}

}  // namespace

TokenListDialog::TokenListDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<TokenListModel>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_list = new CustomListCtrl(QStringLiteral("tokenList"), this);
  m_list->setAccessibleName(Str(kStrTokenList));
  layout->addWidget(m_list);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, theme::kListBackground);
  setPalette(colours);
  addToCycle(m_list);
  connect(m_list, &CustomListCtrl::rowChosen, this, &TokenListDialog::OnLvnItemchangedList1);
}

void TokenListDialog::initTokenList() {
  ModelOf<TokenListModel>(*this).initTokenList();
  refresh();
}

void TokenListDialog::refresh() {
  const TokenListModel& model = ModelOf<TokenListModel>(*this);
  if (model.readings() == m_readingDrawn) return;
  m_readingDrawn = model.readings();
  m_list->clear();
  for (const TokenListModel::Row& shown : model.rows()) {
    auto* row = new QTreeWidgetItem(m_list);
    row->setText(0, QString::fromStdString(shown.shownName));
    row->setText(1, QStringLiteral(">"));
    row->setIcon(0, ImageIcon(shown.image));
    row->setData(0, Qt::UserRole, QString::fromStdWString(shown.name));
    row->setData(0, kImageRole, shown.image);
    row->setData(0, Qt::AccessibleTextRole, QString::fromStdString(shown.accessible));
  }
  if (model.currentRow() >= 0) m_list->setCurrentItem(m_list->topLevelItem(model.currentRow()));
  m_list->viewport()->update();
}

void TokenListDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    ModelOf<TokenListModel>(*this).OnShown();
    refresh();
  }
}

QWidget* TokenListDialog::initialFocus() const { return m_list; }

std::vector<QWidget*> TokenListDialog::focusCycle() const {
  if (m_list->topLevelItemCount() == 0) return {};
  return RHGenericChildDialog::focusCycle();
}

void TokenListDialog::OnLvnItemchangedList1(int row) {
  ModelOf<TokenListModel>(*this).OnLvnItemchangedList1(row);
}

}  // namespace ov::app
