#include "app/qt/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "frontend/WipeBytes.h"

namespace ov::app {
namespace {

constexpr int kHandOverWaitMs = 3000;
constexpr char kAccepted[] = "OK\n";

// Owned by the user and closed to everyone else: what the hand-over socket needs around it.
bool IsClosedFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

void Wipe(QByteArray& bytes) {
  ov::frontend::WipeBytes(bytes.data(), static_cast<std::size_t>(bytes.size()));
  bytes.clear();
}

bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == getuid();
}

std::string StoreFolder() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    return {};
  }
  return base + "/Kelsa/Orvanti";
}

}  // namespace

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::LockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && IsPrivateFolder(runtime))
    return std::string(runtime) + "/OV_Mutex.lock";
  const std::string store = StoreFolder();
  return store.empty() ? std::string() : store + "/OV_Mutex.lock";
}

std::string SingleInstance::SocketPath() {
  const std::string lock = LockPath();
  if (lock.empty()) return {};
  return std::filesystem::path(lock).replace_filename("OV_Mutex.socket").string();
}

SingleInstance::Outcome SingleInstance::Acquire() {
  Release();
  const std::string path = LockPath();
  if (path.empty()) return Outcome::Failed;
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!std::filesystem::exists(folder, ignored)) {
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ignored);
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return Outcome::Failed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Outcome::AlreadyRunning : Outcome::Failed;
  }
  m_fd = fd;
  return Outcome::Acquired;
}

void SingleInstance::Release() {
  if (m_fd >= 0) {
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
  }
}

HandOverServer::HandOverServer(QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
  connect(m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
      read(socket);
    }
  });
}

HandOverServer::~HandOverServer() { m_server->close(); }

bool HandOverServer::listen() {
  const std::string path = SingleInstance::SocketPath();
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (path.empty() || !IsClosedFolder(folder)) return false;
  // This copy holds the lock: a socket file left there belongs to a copy that has ended.
  const QString name = QString::fromStdString(path);
  QLocalServer::removeServer(name);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(name)) return false;
  QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  return true;
}

void HandOverServer::read(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    // Nothing longer than the limit is kept waiting for its end.
    if (socket->bytesAvailable() > kMaxHandOver) socket->abort();
    return;
  }
  QByteArray line = socket->readLine(kMaxHandOver + 1);
  if (!line.endsWith('\n')) {
    Wipe(line);
    socket->abort();
    return;
  }
  line.chop(1);
  socket->write(kAccepted);
  socket->flush();
  socket->disconnectFromServer();
  QString text = QString::fromUtf8(line);
  Wipe(line);
  emit handedOver(text);
  text.fill(QChar(u'\0'));
}

bool HandOverToRunningCopy(const QString& text) {
  const std::string path = SingleInstance::SocketPath();
  if (path.empty()) return false;
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(path));
  if (!socket.waitForConnected(kHandOverWaitMs)) return false;
  QByteArray message = text.toUtf8();
  message.append('\n');
  const bool sent = message.size() <= HandOverServer::kMaxHandOver + 1 &&
                    socket.write(message) == message.size() &&
                    socket.waitForBytesWritten(kHandOverWaitMs);
  Wipe(message);
  if (!sent) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(kHandOverWaitMs)) return false;
  }
  return socket.readLine(sizeof kAccepted) == kAccepted;
}

}  // namespace ov::app
