#include "app/core/screens/TokenInformationModel.h"

#include "app/core/AppLog.h"
#include "app/core/TokenRecords.h"

namespace ov::app {
namespace {

Text ModeText(const OVTokenInfoW& info) {
  if (ModeIs(info, OV_MODE_TEXT_CHALLENGE_RESPONSE)) return Text::Of(199);
  if (ModeIs(info, OV_MODE_TEXT_EVENT_SYNCHRONOUS)) return Text::Of(197);
  if (ModeIs(info, OV_MODE_TEXT_TIME_SYNCHRONOUS)) return Text::Of(198);
  if (ModeIs(info, OV_MODE_TEXT_MULTI_HOST)) return Text::Of(200);
  return {};
}

Text Wide(const wchar_t* text) {
  return Text::Literal(text == nullptr ? std::string() : ToUtf8(text));
}

}  // namespace

TokenInformationModel::TokenInformationModel() {
  static constexpr int kCaptions[kLines] = {124, 118, 119, 173, 120, 122};
  for (std::size_t i = 0; i < kLines; ++i) m_facts[i].caption = Text::Of(kCaptions[i]);
}

void TokenInformationModel::OnInitDialog() {
  AppLog log("CTokenInformation::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  for (Fact& fact : m_facts) {
    fact.value = {};
    fact.shown = false;
  }
  at(Line::Version).value = Text::Literal(OV_APP_VERSION);
  at(Line::Version).shown = true;
  tokenTitleShown = false;
  if (m_DialogType == DialogType::TOKEN_INFO) {
    postTitleIndicator(Indicator::kShowAB);
    updateTokenData();
  } else if (m_DialogType == DialogType::INACTIVE_TOKEN_INFO) {
    bool hasPolicy = false;
    {
      OpenTokenInfo info;
      hasPolicy =
          info.ok() && info->m_szTokenPolicy != nullptr && info->m_szTokenPolicy[0] != L'\0';
    }
    if (hasPolicy) {
      postTitleIndicator(Indicator::kShowAB);
      updateTokenData();
    }
  }
  postTitleIndicator(Indicator::kShowA);
}

void TokenInformationModel::updateTokenData() {
  AppLog log("CTokenInformation::updateTokenData");
  tokenTitleShown = true;
  for (Line line : {Line::Mode, Line::Policy, Line::Level, Line::PinSet}) at(line).shown = true;
  at(Line::Serial).shown = false;
  OpenTokenInfo info;
  if (!info.ok()) {
    log.Message("OV_GetTokenInfo call failed");
    return;
  }
  at(Line::Mode).value = ModeText(*info);
  at(Line::Policy).value = Wide(info->m_szTokenPolicy);
  at(Line::Level).value = Wide(info->m_szTokenPolicyLevel);
  at(Line::PinSet).value = Text::Of(info->m_bPinRequired ? 207 : 208);
  // The serial number comes from the enrollment server: shown escaped, like a name.
  const std::string serial =
      info->m_szTokenSerialNo == nullptr ? std::string() : DisplayName(info->m_szTokenSerialNo);
  if (!serial.empty()) {
    at(Line::Serial).value = Text::Literal(serial);
    at(Line::Serial).shown = true;
  }
}

void TokenInformationModel::OnTimer(int id) {
  if (id == TimerId::kInactivity) postTitleIndicator(Indicator::kHideB);
  ScreenModel::OnTimer(id);
}

}  // namespace ov::app
