#include "serial/TraceBuffer.h"

#include "serial/TraceText.h"

#include <algorithm>

namespace serial {

namespace {

// Builds trace text one entry at a time: a header line at each change of
// direction (after an empty line, except at the start), data wrapped at 78.
class TraceWriter {
public:
  explicit TraceWriter(bool hex) : m_hex(hex) {}

  void add(char direction, uint8_t byte) {
    if (!m_started || direction != m_direction) {
      if (m_started)
        m_out += "\n\n";
      m_out += header(direction);
      m_out.push_back('\n');
      m_direction = direction;
      m_started = true;
      m_column = 0;
    }
    WrappedLine line(m_out, 0, m_column);
    line.add(byte, m_hex);
    m_column = line.column();
  }

  std::string finish() {
    if (m_started)
      m_out.push_back('\n');
    return std::move(m_out);
  }

private:
  static std::string header(char direction) {
    if (direction == 'T')
      return "Transmit: ";
    if (direction == 'R')
      return "Receive: ";
    return std::string("Special-") + direction + ": ";
  }

  bool m_hex;
  bool m_started = false;
  char m_direction = 0;
  int m_column = 0;
  std::string m_out;
};

} // namespace

TraceBuffer::TraceBuffer(int entries) : m_entries(static_cast<size_t>(std::max(entries, 1))) {}

void TraceBuffer::add(char direction, uint8_t byte) {
  m_entries[m_head] = Entry{direction, byte};
  if (++m_head == m_entries.size()) {
    m_head = 0;
    m_wrapped = true;
  }
}

void TraceBuffer::add(char direction, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i)
    add(direction, data[i]);
}

void TraceBuffer::clear() {
  m_head = 0;
  m_wrapped = false;
}

std::string TraceBuffer::text(bool hex) const {
  TraceWriter writer(hex);
  const size_t count = size();
  const size_t start = m_wrapped ? m_head : 0;
  for (size_t i = 0; i < count; ++i) {
    const Entry& e = m_entries[(start + i) % m_entries.size()];
    writer.add(e.direction, e.byte);
  }
  return writer.finish();
}

std::string traceText(const std::vector<std::pair<char, uint8_t>>& entries, bool hex) {
  TraceWriter writer(hex);
  for (auto [direction, byte] : entries)
    writer.add(direction, byte);
  return writer.finish();
}

} // namespace serial
