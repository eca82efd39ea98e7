// The view of the information screen (TokenInformationModel gathers the facts): the application's
// version and, for the open token, its lines, each a caption and a value that can be selected.
#pragma once

#include "app/core/screens/TokenInformationModel.h"
#include "app/qt/screens/RHGenericChildDialog.h"

class QGridLayout;
class QLabel;

namespace ov::app {

class TokenInformation : public RHGenericChildDialog {
  Q_OBJECT

 public:
  TokenInformation(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;

  void updateTokenData();

 protected:
  void refresh() override;

 private:
  using Line = TokenInformationModel::Line;
  struct Row {
    QLabel* label;
    QLabel* value;
    void setVisible(bool visible) const;
  };
  Row addRow(QGridLayout* grid, int line, const char* name, Line fact);
  const Row& row(Line line) const;

  QLabel* m_appTitle;
  QLabel* m_tokenTitle;
  QLabel* m_copyright;
  Row m_version{};
  Row m_mode{};
  Row m_policy{};
  Row m_level{};
  Row m_pinSet{};
  Row m_serial{};
};

}  // namespace ov::app
