#include "app/qt/screens/TokenInformation.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"

namespace ov::app {
namespace {

QString ModeText(const OVTokenInfoW& info) {
  if (ModeIs(info, OV_MODE_TEXT_CHALLENGE_RESPONSE)) return Str(199);
  if (ModeIs(info, OV_MODE_TEXT_EVENT_SYNCHRONOUS)) return Str(197);
  if (ModeIs(info, OV_MODE_TEXT_TIME_SYNCHRONOUS)) return Str(198);
  if (ModeIs(info, OV_MODE_TEXT_MULTI_HOST)) return Str(200);
  return {};
}

}  // namespace

void TokenInformation::Row::setVisible(bool visible) const {
  label->setVisible(visible);
  value->setVisible(visible);
}

TokenInformation::Row TokenInformation::addRow(QGridLayout* grid, int line, const char* name,
                                               int labelId) {
  Row row{new QLabel(Str(labelId), this), new QLabel(this)};
  row.label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
  row.value->setObjectName(QString::fromLatin1(name) + QStringLiteral("Value"));
  theme::StyleInformationLabel(row.label);
  theme::StyleValue(row.value);
  row.value->setWordWrap(true);
  row.value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  row.label->setBuddy(row.value);
  grid->addWidget(row.label, line, 0, Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(row.value, line, 1, Qt::AlignLeft | Qt::AlignTop);
  return row;
}

TokenInformation::TokenInformation(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName, std::make_unique<InactivityModel>([](int type) { return type == DialogType_TOKEN_INFO; })) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(10), theme::DluY(8), theme::DluX(10), theme::DluY(8));
  m_appTitle = new QLabel(Str(201), this);
  m_appTitle->setObjectName(QStringLiteral("applicationTitle"));
  theme::StyleHeadline(m_appTitle);
  layout->addWidget(m_appTitle);
  auto* appGrid = new QGridLayout();
  m_version = addRow(appGrid, 0, "version", 124);
  layout->addLayout(appGrid);
  m_copyright = new QLabel(Str(123), this);
  m_copyright->setObjectName(QStringLiteral("copyright"));
  m_copyright->setFont(theme::Helvetica(8));
  theme::SetTextColour(m_copyright, theme::kValue);
  layout->addWidget(m_copyright);
  layout->addSpacing(theme::DluY(10));
  m_tokenTitle = new QLabel(Str(180), this);
  m_tokenTitle->setObjectName(QStringLiteral("tokenTitle"));
  theme::StyleHeadline(m_tokenTitle);
  layout->addWidget(m_tokenTitle);
  auto* grid = new QGridLayout();
  grid->setColumnStretch(1, 1);
  m_mode = addRow(grid, 0, "mode", 118);
  m_policy = addRow(grid, 1, "policy", 119);
  m_level = addRow(grid, 2, "level", 173);
  m_pinSet = addRow(grid, 3, "pinSet", 120);
  m_serial = addRow(grid, 4, "serial", 122);
  layout->addLayout(grid);
  layout->addStretch(1);
  m_version.value->setFocusPolicy(Qt::StrongFocus);
  addToCycle(m_version.value);
}

void TokenInformation::OnInitDialog() {
  AppLog log("CTokenInformation::OnInitDialog");
  log.Number("m_DialogType", m_DialogType);
  m_version.value->setText(QStringLiteral(OV_APP_VERSION));
  m_version.value->setAccessibleName(m_version.value->text());
  m_tokenTitle->hide();
  for (const Row* row : {&m_mode, &m_policy, &m_level, &m_pinSet, &m_serial}) {
    row->setVisible(false);
  }
  if (m_DialogType == DialogType_TOKEN_INFO) {
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

void TokenInformation::updateTokenData() {
  AppLog log("CTokenInformation::updateTokenData");
  m_tokenTitle->show();
  for (const Row* row : {&m_mode, &m_policy, &m_level, &m_pinSet}) row->setVisible(true);
  m_serial.setVisible(false);
  OpenTokenInfo info;
  if (!info.ok()) {
    log.Message("OV_GetTokenInfo call failed");
    return;
  }
  const auto set = [](const Row& row, const QString& text) {
    row.value->setText(text);
    row.value->setAccessibleName(text);
  };
  set(m_mode, ModeText(*info));
  set(m_policy, FromWide(info->m_szTokenPolicy));
  set(m_level, FromWide(info->m_szTokenPolicyLevel));
  set(m_pinSet, Str(info->m_bPinRequired ? 207 : 208));
  // The serial number comes from the enrollment server: shown escaped, like a name.
  const QString serial = DisplayName(FromWide(info->m_szTokenSerialNo));
  if (!serial.isEmpty()) {
    set(m_serial, serial);
    m_serial.setVisible(true);
  }
}

void TokenInformation::OnTimer(int id) {
  if (id == TimerId::kInactivity) postTitleIndicator(Indicator::kHideB);
  RHGenericChildDialog::OnTimer(id);
}

QWidget* TokenInformation::initialFocus() const { return m_version.value; }

}  // namespace ov::app
