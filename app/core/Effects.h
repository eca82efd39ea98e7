// What a screen's decisions ask of the view that shows the screen. The core never draws, waits or
// touches a toolkit: it asks for these, and the view carries them out (Qt events and timers in the
// Qt view; the tests' recorder, which fires timers and delivers messages when a test says so).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ov::app {

enum class MessageKind { Error, Information, Question };

class Effects {
 public:
  virtual ~Effects() = default;

  // Posts a navigation message to the router. It arrives after the handler that posted it has
  // returned, never inside it, so the handler finishes before its screen is replaced.
  virtual void post(int message, int code) = 0;
  // Starts (or restarts) the screen's timer of that ID; it fires through ScreenModel::fireTimer.
  virtual void runTimer(int id, int milliseconds, bool singleShot) = 0;
  virtual void cancelTimer(int id) = 0;
  // A modal box with OK, and a question with Yes and No (No the default); true for Yes.
  virtual void showMessage(MessageKind kind, const std::string& text,
                           const std::string& caption) = 0;
  virtual bool ask(const std::string& text, const std::string& caption) = 0;
  // A passcode or activation code on the clipboard, marked as a secret and taken off again later;
  // clearSecret takes it off now if the clipboard still holds it.
  virtual void copySecret(std::string_view text) = 0;
  virtual void clearSecret() = 0;
  // The clipboard's plain text, and emptying it whatever it holds: a screen that finds an
  // enrollment string there (it may carry a passphrase) takes it off. Without a clipboard, nothing.
  virtual std::string clipboardText() { return {}; }
  virtual void clearClipboard() {}
  // Runs `task` on the user interface's thread after the current handler; callable from any
  // thread (an enrollment's outcome comes this way).
  virtual void deliver(std::function<void()> task) = 0;
};

}  // namespace ov::app
