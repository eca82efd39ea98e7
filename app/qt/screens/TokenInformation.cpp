#include "app/qt/screens/TokenInformation.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/qt/Strings.h"
#include "app/qt/Theme.h"

namespace ov::app {

void TokenInformation::Row::setVisible(bool visible) const {
  label->setVisible(visible);
  value->setVisible(visible);
}

TokenInformation::Row TokenInformation::addRow(QGridLayout* grid, int line, const char* name,
                                               Line fact) {
  Row row{new QLabel(Str(ModelOf<TokenInformationModel>(*this).fact(fact).caption), this),
          new QLabel(this)};
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
    : RHGenericChildDialog(receiver, objectName, std::make_unique<TokenInformationModel>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(10), theme::DluY(8), theme::DluX(10), theme::DluY(8));
  m_appTitle = new QLabel(Str(201), this);
  m_appTitle->setObjectName(QStringLiteral("applicationTitle"));
  theme::StyleHeadline(m_appTitle);
  layout->addWidget(m_appTitle);
  auto* appGrid = new QGridLayout();
  m_version = addRow(appGrid, 0, "version", Line::Version);
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
  m_mode = addRow(grid, 0, "mode", Line::Mode);
  m_policy = addRow(grid, 1, "policy", Line::Policy);
  m_level = addRow(grid, 2, "level", Line::Level);
  m_pinSet = addRow(grid, 3, "pinSet", Line::PinSet);
  m_serial = addRow(grid, 4, "serial", Line::Serial);
  layout->addLayout(grid);
  layout->addStretch(1);
  m_version.value->setFocusPolicy(Qt::StrongFocus);
  addToCycle(m_version.value);
}

const TokenInformation::Row& TokenInformation::row(Line line) const {
  switch (line) {
    case Line::Version:
      return m_version;
    case Line::Mode:
      return m_mode;
    case Line::Policy:
      return m_policy;
    case Line::Level:
      return m_level;
    case Line::PinSet:
      return m_pinSet;
    case Line::Serial:
      break;
  }
  return m_serial;
}

void TokenInformation::refresh() {
  const TokenInformationModel& state = ModelOf<TokenInformationModel>(*this);
  m_tokenTitle->setVisible(state.tokenTitleShown);
  for (Line line :
       {Line::Version, Line::Mode, Line::Policy, Line::Level, Line::PinSet, Line::Serial}) {
    const TokenInformationModel::Fact& fact = state.fact(line);
    const Row& shown = row(line);
    const QString value = Str(fact.value);
    shown.value->setText(value);
    shown.value->setAccessibleName(value);
    shown.setVisible(fact.shown);
  }
}

void TokenInformation::updateTokenData() {
  ModelOf<TokenInformationModel>(*this).updateTokenData();
  refresh();
}

QWidget* TokenInformation::initialFocus() const { return m_version.value; }

}  // namespace ov::app
