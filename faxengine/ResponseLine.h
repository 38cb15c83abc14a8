#pragma once
// Assembles the modem's response lines from single bytes, for the session's
// line intake and the Class 1 intake that also takes frames.

#include <cstdint>
#include <string>

namespace faxengine {

class ResponseLineBuffer {
public:
  // Takes one byte: true when it ended a line, which is then in `line`,
  // trimmed of blanks. Empty lines are skipped; an over-long line keeps only
  // its last characters, so noise cannot grow the buffer.
  bool Put(uint8_t b, std::string& line);
  bool Empty() const { return m_buffer.empty(); }
  void Clear() { m_buffer.clear(); }

private:
  std::string m_buffer;
};

} // namespace faxengine
