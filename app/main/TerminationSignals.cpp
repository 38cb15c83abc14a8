#include "app/main/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalWriteFd = -1;

// Only async-signal-safe work here: one byte into the socket pair.
void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalWriteFd, &byte, 1);
}

} // namespace

void CloseOnTerminationSignals(QObject* owner, std::function<void()> close) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
    return;
  g_signalWriteFd = fds[0];
  auto* notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner,
                   [fd = fds[1], close = std::move(close)] {
                     char bytes[16];
                     while (::read(fd, bytes, sizeof bytes) > 0) {
                     }
                     close();
                   });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    ::sigaction(signal, &action, nullptr);
}
