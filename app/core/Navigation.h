// How the screens move the application on. A screen never shows another screen: it posts one of
// three navigation events to the main window, which owns every screen and decides what to show.
//
//   continue (199)         go forward to the screen of the code; the current screen is stacked
//   title indicator (200)  show or hide the title indicators and the Back button
//   cancel (201)           go back, return to the token list, or leave the application
//
// The messages are always posted, never sent, so a screen's handler finishes before the main window
// destroys or replaces it, and a worker thread may post them too. The codes are the ones the
// router's tables (Routes.cpp) dispatch on.
#pragma once

namespace ov::app {

// Navigation messages.
inline constexpr int WM_CONTINUE_MSG = 199;
inline constexpr int WM_TITLE_INDICATOR_MSG = 200;
inline constexpr int WM_CANCEL_MSG = 201;

// Continue codes: the screen to show next.
namespace Continue {
inline constexpr int kWelcome = 32;
inline constexpr int kTokenName = 33;
inline constexpr int kEnrollmentMethod = 34;
inline constexpr int kPolicyString = 35;
inline constexpr int kActivationCode = 36;
inline constexpr int kSetPin = 37;
inline constexpr int kConfirmSetPin = 38;
inline constexpr int kTokenList = 40;
inline constexpr int kPasscode = 41;
inline constexpr int kPortalUrl = 45;
inline constexpr int kCredentials = 46;
inline constexpr int kSoftPin = 47;
inline constexpr int kApplicationInfo = 48;
inline constexpr int kChangePinCurrent = 49;
inline constexpr int kRenamePin = 50;
inline constexpr int kRenamed = 51;
inline constexpr int kDeactivateConfirm = 52;
inline constexpr int kDeleteConfirm = 53;
inline constexpr int kChangePinNew = 54;
inline constexpr int kChangePinConfirm = 55;
inline constexpr int kChallenge = 56;
inline constexpr int kTokenPin = 57;
inline constexpr int kPinChanged = 58;
inline constexpr int kInactiveToken = 64;
inline constexpr int kTokenInfo = 67;
inline constexpr int kNextChallenge = 70;
inline constexpr int kChangePinCurrentAgain = 73;
inline constexpr int kInactiveTokenInfo = 78;
inline constexpr int kSoftPinConfirm = 81;
}  // namespace Continue

// Cancel codes: where to go back to.
namespace Cancel {
inline constexpr int kBackHideBack = 32;
inline constexpr int kToEnrollmentMethod = 34;
inline constexpr int kPinMismatch = 37;
inline constexpr int kExit = 39;
inline constexpr int kToTokenList = 40;
inline constexpr int kBack = 41;
inline constexpr int kSoftPinMismatch = 47;
inline constexpr int kChangePinMismatch = 54;
inline constexpr int kActivationCodeCancelled = 59;
inline constexpr int kSoftPinCancelled = 60;
inline constexpr int kBackTwo = 61;
inline constexpr int kBackThree = 62;
inline constexpr int kDeactivated = 63;
inline constexpr int kToWelcome = 68;
inline constexpr int kEnrollmentFailed = 69;
inline constexpr int kAbort = 72;
inline constexpr int kChangePinRefused = 74;
inline constexpr int kBackFour = 75;
inline constexpr int kRenamedBack = 76;
inline constexpr int kSetPinRefused = 77;
inline constexpr int kExitOnSingleToken = 80;
inline constexpr int kSoftPinConfirmCancelled = 81;
}  // namespace Cancel

// Title-indicator codes.
namespace Indicator {
inline constexpr int kHideBack = 0;
inline constexpr int kHideA = 1;
inline constexpr int kShowA = 2;
inline constexpr int kShowAB = 3;
inline constexpr int kHideB = 4;
inline constexpr int kShowB = 5;
}  // namespace Indicator

// Screen variants (m_DialogType).
namespace DialogType {
inline constexpr int CHANGE_TOKEN_PIN_DIALOG1 = 22;
inline constexpr int TOKEN_NAME = 24;
inline constexpr int ACTIVATION_CODE = 26;
inline constexpr int GET_TOKEN_POLICY = 28;
inline constexpr int SET_TOKEN_PIN = 31;
inline constexpr int CONFIRM_SET_TOKEN_PIN = 32;
inline constexpr int SIDEBAR_LIST = 33;
inline constexpr int SIDEBAR_PASSCODE = 34;
inline constexpr int PASSCODE = 35;
inline constexpr int ENTER_PORTAL_URL = 36;
inline constexpr int AUTO_ENROLL_UID_PWD = 37;
inline constexpr int AUTO_ENROLL_SOFT_PIN = 38;
inline constexpr int CHANGE_TOKEN_NAME_DIALOG = 40;
inline constexpr int MESSAGE_RENAMED = 41;
inline constexpr int MESSAGE_WELCOME = 42;
inline constexpr int MESSAGE_DEACTIVATE = 43;
inline constexpr int MESSAGE_DELETE = 44;
inline constexpr int CHANGE_TOKEN_PIN_DIALOG2 = 43;
inline constexpr int CHANGE_TOKEN_PIN_DIALOG3 = 44;
inline constexpr int ENTER_CHALLENGE_DIALOG = 45;
inline constexpr int APPLICATION_INFO = 46;
inline constexpr int TOKEN_INFO = 47;
inline constexpr int ENTER_TOKEN_PIN_DIALOG = 48;
inline constexpr int MESSAGE_PIN_CHANGED = 49;
inline constexpr int MESSAGE_INACTIVE = 50;
inline constexpr int SIDEBAR_INACTIVE = 51;
inline constexpr int INACTIVE_TOKEN_INFO = 52;
inline constexpr int AUTO_ENROLL_SOFT_PIN_CONFIRM = 53;
inline constexpr int ENROLLMENT_METHOD = 0;
}  // namespace DialogType

// Timer IDs and their periods.
namespace TimerId {
inline constexpr int kInactivity = 221;   // 60 s without activity: back to the token list
inline constexpr int kButtonState = 222;  // passcode screen: button lock and count-down
inline constexpr int kListRefresh = 223;  // token list: a lock-out ends
inline constexpr int kLockRecheck = 224;  // PIN screens: re-check a lock-out every 30 s
inline constexpr int kFocus = 225;        // one-shot: move the focus after showing
}  // namespace TimerId
inline constexpr int kInactivityMs = 60000;
inline constexpr int kButtonLockMs = 5000;

// The most tokens a user can hold.
inline constexpr int kMaxTokens = 10;

}  // namespace ov::app
