// The code screen in two variants: the activation code of a manual enrollment (26), which the user
// types at the server before going on, and the passcode (35, left of the side bar). An event or
// challenge-response passcode locks the button for 5 seconds after each passcode; a time-based
// passcode counts its step's seconds down and is replaced when the next step begins. Time here is
// measured with a monotonic clock, so a changed wall clock or a long uptime cannot confuse it.
// Either code can be copied (Copy, Ctrl+C); the note that it is on the clipboard lasts as long as
// the code does there. The screen holds the only copy of the passcode and wipes it when it is left.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "app/core/Navigation.h"
#include "app/core/ScreenModel.h"
#include "app/core/SharedValues.h"

namespace ov::app {

class ActivationCodeModel : public ScreenModel {
 public:
  static constexpr int kPasscodeVariant = DialogType::PASSCODE;
  enum class Control { None, Continue };

  // Milliseconds of a clock that only moves forward; tests step their own.
  using MonotonicClock = std::function<int64_t()>;
  void setMonotonicClock(MonotonicClock clock) { m_now = std::move(clock); }

  bool isPasscode() const { return m_DialogType == kPasscodeVariant; }

  // What the screen shows.
  Text headline;
  bool headlineShown = false;
  Text title;
  Text hint;
  bool hintShown = false;
  Text continueText;
  bool continueShown = true;
  bool continueEnabled = true;
  bool cancelShown = true;
  Text clipboardNote;
  bool clipboardNoteShown = false;
  // The count-down of a time-based passcode: the seconds, shown with two digits.
  bool counterShown = false;
  int counter() const { return m_nCounter; }
  std::string counterText() const;

  // The code on screen, and a number that changes whenever it does (so a view redraws, and wipes
  // its own copy, only then).
  const SecretText& code() const { return m_code; }
  unsigned codeVersion() const { return m_codeVersion; }

  // The control to focus when the screen is shown.
  Control initialFocus() const {
    return continueShown && continueEnabled ? Control::Continue : Control::None;
  }
  // The control the screen moved the focus to since the last call (once).
  Control takeFocusRequest() { return std::exchange(m_focusRequest, Control::None); }

  // Input.
  void OnBnClickedContinuebtn();
  void OnBnClickedCancelbtn();
  // Copy, or Ctrl+C on the screen: the code on screen onto the clipboard.
  void copyCode();
  // The code copied last is no longer on the clipboard (taken off, or copied over by someone).
  void OnSecretGone() { clipboardNoteShown = false; }
  // The screen is about to be hidden (false) or was just shown (true).
  void OnShowing(bool shown);

  void ShowOTP();
  void startButtonStateTimer();
  void stopButtonStateTimer();

  bool confirmBack() override;
  bool isTimer1Added() const override { return isPasscode(); }

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;
  void OnDestroy() override;

 private:
  void setCode(std::wstring_view code);
  // Shows the passcode just produced and wipes the shared copy it came in.
  void takePasscode();
  // Takes the code off the screen and the clipboard, wiping the screen's copy.
  void forgetCode();
  void clearClipboard();
  int64_t nowMs() const;
  int64_t sinceLastPasscode() const;
  static int32_t RemainingSeconds();

  MonotonicClock m_now;
  SecretText m_code;
  unsigned m_codeVersion = 0;
  Control m_focusRequest = Control::None;
  int m_nCounter = 0;
  bool m_timeBased = false;
  int m_timeStep = 0;
  int m_remainingAtPasscode = 0;        // seconds its step had left when it was produced
  std::optional<int64_t> m_passcodeAt;  // when the passcode on screen was produced
};

}  // namespace ov::app
