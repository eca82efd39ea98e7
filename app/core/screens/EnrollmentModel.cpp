#include "app/core/screens/EnrollmentModel.h"

#include "app/core/AppLog.h"
#include "app/core/EnrollmentWorker.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "frontend/EnrollmentFailure.h"

namespace ov::app {

void EnrollmentModel::showDescription() {
  SharedValues& shared = Shared();
  text = Text::Of(shared.g_bShowEnrollmentChoiceText ? 147 : 189);
  // A failure the library could tell the kind of says so first.
  const int reason = frontend::EnrollmentFailureStringId(shared.g_nEnrollmentFailure);
  if (!shared.g_bShowEnrollmentChoiceText && reason != 0) {
    text = Text::Literal(Text::Of(reason).str() + ' ' + text.str());
  }
  // The failure text is shown once.
  shared.g_bShowEnrollmentChoiceText = true;
  shared.g_nEnrollmentFailure = 0;
}

void EnrollmentModel::OnShowWindow(bool show) {
  if (!show) return;
  showDescription();
  followAbandonedExchange();
}

void EnrollmentModel::OnTimer(int id) {
  if (id == kLibraryWaitTimer) {
    followAbandonedExchange();
    return;
  }
  ScreenModel::OnTimer(id);
}

void EnrollmentModel::followAbandonedExchange() {
  // An exchange the user stopped waiting for still holds the library for a while, which refuses
  // every other call: the ways that need it come back when it is over.
  waysEnabled = EnrollmentWorker::AbandonedRunning() == 0;
  if (!waysEnabled) {
    if (!isTimerRunning(kLibraryWaitTimer)) startTimer(kLibraryWaitTimer, kLibraryWaitMs);
  } else {
    stopTimer(kLibraryWaitTimer);
  }
}

void EnrollmentModel::OnBnClickedAuto() {
  AppLog log("CEnrollmentDialog::OnBnClickedAuto");
  if (!waysEnabled) return;
  Shared().g_bShowEnrollmentChoiceText = true;
  postContinue(Continue::kPortalUrl);
  postTitleIndicator(Indicator::kShowA);
}

void EnrollmentModel::OnBnClickedManual() {
  AppLog log("CEnrollmentDialog::OnBnClickedManual");
  if (!waysEnabled) return;
  Shared().g_bShowEnrollmentChoiceText = true;
  postContinue(Continue::kPolicyString);
  postTitleIndicator(Indicator::kShowA);
}

void EnrollmentModel::OnBnClickedCancel() {
  AppLog log("CEnrollmentDialog::OnBnClickedCancel");
  Shared().g_bShowEnrollmentChoiceText = true;
  postCancel(Cancel::kToTokenList);
  postTitleIndicator(Indicator::kHideA);
}

}  // namespace ov::app
