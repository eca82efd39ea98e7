// The name of a new token: a proposed name ("Kelsa Orvanti", then "Kelsa Orvanti 2" ...), which the
// user may change; a name that another token has in any letter case is refused, and so is one more
// token when the user already holds the most there may be. Activate goes on to the enrollment
// (straight to the enrollment string when the program was started with one); Activate Later keeps
// the new token for later.
#pragma once

#include <string>
#include <string_view>

#include "app/core/ScreenModel.h"

namespace ov::app {

class TokenNameOperationModel : public ScreenModel {
 public:
  enum class Control { Edit, Activate, ActivateLater, Cancel };
  static constexpr int kNameMaxLength = 256;

  // The name field's text: the proposal when the screen is set up, emptied after some refusals.
  const std::wstring& name() const { return m_name; }
  const Text& error() const { return m_error; }
  // The control a refusal asked to focus, and a number that grows with each such request: a view
  // moves the focus when it changed.
  Control focus() const { return m_focus; }
  unsigned focusRequest() const { return m_focusRequest; }

  void setAutoEnrollmentByURLMode(bool byUrl) { m_byUrl = byUrl; }
  bool isAutoEnrollmentByURLMode() const { return m_byUrl; }

  // The user changed the field.
  void OnEnChangeEdit(std::wstring_view text) { m_name = text; }
  // Creates the token named in the field; false (with the reason on the screen) when refused.
  bool createNewToken(std::wstring_view text);
  void OnBnClickedActivate(std::wstring_view text);
  void OnBnClickedActivateLater(std::wstring_view text);
  void OnBnClickedCancel();

 protected:
  void OnInitDialog() override;

 private:
  void refuse(int textId, bool clearField);

  std::wstring m_name;
  Text m_error;
  Control m_focus = Control::Edit;
  unsigned m_focusRequest = 0;
  bool m_byUrl = false;
};

}  // namespace ov::app
