// The one-field screen in its ten variants: the token PIN before a passcode (48), the current, new
// and repeated PIN of a PIN change (22, 43, 44), the PIN of a new token and its confirmation (31,
// 32), a manual enrollment's policy string (28), an enrollment string or portal URL (36), a new
// token name (40) and a challenge (45). Wrong PINs show the attempts left; a lock-out shows its
// minutes, closes the field and Continue, and is looked at again every 30 seconds until it ends.
//
// The model holds everything the screen shows; a view draws it after each call and moves the
// focus when focusRequest() changes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/ScreenModel.h"
#include "app/core/SharedValues.h"
#include "app/core/Text.h"
#include "ov/ov_api.h"

namespace ov::app {

class AppLog;

// The PIN rule a new PIN must follow, for the hint of the PIN-setting variants.
Text PinRuleHint(const OVTokenInfoW& info);

// A portal URL as typed, with only its scheme and host in lower case (a path may be
// case-sensitive).
std::wstring NormalisePortalUrl(std::wstring_view url);

class PinOperationModel : public ScreenModel {
 public:
  // The screen's controls, for the focus; Screen is the screen itself (no control).
  enum class Control { Screen, Field, Continue, Cancel };
  // Keys the field hands on: Enter presses Continue, the arrows are activity.
  enum class FieldKey { Enter, Arrow };

  // A one-shot timer of 0 ms: Continue with an enrollment string handed over at start-up, once
  // the screen is shown.
  static constexpr int kContinueNowTimer = 226;

  // What the screen shows.
  const Text& headline() const { return m_headline; }
  const Text& fieldLabel() const { return m_fieldLabel; }
  const SecretText& field() const { return m_field; }
  bool masked() const { return m_masked; }
  int maxLength() const { return m_maxLength; }
  bool fieldEnabled() const { return m_fieldEnabled; }
  const Text& hint() const { return m_hint; }
  bool hintVisible() const { return m_hintVisible; }
  const Text& message() const { return m_message; }
  const Text& continueText() const { return m_continueText; }
  bool continueEnabled() const { return m_continueEnabled; }
  const Text& cancelText() const { return m_cancelText; }
  bool cancelVisible() const { return m_cancelVisible; }
  // The control to focus when the screen is shown: the field, or the screen while the field is
  // closed by a lock-out (keys typed then reach no button).
  Control initialFocus() const { return m_fieldEnabled ? Control::Field : Control::Screen; }
  // The control the screen last asked to focus, and a number that grows with each such request.
  Control focus() const { return m_focus; }
  unsigned focusRequest() const { return m_focusRequest; }

  // An enrollment string handed over at start-up, taken by the next showing of variant 36.
  void setURLEnrollmentString(std::wstring_view text);

  // The field's text changed (typed when `byUser`: the inactivity count starts again).
  void OnEditChange(std::wstring_view text, bool byUser);
  // A key in the field; true when the screen used it.
  bool OnFieldKey(FieldKey key);
  void OnBnClickedContinuebtn(std::wstring_view text);
  void OnBnClickedCancelbtn();
  // Escape: Cancel where the screen has one. Always used.
  bool OnEscape();
  // The screen was shown.
  void OnShown();

  void showErrorMessage() override;
  void showInvalidPINError() override;
  void ClearMessageLine() override;
  void ResetForReentry() override;
  bool isTimer1Added() const override;

 protected:
  void OnInitDialog() override;
  void OnDestroy() override;
  void OnTimer(int id) override;

 private:
  void handleValidatePin(int32_t result);
  void handleGenericErrorCodes(int32_t result);
  Text HandleVerifyFail(int32_t result);
  void addInstructionOnEnterPinDialog();
  // A lock-out is on: Continue waits, and the lock is looked at again every 30 seconds.
  void startLockRecheck();
  // The lock-out is over: the field takes a PIN again.
  void endLockOut();
  bool validateChallenge(std::wstring_view text, Text& message);
  void continueEnrollmentString(std::wstring_view text);
  void continueAfterPin();
  void continueWithPin(std::wstring_view text, AppLog& log);
  void continueWithPolicy(std::wstring_view text, AppLog& log);
  void continueWithNewPin(std::wstring_view text);
  void continueWithConfirmedPin(std::wstring_view text, AppLog& log);
  void continueWithName(std::wstring_view text, AppLog& log);
  void continueWithChangedPin(std::wstring_view text);
  void continueWithRepeatedPin(std::wstring_view text, AppLog& log);
  void continueWithChallenge(std::wstring_view text);
  void requestFocus(Control control);
  void resetToHttps();

  Text m_headline;
  Text m_fieldLabel;
  SecretText m_field;
  bool m_masked = false;
  int m_maxLength = 32767;
  bool m_fieldEnabled = true;
  Text m_hint;
  bool m_hintVisible = false;
  Text m_message;
  Text m_continueText;
  bool m_continueEnabled = true;
  Text m_cancelText;
  bool m_cancelVisible = true;
  Control m_focus = Control::Field;
  unsigned m_focusRequest = 0;
  // Takes an enrollment string from the clipboard's text into the field; true when the clipboard
  // is to be emptied (it may carry a passphrase). Anything else on it is the user's and stays.
  bool OfferClipboard(std::wstring_view text);
  SecretText m_pendingEnrollmentString;
};

}  // namespace ov::app
