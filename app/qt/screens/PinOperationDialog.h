// The one-field screen in its ten variants: the token PIN before a passcode (48), the current, new
// and repeated PIN of a PIN change (22, 43, 44), the PIN of a new token and its confirmation (31,
// 32), a manual enrollment's policy string (28), an enrollment string or portal URL (36), a new
// token name (40) and a challenge (45). Wrong PINs show the attempts left; a lock-out shows its
// minutes, disables Continue and is re-checked every 30 seconds until it ends.
#pragma once

#include "app/qt/Strings.h"
#include "app/qt/screens/RHGenericChildDialog.h"
#include "ov/ov_api.h"

class QLabel;
class QLineEdit;

namespace ov::app {

class ButtonST;

// The PIN rule a new PIN must follow, for the hint of the PIN-setting variants.
QString PinRuleHint(const OVTokenInfoW& info);

// A portal URL as typed, with only its scheme and host in lower case (a path may be
// case-sensitive).
QString NormalisePortalUrl(const QString& url);

class PinOperationDialog : public RHGenericChildDialog {
  Q_OBJECT

 public:
  PinOperationDialog(QObject* receiver, const QString& objectName);

  QWidget* initialFocus() const override;
  bool onEscape() override;
  void ShowChildDialog(bool show) override;

  // An enrollment string handed over at start-up, taken by the next showing of variant 36.
  void setURLEnrollmentString(const QString& text);

  void OnBnClickedContinuebtn();
  void OnBnClickedCancelbtn();

  void showErrorMessage() override;
  void showInvalidPINError() override;
  void ClearMessageLine() override;
  void ResetForReentry() override;

 protected:
  void OnInitDialog() override;
  void OnDestroy() override;
  void OnTimer(int id) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void handleValidatePin(int32_t result);
  void handleGenericErrorCodes(int32_t result);
  QString HandleVerifyFail(int32_t result);
  void addInstructionOnEnterPinDialog();
  // A lock-out is on: Continue waits, and the lock is looked at again every 30 seconds.
  void startLockRecheck();
  // The lock-out is over: the field takes a PIN again.
  void endLockOut();
  bool validateChallenge(const QString& text, QString& message);
  void continueEnrollmentString(const QString& text);
  void takeEnrollmentStringFromClipboard();
  void continueAfterPin();
  void setMessage(const QString& text);
  void clearEdit();
  void resetToHttps();
  // The edit box's text; the caller wipes it (WipeQString) when it held a secret.
  QString editText() const;
  bool masked() const;

  QLabel* m_headline;
  QLabel* m_fieldLabel;
  QLineEdit* m_edit;
  QLabel* m_hint;
  QLabel* m_message;
  ButtonST* m_continue;
  ButtonST* m_cancel;
  QString m_pendingEnrollmentString;
  int32_t m_lastResult = 0;
};

}  // namespace ov::app
