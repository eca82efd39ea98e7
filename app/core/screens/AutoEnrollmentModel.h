// The automatic enrollment's questions: user ID and password (37), and when the server asks for
// one, a soft PIN (38) and its confirmation (53). Before the first connection the screen names
// the server's host and the user ID and goes on only when the user confirms: the address may have
// come from a link or the clipboard. The exchange runs on a worker thread; meanwhile the screen
// shows that it works, and Cancel (or leaving the screen) ends the wait at once: the exchange is
// abandoned and its outcome dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/EnrollmentWorker.h"
#include "app/core/ScreenModel.h"
#include "app/core/SharedValues.h"
#include "app/core/Text.h"

namespace ov::app {

// The soft-PIN rule as the server gave it.
Text SoftPinRuleText(int32_t minLength, int32_t maxLength, int32_t complexity);

class AutoEnrollmentModel : public ScreenModel {
 public:
  enum class Control { None, First, Second, Continue, Cancel };

  // A one-shot timer: the question to connect comes as soon as the screen shows when the
  // enrollment string gave both the user ID and the password.
  static constexpr int kAskAtOnceTimer = 226;

  ~AutoEnrollmentModel() override;

  // What the view draws. The first box holds the user ID (37) or the soft PIN (38, 53); the
  // second the password (37 only).
  Text firstLabel;
  SecretText first;
  SecretText second;
  bool firstMasked = false;
  int firstMaxLength = 256;
  int secondMaxLength = 256;
  bool firstVisible = true;
  bool secondVisible = true;
  Text rule;  // the soft-PIN rule; shown when not empty
  Text error;
  Text question;  // the server question; shown when not empty and the exchange is not under way
  // The control to focus, asked for anew each time focusRequests changes.
  Control focus = Control::None;
  int focusRequests = 0;

  // True while the exchange is under way and awaited: the progress shows, Continue hides, the
  // boxes are disabled.
  bool isBusy() const override { return m_waiting; }
  // Where the focus goes when the screen shows.
  Control initialFocus() const;

  // The screen became visible or was hidden.
  void OnShowWindow(bool show);
  // The user changed a box (`typed`: by typing, when a full box hands the focus on).
  void OnEnChange(Control box, std::wstring_view text, bool typed);
  void OnBnClickedContinue();
  void OnBnClickedCancel();

  void showErrorMessage() override;
  void ClearMessageLine() override;
  void ResetForReentry() override;

 protected:
  void OnInitDialog() override;
  void OnDestroy() override;
  void OnTimer(int id) override;

 private:
  void requestFocus(Control control);
  void StartAutoEnrollmentThread(const SecretText* softPin);
  void onEnrollmentFinished(const EnrollmentOutcome& outcome);
  void enrollmentFinished(const EnrollmentOutcome& outcome);
  void handleAutoEnrollmentError(int32_t result);
  void removeEnrollmentStringFromClipboard();
  void askToConnect();
  void abandonExchange();
  void wipeFields();

  EnrollmentWorker m_worker;
  bool m_confirming = false;  // the server question is on screen
  bool m_waiting = false;     // the exchange is under way and awaited
};

}  // namespace ov::app
