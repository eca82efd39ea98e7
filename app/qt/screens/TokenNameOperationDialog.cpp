#include "app/qt/screens/TokenNameOperationDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "app/core/AppLog.h"
#include "app/core/Navigation.h"
#include "app/core/SharedValues.h"
#include "app/qt/Strings.h"
#include "app/qt/Theme.h"
#include "app/core/TokenRecords.h"
#include "app/qt/widgets/ButtonST.h"
#include "frontend/TokenNaming.h"

namespace ov::app {

TokenNameOperationDialog::TokenNameOperationDialog(QObject* receiver, const QString& objectName)
    : RHGenericChildDialog(receiver, objectName) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(theme::DluX(12), theme::DluY(12), theme::DluX(12), theme::DluY(10));
  layout->setSpacing(theme::DluY(5));
  m_headline = new QLabel(Str(113), this);
  m_headline->setObjectName(QStringLiteral("headline"));
  theme::StyleHeadline(m_headline);
  m_label = new QLabel(Str(114), this);
  m_label->setObjectName(QStringLiteral("fieldLabel"));
  theme::StyleFieldLabel(m_label);
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("edit"));
  m_edit->setFont(theme::Helvetica(12));
  m_edit->setMaxLength(256);
  m_edit->setAccessibleName(m_label->text());
  m_label->setBuddy(m_edit);
  m_error = new QLabel(this);
  m_error->setObjectName(QStringLiteral("errorText"));
  theme::StyleError(m_error);
  layout->addWidget(m_headline);
  layout->addSpacing(theme::DluY(4));
  layout->addWidget(m_label);
  layout->addWidget(m_edit);
  layout->addWidget(m_error);
  layout->addStretch(1);
  m_activate = new ButtonST(QStringLiteral("activateButton"), ButtonST::Look::Primary, this);
  m_activate->setText(Str(108));
  m_later = new ButtonST(QStringLiteral("activateLaterButton"), ButtonST::Look::Secondary, this);
  m_later->setText(Str(112));
  m_cancel = new ButtonST(QStringLiteral("cancelButton"), ButtonST::Look::Secondary, this);
  m_cancel->setText(Str(109));
  auto* buttons = new QHBoxLayout();
  for (ButtonST* button : {m_activate, m_later, m_cancel}) buttons->addWidget(button);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  for (QWidget* widget : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_activate),
                          static_cast<QWidget*>(m_later), static_cast<QWidget*>(m_cancel)}) {
    addToCycle(widget);
  }
  m_edit->installEventFilter(this);
  connect(m_activate, &QPushButton::clicked, this, &TokenNameOperationDialog::OnBnClickedActivate);
  connect(m_later, &QPushButton::clicked, this,
          &TokenNameOperationDialog::OnBnClickedActivateLater);
  connect(m_cancel, &QPushButton::clicked, this, &TokenNameOperationDialog::OnBnClickedCancel);
}

void TokenNameOperationDialog::OnInitDialog() {
  AppLog log("CTokenNameOperationDialog::OnInitDialog");
  setError(QString());
  std::vector<std::string> names;
  {
    TokenList tokens;
    for (const OVTokenInfoW& info : tokens)
      names.push_back(FromWide(info.m_szTokenName).toStdString());
  }
  m_edit->setText(QString::fromStdString(frontend::GetUniqueTokenName(names)));
  m_edit->selectAll();
}

QWidget* TokenNameOperationDialog::initialFocus() const { return m_edit; }

bool TokenNameOperationDialog::onEscape() {
  OnBnClickedCancel();
  return true;
}

bool TokenNameOperationDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_edit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OnBnClickedActivate();
      return true;
    }
  }
  return RHGenericChildDialog::eventFilter(watched, event);
}

void TokenNameOperationDialog::setError(const QString& text) {
  m_error->setText(text);
  m_error->setAccessibleName(text);
}

bool TokenNameOperationDialog::createNewToken() {
  AppLog log("CTokenNameOperationDialog::createNewToken");
  const QString name = m_edit->text().trimmed();
  if (name.isEmpty()) {
    setError(Str(166));
    m_edit->setFocus();
    return false;
  }
  {
    TokenList tokens;
    for (const OVTokenInfoW& info : tokens) {
      if (FromWide(info.m_szTokenName).toLower() == name.toLower()) {
        setError(Str(191));
        m_edit->clear();
        m_edit->setFocus();
        return false;
      }
    }
  }
  const std::wstring wide = name.toStdWString();
  OV_ReleaseInstance();  // a token left open elsewhere must not block the new one
  const int32_t result = OV_CreateInstanceW(wide.c_str(), 0);
  log.Number("result", result);
  if (result == OV_ERR_INVALID_PARAM) {
    setError(Str(166));
    m_edit->clear();
    m_edit->setFocus();
    log.Message("INVALID PARAM PROVIDED");
    return false;
  }
  if (result != OV_OK) {
    log.Message("Create Instance Failed");
    postCancel(Cancel::kAbort);
    return false;
  }
  Shared().setTokenName(wide);
  return true;
}

void TokenNameOperationDialog::OnBnClickedActivate() {
  AppLog log("CTokenNameOperationDialog::OnBnClickedActivate");
  if (createNewToken()) {
    postContinue(m_byUrl ? Continue::kPortalUrl : Continue::kEnrollmentMethod);
    postTitleIndicator(Indicator::kShowA);
  }
  m_byUrl = false;
}

void TokenNameOperationDialog::OnBnClickedActivateLater() {
  AppLog log("CTokenNameOperationDialog::OnBnClickedActivateLater");
  if (createNewToken()) {
    postCancel(Cancel::kToTokenList);
    postTitleIndicator(Indicator::kHideA);
  }
  m_byUrl = false;
}

void TokenNameOperationDialog::OnBnClickedCancel() {
  AppLog log("CTokenNameOperationDialog::OnBnClickedCancel");
  postCancel(Cancel::kBackHideBack);
}

}  // namespace ov::app
