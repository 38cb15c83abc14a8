#include "sim/PtyPort.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tolvane::sim {

PtyPort::PtyPort() {
  m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
    throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") +
                             std::strerror(errno));
  char name[128];
  if (ptsname_r(m_master, name, sizeof name) != 0)
    throw std::runtime_error("cannot name the pseudo-terminal");
  m_slavePath = name;
  // Raw from the start, so that nothing is echoed or translated before the
  // fax program has set the port up.
  int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave >= 0) {
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(slave, TCSANOW, &t);
    }
    ::close(slave);
  }
}

PtyPort::~PtyPort() {
  if (!m_link.empty())
    ::unlink(m_link.c_str());
  if (m_master >= 0)
    ::close(m_master);
}

std::string PtyPort::makeLink(const std::string& linkPath) {
  struct stat st {};
  if (::lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode))
      return linkPath + " exists and is no symlink";
    ::unlink(linkPath.c_str());
  }
  if (::symlink(m_slavePath.c_str(), linkPath.c_str()) != 0)
    return "cannot link " + linkPath + ": " + std::strerror(errno);
  m_link = linkPath;
  return {};
}

bool PtyPort::clientPresent() const {
  pollfd p{m_master, POLLIN, 0};
  if (::poll(&p, 1, 0) < 0)
    return false;
  return (p.revents & POLLHUP) == 0;
}

void PtyPort::discardPending() {
  tcflush(m_master, TCOFLUSH);
}

long PtyPort::read(uint8_t* buf, size_t len) {
  ssize_t n = ::read(m_master, buf, len);
  if (n > 0)
    return n;
  if (n < 0 && (errno == EAGAIN || errno == EINTR))
    return 0;
  return -1; // EIO: no process has the slave open
}

long PtyPort::write(const uint8_t* buf, size_t len) {
  ssize_t n = ::write(m_master, buf, len);
  if (n >= 0)
    return n;
  if (errno == EAGAIN || errno == EINTR)
    return 0;
  return -1;
}

} // namespace tolvane::sim
