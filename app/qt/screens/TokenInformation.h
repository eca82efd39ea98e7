// Application information (type 46) and, for the open token (47, or 52 from the inactive-token
// screen), its mode, policy string and level, whether it has a PIN, and its serial number.
#pragma once

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
  void OnInitDialog() override;
  void OnTimer(int id) override;

 private:
  static constexpr int DialogType_TOKEN_INFO = 47;
  struct Row {
    QLabel* label;
    QLabel* value;
    void setVisible(bool visible) const;
  };
  Row addRow(QGridLayout* grid, int line, const char* name, int labelId);

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
