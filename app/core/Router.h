// The application's router: it owns the order of the screens and the window's title bar, and
// nothing else decides where the application goes. Screens reach it only through navigation
// messages (Navigation.h), which it dispatches on the tables of Routes.h.
//
// It keeps the stack of screens the user came through and the one screen (or side-by-side pair)
// that is active; the title (the current token's name, or the application's); Back, its list mode
// and the two title indicators; the exits; the first screen of a start and the start a second copy
// hands over. A view (the Qt window, a Win32 window, a test) gives it a slot for each screen and
// draws the WindowState it publishes; the one-off things (a focus, a box, the end of the process)
// come to the view as RouterView calls.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/core/LibrarySession.h"
#include "app/core/Routes.h"
#include "app/core/Text.h"
#include "ov/ov_api.h"

namespace ov::app {

class ScreenModel;

// One screen, or one side-by-side pair, as the router handles it. The view's screen implements it:
// it draws the model again after each of these calls.
class ScreenSlot {
 public:
  virtual ~ScreenSlot() = default;

  // Sets the screen up for the variant (a pair: its left half's, `sideBar` the right half's) and
  // shows it.
  virtual void createScreen(int dialogType, int sideBar) = 0;
  // Shows (adding the timers) or hides (removing them).
  virtual void ShowChildDialog(bool show) = 0;
  // Hides the screen and forgets its contents until the next creation.
  virtual void DestroyChildDialog() = 0;
  virtual bool isCreated() const = 0;
  // The screen's model (a pair's own, whose effects are the pair's).
  virtual ScreenModel& model() const = 0;
  // Moves the keyboard focus to the control the screen shows first (the list, the PIN field).
  virtual void focusInitial() = 0;

  // The router went back to this screen for another try (see ScreenModel).
  virtual void showErrorMessage() = 0;
  virtual void showInvalidPINError() = 0;
  virtual void ClearMessageLine() = 0;
  virtual void ResetForReentry() = 0;
  // Back was pressed here: false keeps the user on the screen.
  virtual bool confirmBack() = 0;
  // True while the screen waits for work on another thread.
  virtual bool isBusy() const = 0;
  // Escape where it is not Back; true when the screen used it.
  virtual bool onEscape() = 0;
};

// What the title bar shows.
struct WindowState {
  Text title = Text::Of(kStrDefaultTitle);
  bool backVisible = false;
  // Back says "list" (182) where it leads to the token list, else "back" (181).
  bool backListMode = false;
  bool indicatorA = false;
  bool indicatorB = false;

  static constexpr int kStrDefaultTitle = 178;
  int backText() const { return backListMode ? 182 : 181; }
  bool operator==(const WindowState&) const = default;
};

// What the router asks of the window besides its slots.
class RouterView {
 public:
  virtual ~RouterView() = default;
  // The title bar changed: draw it.
  virtual void draw(const WindowState& state) = 0;
  // The keyboard focus goes to Back.
  virtual void focusBack() = 0;
  // An error box with the application's caption (205).
  virtual void showError(const Text& text) = 0;
  // The application is done; the process ends with this code.
  virtual void exitApplication(int code) = 0;
  // An enrollment string starts an enrollment: the portal-URL screen takes the string and the
  // token-name screen goes on to it. The view hands it over; the router wipes its own copy.
  virtual void handEnrollmentString(std::string_view text) = 0;
};

class Router {
 public:
  // The slot of a screen by the code that owns it (a continue route's `screen`, or
  // kSecondListPair); null where the view has no such screen. Asked once per owner.
  using SlotFactory = std::function<ScreenSlot*(int owner)>;
  // The second token-list pair, for a return to the list while the first is showing.
  static constexpr int kSecondListPair = -40;

  Router(RouterView& view, SlotFactory factory);
  ~Router();
  Router(const Router&) = delete;
  Router& operator=(const Router&) = delete;

  // An enrollment string handed over on the command line, before start().
  void setEnrollmentString(std::string text);
  // Shows the first screen: the enrollment start, the welcome screen, the one token's screen or
  // the token list.
  void start();
  // A second start reached this copy (the view brought the window to the front): a valid
  // enrollment string starts as it would on the command line, unless an enrollment is under way
  // or the user keeps an activation code on screen. An empty text only raises the window.
  void handOver(std::string enrollment);
  // Opens the one token and shows what it needs.
  void SingleTokenFlow(const OVTokenInfoW& record);

  // A navigation message arrived; ignored once the application is done.
  void onNavigation(int message, int code);
  void OnContinueMsg(int code);
  void OnCancelMsg(int code);
  void OnTitleIndicatorMsg(int code);
  void OnBnClickedBackBtn();
  // The window is closed: the application ends with 0.
  void close();

  // Keys the window leaves to the router; true when the key was used.
  enum class Key { Escape, Backspace, Enter, F1 };
  bool onKey(Key key, bool onMenuButton);

  // The slot of a continue code (made on first use); null for an unknown code.
  ScreenSlot* screenFor(int code);
  ScreenSlot* activeScreen() const { return m_active; }
  // The code whose screen is active, or 0.
  int activeScreenCode() const;
  int stackDepth() const { return static_cast<int>(m_stack.size()); }
  const WindowState& state() const { return m_state; }
  bool isBackListMode() const { return m_state.backListMode; }
  bool IsPasscodeDlgActive() const;
  bool IsInactiveTokenDlgActive() const;
  bool finished() const { return m_finished; }

 private:
  ScreenSlot* screenObject(int owner);
  void CallChildDialog(int code);
  void popAndShowActivewindow(int nCount, bool showWindow, bool destroyLastPopped);
  void returnToTokenList();
  void destroyWholeStack();
  void finish(int exitCode, bool showError);
  void CleanMessagesPostBackClick();
  bool onInformationScreen() const;
  void wipeEnrollmentString();

  void setBackVisible(bool visible);
  void setBackListMode(bool listMode);
  void setIndicatorA(bool shown);
  void setIndicatorB(bool shown);
  void setDefaultTitle();
  void showTokenTitle();
  void publish();

  RouterView& m_view;
  SlotFactory m_factory;
  std::map<int, ScreenSlot*> m_screens;  // one slot per owning code
  ScreenSlot* m_active = nullptr;
  std::deque<ScreenSlot*> m_stack;
  WindowState m_state;
  bool m_finished = false;
  std::string m_enrollment;
};

}  // namespace ov::app
