#include "tests/support/LoopbackPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

// Binds a socket of the type to the loopback address at the port (0: any)
// and returns the port it got, or 0.
int bindLoopback(int type, int port) {
  const int s = ::socket(AF_INET, type, 0);
  if (s < 0)
    return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  socklen_t len = sizeof a;
  int got = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    got = ntohs(a.sin_port);
  ::close(s);
  return got;
}

} // namespace

int freeLoopbackPort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int port = bindLoopback(SOCK_DGRAM, 0);
    if (port != 0 && bindLoopback(SOCK_STREAM, port) == port)
      return port;
  }
  return 0;
}

} // namespace testsupport
