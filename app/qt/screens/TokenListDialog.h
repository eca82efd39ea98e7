// The list of the user's tokens, left of the side bar. Choosing a row opens that token and moves
// on to its PIN, challenge, passcode or inactive-token screen. A token that is not activated shows
// image 0, a locked one image 1; the list reads itself again when the earliest lock-out ends
// (timer 223), so a lock that runs out loses its image by itself.
#pragma once

#include "app/qt/screens/RHGenericChildDialog.h"

namespace ov::app {

class CustomListCtrl;

class TokenListDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  // A row's image index: 0 not activated, 1 locked, -1 none.
  static constexpr int kImageRole = Qt::UserRole + 1;

  TokenListDialog(QObject* receiver, const QString& objectName);

  void ShowChildDialog(bool show) override;
  QWidget* initialFocus() const override;
  std::vector<QWidget*> focusCycle() const override;

  CustomListCtrl* list() const { return m_list; }

  void initTokenList();
  // A row was chosen: open its token and move on.
  void OnLvnItemchangedList1(int row);

 protected:
  void refresh() override;

 private:
  CustomListCtrl* m_list;
  int m_readingDrawn = -1;
};

}  // namespace ov::app
