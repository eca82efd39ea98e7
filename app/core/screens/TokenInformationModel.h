// Application information (type 46) and, for the open token (47, or 52 from the inactive-token
// screen), its mode, policy string and level, whether it has a PIN, and its serial number: each
// fact a line of a caption and its value. Only the open token's information counts inactivity.
#pragma once

#include <array>
#include <cstddef>

#include "app/core/Navigation.h"
#include "app/core/ScreenModel.h"

namespace ov::app {

class TokenInformationModel : public ScreenModel {
 public:
  enum class Line { Version, Mode, Policy, Level, PinSet, Serial };
  static constexpr std::size_t kLines = 6;

  struct Fact {
    Text caption;
    Text value;
    bool shown = false;
  };
  TokenInformationModel();

  const Fact& fact(Line line) const { return m_facts.at(static_cast<std::size_t>(line)); }
  // The token's heading shows with its facts.
  bool tokenTitleShown = false;

  // Fills the token's lines from the open token's information.
  void updateTokenData();

  bool isTimer1Added() const override { return m_DialogType == DialogType::TOKEN_INFO; }

 protected:
  void OnInitDialog() override;
  void OnTimer(int id) override;

 private:
  Fact& at(Line line) { return m_facts.at(static_cast<std::size_t>(line)); }
  std::array<Fact, kLines> m_facts{};
};

}  // namespace ov::app
