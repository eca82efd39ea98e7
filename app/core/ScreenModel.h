// The decisions of one screen, without a toolkit. A view (a Qt widget, a Win32 dialog, a test)
// owns a model, draws its state, forwards the user's input to its handlers and carries out the
// effects the model asks for through the view's Effects.
//
// The life of a screen: create() sets it up for its variant (m_DialogType) each time the router
// shows it anew, show() and hide through show(bool), destroy() when it is taken off the stack. A
// screen moves the application on only by posting navigation messages (Navigation.h).
//
// Timers keep the IDs and periods of the application: 221 inactivity (60 s, only on screens that
// ask for it, restarted by typing), 222 to 225 as each screen uses them. Every timer a screen
// starts is stopped when the screen is hidden or destroyed, so a hidden screen never acts.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "app/core/Effects.h"
#include "app/core/Text.h"

namespace ov::app {

class ScreenModel {
 public:
  ScreenModel() = default;
  virtual ~ScreenModel() = default;
  ScreenModel(const ScreenModel&) = delete;
  ScreenModel& operator=(const ScreenModel&) = delete;

  // The variant the router chose for this showing.
  int m_DialogType = 0;

  // The view that carries out this screen's effects; set once, before the screen is created.
  void setEffects(Effects* effects) { m_effects = effects; }
  Effects& effects() const { return *m_effects; }

  // Life of the screen (see above).
  void create();
  void show(bool shown);
  void destroy();
  bool isCreated() const { return m_created; }
  bool isShown() const { return m_shown; }

  // A timer of this screen fired (the view calls this; tests call it to fire one).
  void fireTimer(int id);
  bool isTimerRunning(int id) const { return m_running.count(id) != 0; }

  // 0 or 221: restart the inactivity count (only where the screen runs it); 222: restart the
  // 5-second timer.
  void resetTimer(int id);

  // Calls of the router after it went back to this screen.
  virtual void showErrorMessage() {}
  virtual void showInvalidPINError() {}
  virtual void ClearMessageLine() {}
  virtual void ResetForReentry() {}
  // Back pressed on this screen: whatever leaving it undoes is done here; false keeps the user
  // on the screen.
  virtual bool confirmBack() { return true; }
  // True while the screen waits for work on another thread: the window is not left meanwhile.
  virtual bool isBusy() const { return false; }
  // True when the screen counts inactivity (timer 221).
  virtual bool isTimer1Added() const { return false; }

  // Posts a navigation message with its code.
  void CRHPostMessageToParent(int message, int code);
  void postContinue(int code);
  void postCancel(int code);
  void postTitleIndicator(int code);

  // The outcome of GenerateOTP: 0 (the passcode is in the shared values), 164 (the challenge was
  // refused), 200 (a multi-host token: refused), 1 or -1 (failure: the application is aborted
  // through cancel 72). `refusal` is the text to show for 164 and 200.
  struct Generated {
    int result = 0;
    Text refusal;
  };
  // Passcode of the open token into the shared values. With `boxForRefusal`, a multi-host
  // token's refusal is shown in a message box instead of being handed back.
  Generated GenerateOTP(const wchar_t* challenge, bool boxForRefusal);

  // From an open, activated token on to what its passcode needs: the PIN to set (when asked to
  // and the token wants one), the challenge entry, or the passcode itself. Without the token's
  // information it aborts or does nothing, as the caller says. True when it moved on; otherwise
  // `refusal` may hold a text for the screen's message line.
  enum class WithoutInfo { DoNothing, Abort };
  bool ContinueToPasscode(bool setPinFirst, WithoutInfo withoutInfo, Text* refusal = nullptr);

  // Before the open token is reset: when an activation code shown for it may still be in use
  // (or `codeOnScreen`, it is shown right now), asks whether it may become invalid. False when
  // the user keeps it.
  bool MayVoidActivationCode(bool codeOnScreen = false);
  // Resets the open token after MayVoidActivationCode agreed: the library's result, or nothing
  // when the user kept the token as it is.
  std::optional<int32_t> ResetTokenAfterAsking(bool codeOnScreen = false);

  // Message boxes with texts of the table; caption 205 unless given.
  void showMessage(MessageKind kind, const Text& text, int captionId = 205);
  bool ask(const Text& text, int captionId = 205);

  void startTimer(int id, int milliseconds, bool singleShot = false);
  void stopTimer(int id);
  void addTimers();
  void removeTimers();

 protected:
  // Sets the screen up for m_DialogType (each creation) and takes down what it holds (each
  // destruction).
  virtual void OnInitDialog() {}
  virtual void OnDestroy() {}
  // A timer fired. The base handles the inactivity timer: back to the token list.
  virtual void OnTimer(int id);

 private:
  Effects* m_effects = nullptr;
  bool m_created = false;
  bool m_shown = false;
  std::set<int> m_running;
  std::set<int> m_singleShot;
};

}  // namespace ov::app
