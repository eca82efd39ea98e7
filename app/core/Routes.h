// The router's tables: what each continue code shows and does to the window, where each cancel
// code goes back to, and Back's decision. The router (and the tests) read them; nothing else
// decides where the application goes.
#pragma once

#include <vector>

namespace ov::app {

// What a continue code does to the window besides showing its screen.
enum RouteEffect : unsigned {
  kBackHidden = 1u << 0,
  kDefaultTitle = 1u << 1,
  kStackCleared = 1u << 2,
  kBackListMode = 1u << 3,
  kFocusList = 1u << 4,
  kHideIndicatorA = 1u << 5,
  kFocusPin = 1u << 6,
  kFocusBack = 1u << 7,
};

struct ContinueRoute {
  int code;
  int screen;      // the code whose screen object shows it (codes 70 and 73 share one)
  int dialogType;  // the variant; for a pair, the left half's
  int sideBar;     // a pair's side-bar type, or 0
  unsigned effects;
};

enum class CancelAction {
  PopAndShow,           // pop `count` screens and show the one below
  EnrollmentMethod,     // continue with the enrollment choice
  PopShowPinMismatch,   // back to the PIN screen below, which says the PINs differ
  PopShowPinRefused,    // back to the PIN screen below, which says the PIN was refused
  PopShowSoftPinReset,  // back to the soft-PIN screen below, which says the PINs differ
  PopShowReset,         // back to the screen below, emptied for another try
  Exit,                 // the user leaves the application
  ReturnToList,
  ClearToWelcome,
  Abort,              // error message, then leave the application
  ExitOnSingleToken,  // leave without a message
};

struct CancelRoute {
  int code;
  CancelAction action;
  int count;  // screens to pop
  int back;   // afterwards: 1 show Back, 0 hide it, -1 leave it
};

const std::vector<ContinueRoute>& ContinueRoutes();
const std::vector<CancelRoute>& CancelRoutes();

// Back's decision between going back two screens, returning to the list, or going back one.
enum class BackStep { PopTwo, ToList, PopOne };
struct BackSituation {
  bool listMode = false;
  int activeScreen = 0;  // the code whose screen object is active (0: another)
  bool pinFailureShown = false;
  bool deactivationShown = false;
  bool changePinRequired = false;
};
BackStep DecideBack(const BackSituation& situation);

}  // namespace ov::app
