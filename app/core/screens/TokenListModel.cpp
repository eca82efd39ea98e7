#include "app/core/screens/TokenListModel.h"

#include <algorithm>

#include "app/core/AppLog.h"
#include "app/core/CaseFold.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/core/TokenRecords.h"

namespace ov::app {
namespace {

int ImageOf(const OVTokenInfoW& info) {
  if (info.m_nTokenState == INSTALLED_STATE || info.m_nTokenState == PENDING_PIN_STATE) {
    return TokenListModel::kNotActivated;
  }
  if (info.m_nTokenState == ACTIVATED_STATE && info.m_bTokenLocked && info.m_nLockTimeLeft > 0) {
    return TokenListModel::kLocked;
  }
  return TokenListModel::kNoImage;
}

TokenListModel::Row RowOf(const OVTokenInfoW& info) {
  TokenListModel::Row row;
  row.name = info.m_szTokenName != nullptr ? info.m_szTokenName : L"";
  row.shownName = DisplayName(row.name);
  row.image = ImageOf(info);
  if (row.image == TokenListModel::kNotActivated) row.state = Text::Of(187);
  if (row.image == TokenListModel::kLocked) row.state = Text::Of(203);
  // A screen reader hears the state the image shows.
  row.accessible = ToUtf8(row.name);
  if (!row.state.empty()) row.accessible += ", " + row.state.str();
  if (info.m_bTokenLocked && info.m_nLockTimeLeft > 0) row.lockSecondsLeft = info.m_nLockTimeLeft;
  return row;
}

}  // namespace

void TokenListModel::OnInitDialog() {
  AppLog log("CTokenListDialog::OnInitDialog");
  initTokenList();
}

void TokenListModel::initTokenList() {
  AppLog log("CTokenListDialog::initTokenList");
  m_rows.clear();
  ++m_readings;
  stopTimer(TimerId::kListRefresh);
  TokenList tokens;
  if (!tokens.ok()) {
    log.Number("result", tokens.result());
    // The library is busy with another caller (an enrollment nobody waits for any more): the
    // list is read again shortly.
    if (tokens.result() == OV_ERR_OPERATION_FAILED) {
      startTimer(TimerId::kListRefresh, kBusyRetryMs, true);
    }
    return;
  }
  for (const OVTokenInfoW& info : tokens) m_rows.push_back(RowOf(info));
  // By name, ignoring case: the store's own order puts a new token anywhere.
  std::stable_sort(m_rows.begin(), m_rows.end(),
                   [](const Row& a, const Row& b) { return ListedBefore(a.name, b.name); });
  int32_t earliestLockEnd = 0;
  for (const Row& row : m_rows) {
    if (row.lockSecondsLeft > 0 &&
        (earliestLockEnd == 0 || row.lockSecondsLeft < earliestLockEnd)) {
      earliestLockEnd = row.lockSecondsLeft;
    }
  }
  if (earliestLockEnd > 0) {
    log.Number("nLockTimeLeft", earliestLockEnd);
    startTimer(TimerId::kListRefresh, earliestLockEnd * 1000, true);
  }
}

void TokenListModel::OnTimer(int id) {
  if (id == TimerId::kListRefresh) {
    stopTimer(id);
    initTokenList();
  }
  ScreenModel::OnTimer(id);
}

void TokenListModel::OnShown() {
  // The list is where a token is chosen: whatever token was open is closed.
  OV_ReleaseInstance();
  // Hiding stopped the refresh that clears a lock's image when the lock ends: the list is read
  // again, which arms it anew (and drops the images of locks that ended meanwhile).
  if (isCreated() && !isTimerRunning(TimerId::kListRefresh)) initTokenList();
}

void TokenListModel::OnLvnItemchangedList1(int row) {
  AppLog log("CTokenListDialog::OnLvnItemchangedList1");
  if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return;
  const std::wstring name = m_rows[static_cast<std::size_t>(row)].name;
  Shared().setTokenName(name);
  OV_ReleaseInstance();
  const int32_t opened = OV_CreateInstanceW(name.c_str(), 0);
  if (opened != OV_OK) {
    log.Message("OV_CreateInstanceW failed");
    log.Number("result", opened);
    // The list stays; the user learns that the token could not be opened.
    showMessage(MessageKind::Error, Text::Of(213));
    return;
  }
  int state = 0;
  bool pinRequired = false;
  bool challengeResponse = false;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      log.Message("OV_GetTokenInfo call failed");
      showMessage(MessageKind::Error, Text::Of(213));
      OV_ReleaseInstance();
      return;
    }
    state = info->m_nTokenState;
    pinRequired = info->m_bPinRequired;
    challengeResponse = ModeIs(*info, OV_MODE_TEXT_CHALLENGE_RESPONSE);
  }
  if (state != ACTIVATED_STATE) {
    postContinue(Continue::kInactiveToken);
    postTitleIndicator(Indicator::kShowA);
  } else if (pinRequired) {
    postContinue(Continue::kTokenPin);
    postTitleIndicator(Indicator::kShowA);
  } else if (challengeResponse) {
    postContinue(Continue::kChallenge);
    postTitleIndicator(Indicator::kShowA);
  } else if (GenerateOTP(nullptr, true).result == 0) {
    postContinue(Continue::kPasscode);
    postTitleIndicator(Indicator::kHideA);
  }
}

}  // namespace ov::app
