#include "app/main/SingleInstance.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kAnswerWaitMs = 2000;

// Fills addr with the abstract socket name; returns the address length.
socklen_t abstractAddress(const QByteArray& name, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const std::size_t size = std::min<std::size_t>(std::size_t(name.size()), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, name.constData(), size); // sun_path[0] stays 0: abstract
  return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size);
}

// Waits until fd is ready for events; false on timeout or error.
bool waitFor(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  int ready;
  do
    ready = ::poll(&p, 1, ms);
  while (ready < 0 && errno == EINTR);
  return ready > 0;
}

// Only the user who runs this copy may ask it for anything: abstract sockets
// are visible to every user of the machine.
bool sameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const QString& dataDir) : m_dataDir(dataDir) {}

SingleInstance::~SingleInstance() {
  m_notifier.reset();
  if (m_serverFd >= 0)
    ::close(m_serverFd);
  if (m_lockFd >= 0)
    ::close(m_lockFd); // releases the lock
}

QByteArray SingleInstance::ServerName(const QString& dataDir) {
  const QByteArray hash =
      QCryptographicHash::hash(dataDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
  return "tolvane-" + QByteArray::number(::getuid()) + "-" + hash;
}

bool SingleInstance::TryLock() {
  if (m_lockFd < 0) {
    const QByteArray path = QFile::encodeName(m_dataDir + QStringLiteral("tolvane.lock"));
    m_lockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0)
      return true; // a folder we cannot lock in is reported when the tables open
  }
  return ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

bool SingleInstance::AskFirstToShow() {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  sockaddr_un addr;
  const socklen_t size = abstractAddress(ServerName(m_dataDir), addr);
  bool answered = false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), size) == 0 && sameUser(fd) &&
      ::send(fd, "show\n", 5, MSG_NOSIGNAL) == 5) {
    // The first copy closes the connection once it has handled the request.
    char byte;
    answered = waitFor(fd, POLLIN, kAnswerWaitMs) && ::recv(fd, &byte, 1, 0) == 0;
  }
  ::close(fd);
  return answered;
}

void SingleInstance::Listen(std::function<void()> onShow) {
  m_onShow = std::move(onShow);
  m_serverFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_serverFd < 0)
    return;
  sockaddr_un addr;
  const socklen_t size = abstractAddress(ServerName(m_dataDir), addr);
  if (::bind(m_serverFd, reinterpret_cast<sockaddr*>(&addr), size) != 0 ||
      ::listen(m_serverFd, 4) != 0) {
    ::close(m_serverFd);
    m_serverFd = -1;
    return;
  }
  m_notifier = std::make_unique<QSocketNotifier>(m_serverFd, QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &SingleInstance::TakeRequest);
}

// A later copy connected: read its one-line request (it is sent at once),
// act on it, and close, which tells the later copy it was heard.
void SingleInstance::TakeRequest() {
  for (;;) {
    const int client = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
      return;
    char request[16] = {};
    const bool asked = sameUser(client) && waitFor(client, POLLIN, kAnswerWaitMs) &&
                       ::recv(client, request, sizeof request - 1, 0) > 0 &&
                       std::strstr(request, "show") != nullptr;
    ::close(client);
    if (asked && m_onShow)
      m_onShow();
  }
}
