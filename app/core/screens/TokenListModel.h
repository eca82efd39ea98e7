// The list of the user's tokens, left of the side bar. Choosing a row opens that token and moves
// on to its PIN, challenge, passcode or inactive-token screen. A token that is not activated shows
// image 0, a locked one image 1; the list reads itself again when the earliest lock-out ends
// (timer 223), so a lock that runs out loses its image by itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/ScreenModel.h"

namespace ov::app {

class TokenListModel : public ScreenModel {
 public:
  // A row's image: none, not activated, locked.
  static constexpr int kNoImage = -1;
  static constexpr int kNotActivated = 0;
  static constexpr int kLocked = 1;
  // How soon the list is read again when the library is busy with another caller.
  static constexpr int kBusyRetryMs = 1000;

  struct Row {
    std::wstring name;      // as stored: the token the row opens
    std::string shownName;  // as the row shows it (escaped)
    int image = kNoImage;
    Text state;              // what the image means: 187, 203 or nothing
    std::string accessible;  // what a screen reader hears: the name and the state
    int32_t lockSecondsLeft = 0;
  };

  // The rows by name, ignoring case.
  const std::vector<Row>& rows() const { return m_rows; }
  // The row that is current after the list was read (the first), or -1.
  int currentRow() const { return m_rows.empty() ? -1 : 0; }
  // Counts the readings of the list: a view draws the rows again only when it changed.
  int readings() const { return m_readings; }

  // Reads the list again and arms the refresh for the earliest end of a lock-out.
  void initTokenList();
  // The list is shown: whatever token was open is closed, and a list whose refresh stopped while
  // it was hidden is read again.
  void OnShown();
  // A row was chosen: open its token and move on.
  void OnLvnItemchangedList1(int row);

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;

 private:
  std::vector<Row> m_rows;
  int m_readings = 0;
};

}  // namespace ov::app
