#include "app/core/screens/BlackPortionModel.h"

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/TokenRecords.h"

namespace ov::app {

void BlackPortionModel::OnInitDialog() {
  AppLog log("CBlackPortionDialog::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  m_buttons.fill(Button{});
  m_hasSerial = false;
  m_focusRequest = Control::None;
  if (m_DialogType == DialogType::SIDEBAR_LIST) {
    m_icon = Icon::Add;
    at(Control::ChangePin).shown = false;
    at(Control::Deactivate).shown = false;
    at(Control::Delete).shown = false;
    // At the limit, or beyond it with files added from outside, no token can be added.
    const int32_t count = CountListedTokens();
    at(Control::AddOrRename).enabled = count >= 0 && count < kMaxTokens;
  } else if (m_DialogType == DialogType::SIDEBAR_PASSCODE) {
    m_icon = Icon::Rename;
    OpenTokenInfo info;
    if (!info.ok()) {
      log.Message("OV_GetTokenInfo call failed");
      postCancel(Cancel::kAbort);
      return;
    }
    at(Control::ChangePin).enabled = info->m_bPinRequired;
    at(Control::Deactivate).enabled = info->m_nTokenState != INSTALLED_STATE;
    m_hasSerial = info->m_szTokenSerialNo != nullptr && info->m_szTokenSerialNo[0] != L'\0';
    // A time-based passcode has no button to take the focus; the information button takes it
    // once the pair is on screen.
    if (ModeIs(*info, OV_MODE_TEXT_TIME_SYNCHRONOUS)) startTimer(TimerId::kFocus, 200, true);
  } else if (m_DialogType == DialogType::SIDEBAR_INACTIVE) {
    at(Control::AddOrRename).shown = false;
    at(Control::ChangePin).shown = false;
    OpenTokenInfo info;
    if (info.ok()) at(Control::Deactivate).enabled = info->m_nTokenState == PENDING_PIN_STATE;
  }
}

void BlackPortionModel::OnTimer(int id) {
  if (id == TimerId::kFocus) {
    stopTimer(id);
    m_focusRequest = Control::Info;
  }
  ScreenModel::OnTimer(id);
}

void BlackPortionModel::OnBnClickedBlackDlgInfoBtn() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgInfoBtn");
  if (m_DialogType == DialogType::SIDEBAR_LIST) {
    postContinue(Continue::kApplicationInfo);
  } else if (m_DialogType == DialogType::SIDEBAR_PASSCODE) {
    postContinue(Continue::kTokenInfo);
    postTitleIndicator(Indicator::kShowA);
  } else {
    postContinue(Continue::kInactiveTokenInfo);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionModel::OnBnClickedBlackDlgChangeTokenNameBtn() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgChangeTokenNameBtn");
  if (!button(Control::AddOrRename).enabled) return;
  if (m_DialogType == DialogType::SIDEBAR_LIST) {
    const int32_t count = CountListedTokens();
    if (count < 0 || count >= kMaxTokens) return;
    postContinue(Continue::kTokenName);
    postTitleIndicator(Indicator::kShowA);
  } else if (m_DialogType == DialogType::SIDEBAR_PASSCODE) {
    if (!OpenTokenInfo().ok()) return;
    postContinue(Continue::kRenamePin);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionModel::OnBnClickedBlackDlgChangeTokenPin() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgChangeTokenPin");
  if (m_DialogType != DialogType::SIDEBAR_PASSCODE || !button(Control::ChangePin).enabled) return;
  OpenTokenInfo info;
  if (info.ok() && info->m_bPinRequired) {
    postContinue(Continue::kChangePinCurrent);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionModel::OnBnClickedBlackDlgResetTokenBtnz() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgResetTokenBtnz");
  if (m_DialogType == DialogType::SIDEBAR_LIST || !button(Control::Deactivate).enabled) return;
  OpenTokenInfo info;
  if (info.ok() && info->m_nTokenState != INSTALLED_STATE) {
    postContinue(Continue::kDeactivateConfirm);
    postTitleIndicator(Indicator::kShowA);
  }
}

void BlackPortionModel::OnBnClickedBlackDlgDeleteTokenBtn() {
  AppLog log("CBlackPortionDialog::OnBnClickedBlackDlgDeleteTokenBtn");
  if (m_DialogType == DialogType::SIDEBAR_LIST) return;
  postContinue(Continue::kDeleteConfirm);
  postTitleIndicator(Indicator::kShowA);
}

}  // namespace ov::app
