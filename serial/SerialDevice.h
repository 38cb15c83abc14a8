#pragma once
// A serial device on POSIX termios: opened non-blocking for exclusive use,
// in raw mode with the given line settings. All calls return 0 or a negative
// error code.

#include "serial/ComTypes.h"
#include "serial/UucpLock.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace serial {

struct LineSettings {
  int32_t baud = 19200;
  TParity parity = pNone;
  uint16_t dataBits = 8;
  uint16_t stopBits = 1;
};

struct FlowSettings {
  bool rtsCts = false;    // CRTSCTS
  bool xonOutput = false; // honour received XON/XOFF
  bool xoffInput = false; // send XOFF/XON as input fills and drains
  uint8_t xonChar = 17;
  uint8_t xoffChar = 19;
};

class SerialDevice {
public:
  SerialDevice() = default;
  ~SerialDevice() { close(); }
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Opens and claims the device: -2001 missing, -2005 held by another
  // program, others negated errno.
  int open(const std::string& path);
  void close();
  bool isOpen() const { return m_fd >= 0; }
  int fd() const { return m_fd; }
  const std::string& path() const { return m_path; }

  int setLine(const LineSettings& line);
  int getLine(LineSettings& line) const;
  int setFlow(const FlowSettings& flow);
  // DTR and RTS; devices without modem lines (pseudo-terminals) ignore it.
  void setModemLines(bool dtr, bool rts);

  // Non-blocking read/write. read: bytes read, 0 at end of file, -EAGAIN
  // when nothing is there now, or another negated errno. write: bytes
  // written, 0 when the driver has no room, or a negative code.
  ssize_t read(uint8_t* buf, size_t len);
  ssize_t write(const uint8_t* buf, size_t len);

  // Modem status register bits CTS/DSR/RI/DCD (0 when the device has no lines).
  uint8_t modemStatus() const;
  // Line error bits since the previous call (0 when the driver has no counters).
  uint16_t lineErrors();
  // Bytes the driver still holds for output.
  int outputQueued() const;
  void purgeInput();
  void purgeOutput();

private:
  int m_fd = -1;
  std::string m_path;
  UucpLock m_lock;
  struct Counts {
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
  } m_counts;
};

} // namespace serial
