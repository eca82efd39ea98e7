#include "app/qt/Strings.h"
#include "app/qt/SecretClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <utility>

#include "app/core/AppLog.h"
#include "app/core/SharedValues.h"

namespace ov::app {

SecretClipboard& SecretClipboard::Instance() {
  static SecretClipboard* instance = [] {
    auto* created = new SecretClipboard();
    // The clipboard is cleared as the application ends, while Qt can still reach it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, created, &SecretClipboard::clearIfOurs);
    created->setParent(qApp);
    return created;
  }();
  return *instance;
}

SecretClipboard::SecretClipboard() : m_timer(new QTimer(this)) {
  m_timer->setObjectName(QStringLiteral("clipboardTimer"));
  m_timer->setSingleShot(true);
  connect(m_timer, &QTimer::timeout, this, &SecretClipboard::clearIfOurs);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          &SecretClipboard::onClipboardChanged);
}

void SecretClipboard::copySecret(const QString& text) {
  AppLog log("SecretClipboard::copySecret");
  clearIfOurs();
  auto* data = new QMimeData();
  data->setText(text);
  data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
  // Known before the clipboard announces the change, so the announcement is recognised as ours.
  m_secret = text;
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  m_timer->start(kClearAfterMs);
}

void SecretClipboard::clearIfOurs() {
  m_timer->stop();
  if (m_secret.isEmpty()) return;
  AppLog log("SecretClipboard::clearIfOurs");
  // Taken out of m_secret first: the change the clearing announces is then no one else's copy.
  QString secret = std::exchange(m_secret, QString());
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->text(QClipboard::Clipboard) == secret) {
    clipboard->clear(QClipboard::Clipboard);
    // On a Wayland desktop an application without the focus may not touch the clipboard; the
    // compositor's own tool can.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        clipboard->text(QClipboard::Clipboard) == secret &&
        !QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty()) {
      QProcess::startDetached(QStringLiteral("wl-copy"), {QStringLiteral("--clear")});
    }
    log.Message("Passcode taken off the clipboard");
  }
  WipeQString(secret);
  emit secretGone();
}

void SecretClipboard::onClipboardChanged() {
  if (m_secret.isEmpty()) return;
  QString now = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
  const bool stillOurs = now == m_secret;
  WipeQString(now);
  if (stillOurs) return;
  AppLog log("SecretClipboard::onClipboardChanged");
  log.Message("Another copy replaced the passcode on the clipboard");
  m_timer->stop();
  WipeQString(m_secret);
  emit secretGone();
}

}  // namespace ov::app
