// A passcode on the clipboard, for as short a time as it is useful. The copy is marked for
// clipboard managers as a secret (x-kde-passwordManagerHint = secret), so they do not keep it in
// their history, and it is taken off the clipboard after 30 seconds, when the passcode expires or
// its screen closes, and when the application ends; but only while the clipboard still holds that
// passcode: whatever the user copied since is left alone. Once the clipboard no longer holds the
// secret, for whichever of these reasons or because someone else copied over it, the secret is
// forgotten and secretGone() tells the screen that said it was there.
#pragma once

#include <QObject>
#include <QString>

class QTimer;

namespace ov::app {

class SecretClipboard : public QObject {
  Q_OBJECT

 public:
  static constexpr int kClearAfterMs = 30000;

  // The process's one instance.
  static SecretClipboard& Instance();

  void copySecret(const QString& text);
  // Empties the clipboard if it still holds the secret copied last; forgets the secret.
  void clearIfOurs();
  bool holdsSecret() const { return !m_secret.isEmpty(); }
  QTimer* timer() const { return m_timer; }

 signals:
  // The secret copied last is no longer on the clipboard.
  void secretGone();

 private:
  SecretClipboard();
  // The clipboard changed: if it was someone else's copy, the secret has gone.
  void onClipboardChanged();
  QString m_secret;
  QTimer* m_timer;
};

}  // namespace ov::app
