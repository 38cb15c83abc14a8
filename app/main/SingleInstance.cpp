#include "app/main/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <unistd.h>

SingleInstance::SingleInstance(const QString& dataDir)
    : m_dataDir(dataDir), m_lock(dataDir + QStringLiteral("tolvane.lock")) {
  m_lock.setStaleLockTime(0); // only a lock of a live process counts
}

SingleInstance::~SingleInstance() {
  if (m_server)
    m_server->close();
}

QString SingleInstance::ServerName(const QString& dataDir) {
  const QByteArray hash =
      QCryptographicHash::hash(dataDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
  return QStringLiteral("tolvane-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::TryLock() {
  return m_lock.tryLock(0);
}

bool SingleInstance::AskFirstToShow() {
  QLocalSocket socket;
  socket.connectToServer(ServerName(m_dataDir));
  if (!socket.waitForConnected(2000))
    return false;
  socket.write("show\n");
  socket.waitForBytesWritten(2000);
  // The first copy closes the connection once it has handled the request.
  socket.waitForDisconnected(2000);
  return true;
}

void SingleInstance::Listen(std::function<void()> onShow) {
  const QString name = ServerName(m_dataDir);
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the lock, so a leftover socket of a crashed copy is stale.
  QLocalServer::removeServer(name);
  m_server->listen(name);
  connect(m_server.get(), &QLocalServer::newConnection, this, [this, onShow] {
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
      connect(client, &QLocalSocket::readyRead, client, [client, onShow] {
        if (client->readAll().contains("show"))
          onShow();
        client->disconnectFromServer();
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
}
