#include "app/qt/widgets/CustomListCtrl.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "app/qt/Theme.h"

namespace ov::app {
namespace {

class RowDelegate : public QStyledItemDelegate {
 public:
  explicit RowDelegate(CustomListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const bool selected = item.state & QStyle::State_Selected;
    const bool hot = index.row() == m_list->hotRow();
    QColor background = (index.row() + 1) % 2 == 1 ? theme::kRowOdd : theme::kRowEven;
    QColor text = theme::kBlack;
    if (hot) {
      background = theme::kPurple;
      text = theme::kWhite;
    } else if (selected) {
      background = theme::kPurple.lighter(160);
    }
    painter->fillRect(option.rect, background);
    QRect area = option.rect.adjusted(theme::DluX(3), 0, -theme::DluX(2), 0);
    if (!item.icon.isNull()) {
      const int side = option.rect.height() - 6;
      item.icon.paint(painter, QRect(area.left(), area.top() + 3, side, side));
      area.setLeft(area.left() + side + theme::DluX(3));
    }
    painter->setPen(text);
    painter->setFont(item.font);
    const Qt::Alignment align =
        index.column() == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
    painter->drawText(area, align,
                      item.fontMetrics.elidedText(item.text, Qt::ElideRight, area.width()));
    if (item.state & QStyle::State_HasFocus && m_list->hasFocus()) {
      painter->setPen(QPen(hot ? theme::kWhite : theme::kPurple, 1, Qt::DotLine));
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), theme::DluY(15)));
    return size;
  }

 private:
  CustomListCtrl* m_list;
};

}  // namespace

CustomListCtrl::CustomListCtrl(const QString& objectName, QWidget* parent) : QTreeWidget(parent) {
  setObjectName(objectName);
  setColumnCount(2);
  setHeaderLabels({QStringLiteral("Item #"), QStringLiteral(">")});
  header()->hide();
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::Stretch);
  header()->setSectionResizeMode(1, QHeaderView::Fixed);
  header()->resizeSection(1, theme::DluX(14));
  setRootIsDecorated(false);
  setIndentation(0);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setMouseTracking(true);
  setItemDelegate(new RowDelegate(this));
  setFont(theme::Helvetica(9, true));
  setFrameShape(QFrame::NoFrame);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, theme::kListBackground);
  setPalette(colours);
}

void CustomListCtrl::setHotRow(int row) {
  if (row == m_hotRow) return;
  m_hotRow = row;
  viewport()->update();
}

void CustomListCtrl::mouseMoveEvent(QMouseEvent* event) {
  setHotRow(indexAt(event->position().toPoint()).row());
  QTreeWidget::mouseMoveEvent(event);
}

void CustomListCtrl::leaveEvent(QEvent* event) {
  setHotRow(-1);
  QTreeWidget::leaveEvent(event);
}

void CustomListCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) emit rowChosen(index.row());
}

void CustomListCtrl::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
       event->key() == Qt::Key_Space) &&
      currentIndex().isValid()) {
    emit rowChosen(currentIndex().row());
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

bool CustomListCtrl::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    if (!index.isValid()) {
      QToolTip::hideText();
      return true;
    }
    QString text = index.data(Qt::DisplayRole).toString().left(80);
    QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    return true;
  }
  return QTreeWidget::viewportEvent(event);
}

}  // namespace ov::app
