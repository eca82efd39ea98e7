#include "app/SecretClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "app/AppLog.h"
#include "app/SharedValues.h"

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
}

void SecretClipboard::copySecret(const QString& text) {
  AppLog log("SecretClipboard::copySecret");
  clearIfOurs();
  auto* data = new QMimeData();
  data->setText(text);
  data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
  QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
  m_secret = text;
  m_timer->start(kClearAfterMs);
}

void SecretClipboard::clearIfOurs() {
  m_timer->stop();
  if (m_secret.isEmpty()) return;
  AppLog log("SecretClipboard::clearIfOurs");
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard->text(QClipboard::Clipboard) == m_secret) {
    clipboard->clear(QClipboard::Clipboard);
    // On a Wayland desktop an application without the focus may not touch the clipboard; the
    // compositor's own tool can.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        clipboard->text(QClipboard::Clipboard) == m_secret &&
        !QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty()) {
      QProcess::startDetached(QStringLiteral("wl-copy"), {QStringLiteral("--clear")});
    }
    log.Message("Passcode taken off the clipboard");
  }
  WipeQString(m_secret);
}

}  // namespace ov::app
