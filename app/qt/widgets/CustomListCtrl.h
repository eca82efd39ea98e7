// The token list's control: two columns (the token name and an arrow), one row per token, chosen
// with one click or Enter. The row under the mouse is the hot row, drawn white on purple; the
// others alternate two greys. A row's tooltip is the text of the cell under the mouse, cut to 80
// characters.
#pragma once

#include <QTreeWidget>

namespace ov::app {

class CustomListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CustomListCtrl(const QString& objectName, QWidget* parent = nullptr);

  // The row under the mouse, or -1.
  int hotRow() const { return m_hotRow; }

 signals:
  // A row was chosen with the mouse or the keyboard.
  void rowChosen(int row);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void setHotRow(int row);
  int m_hotRow = -1;
};

}  // namespace ov::app
