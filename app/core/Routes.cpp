#include "app/core/Routes.h"

#include "app/core/Navigation.h"

namespace ov::app {

namespace C = Continue;
namespace D = DialogType;

const std::vector<ContinueRoute>& ContinueRoutes() {
  static const std::vector<ContinueRoute> routes = {
      {C::kWelcome, C::kWelcome, D::MESSAGE_WELCOME, 0, kBackHidden | kDefaultTitle},
      {C::kTokenName, C::kTokenName, D::TOKEN_NAME, 0, kDefaultTitle},
      {C::kEnrollmentMethod, C::kEnrollmentMethod, D::ENROLLMENT_METHOD, 0,
       kStackCleared | kBackListMode},
      {C::kPolicyString, C::kPolicyString, D::GET_TOKEN_POLICY, 0, 0},
      {C::kActivationCode, C::kActivationCode, D::ACTIVATION_CODE, 0, 0},
      {C::kSetPin, C::kSetPin, D::SET_TOKEN_PIN, 0, kBackListMode},
      {C::kConfirmSetPin, C::kConfirmSetPin, D::CONFIRM_SET_TOKEN_PIN, 0, 0},
      {C::kTokenList, C::kTokenList, 0, D::SIDEBAR_LIST,
       kBackHidden | kDefaultTitle | kFocusList | kHideIndicatorA},
      {C::kPasscode, C::kPasscode, D::PASSCODE, D::SIDEBAR_PASSCODE, kStackCleared | kBackListMode},
      {C::kPortalUrl, C::kPortalUrl, D::ENTER_PORTAL_URL, 0, 0},
      {C::kCredentials, C::kCredentials, D::AUTO_ENROLL_UID_PWD, 0, 0},
      {C::kSoftPin, C::kSoftPin, D::AUTO_ENROLL_SOFT_PIN, 0, 0},
      {C::kApplicationInfo, C::kApplicationInfo, D::APPLICATION_INFO, 0, kDefaultTitle},
      {C::kChangePinCurrent, C::kChangePinCurrent, D::CHANGE_TOKEN_PIN_DIALOG1, 0, 0},
      {C::kChangePinCurrentAgain, C::kChangePinCurrent, D::CHANGE_TOKEN_PIN_DIALOG1, 0, 0},
      {C::kRenamePin, C::kRenamePin, D::CHANGE_TOKEN_NAME_DIALOG, 0, 0},
      {C::kRenamed, C::kRenamed, D::MESSAGE_RENAMED, 0, kBackHidden},
      {C::kDeactivateConfirm, C::kDeactivateConfirm, D::MESSAGE_DEACTIVATE, 0, 0},
      {C::kDeleteConfirm, C::kDeleteConfirm, D::MESSAGE_DELETE, 0, 0},
      {C::kChangePinNew, C::kChangePinNew, D::CHANGE_TOKEN_PIN_DIALOG2, 0, 0},
      {C::kChangePinConfirm, C::kChangePinConfirm, D::CHANGE_TOKEN_PIN_DIALOG3, 0, 0},
      {C::kChallenge, C::kChallenge, D::ENTER_CHALLENGE_DIALOG, 0, kBackListMode},
      {C::kTokenPin, C::kTokenPin, D::ENTER_TOKEN_PIN_DIALOG, 0, kBackListMode | kFocusPin},
      {C::kPinChanged, C::kPinChanged, D::MESSAGE_PIN_CHANGED, 0, kBackHidden},
      {C::kInactiveToken, C::kInactiveToken, D::MESSAGE_INACTIVE, D::SIDEBAR_INACTIVE,
       kBackListMode},
      {C::kTokenInfo, C::kTokenInfo, D::TOKEN_INFO, 0, kFocusBack},
      {C::kNextChallenge, C::kChallenge, D::ENTER_CHALLENGE_DIALOG, 0,
       kStackCleared | kBackListMode},
      {C::kInactiveTokenInfo, C::kInactiveTokenInfo, D::INACTIVE_TOKEN_INFO, 0, kFocusBack},
      {C::kSoftPinConfirm, C::kSoftPinConfirm, D::AUTO_ENROLL_SOFT_PIN_CONFIRM, 0, 0},
  };
  return routes;
}

const std::vector<CancelRoute>& CancelRoutes() {
  using A = CancelAction;
  static const std::vector<CancelRoute> routes = {
      {Cancel::kBackHideBack, A::PopAndShow, 1, 0},
      {Cancel::kToEnrollmentMethod, A::EnrollmentMethod, 0, -1},
      {Cancel::kActivationCodeCancelled, A::EnrollmentMethod, 0, -1},
      {Cancel::kSoftPinCancelled, A::EnrollmentMethod, 0, -1},
      {Cancel::kDeactivated, A::EnrollmentMethod, 0, -1},
      {Cancel::kEnrollmentFailed, A::EnrollmentMethod, 0, -1},
      {Cancel::kPinMismatch, A::PopShowPinMismatch, 1, -1},
      {Cancel::kChangePinMismatch, A::PopShowPinMismatch, 1, -1},
      {Cancel::kChangePinRefused, A::PopShowPinRefused, 1, -1},
      {Cancel::kSetPinRefused, A::PopShowPinRefused, 1, -1},
      {Cancel::kSoftPinMismatch, A::PopShowSoftPinReset, 1, -1},
      {Cancel::kExit, A::Exit, 0, -1},
      {Cancel::kToTokenList, A::ReturnToList, 0, 0},
      {Cancel::kBack, A::PopAndShow, 1, 1},
      {Cancel::kBackTwo, A::PopAndShow, 2, 1},
      {Cancel::kRenamedBack, A::PopAndShow, 2, 1},
      {Cancel::kBackThree, A::PopAndShow, 3, 1},
      {Cancel::kBackFour, A::PopAndShow, 4, 1},
      {Cancel::kToWelcome, A::ClearToWelcome, 0, 0},
      {Cancel::kAbort, A::Abort, 0, -1},
      {Cancel::kExitOnSingleToken, A::ExitOnSingleToken, 0, -1},
      {Cancel::kSoftPinConfirmCancelled, A::PopShowReset, 1, -1},
  };
  return routes;
}

BackStep DecideBack(const BackSituation& s) {
  const bool newPinOfChange = s.activeScreen == C::kChangePinNew;
  if (newPinOfChange && !s.changePinRequired) return BackStep::PopTwo;
  if (s.listMode ||
      (s.activeScreen == C::kChangePinCurrent && (s.pinFailureShown || s.deactivationShown)) ||
      s.activeScreen == C::kTokenPin || (newPinOfChange && s.changePinRequired)) {
    return BackStep::ToList;
  }
  return BackStep::PopOne;
}

}  // namespace ov::app
