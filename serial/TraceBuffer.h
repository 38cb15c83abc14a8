#pragma once
// The serial trace: a ring of (direction, byte) entries, the newest
// overwriting the oldest once it is full, written out as text on demand.
// Not thread-safe; the port guards it with its lock.

#include <cstdint>
#include <string>
#include <vector>

namespace serial {

class TraceBuffer {
public:
  explicit TraceBuffer(int entries);

  void add(char direction, uint8_t byte);
  void add(char direction, const uint8_t* data, size_t length);
  void clear();
  bool empty() const { return !m_wrapped && m_head == 0; }
  size_t size() const { return m_wrapped ? m_entries.size() : m_head; }
  int capacity() const { return static_cast<int>(m_entries.size()); }

  // The trace text of the entries, oldest first.
  std::string text(bool hex) const;

private:
  struct Entry {
    char direction;
    uint8_t byte;
  };
  std::vector<Entry> m_entries;
  size_t m_head = 0;
  bool m_wrapped = false;
};

// Trace text of a sequence of entries given as (direction, byte) pairs.
std::string traceText(const std::vector<std::pair<char, uint8_t>>& entries, bool hex);

} // namespace serial
