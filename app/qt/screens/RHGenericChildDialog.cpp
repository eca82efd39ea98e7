#include "app/qt/screens/RHGenericChildDialog.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include "app/core/AppLog.h"
#include "app/qt/MessageBoxes.h"
#include "app/qt/NavigationEvent.h"
#include "app/qt/SecretClipboard.h"
#include "app/qt/Strings.h"

namespace ov::app {

RHGenericChildDialog::RHGenericChildDialog(QObject* receiver, const QString& objectName,
                                           std::unique_ptr<ScreenModel> model, QWidget* parent)
    : QWidget(parent),
      m_model(model ? std::move(model) : std::make_unique<ScreenModel>()),
      m_DialogType(m_model->m_DialogType),
      m_receiver(receiver) {
  m_model->setEffects(this);
  setObjectName(objectName);
  setAttribute(Qt::WA_StyledBackground, false);
  hide();
}

RHGenericChildDialog::~RHGenericChildDialog() {
  // The model may still stop timers while it goes; they are this view's and go with it.
  m_model->setEffects(nullptr);
}

void RHGenericChildDialog::CRHCreateGenericChildDialog(QWidget* placeholder, bool show) {
  AppLog log("CRHGenericChildDialog::CRHCreateGenericChildDialog");
  log.Number("m_DialogType", m_DialogType);
  if (placeholder != nullptr && parentWidget() != placeholder) {
    setParent(placeholder);
    if (placeholder->layout() != nullptr) placeholder->layout()->addWidget(this);
  }
  m_model->create();
  OnInitDialog();
  refresh();
  ShowChildDialog(show);
}

void RHGenericChildDialog::createScreen(int dialogType, int) {
  m_DialogType = dialogType;
  CRHCreateGenericChildDialog(nullptr, true);
}

void RHGenericChildDialog::focusInitial() {
  if (QWidget* focus = initialFocus()) focus->setFocus();
}

void RHGenericChildDialog::ShowChildDialog(bool show) {
  if (show) {
    setVisible(true);
    m_model->show(true);
    if (QWidget* focus = initialFocus(); focus != nullptr && focus->isVisible()) focus->setFocus();
  } else {
    m_model->show(false);
    setVisible(false);
  }
}

void RHGenericChildDialog::DestroyChildDialog() {
  const bool created = m_model->isCreated();
  m_model->destroy();
  setVisible(false);
  if (created) OnDestroy();
}

QTimer* RHGenericChildDialog::timer(int id) {
  auto found = m_timers.find(id);
  if (found != m_timers.end()) return found->second;
  auto* created = new QTimer(this);
  created->setObjectName(QStringLiteral("timer%1").arg(id));
  connect(created, &QTimer::timeout, this, [this, id] {
    m_model->fireTimer(id);
    OnTimer(id);
  });
  m_timers.emplace(id, created);
  return created;
}

void RHGenericChildDialog::OnTimer(int) { refresh(); }

void RHGenericChildDialog::post(int message, int code) {
  if (m_receiver != nullptr) {
    QCoreApplication::postEvent(m_receiver, new NavigationEvent(message, code));
  }
}

void RHGenericChildDialog::runTimer(int id, int milliseconds, bool singleShot) {
  QTimer* t = timer(id);
  t->setSingleShot(singleShot);
  t->start(milliseconds);
}

void RHGenericChildDialog::cancelTimer(int id) {
  auto found = m_timers.find(id);
  if (found != m_timers.end()) found->second->stop();
}

namespace {

MessageBoxes::Kind BoxKind(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error:
      return MessageBoxes::Kind::Error;
    case MessageKind::Question:
      return MessageBoxes::Kind::Question;
    case MessageKind::Information:
      break;
  }
  return MessageBoxes::Kind::Information;
}

}  // namespace

void RHGenericChildDialog::showMessage(MessageKind kind, const std::string& text,
                                       const std::string& caption) {
  MessageBoxes::Show(window(), BoxKind(kind), QString::fromStdString(text),
                     QString::fromStdString(caption));
}

bool RHGenericChildDialog::ask(const std::string& text, const std::string& caption) {
  return MessageBoxes::Ask(window(), QString::fromStdString(text), QString::fromStdString(caption));
}

void RHGenericChildDialog::copySecret(std::string_view text) {
  QString copy = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  SecretClipboard::Instance().copySecret(copy);
  WipeQString(copy);
}

void RHGenericChildDialog::clearSecret() { SecretClipboard::Instance().clearIfOurs(); }

std::string RHGenericChildDialog::clipboardText() {
  QString text = QGuiApplication::clipboard()->text();
  std::string utf8 = text.toStdString();
  WipeQString(text);
  return utf8;
}

void RHGenericChildDialog::clearClipboard() { QGuiApplication::clipboard()->clear(); }

void RHGenericChildDialog::deliver(std::function<void()> task) {
  // Queued to this view's thread; a view that is gone by then drops it.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

int RHGenericChildDialog::GenerateOTP(const wchar_t* challenge, QLabel* errorLabel) {
  ScreenModel::Generated generated = m_model->GenerateOTP(challenge, errorLabel == nullptr);
  if (errorLabel != nullptr && !generated.refusal.empty()) {
    errorLabel->setText(Str(generated.refusal));
  }
  return generated.result;
}

bool RHGenericChildDialog::ContinueToPasscode(bool setPinFirst, WithoutInfo withoutInfo,
                                              QLabel* errorLabel) {
  Text refusal;
  const bool moved = m_model->ContinueToPasscode(setPinFirst, withoutInfo,
                                                 errorLabel != nullptr ? &refusal : nullptr);
  if (errorLabel != nullptr && !refusal.empty()) errorLabel->setText(Str(refusal));
  return moved;
}

std::vector<QWidget*> RHGenericChildDialog::focusCycle() const {
  std::vector<QWidget*> visible;
  for (QWidget* widget : m_cycle) {
    if (widget->isVisibleTo(const_cast<RHGenericChildDialog*>(this)) && widget->isEnabled()) {
      visible.push_back(widget);
    }
  }
  return visible;
}

void RHGenericChildDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
}

}  // namespace ov::app
