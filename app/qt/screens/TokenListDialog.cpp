#include "app/qt/screens/TokenListDialog.h"

#include <QIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/core/AppLog.h"
#include "app/qt/MessageBoxes.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/widgets/CustomListCtrl.h"

namespace ov::app {
namespace {

// Image of a row: 0 for a token that is not activated, 1 for a locked one, -1 for none.
constexpr int kBusyRetryMs = 1000;

int setImageOnListItem(const OVTokenInfoW& info) {
  if (info.m_nTokenState == INSTALLED_STATE || info.m_nTokenState == PENDING_PIN_STATE) return 0;
  if (info.m_nTokenState == ACTIVATED_STATE && info.m_bTokenLocked && info.m_nLockTimeLeft > 0) {
    return 1;
  }
  return -1;
}

QIcon ImageIcon(int image) {
  if (image == 0) return QIcon(QStringLiteral(":/icons/not-activated.svg"));
  if (image == 1) return QIcon(QStringLiteral(":/icons/locked.svg"));
  return {};
}

}  // namespace

TokenListDialog::TokenListDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_list = new CustomListCtrl(QStringLiteral("tokenList"), this);
  m_list->setAccessibleName(Str(kStrTokenList));
  layout->addWidget(m_list);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, theme::kListBackground);
  setPalette(colours);
  addToCycle(m_list);
  connect(m_list, &CustomListCtrl::rowChosen, this, &TokenListDialog::OnLvnItemchangedList1);
}

void TokenListDialog::OnInitDialog() {
  AppLog log("CTokenListDialog::OnInitDialog");
  initTokenList();
}

void TokenListDialog::initTokenList() {
  AppLog log("CTokenListDialog::initTokenList");
  m_list->clear();
  stopTimer(TimerId::kListRefresh);
  TokenList tokens;
  if (!tokens.ok()) {
    log.Number("result", tokens.result());
    // The library is busy with another caller (an enrollment nobody waits for any more):
    // the list is read again shortly.
    if (tokens.result() == OV_ERR_OPERATION_FAILED) {
      startTimer(TimerId::kListRefresh, kBusyRetryMs, true);
    }
    return;
  }
  // By name, ignoring case: the store's own order puts a new token anywhere.
  std::vector<const OVTokenInfoW*> sorted;
  for (const OVTokenInfoW& info : tokens) sorted.push_back(&info);
  std::stable_sort(sorted.begin(), sorted.end(), [](const OVTokenInfoW* a, const OVTokenInfoW* b) {
    const QString left = FromWide(a->m_szTokenName);
    const QString right = FromWide(b->m_szTokenName);
    const int folded = left.compare(right, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : left < right;
  });
  int32_t earliestLockEnd = 0;
  for (const OVTokenInfoW* record : sorted) {
    const OVTokenInfoW& info = *record;
    auto* row = new QTreeWidgetItem(m_list);
    const QString name = FromWide(info.m_szTokenName);
    row->setText(0, DisplayName(name));
    row->setText(1, QStringLiteral(">"));
    const int image = setImageOnListItem(info);
    row->setIcon(0, ImageIcon(image));
    row->setData(0, Qt::UserRole, name);
    row->setData(0, kImageRole, image);
    QString state;
    if (image == 0) state = Str(187);
    if (image == 1) state = Str(203);
    // A screen reader hears the state the image shows.
    row->setData(0, Qt::AccessibleTextRole,
                 state.isEmpty() ? name : name + QStringLiteral(", ") + state);
    if (info.m_bTokenLocked && info.m_nLockTimeLeft > 0 &&
        (earliestLockEnd == 0 || info.m_nLockTimeLeft < earliestLockEnd)) {
      earliestLockEnd = info.m_nLockTimeLeft;
    }
  }
  if (earliestLockEnd > 0) {
    log.Number("nLockTimeLeft", earliestLockEnd);
    startTimer(TimerId::kListRefresh, earliestLockEnd * 1000, true);
  }
  if (m_list->topLevelItemCount() > 0) m_list->setCurrentItem(m_list->topLevelItem(0));
}

void TokenListDialog::OnTimer(int id) {
  if (id == TimerId::kListRefresh) {
    stopTimer(id);
    initTokenList();
    m_list->viewport()->update();
  }
  RHGenericChildDialog::OnTimer(id);
}

void TokenListDialog::ShowChildDialog(bool show) {
  RHGenericChildDialog::ShowChildDialog(show);
  if (show) {
    // The list is where a token is chosen: whatever token was open is closed.
    OV_ReleaseInstance();
    // Hiding stopped the refresh that clears a lock's image when the lock ends: the list is read
    // again, which arms it anew (and drops the images of locks that ended meanwhile).
    if (isCreated() && !isTimerRunning(TimerId::kListRefresh)) initTokenList();
  }
}

QWidget* TokenListDialog::initialFocus() const { return m_list; }

std::vector<QWidget*> TokenListDialog::focusCycle() const {
  if (m_list->topLevelItemCount() == 0) return {};
  return RHGenericChildDialog::focusCycle();
}

void TokenListDialog::OnLvnItemchangedList1(int row) {
  AppLog log("CTokenListDialog::OnLvnItemchangedList1");
  QTreeWidgetItem* item = m_list->topLevelItem(row);
  if (item == nullptr) return;
  const std::wstring name = item->data(0, Qt::UserRole).toString().toStdWString();
  Shared().setTokenName(name);
  OV_ReleaseInstance();
  const int32_t opened = OV_CreateInstanceW(name.c_str(), 0);
  if (opened != OV_OK) {
    log.Message("OV_CreateInstanceW failed");
    log.Number("result", opened);
    // The list stays; the user learns that the token could not be opened.
    MessageBoxes::ShowString(window(), 213);
    return;
  }
  int state = 0;
  bool pinRequired = false;
  bool challengeResponse = false;
  {
    OpenTokenInfo info;
    if (!info.ok()) {
      log.Message("OV_GetTokenInfo call failed");
      MessageBoxes::ShowString(window(), 213);
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
  } else if (GenerateOTP(nullptr, nullptr) == 0) {
    postContinue(Continue::kPasscode);
    postTitleIndicator(Indicator::kHideA);
  }
}

}  // namespace ov::app
