// The application's own single-instance lock "OV_Mutex": an exclusive flock on "OV_Mutex.lock" in
// $XDG_RUNTIME_DIR, or in the token store's folder when there is none (never in a shared folder
// such as /tmp, where another user could create the file first). The lock is held until the object
// is destroyed or the process dies, whichever comes first.
//
// Beside the lock the running copy listens on a local socket, "OV_Mutex.socket", so that a second
// start (a second `orvanti`, a link opened in a browser) can hand it its enrollment string and
// bring its window to the front instead of showing an error. The folder is the user's own (0700)
// and the socket is 0600; a message is one line of at most kMaxHandOver bytes.
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace ov::app {

class SingleInstance {
 public:
  enum class Outcome { Acquired, AlreadyRunning, Failed };

  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Outcome Acquire();
  void Release();

  // Where the lock file lives for this environment, and the hand-over socket beside it.
  static std::string LockPath();
  static std::string SocketPath();

 private:
  int m_fd = -1;
};

// The running copy's side: listens while the object lives (only after the lock was acquired).
class HandOverServer : public QObject {
  Q_OBJECT

 public:
  static constexpr qint64 kMaxHandOver = 4096;

  explicit HandOverServer(QObject* parent = nullptr);
  ~HandOverServer() override;
  bool listen();

 signals:
  // A second start reached this copy, with its argument text (empty when it had none). The text
  // is not yet checked: the receiver takes only a valid enrollment string from it.
  void handedOver(const QString& text);

 private:
  void read(QLocalSocket* socket);

  QLocalServer* m_server;
};

// The second start's side: hands `text` to the running copy. False when no copy answered.
bool HandOverToRunningCopy(const QString& text);

}  // namespace ov::app
