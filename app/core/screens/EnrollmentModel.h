// The choice between automatic and manual enrollment of a new or deactivated token. After a failed
// automatic enrollment it says so once, naming the kind of failure when the library knew it; the
// next showing gives the usual text again. While an abandoned exchange still holds the library
// (which refuses every other call meanwhile), both ways wait for it.
#pragma once

#include "app/core/ScreenModel.h"
#include "app/core/Text.h"

namespace ov::app {

class EnrollmentModel : public ScreenModel {
 public:
  // Looks again every 200 ms whether the library is free.
  static constexpr int kLibraryWaitTimer = 226;
  static constexpr int kLibraryWaitMs = 200;

  // What the view draws: the description, and whether Automatic and Manual can be used.
  Text text;
  bool waysEnabled = true;

  // The screen became visible or was hidden.
  void OnShowWindow(bool show);
  void OnBnClickedAuto();
  void OnBnClickedManual();
  void OnBnClickedCancel();

 protected:
  void OnTimer(int id) override;

 private:
  void showDescription();
  void followAbandonedExchange();
};

}  // namespace ov::app
