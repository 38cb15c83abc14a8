#pragma once
// The master side of a pseudo-terminal whose slave a fax program opens as
// its modem port.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::sim {

class PtyPort {
public:
  PtyPort(); // throws std::runtime_error when no pty can be had
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  const std::string& slavePath() const { return m_slavePath; }
  int fd() const { return m_master; }

  // Points a symlink at the slave (replacing an old symlink there).
  // Returns an error text, empty on success.
  std::string makeLink(const std::string& linkPath);

  // Whether a program has the slave open (a closed slave reads as hang-up).
  bool clientPresent() const;

  // Drops bytes written toward the slave that no one has read yet.
  void discardPending();
  // Non-blocking read; returns bytes read, 0 when nothing is there, -1 when
  // the client has gone.
  long read(uint8_t* buf, size_t len);
  // Non-blocking write; returns bytes taken (possibly 0), -1 on hang-up.
  long write(const uint8_t* buf, size_t len);

private:
  int m_master = -1;
  std::string m_slavePath;
  std::string m_link;
};

} // namespace tolvane::sim
