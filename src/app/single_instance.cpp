#include "app/single_instance.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

namespace tlm {

namespace {
constexpr char kReply[] = "front\n";
}

TPreviousInstance::TPreviousInstance() : TPreviousInstance(RuntimeFolder(), ExecutableFileName()) {}

TPreviousInstance::TPreviousInstance(const std::string& folder, const std::string& fileName)
    : folder_(folder), fileName_(fileName), baseName_(ProgramBaseName(fileName)), lock_(folder, fileName) {}

QString TPreviousInstance::ServerPath() const { return QString::fromStdString(folder_ + fileName_ + ".sock"); }

TJustOne::TJustOne(QWidget* owner, const TPreviousInstance& instance)
    : QObject(owner), owner_(owner), baseName_(instance.BaseName()), server_(new QLocalServer(this)) {
  if (instance.AnotherInstance()) return;  // never listen in place of the running copy
  // We hold the instance lock, so a socket file left by a crashed copy is stale.
  QLocalServer::removeServer(instance.ServerPath());
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  server_->listen(instance.ServerPath());
  connect(server_, &QLocalServer::newConnection, this, &TJustOne::OnNewConnection);
}

TJustOne::~TJustOne() { server_->close(); }

void TJustOne::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray name = socket->readLine().trimmed();
      if (name.toStdString() == baseName_) {
        BringOwnerToFront();
        socket->write(kReply);
        socket->flush();
      }
      socket->disconnectFromServer();
    });
  }
}

void TJustOne::BringOwnerToFront() {
  if (owner_->isMinimized()) {
    owner_->setWindowState(owner_->windowState() & ~Qt::WindowMinimized);
    owner_->show();
  }
  owner_->raise();
  owner_->activateWindow();
  emit BroughtToFront();
}

bool TJustOne::BringPreviousToFront(const TPreviousInstance& instance, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  // The running copy may hold the lock but not listen yet while it starts.
  while (!deadline.hasExpired()) {
    QLocalSocket socket;
    socket.connectToServer(instance.ServerPath());
    if (socket.waitForConnected(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
      socket.write(QByteArray::fromStdString(instance.BaseName()) + '\n');
      if (!socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) return false;
      while (!socket.canReadLine() && socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
      }
      return socket.readLine() == kReply;
    }
    QThread::msleep(50);
  }
  return false;
}

}  // namespace tlm
