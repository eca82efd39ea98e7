// The message screen: a headline, a text and one or two buttons. It welcomes a first start (42),
// confirms deactivating (43) or deleting (44) a token, says that a token was renamed (41) or its
// PIN changed (49), and tells that a token is not activated yet (50, beside the side bar). The
// confirmations start with the focus on Cancel.
#pragma once

#include "app/core/ScreenModel.h"

namespace ov::app {

class WelcomeMessageModel : public ScreenModel {
 public:
  enum class Control { Main, Cancel };

  const Text& headline() const { return m_headline; }
  const Text& text() const { return m_text; }
  const Text& mainButton() const { return m_mainButton; }
  bool cancelShown() const { return m_cancelShown; }
  // Why the main button's work failed; empty otherwise.
  const Text& error() const { return m_error; }

  // Where the focus starts when the screen is shown: where the main button destroys something,
  // Enter at once must not, so the confirmations start on Cancel.
  Control initialFocus() const;
  // The control the screen last asked to focus, and a number that grows with each such request:
  // a view moves the focus when it changed.
  Control focus() const { return m_focus; }
  unsigned focusRequest() const { return m_focusRequest; }

  // The screen is shown.
  void OnShown();
  // Escape acts as Cancel where Cancel is shown; the screen always uses the key.
  bool onEscape();
  void OnBnClickedMainBtn();
  void OnBnClickedCancelBtn();

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;

 private:
  void failWith(int textId);

  Text m_headline;
  Text m_text;
  Text m_mainButton;
  bool m_cancelShown = true;
  Text m_error;
  Control m_focus = Control::Main;
  unsigned m_focusRequest = 0;
};

}  // namespace ov::app
