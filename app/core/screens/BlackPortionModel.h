// The side bar of icon buttons: information, add token or rename, change PIN, deactivate and
// delete. Beside the token list (type 33) it offers information and a new token; beside the
// passcode screen (34) everything for the open token; beside the inactive-token notice (51)
// information, deactivate and delete.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "app/core/Navigation.h"
#include "app/core/ScreenModel.h"

namespace ov::app {

class BlackPortionModel : public ScreenModel {
 public:
  enum class Control { None, Info, AddOrRename, ChangePin, Deactivate, Delete };
  // The picture of the second button and what it does.
  enum class Icon { Add, Rename };

  struct Button {
    bool shown = true;
    bool enabled = true;
  };
  const Button& button(Control control) const { return m_buttons.at(Index(control)); }
  Icon addOrRenameIcon() const { return m_icon; }
  // The second button's tooltip, which also names it.
  Text addOrRenameTooltip() const { return Text::Of(m_icon == Icon::Add ? 104 : 193); }
  // A token from an enrollment server (it has a serial number) keeps the rename button out of
  // the keyboard cycle.
  bool addOrRenameInCycle() const { return !m_hasSerial; }

  // Beside a token, the information button (the list keeps the focus beside the list).
  Control initialFocus() const {
    return m_DialogType == DialogType::SIDEBAR_LIST ? Control::None : Control::Info;
  }
  // The control the bar moved the focus to since the last call (once).
  Control takeFocusRequest() { return std::exchange(m_focusRequest, Control::None); }

  void OnBnClickedBlackDlgInfoBtn();
  void OnBnClickedBlackDlgChangeTokenNameBtn();
  void OnBnClickedBlackDlgChangeTokenPin();
  void OnBnClickedBlackDlgResetTokenBtnz();
  void OnBnClickedBlackDlgDeleteTokenBtn();

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;

 private:
  static std::size_t Index(Control control) { return static_cast<std::size_t>(control) - 1; }
  Button& at(Control control) { return m_buttons.at(Index(control)); }

  std::array<Button, 5> m_buttons{};
  Icon m_icon = Icon::Add;
  bool m_hasSerial = false;
  Control m_focusRequest = Control::None;
};

}  // namespace ov::app
