#include "serial/SerialDevice.h"

#include "platform/FxErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace serial {

namespace {

struct BaudEntry {
  int32_t baud;
  speed_t speed;
};
constexpr BaudEntry kBauds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

bool speedOf(int32_t baud, speed_t& speed) {
  for (const auto& e : kBauds)
    if (e.baud == baud) {
      speed = e.speed;
      return true;
    }
  return false;
}

int32_t baudOf(speed_t speed) {
  for (const auto& e : kBauds)
    if (e.speed == speed)
      return e.baud;
  return 0;
}

int errnoCode(int err) {
  switch (err) {
  case ENOENT:
  case ENODEV:
  case ENXIO:
    return ecBadId;
  case EBUSY:
    return ecHardware;
  case ENOMEM:
    return ecOutOfMemory;
  default:
    return -err;
  }
}

} // namespace

int SerialDevice::open(const std::string& path) {
  close();
  if (path.empty())
    return ecBadId;
  if (::access(path.c_str(), F_OK) != 0)
    return errnoCode(errno);
  if (int rc = m_lock.acquire(path); rc < 0)
    return rc;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int rc = errnoCode(errno);
    m_lock.release();
    return rc;
  }
  // Exclusive mode keeps other programs (that ignore lock files) out while we hold it.
  ::ioctl(fd, TIOCEXCL);
  m_fd = fd;
  m_path = path;
  m_counts = {};
  lineErrors(); // start the error counters from here
  return 0;
}

void SerialDevice::close() {
  if (m_fd >= 0) {
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
  }
  m_lock.release();
  m_path.clear();
}

int SerialDevice::setLine(const LineSettings& line) {
  speed_t speed;
  if (!speedOf(line.baud, speed))
    return ecBaudRate;
  tcflag_t size;
  switch (line.dataBits) {
  case 5:
    size = CS5;
    break;
  case 6:
    size = CS6;
    break;
  case 7:
    size = CS7;
    break;
  case 8:
    size = CS8;
    break;
  default:
    return ecByteSize;
  }
  if (line.stopBits != 1 && line.stopBits != 2)
    return ecDefault;
  termios t{};
  if (::tcgetattr(m_fd, &t) != 0)
    return -errno;
  ::cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  t.c_cflag |= size | CREAD | CLOCAL;
  if (line.stopBits == 2)
    t.c_cflag |= CSTOPB;
  switch (line.parity) {
  case pNone:
    break;
  case pOdd:
    t.c_cflag |= PARENB | PARODD;
    break;
  case pEven:
    t.c_cflag |= PARENB;
    break;
  case pMark:
    t.c_cflag |= PARENB | PARODD | CMSPAR;
    break;
  case pSpace:
    t.c_cflag |= PARENB | CMSPAR;
    break;
  }
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
    return -errno;
  return 0;
}

int SerialDevice::getLine(LineSettings& line) const {
  termios t{};
  if (::tcgetattr(m_fd, &t) != 0)
    return -errno;
  if (int32_t baud = baudOf(::cfgetospeed(&t)))
    line.baud = baud;
  switch (t.c_cflag & CSIZE) {
  case CS5:
    line.dataBits = 5;
    break;
  case CS6:
    line.dataBits = 6;
    break;
  case CS7:
    line.dataBits = 7;
    break;
  default:
    line.dataBits = 8;
    break;
  }
  line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  if (!(t.c_cflag & PARENB))
    line.parity = pNone;
  else if (t.c_cflag & CMSPAR)
    line.parity = (t.c_cflag & PARODD) ? pMark : pSpace;
  else
    line.parity = (t.c_cflag & PARODD) ? pOdd : pEven;
  return 0;
}

int SerialDevice::setFlow(const FlowSettings& flow) {
  termios t{};
  if (::tcgetattr(m_fd, &t) != 0)
    return -errno;
  t.c_cflag = flow.rtsCts ? (t.c_cflag | CRTSCTS) : (t.c_cflag & ~CRTSCTS);
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flow.xonOutput)
    t.c_iflag |= IXON;
  if (flow.xoffInput)
    t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(flow.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(flow.xoffChar);
  if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
    return -errno;
  return 0;
}

void SerialDevice::setModemLines(bool dtr, bool rts) {
  int bits = TIOCM_DTR;
  ::ioctl(m_fd, dtr ? TIOCMBIS : TIOCMBIC, &bits);
  bits = TIOCM_RTS;
  ::ioctl(m_fd, rts ? TIOCMBIS : TIOCMBIC, &bits);
}

ssize_t SerialDevice::read(uint8_t* buf, size_t len) {
  ssize_t n = ::read(m_fd, buf, len);
  if (n >= 0)
    return n;
  if (errno == EINTR)
    return -EAGAIN;
  return -errno;
}

ssize_t SerialDevice::write(const uint8_t* buf, size_t len) {
  ssize_t n = ::write(m_fd, buf, len);
  if (n >= 0)
    return n;
  if (errno == EAGAIN || errno == EINTR)
    return 0;
  return -errno;
}

uint8_t SerialDevice::modemStatus() const {
  int bits = 0;
  if (::ioctl(m_fd, TIOCMGET, &bits) != 0)
    return 0; // no modem lines (pseudo-terminal): reads as no carrier
  uint8_t msr = 0;
  if (bits & TIOCM_CTS)
    msr |= msrCTS;
  if (bits & TIOCM_DSR)
    msr |= msrDSR;
  if (bits & TIOCM_RI)
    msr |= msrRI;
  if (bits & TIOCM_CD)
    msr |= msrDCD;
  return msr;
}

uint16_t SerialDevice::lineErrors() {
  serial_icounter_struct c{};
  if (::ioctl(m_fd, TIOCGICOUNT, &c) != 0)
    return 0;
  uint16_t errors = 0;
  if (c.buf_overrun != m_counts.bufOverrun)
    errors |= leOverflow;
  if (c.overrun != m_counts.overrun)
    errors |= leOverrun;
  if (c.parity != m_counts.parity)
    errors |= leParity;
  if (c.frame != m_counts.frame)
    errors |= leFraming;
  if (c.brk != m_counts.brk)
    errors |= leBreak;
  m_counts = {c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
  return errors;
}

int SerialDevice::outputQueued() const {
  int n = 0;
  if (::ioctl(m_fd, TIOCOUTQ, &n) != 0)
    return 0;
  return n;
}

void SerialDevice::purgeInput() {
  ::tcflush(m_fd, TCIFLUSH);
}
void SerialDevice::purgeOutput() {
  ::tcflush(m_fd, TCOFLUSH);
}

} // namespace serial
